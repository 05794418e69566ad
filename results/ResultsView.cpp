#include "results/ResultsView.h"

#include <algorithm>
#include <unordered_map>

#include "platform/ByteSize.h"
#include "results/ListControlMem.h"

CResultsView::CResultsView(CListControlMem& list, const std::vector<CDuplicatePair>& rows) : m_list(list), m_rows(rows)
{
    if (auto* model = qobject_cast<CListControlModel*>(m_list.model())) {
        model->SetMarkWriter([this](int row, int column, int image) {
            if (row < 0 || row >= RowCount() || (column != kOriginalColumn && column != kDuplicateColumn))
                return false;
            SetMark(row, column, image);
            return true;
        });
    }
}

CResultsView::~CResultsView()
{
    if (auto* model = qobject_cast<CListControlModel*>(m_list.model()))
        model->SetMarkWriter({});
}

void CResultsView::Fill()
{
    m_nextCell.clear();
    m_list.SetRedraw(false);
    m_list.DeleteAllItems();  // back at the top, nothing selected
    const int count = static_cast<int>(m_rows.size());
    std::vector<CListControlModel::Row> cells;
    cells.reserve(static_cast<size_t>(count));
    // The path cells share the rows' texts (a text is made only for the rows on the screen); the
    // rows of one group share their size, whose text is made once.
    uint64_t lastSize = 0;
    QString sizeText;
    for (int i = 0; i < count; ++i) {
        const CDuplicatePair& pair = m_rows[static_cast<size_t>(i)];
        if (i == 0 || pair.size != lastSize) {
            lastSize = pair.size;
            sizeText = QString::fromStdU16String(FormatByteSize(pair.size));
        }
        cells.push_back(
            {{QString(), pair.originalPath, kUnmarked}, {QString(), pair.duplicatePath, kUnmarked}, {sizeText, {}, -1}});
    }
    m_list.SetAllItems(std::move(cells));
    m_list.SetRedraw(true);
    SetMarked({});
}

int CResultsView::RowCount() const
{
    return m_list.GetItemCount();
}

int CResultsView::GetMark(int row, int column) const
{
    return m_list.GetItemImage(row, column);
}

void CResultsView::SetMark(int row, int column, int image)
{
    const int count = std::min(RowCount(), static_cast<int>(m_rows.size()));
    if (row < 0 || row >= count || (column != kOriginalColumn && column != kDuplicateColumn))
        return;
    if (m_nextCell.empty())
        LinkCellsOfEachPath();
    const bool was = IsMarked(row, column);
    const int first = row * 2 + column;
    int cell = first;
    do {
        m_list.SetItemImage(cell / 2, cell % 2, image);
        cell = m_nextCell[static_cast<size_t>(cell)];
    } while (cell != first);
    if (was != (image == kMarked)) {
        MarkedTotal total = m_marked;
        const uint64_t size = Row(row).size;
        total.files += was ? -1 : 1;
        total.bytes = was ? total.bytes - size : total.bytes + size;
        SetMarked(total);
    }
}

void CResultsView::SetMarked(MarkedTotal total)
{
    if (total == m_marked)
        return;
    m_marked = total;
    if (m_marksChanged)
        m_marksChanged();
}

void CResultsView::Recount()
{
    MarkedTotal total;
    // A file's size is its row's; the same path in another row has the same size.
    const int count = std::min(RowCount(), static_cast<int>(m_rows.size()));
    MarkedPathSet counted;
    for (int row = 0; row < count; ++row) {
        const CDuplicatePair& pair = m_rows[static_cast<size_t>(row)];
        for (int column : {kOriginalColumn, kDuplicateColumn}) {
            const CPathString& path = column == kOriginalColumn ? pair.originalPath : pair.duplicatePath;
            if (IsMarked(row, column) && counted.insert(path).second) {
                ++total.files;
                total.bytes += pair.size;
            }
        }
    }
    SetMarked(total);
}

const CPathString& CResultsView::PathOf(int cell) const
{
    const CDuplicatePair& pair = m_rows[static_cast<size_t>(cell / 2)];
    return cell % 2 == kOriginalColumn ? pair.originalPath : pair.duplicatePath;
}

void CResultsView::LinkCellsOfEachPath()
{
    const int cells = 2 * std::min(RowCount(), static_cast<int>(m_rows.size()));
    m_nextCell.resize(static_cast<size_t>(cells));
    // A table of the first and the last cell seen per path links each cell to the one before it,
    // and the first cell to the last.
    std::unordered_map<const CPathString*, std::pair<int32_t, int32_t>, PathPointerHash, PathPointerEqual> firstAndLast;
    firstAndLast.reserve(static_cast<size_t>(cells));
    for (int32_t cell = 0; cell < cells; ++cell) {
        const auto [entry, isNew] = firstAndLast.try_emplace(&PathOf(cell), cell, cell);
        if (!isNew) {
            m_nextCell[static_cast<size_t>(entry->second.second)] = cell;
            entry->second.second = cell;
        }
        m_nextCell[static_cast<size_t>(cell)] = entry->second.first;
    }
}

void CResultsView::CollectMarkedFiles(std::vector<CPathString>& list, MarkedPathSet& set) const
{
    list.clear();
    set.clear();
    const int count = std::min(RowCount(), static_cast<int>(m_rows.size()));
    // Room for one mark per row: a long list is collected without rehashing on the way.
    set.reserve(static_cast<size_t>(count));
    for (int row = 0; row < count; ++row) {
        const CDuplicatePair& pair = m_rows[static_cast<size_t>(row)];
        if (IsMarked(row, kOriginalColumn) && set.insert(pair.originalPath).second)
            list.push_back(pair.originalPath);
        if (IsMarked(row, kDuplicateColumn) && set.insert(pair.duplicatePath).second)
            list.push_back(pair.duplicatePath);
    }
}

void CResultsView::RestoreMarks(const MarkedPathSet& set)
{
    if (set.empty())
        return;
    // Every cell is visited: each one is set by itself.
    const int count = std::min(RowCount(), static_cast<int>(m_rows.size()));
    for (int row = 0; row < count; ++row) {
        const CDuplicatePair& pair = m_rows[static_cast<size_t>(row)];
        if (set.count(pair.originalPath))
            m_list.SetItemImage(row, kOriginalColumn, kMarked);
        if (set.count(pair.duplicatePath))
            m_list.SetItemImage(row, kDuplicateColumn, kMarked);
    }
    Recount();
}

void CResultsView::ClearMarks()
{
    const int count = RowCount();
    for (int row = 0; row < count; ++row) {
        for (int column : {kOriginalColumn, kDuplicateColumn}) {
            if (GetMark(row, column) != kUnmarked)
                m_list.SetItemImage(row, column, kUnmarked);
        }
    }
    SetMarked({});
}
