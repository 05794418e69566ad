#include "results/ListControlModel.h"

#include <algorithm>

#include "widgets/ImageList.h"

CListControlModel::CListControlModel(QObject* parent) : QAbstractTableModel(parent)
{
}

CListControlModel::~CListControlModel() = default;

int CListControlModel::InsertColumn(int column, const QString& heading, Qt::Alignment alignment)
{
    column = std::clamp(column, 0, static_cast<int>(m_columns.size()));
    beginInsertColumns(QModelIndex(), column, column);
    m_columns.insert(m_columns.begin() + column, Column{heading, alignment});
    for (auto& row : m_rows) {
        // A row made before any column exists already has its first cell.
        if (row.size() < m_columns.size())
            row.insert(row.begin() + std::min(column, static_cast<int>(row.size())), Cell{});
    }
    endInsertColumns();
    return column;
}

int CListControlModel::InsertRow(int row, const QString& text, int image)
{
    row = std::clamp(row, 0, static_cast<int>(m_rows.size()));
    beginInsertRows(QModelIndex(), row, row);
    std::vector<Cell> cells(std::max<size_t>(m_columns.size(), 1));
    cells[0] = Cell{text, {}, image};
    m_rows.insert(m_rows.begin() + row, std::move(cells));
    endInsertRows();
    return row;
}

bool CListControlModel::RemoveRow(int row)
{
    if (row < 0 || row >= static_cast<int>(m_rows.size()))
        return false;
    beginRemoveRows(QModelIndex(), row, row);
    m_rows.erase(m_rows.begin() + row);
    endRemoveRows();
    return true;
}

void CListControlModel::Clear()
{
    beginResetModel();
    m_rows.clear();
    endResetModel();
}

void CListControlModel::ResetRows(std::vector<Row> rows)
{
    beginResetModel();
    m_rows = std::move(rows);
    const size_t columns = std::max<size_t>(m_columns.size(), 1);
    for (Row& row : m_rows)
        row.resize(columns);
    endResetModel();
}

void CListControlModel::Reserve(int rows)
{
    if (rows > 0)
        m_rows.reserve(static_cast<size_t>(rows));
}

const CListControlModel::Cell* CListControlModel::GetCell(int row, int column) const
{
    if (row < 0 || row >= static_cast<int>(m_rows.size()))
        return nullptr;
    const auto& cells = m_rows[static_cast<size_t>(row)];
    if (column < 0 || column >= static_cast<int>(cells.size()))
        return nullptr;
    return &cells[static_cast<size_t>(column)];
}

CListControlModel::Cell* CListControlModel::MutableCell(int row, int column)
{
    return const_cast<Cell*>(GetCell(row, column));
}

bool CListControlModel::SetCellText(int row, int column, const QString& text)
{
    Cell* cell = MutableCell(row, column);
    if (!cell)
        return false;
    cell->text = text;
    cell->path = CPathString();
    QModelIndex changed = index(row, column);
    emit dataChanged(changed, changed, {Qt::DisplayRole});
    return true;
}

bool CListControlModel::SetCellImage(int row, int column, int image)
{
    Cell* cell = MutableCell(row, column);
    if (!cell)
        return false;
    cell->image = image;
    QModelIndex changed = index(row, column);
    emit dataChanged(changed, changed, {Qt::DecorationRole, Qt::CheckStateRole});
    return true;
}

void CListControlModel::SetImageList(const CImageList* images, bool subItemImages)
{
    m_pImages = images;
    m_bSubItemImages = subItemImages;
    if (!m_rows.empty())
        emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1), {Qt::DecorationRole});
}

int CListControlModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int CListControlModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_columns.size());
}

QVariant CListControlModel::data(const QModelIndex& index, int role) const
{
    const Cell* cell = GetCell(index.row(), index.column());
    if (!cell)
        return QVariant();
    switch (role) {
    case Qt::DisplayRole:
        return cell->Text();
    case Qt::DecorationRole:
        if (!m_pImages || cell->image < 0 || (index.column() > 0 && !m_bSubItemImages))
            return QVariant();
        return m_pImages->Icon(cell->image);
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(m_columns[static_cast<size_t>(index.column())].alignment | Qt::AlignVCenter);
    case Qt::ToolTipRole:
        // A path cell shows its whole path, however narrow the column.
        return cell->path.empty() ? QVariant() : QVariant(cell->Text());
    case Qt::CheckStateRole:
        if (std::optional<Qt::CheckState> mark = MarkOf(index))
            return static_cast<int>(*mark);
        return QVariant();
    default:
        return QVariant();
    }
}

QVariant CListControlModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= columnCount())
        return QVariant();
    const Column& column = m_columns[static_cast<size_t>(section)];
    if (role == Qt::DisplayRole)
        return column.heading;
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(column.alignment | Qt::AlignVCenter);
    return QVariant();
}

Qt::ItemFlags CListControlModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (MarkOf(index))
        flags |= Qt::ItemIsUserCheckable;
    return flags;
}

void CListControlModel::SetMarkImages(bool marks)
{
    if (marks == m_bMarkImages)
        return;
    m_bMarkImages = marks;
    if (!m_rows.empty())
        emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1), {Qt::CheckStateRole});
}

std::optional<Qt::CheckState> CListControlModel::MarkOf(const QModelIndex& index) const
{
    const Cell* cell = m_bMarkImages ? GetCell(index.row(), index.column()) : nullptr;
    if (!cell || (index.column() > 0 && !m_bSubItemImages) || (cell->image != 0 && cell->image != 1))
        return std::nullopt;
    return cell->image == 1 ? Qt::Checked : Qt::Unchecked;
}

bool CListControlModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::CheckStateRole || !MarkOf(index))
        return false;
    const int image = value.toInt() == Qt::Checked ? 1 : 0;
    if (m_markWriter)
        return m_markWriter(index.row(), index.column(), image);
    return SetCellImage(index.row(), index.column(), image);
}

void CListControlModel::multiData(const QModelIndex& index, QModelRoleDataSpan roleDataSpan) const
{
    for (QModelRoleData& roleData : roleDataSpan)
        roleData.setData(roleData.role() == Qt::CheckStateRole ? QVariant() : data(index, roleData.role()));
}
