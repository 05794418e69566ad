#include "results/ListControlMem.h"

#include <QAccessible>
#include <QApplication>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QStyle>
#include <QStyledItemDelegate>

#include <algorithm>

#include "res/DialogTemplate.h"
#include "results/MarkImage.h"
#include "widgets/ControlId.h"
#include "widgets/Dialog.h"
#include "widgets/ImageList.h"
#include "widgets/MemDC_Exp.h"

namespace {

Qt::Alignment ColumnAlignment(int format)
{
    switch (format & 3) {
    case LVCFMT_RIGHT:
        return Qt::AlignRight;
    case LVCFMT_CENTER:
        return Qt::AlignHCenter;
    default:
        return Qt::AlignLeft;
    }
}

// The view's delegate, with the option set-up of a cell open to the hit test. A cell whose image
// is its mark is laid out by the style around an image of the mark's size, and the mark is drawn
// from the palette into the place the style gives that image (CMarkImage).
class CellDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void InitOption(QStyleOptionViewItem* option, const QModelIndex& index) const { initStyleOption(option, index); }

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        const auto* model = qobject_cast<const CListControlModel*>(index.model());
        if (!model || !model->IsMarkCell(index)) {
            QStyledItemDelegate::paint(painter, option, index);
            DrawFocusFrame(painter, option);
            return;
        }
        QStyleOptionViewItem cell = option;
        initStyleOption(&cell, index);
        cell.icon = QIcon();  // the place of the image stays; the mark is drawn below
        const QWidget* widget = option.widget;
        QStyle* style = widget ? widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &cell, painter, widget);
        const QRect image = style->subElementRect(QStyle::SE_ItemViewItemDecoration, &cell, widget);
        const CListControlModel::Cell* data = model->GetCell(index.row(), index.column());
        CMarkImage::Draw(*painter, QRect(image.topLeft(), QSize(CMarkImage::kWidth, CMarkImage::kHeight)),
                         data && data->image == 1, cell.palette);
        DrawFocusFrame(painter, option);
    }

    // The current cell of a focused list: a frame in the colour of the cell's text, whatever the
    // style draws itself (some styles show focus only after a key was pressed, or barely).
    static void DrawFocusFrame(QPainter* painter, const QStyleOptionViewItem& option)
    {
        if (!(option.state & QStyle::State_HasFocus))
            return;
        const bool selected = option.state & QStyle::State_Selected;
        const QColor colour = option.palette.color(QPalette::Active, selected ? QPalette::HighlightedText : QPalette::Text);
        painter->save();
        painter->setPen(QPen(colour, 1.0));
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(QRectF(option.rect).adjusted(0.5, 0.5, -1.5, -1.5));
        painter->restore();
    }
};

CListControlMem::MarkAnnouncer g_markAnnouncer;

}  // namespace

void CListControlMem::SetMarkAnnouncer(MarkAnnouncer announcer)
{
    g_markAnnouncer = std::move(announcer);
}

CListControlMem::CListControlMem(QWidget* parent) : QTableView(parent), m_model(this)
{
    setModel(&m_model);
    setItemDelegate(new CellDelegate(this));
    verticalHeader()->hide();
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setSortIndicatorShown(false);
    horizontalHeader()->setStretchLastSection(false);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    // Tab leaves the list for the next control; arrows move within it (Tab would trap the focus).
    setTabKeyNavigation(false);
    setWordWrap(false);
    setTextElideMode(Qt::ElideRight);
    setShowGrid(false);
    // Every paint covers the whole area, so the background is never erased first.
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    UpdateRowHeight();
    connect(horizontalHeader(), &QHeaderView::sectionClicked, this, [this](int column) {
        CNotify info;
        info.column = column;
        CDialog::NotifyParent(this, LVN_COLUMNCLICK, info);
    });
    // The view emits `clicked` on a release over the cell the press was on.
    connect(this, &QAbstractItemView::clicked, this, [this](const QModelIndex& index) {
        CNotify info;
        info.row = index.row();
        info.column = index.column();
        info.point = m_lastReleasePoint;
        CDialog::NotifyParent(this, NM_CLICK, info);
    });
    connect(this, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& index) {
        CNotify info;
        info.row = index.row();
        info.column = index.column();
        CDialog::NotifyParent(this, NM_DBLCLK, info);
    });
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { CDialog::NotifyParent(this, LVN_ITEMCHANGED); });
    connect(&m_model, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex& first, const QModelIndex& last, const QList<int>& roles) {
                if (roles.contains(Qt::CheckStateRole) && (QAccessible::isActive() || g_markAnnouncer))
                    AnnounceMarks(first, last);
            });
}

CListControlMem::~CListControlMem() = default;

