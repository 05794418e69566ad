#pragma once
// A push button that drops a menu beside itself when clicked (mouse, Space or Enter) and then
// tells its dialog what was picked: MBN_PICKED after every drop-down, with the command id in
// m_nPicked (0 when the menu was dismissed). It paints itself through DrawItem: with the running
// style's push-button panel when themed, with the classic frame otherwise, always with a small
// arrow pointing to where the menu opens, and with a hot look while the cursor is over it.
// Window thread only.
#include <QPushButton>

#include <cstdint>
#include <functional>
#include <memory>

class QMenu;

class CMenuButton : public QPushButton {
    Q_OBJECT
public:
    // Hover polling period: the hot look ends within one period after the cursor leaves.
    static constexpr int HOVER_TIMER_PERIOD_MS = 10;

    // Item state of one painting, as the owner-draw record gives it.
    enum ItemState : uint32_t {
        ODS_SELECTED = 0x0001,  // pressed
        ODS_DISABLED = 0x0004,
        ODS_FOCUS = 0x0010,
        ODS_NOFOCUSRECT = 0x0200,
    };

    explicit CMenuButton(QWidget* parent = nullptr);
    ~CMenuButton() override;

    // Takes over the menu (a bar whose first item holds the popup that drops down), destroying
    // the one held before; forgets the remembered position. Always true.
    bool SetMenu(std::unique_ptr<QMenu> menu);
    // The same with a maker of the menu, run when the menu is first needed (a click, GetMenu,
    // GetPopup) on the window thread: a menu of thousands of entries costs nothing until it is
    // opened. Whatever the maker reads must not change before then. A maker that gives nothing
    // leaves the button without a menu.
    using MenuMaker = std::function<std::unique_ptr<QMenu>()>;
    bool SetMenu(MenuMaker make);

    // Replaces the held menu by the menu resource `id` (an empty menu when there is no such
    // resource) and remembers the id.
    void LoadMenuResource(int id);

    // Makes the text of the remembered popup item the caption, when there is such an item.
    void ShowSelectionText();

    // Drops the popup at the button's top-right corner and waits until it closes, storing the
    // picked command id (0: dismissed) in m_nPicked; then sends MBN_PICKED to the dialog, also
    // when there is no menu (m_nPicked unchanged then). Returns true.
    bool OnClicked();

    // Paints the button into `rect` with the given ItemState bits.
    void DrawItem(QPainter& painter, const QRect& rect, uint32_t state);

    // True while the cursor lies inside the button.
    bool IsCursorInside() const;

    // The colour of the focus frame and the focus rectangle: the palette's button text, readable
    // (at least 4.5:1) on the button colour.
    QColor FocusColour() const;

    // The first popup of the held menu, or nullptr.
    QMenu* GetPopup() const;
    const QMenu* GetMenu() const;
    bool IsHot() const { return m_bHover; }

    int32_t m_nSelectedPos = -1;
    uint32_t m_nPicked = 0;
    int32_t m_nMenuId = -1;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void OnMouseMove();
    void DrawClassicFrame(QPainter& painter, const QRect& rect, uint32_t state);
    void DrawThemedPanel(QPainter& painter, const QRect& rect, uint32_t state);
    void DrawCaption(QPainter& painter, const QRect& rect, uint32_t state, bool themed);

    // Runs a pending maker.
    void MakeMenu() const;

    mutable std::unique_ptr<QMenu> m_menu;
    mutable MenuMaker m_makeMenu;  // pending until the menu is first needed
    QMenu* m_pPopup = nullptr;
    bool m_bHover = false;
    int m_hoverTimer = 0;  // id of the running hover timer, 0 when none
};
