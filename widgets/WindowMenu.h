#pragma once
// The window menu of a dialog: Restore, Minimize, Maximize and Close, each enabled as the
// window's state allows, then a separator and the dialog's own items (the About item). The
// window manager's own menu cannot be extended, so the dialog shows this one on a right click in
// its free client area (where no control is) and from the keyboard (the Menu key or Shift+F10
// while the focused control has no context menu of its own). A picked command goes to the
// handler; the window commands are carried out by ExecuteWindowCommand. Window thread only.
#include <QObject>
#include <QPoint>
#include <QString>

#include <functional>
#include <utility>
#include <vector>

class QMenu;
class QWidget;

// Window command ids; the low four bits are free for the system's own use.
constexpr int SC_MINIMIZE = 0xF020;
constexpr int SC_MAXIMIZE = 0xF030;
constexpr int SC_CLOSE = 0xF060;
constexpr int SC_RESTORE = 0xF120;

class CWindowMenu : public QObject {
    Q_OBJECT
public:
    // The handler gets every picked command id: a window command or an extra item's id.
    using CommandHandler = std::function<void(int id)>;

    // Watches `window` (a top-level widget) for the context-menu gestures. The extra items are
    // appended after a separator, in order (text with & for its access key, command id); without
    // extra items there is no separator.
    CWindowMenu(QWidget& window, std::vector<std::pair<QString, int>> extraItems, CommandHandler handler);
    ~CWindowMenu() override;

    // Fills `menu` with the window commands and the extra items, enabled as `window` now allows.
    // Each action carries its command id as data.
    void Build(QMenu& menu) const;

    // True when `pos` (window coordinates) lies in the free client area: on no control, or only
    // on a part that never takes the focus (a caption, a picture, a line, the status bar).
    bool IsFreeArea(QPoint pos) const;

    // Shows the menu at `globalPos` and returns the picked command id, 0 when dismissed.
    int Track(QPoint globalPos);

    // The default handling of a window command: restores, minimises, maximises or closes
    // `window`. Returns false for an id that is no window command (nothing happens).
    static bool ExecuteWindowCommand(QWidget& window, int id);

    // Whether `id` (low four bits ignored) is allowed for `window` in its present state.
    static bool IsCommandEnabled(const QWidget& window, int id);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Shows the menu and passes the picked command to the handler.
    void Popup(QPoint globalPos);
    // Where a menu opened from the keyboard appears: at the focused control, else the window's corner.
    QPoint KeyboardMenuPosition() const;

    QWidget& m_window;
    std::vector<std::pair<QString, int>> m_extraItems;
    CommandHandler m_handler;
};