void CListControlMem::PreSubclassWindow()
{
    const uint32_t style = GetTemplateStyle(this);
    setSelectionMode((style & ControlStyle::SingleSelection) ? QAbstractItemView::SingleSelection
                                                             : QAbstractItemView::ExtendedSelection);
    horizontalHeader()->setVisible(!(style & ControlStyle::NoColumnHeader));
    horizontalHeader()->setSectionsClickable(!(style & ControlStyle::NoSortHeader));
    setFrameStyle((style & ControlStyle::Border) ? (QFrame::StyledPanel | QFrame::Sunken) : QFrame::NoFrame);
    if (!(style & ControlStyle::ShowSelectionAlways)) {
        // Without the focus the selection is not shown.
        QPalette colours = palette();
        colours.setColor(QPalette::Inactive, QPalette::Highlight, colours.color(QPalette::Inactive, QPalette::Base));
        colours.setColor(QPalette::Inactive, QPalette::HighlightedText, colours.color(QPalette::Inactive, QPalette::Text));
        setPalette(colours);
    }
}

QRect CListControlMem::GetClientRect()
{
    // The view places its rows' area when it is shown or resized; settle it now, so that the
    // answer also holds for a list that has not been shown yet.
    updateGeometries();
    return viewport()->rect();
}

int CListControlMem::InsertColumn(int column, const QString& heading, int format, int width)
{
    int inserted = m_model.InsertColumn(column, heading, ColumnAlignment(format));
    setColumnWidth(inserted, width);
    return inserted;
}

int CListControlMem::GetColumnCount() const
{
    return m_model.columnCount();
}

bool CListControlMem::SetColumnWidth(int column, int width)
{
    if (column < 0 || column >= GetColumnCount())
        return false;
    setColumnWidth(column, width);
    return true;
}

int CListControlMem::GetColumnWidth(int column) const
{
    return columnWidth(column);
}

void CListControlMem::SetExtendedStyle(uint32_t styles)
{
    m_extendedStyle = styles;
    setShowGrid((styles & LVS_EX_GRIDLINES) != 0);
    setSelectionBehavior((styles & LVS_EX_FULLROWSELECT) ? QAbstractItemView::SelectRows : QAbstractItemView::SelectItems);
    m_model.SetImageList(m_pImages, (styles & LVS_EX_SUBITEMIMAGES) != 0);
}

const CImageList* CListControlMem::SetImageList(const CImageList* images)
{
    const CImageList* previous = m_pImages;
    m_pImages = images;
    if (images && images->ImageSize().isValid())
        setIconSize(images->ImageSize());
    m_model.SetImageList(images, (m_extendedStyle & LVS_EX_SUBITEMIMAGES) != 0);
    UpdateRowHeight();
    return previous;
}

int CListControlMem::InsertItem(int row, const QString& text, int image)
{
    if (row < 0)
        return -1;
    return m_model.InsertRow(row, text, image);
}

bool CListControlMem::DeleteItem(int row)
{
    return m_model.RemoveRow(row);
}

bool CListControlMem::DeleteAllItems()
{
    m_model.Clear();
    return true;
}

void CListControlMem::SetAllItems(std::vector<CListControlModel::Row> rows)
{
    m_model.ResetRows(std::move(rows));
}

int CListControlMem::GetItemCount() const
{
    return m_model.rowCount();
}

void CListControlMem::SetItemCountEx(int rows)
{
    m_model.Reserve(rows);
}

QString CListControlMem::GetItemText(int row, int column) const
{
    const CListControlModel::Cell* cell = m_model.GetCell(row, column);
    return cell ? cell->Text() : QString();
}

bool CListControlMem::SetItemText(int row, int column, const QString& text)
{
    return m_model.SetCellText(row, column, text);
}

int CListControlMem::GetItemImage(int row, int column) const
{
    const CListControlModel::Cell* cell = m_model.GetCell(row, column);
    return cell ? cell->image : -1;
}

bool CListControlMem::SetItemImage(int row, int column, int image)
{
    return m_model.SetCellImage(row, column, image);
}

int CListControlMem::GetNextItem(int start, int flags) const
{
    if (!(flags & LVNI_SELECTED) || !selectionModel())
        return -1;
    for (int row = std::max(start + 1, 0); row < GetItemCount(); ++row) {
        if (selectionModel()->rowIntersectsSelection(row, QModelIndex()))
            return row;
    }
    return -1;
}

bool CListControlMem::SetItemSelected(int row, bool selected)
{
    if (row < 0 || row >= GetItemCount() || !selectionModel())
        return false;
    QModelIndex first = m_model.index(row, 0);
    selectionModel()->select(
        first, (selected ? QItemSelectionModel::Select : QItemSelectionModel::Deselect) | QItemSelectionModel::Rows);
    if (selected)
        selectionModel()->setCurrentIndex(first, QItemSelectionModel::NoUpdate);
    return true;
}

void CListControlMem::SetRedraw(bool redraw)
{
    setUpdatesEnabled(redraw);
    if (redraw)
        viewport()->update();
}

