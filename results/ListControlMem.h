#pragma once
// The list control of both lists of the main window: a report view whose rows, texts and cell
// images live in the control itself (CListControlModel). It paints through an off-screen surface
// (CMemDC_Exp) and never erases its background separately, so scrolling and resizing do not
// flicker; while disabled it is a plain button-face area with neither rows nor grid lines. A cell
// whose image is a mark (CListControlModel::SetMarkImages) shows the mark drawn from the palette
// (CMarkImage) where its image would be. Painting and hit-testing are in logical pixels, the same
// on a screen of any scale.
// It tells its dialog about clicks on its rows (NM_CLICK), double clicks on a cell (NM_DBLCLK),
// Enter on the current cell (NM_RETURN), requests for a context menu (NM_RCLICK: a right click on
// a cell, the Menu key or Shift+F10 on the current cell; a request nobody routes goes on to the
// dialog), on its column headers (LVN_COLUMNCLICK) and about changes of its row selection
// (LVN_ITEMCHANGED). The current cell has a focus frame drawn in the palette's text colour (the
// highlighted text colour on a selected row) while the list has the focus. A change of a mark
// raises the cell's checked state-change event for screen readers. Window thread only.
#include <QRect>
#include <QTableView>

#include <cstdint>
#include <functional>
#include <vector>

#include "results/ListControlModel.h"
#include "widgets/Notify.h"

class CImageList;
class QAccessibleEvent;

// Extended styles.
constexpr uint32_t LVS_EX_GRIDLINES = 0x00000001;
constexpr uint32_t LVS_EX_SUBITEMIMAGES = 0x00000002;
constexpr uint32_t LVS_EX_FULLROWSELECT = 0x00000020;

// Column alignment.
constexpr int LVCFMT_LEFT = 0;
constexpr int LVCFMT_RIGHT = 1;
constexpr int LVCFMT_CENTER = 2;

// Item queries.
constexpr int LVNI_SELECTED = 0x0002;

class CListControlMem : public QTableView {
    Q_OBJECT
public:
    explicit CListControlMem(QWidget* parent = nullptr);
    ~CListControlMem() override;

    // When bound to a template list: single or multiple selection, column header shown or not,
    // headers clickable or not, selection shown without focus or not, border, from its style bits.
    void PreSubclassWindow();

    // The area the rows are drawn in (the header excluded), in its own coordinates.
    QRect GetClientRect();

    int InsertColumn(int column, const QString& heading, int format, int width);
    int GetColumnCount() const;
    bool SetColumnWidth(int column, int width);
    int GetColumnWidth(int column) const;

    // Exactly the given extended styles (grid lines, sub-item images, full-row select).
    void SetExtendedStyle(uint32_t styles);
    uint32_t GetExtendedStyle() const { return m_extendedStyle; }

    // The small-image list of the cells; not owned. Returns the previous one.
    const CImageList* SetImageList(const CImageList* images);

    // Inserts a row whose first cell shows the text and image; returns its index, -1 on failure.
    int InsertItem(int row, const QString& text, int image = 0);
    bool DeleteItem(int row);
    bool DeleteAllItems();
    // Replaces every row at once, with the texts and images of its cells: what deleting every row
    // and inserting these one by one gives, in one step (the view lays itself out once).
    void SetAllItems(std::vector<CListControlModel::Row> rows);
    int GetItemCount() const;
    // Room for `rows` rows about to be inserted.
    void SetItemCountEx(int rows);

    QString GetItemText(int row, int column) const;
    bool SetItemText(int row, int column, const QString& text);
    // The image index of a cell, -1 outside the table or without image.
    int GetItemImage(int row, int column) const;
    bool SetItemImage(int row, int column, int image);

    // The first row after `start` (-1: from the beginning) that is selected, or -1.
    int GetNextItem(int start, int flags) const;
    // Selects or deselects a row.
    bool SetItemSelected(int row, bool selected);

    // Suspends (false) or resumes (true) painting.
    void SetRedraw(bool redraw);

    // What lies under `point` (in the rows area's coordinates): the row and column, and
    // LVHT_ONITEMICON on a cell's image, LVHT_ONITEMLABEL elsewhere in a cell, LVHT_NOWHERE
    // outside every cell (row and column then -1).
    struct HitTestInfo {
        int row = -1;
        int column = -1;
        uint32_t flags = LVHT_NOWHERE;
    };
    HitTestInfo SubItemHitTest(const QPoint& point) const;

    // The rectangle of a cell's image in the rows area's coordinates; empty for a cell without one.
    QRect GetSubItemIconRect(int row, int column) const;

    // Where the checked state-change events of marks go: by default to QAccessible while a screen
    // reader is active (Qt drops accessibility events, before any update handler, on a platform
    // without an accessibility bridge, such as the offscreen one). A receiver set here gets every
    // event, active or not; an empty one restores the default.
    using MarkAnnouncer = std::function<void(QAccessibleEvent&)>;
    static void SetMarkAnnouncer(MarkAnnouncer announcer);

    // The painting rectangle of the last paint.
    const QRect& PaintRect() const { return m_rcPaint; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void PaintDefault(QPainter& painter);
    void UpdateRowHeight();
    // Tells screen readers that the marks of the cells in the range changed.
    void AnnounceMarks(const QModelIndex& first, const QModelIndex& last);

    CListControlModel m_model;
    const CImageList* m_pImages = nullptr;
    uint32_t m_extendedStyle = 0;
    QRect m_rcPaint;
    bool m_bDefaultPaint = false;
    QPoint m_lastReleasePoint;
};
