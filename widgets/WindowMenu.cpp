#include "widgets/WindowMenu.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QWidget>

namespace {

struct WindowCommand {
    int id;
    const char* text;
};

constexpr WindowCommand kWindowCommands[] = {
    {SC_RESTORE, "&Restore"},
    {SC_MINIMIZE, "Mi&nimize"},
    {SC_MAXIMIZE, "Ma&ximize"},
    {SC_CLOSE, "&Close"},
};

// The direct child of `window` that contains `widget`, or nullptr.
QWidget* DirectChild(const QWidget& window, QWidget* widget)
{
    while (widget && widget->parentWidget() != &window)
        widget = widget->parentWidget();
    return widget;
}

}  // namespace

CWindowMenu::CWindowMenu(QWidget& window, std::vector<std::pair<QString, int>> extraItems, CommandHandler handler)
    : QObject(&window), m_window(window), m_extraItems(std::move(extraItems)), m_handler(std::move(handler))
{
    m_window.installEventFilter(this);
}

CWindowMenu::~CWindowMenu() = default;

bool CWindowMenu::IsCommandEnabled(const QWidget& window, int id)
{
    const Qt::WindowStates state = window.windowState();
    const Qt::WindowFlags flags = window.windowFlags();
    const bool changed = state & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen);
    switch (id & 0xFFF0) {
    case SC_RESTORE:
        return changed;
    case SC_MINIMIZE:
        return (flags & Qt::WindowMinimizeButtonHint) && !(state & Qt::WindowMinimized);
    case SC_MAXIMIZE:
        return (flags & Qt::WindowMaximizeButtonHint) && !(state & Qt::WindowMaximized);
    case SC_CLOSE:
        return true;
    default:
        return false;
    }
}

bool CWindowMenu::ExecuteWindowCommand(QWidget& window, int id)
{
    switch (id & 0xFFF0) {
    case SC_RESTORE:
        window.setWindowState(window.windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen));
        return true;
    case SC_MINIMIZE:
        window.setWindowState(window.windowState() | Qt::WindowMinimized);
        return true;
    case SC_MAXIMIZE:
        window.setWindowState((window.windowState() & ~Qt::WindowMinimized) | Qt::WindowMaximized);
        return true;
    case SC_CLOSE:
        window.close();
        return true;
    default:
        return false;
    }
}

void CWindowMenu::Build(QMenu& menu) const
{
    for (const WindowCommand& command : kWindowCommands) {
        QAction* action = menu.addAction(QString::fromLatin1(command.text));
        action->setData(command.id);
        action->setEnabled(IsCommandEnabled(m_window, command.id));
    }
    if (m_extraItems.empty())
        return;
    menu.addSeparator();
    for (const auto& [text, id] : m_extraItems)
        menu.addAction(text)->setData(id);
}

bool CWindowMenu::IsFreeArea(QPoint pos) const
{
    if (!m_window.rect().contains(pos))
        return false;
    QWidget* child = DirectChild(m_window, m_window.childAt(pos));
    return !child || child->focusPolicy() == Qt::NoFocus;
}

int CWindowMenu::Track(QPoint globalPos)
{
    QMenu menu(&m_window);
    Build(menu);
    QAction* picked = menu.exec(globalPos);
    return picked ? picked->data().toInt() : 0;
}

void CWindowMenu::Popup(QPoint globalPos)
{
    const int id = Track(globalPos);
    if (id != 0 && m_handler)
        m_handler(id);
}

QPoint CWindowMenu::KeyboardMenuPosition() const
{
    if (QWidget* focus = m_window.focusWidget(); focus && focus->isVisible())
        return focus->mapToGlobal(QPoint(0, focus->height()));
    return m_window.mapToGlobal(QPoint(0, 0));
}

bool CWindowMenu::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != &m_window)
        return false;
    if (event->type() == QEvent::ContextMenu) {
        // A context-menu request reaches the window when the control under it (or the focused
        // control, from the keyboard) has no menu of its own.
        auto* request = static_cast<QContextMenuEvent*>(event);
        if (request->reason() == QContextMenuEvent::Mouse && !IsFreeArea(request->pos())) {
            request->accept();
            return true;
        }
        Popup(request->reason() == QContextMenuEvent::Mouse ? request->globalPos() : KeyboardMenuPosition());
        request->accept();
        return true;
    }
    if (event->type() == QEvent::KeyPress) {
        // Shift+F10 asks the focused control for its context menu, as the Menu key does; a
        // control without one passes the request on to the window.
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_F10 && (key->modifiers() & ~Qt::KeypadModifier) == Qt::ShiftModifier) {
            QWidget* target = m_window.focusWidget() ? m_window.focusWidget() : &m_window;
            const QPoint local = target == &m_window ? QPoint(0, 0) : QPoint(0, target->height());
            QContextMenuEvent request(QContextMenuEvent::Keyboard, local, target->mapToGlobal(local));
            QApplication::sendEvent(target, &request);
            key->accept();
            return true;
        }
    }
    return false;
}