CListControlMem::HitTestInfo CListControlMem::SubItemHitTest(const QPoint& point) const
{
    HitTestInfo info;
    const QModelIndex index = indexAt(point);
    if (!index.isValid())
        return info;
    info.row = index.row();
    info.column = index.column();
    info.flags = GetSubItemIconRect(info.row, info.column).contains(point) ? LVHT_ONITEMICON : LVHT_ONITEMLABEL;
    return info;
}

QRect CListControlMem::GetSubItemIconRect(int row, int column) const
{
    const QModelIndex index = m_model.index(row, column);
    if (!index.isValid() || !index.data(Qt::DecorationRole).isValid())
        return QRect();
    // Where the view's delegate puts the image of this cell.
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    option.rect = visualRect(index);
    static_cast<const CellDelegate*>(itemDelegate())->InitOption(&option, index);
    return style()->subElementRect(QStyle::SE_ItemViewItemDecoration, &option, this);
}

void CListControlMem::mouseReleaseEvent(QMouseEvent* event)
{
    m_lastReleasePoint = event->position().toPoint();
    QTableView::mouseReleaseEvent(event);
}

void CListControlMem::keyPressEvent(QKeyEvent* event)
{
    const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    if (plain && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && currentIndex().isValid()) {
        CNotify info;
        info.row = currentIndex().row();
        info.column = currentIndex().column();
        if (CDialog::NotifyParent(this, NM_RETURN, info)) {
            event->accept();
            return;
        }
    }
    QTableView::keyPressEvent(event);
}

void CListControlMem::contextMenuEvent(QContextMenuEvent* event)
{
    CNotify info;
    QModelIndex index;
    if (event->reason() == QContextMenuEvent::Mouse) {
        index = indexAt(viewport()->mapFromGlobal(event->globalPos()));
        info.point = event->globalPos();
    } else {
        // From the keyboard: the current cell, the menu below it (in the visible part).
        index = currentIndex();
        const QRect cell = visualRect(index).intersected(viewport()->rect());
        info.point = viewport()->mapToGlobal(cell.isValid() ? cell.bottomLeft() : QPoint(0, 0));
    }
    info.row = index.isValid() ? index.row() : -1;
    info.column = index.isValid() ? index.column() : -1;
    if (CDialog::NotifyParent(this, NM_RCLICK, info))
        event->accept();
    else
        event->ignore();
}

void CListControlMem::AnnounceMarks(const QModelIndex& first, const QModelIndex& last)
{
    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(this);
    QAccessibleTableInterface* table = list ? list->tableInterface() : nullptr;
    if (!table)
        return;
    QAccessible::State checked;
    checked.checked = true;
    for (int row = first.row(); row <= last.row(); ++row) {
        for (int column = first.column(); column <= last.column(); ++column) {
            if (!m_model.IsMarkCell(m_model.index(row, column)))
                continue;
            if (QAccessibleInterface* cell = table->cellAt(row, column)) {
                QAccessibleStateChangeEvent event(cell, checked);
                if (g_markAnnouncer)
                    g_markAnnouncer(event);
                else
                    QAccessible::updateAccessibility(&event);
            }
        }
    }
}

void CListControlMem::paintEvent(QPaintEvent* event)
{
    if (m_bDefaultPaint) {
        QTableView::paintEvent(event);
        return;
    }
    // The column header is a widget of its own beside the rows' area, so the painting rectangle
    // is that whole area and the header is never painted over.
    m_rcPaint = viewport()->rect();
    QPainter target(viewport());
    CMemDC_Exp surface(&target, m_rcPaint);
    if (isEnabled())
        PaintDefault(surface.Painter());
    else
        surface->fillRect(m_rcPaint, palette().color(QPalette::Active, QPalette::Button));
}

void CListControlMem::PaintDefault(QPainter& painter)
{
    // The view's own painting, rendered into the surface: the nested rendering reaches
    // QTableView::paintEvent through m_bDefaultPaint. QWidget::render is Qt's only public way to
    // send a widget's painting to another device, and it refuses to run inside the widget's paint
    // event ("Recursive repaint detected"), so the viewport's in-paint flag is lifted around it.
    m_bDefaultPaint = true;
    viewport()->setAttribute(Qt::WA_WState_InPaintEvent, false);
    viewport()->render(&painter, m_rcPaint.topLeft(), QRegion(m_rcPaint), QWidget::RenderFlags());
    viewport()->setAttribute(Qt::WA_WState_InPaintEvent, true);
    m_bDefaultPaint = false;
}

void CListControlMem::UpdateRowHeight()
{
    const int text = fontMetrics().height() + 4;
    const int image = m_pImages ? m_pImages->ImageSize().height() + 2 : 0;
    verticalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setDefaultSectionSize(std::max(text, image));
}
