#pragma once
// The drop-down of the path edit's completion: a frameless window under the edit that never
// takes the focus from it. It holds the candidates (in the order they were added) and shows
// those that begin with the typed text, letters a-z folded to A-Z, sorted by UTF-16 code units:
// at most 8 rows unless the user has resized it by its bottom-right grip (that size is then kept
// for later lists), with its own scroll bar when the rows do not fit. It paints through the
// off-screen surface, selects the row under the pointer, reports a row picked with the mouse to
// its edit, and hides when the edit's dialog moves or resizes (checked every 200 ms). Window
// thread only.
#include <QBasicTimer>
#include <QScrollBar>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <vector>

class CACEdit;

class CACListWnd : public QWidget {
    Q_OBJECT
public:
    static constexpr int kMaxRows = 8;

    // A hidden window; `parent` (the edit) only ties its lifetime and stacking to the dialog.
    explicit CACListWnd(QWidget* parent = nullptr);

    // Remembers the edit the list serves, measures the row height and resets the counts.
    void Initialise(CACEdit* edit);

    // Appends a candidate; empties the candidates (and the shown rows).
    void AddCandidate(const QString& text);
    void ClearCandidates();
    int CandidateCount() const { return static_cast<int>(m_candidates.size()); }
    bool HasCandidate(const QString& text) const;

    // Shows the candidates that begin with `text` (a-z folded to A-Z), sorted by code units, under
    // the edit and above every other window; hides the list when the text is empty or nothing
    // matches. The selection is cleared when the number of rows changes.
    void FilterAndShow(const QString& text);

    // The shown rows, in display order.
    const std::vector<QString>& DisplayList() const { return m_display; }

    // The selected row's text, the first row's when none is selected, empty without rows.
    QString SelectedText() const;

    // Moves the selection for Down, Up, Page Down, Page Up, Home or End, wrapping at both ends (so
    // Down from no selection selects the first row, Up the last), brings it into view and returns
    // SelectedText().
    QString MoveSelection(int key);

    // Scrolls so that row `index` is visible; false when it already was. `animate` is accepted for
    // the callers' sake; the scroll happens at once.
    bool ScrollToItem(int index, bool animate);

    // The row under `point` (window coordinates), which becomes the selection; -1 for none.
    int ItemAtPoint(const QPoint& point);

    int SelectedIndex() const { return m_nSelected; }
    int FirstVisible() const { return m_nFirstVisible; }
    int VisibleRows() const { return m_nVisibleRows; }
    int ItemHeight() const { return m_nItemHeight; }
    const QScrollBar& ScrollBar() const { return m_scrollBar; }
    // The size the user gave the list by its grip; empty until then.
    QSize RememberedSize() const { return m_rememberedSize; }
    // The grip square in window coordinates.
    QRect GripRect() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    QRect ClientRect() const;
    int ScrollExtent() const;
    void PlaceScrollBar();
    void UpdateScrollRange();
    void SetFirstVisible(int first);
    QRect DialogRect() const;
    void DrawGrip(QPainter& painter, const QRect& client) const;

    std::vector<QString> m_candidates;
    std::vector<QString> m_candidateKeys;  // the candidates with a-z folded, same order
    std::vector<size_t> m_sortedOrder;     // candidate indexes by code units of their texts
    bool m_bOrderStale = false;
    std::vector<QString> m_display;
    QScrollBar m_scrollBar;
    CACEdit* m_pEdit = nullptr;
    int m_nItemHeight = 16;
    int m_nFirstVisible = 0;
    int m_nDisplayCount = 0;
    int m_nVisibleRows = 0;
    int m_nSelected = -1;
    QSize m_rememberedSize;
    QRect m_rcDialog;         // the dialog's rectangle when the list was shown
    QBasicTimer m_moveTimer;  // every 200 ms while shown
    QTimer m_pickTimer;       // hides the list half a second after a mouse pick
    bool m_bSizing = false;
    QPoint m_sizingOrigin;  // global pointer position where the grip was taken
    QSize m_sizingStart;
};
