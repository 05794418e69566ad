// The window menu of a dialog: which window commands it enables, where a right click shows it,
// and the keyboard's ways to it.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "tests/widgets/QtTestEnvironment.h"
#include "widgets/WindowMenu.h"

namespace {

constexpr int kAbout = 0x0010;

class WindowMenuTest : public testing::Test {
protected:
    void SetUp() override
    {
        window.setWindowFlags(Qt::Window | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
        window.resize(300, 200);
        button = new QPushButton(QStringLiteral("Go"), &window);
        button->setGeometry(10, 10, 80, 24);
        edit = new QLineEdit(&window);
        edit->setGeometry(10, 50, 150, 24);
        caption = new QLabel(QStringLiteral("Caption"), &window);
        caption->setGeometry(10, 100, 150, 20);
        menu = new CWindowMenu(window, {{QStringLiteral("&About Quillon..."), kAbout}}, [this](int id) { picked.push_back(id); });
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }

    // Sends a context-menu request to `target`; returns the texts of the menu that opened (and
    // closes it by picking `pickText`), or nothing when no menu opened.
    std::vector<QString> RequestMenu(QWidget* target, QContextMenuEvent::Reason reason, QPoint pos, const QString& pickText = {})
    {
        std::vector<QString> texts;
        QTimer::singleShot(0, [&] {
            auto* shown = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (!shown)
                return;
            for (QAction* action : shown->actions()) {
                texts.push_back(action->isSeparator() ? QStringLiteral("-") : action->text());
            }
            for (QAction* action : shown->actions()) {
                if (!pickText.isEmpty() && action->text() == pickText) {
                    shown->setActiveAction(action);
                    QTest::keyClick(shown, Qt::Key_Return);
                    return;
                }
            }
            shown->close();
        });
        QContextMenuEvent request(reason, pos, target->mapToGlobal(pos));
        QApplication::sendEvent(target, &request);
        QCoreApplication::processEvents();
        return texts;
    }

    QWidget window;
    QPushButton* button = nullptr;
    QLineEdit* edit = nullptr;
    QLabel* caption = nullptr;
    CWindowMenu* menu = nullptr;
    std::vector<int> picked;
};

std::map<int, bool> EnabledCommands(CWindowMenu& menu)
{
    QMenu built;
    menu.Build(built);
    std::map<int, bool> enabled;
    for (QAction* action : built.actions()) {
        if (!action->isSeparator())
            enabled[action->data().toInt()] = action->isEnabled();
    }
    return enabled;
}

TEST_F(WindowMenuTest, CommandsAreEnabledAsTheWindowStateAllows)
{
    using Map = std::map<int, bool>;
    EXPECT_EQ(EnabledCommands(*menu),
              (Map{{SC_RESTORE, false}, {SC_MINIMIZE, true}, {SC_MAXIMIZE, false}, {SC_CLOSE, true}, {kAbout, true}}));
    window.setWindowState(Qt::WindowMinimized);
    EXPECT_EQ(EnabledCommands(*menu),
              (Map{{SC_RESTORE, true}, {SC_MINIMIZE, false}, {SC_MAXIMIZE, false}, {SC_CLOSE, true}, {kAbout, true}}));
    ASSERT_TRUE(CWindowMenu::ExecuteWindowCommand(window, SC_RESTORE | 0x2));  // low bits are ignored
    EXPECT_FALSE(window.windowState() & Qt::WindowMinimized);
    EXPECT_FALSE(CWindowMenu::ExecuteWindowCommand(window, kAbout));
}

TEST_F(WindowMenuTest, RightClickInTheFreeAreaShowsTheMenuAndNoneOverAControl)
{
    const std::vector<QString> free =
        RequestMenu(&window, QContextMenuEvent::Mouse, QPoint(250, 150), QStringLiteral("&About Quillon..."));
    EXPECT_EQ(free,
              (std::vector<QString>{QStringLiteral("&Restore"), QStringLiteral("Mi&nimize"), QStringLiteral("Ma&ximize"),
                                    QStringLiteral("&Close"), QStringLiteral("-"), QStringLiteral("&About Quillon...")}));
    EXPECT_EQ(picked, std::vector<int>{kAbout});

    // A caption is part of the free area; a button is a control (its request bubbles up to the window).
    EXPECT_FALSE(RequestMenu(caption, QContextMenuEvent::Mouse, QPoint(5, 5)).empty());
    EXPECT_TRUE(RequestMenu(button, QContextMenuEvent::Mouse, QPoint(5, 5)).empty());
    button->setEnabled(false);
    EXPECT_TRUE(RequestMenu(&window, QContextMenuEvent::Mouse, button->geometry().center()).empty());
    EXPECT_EQ(picked.size(), 1u);
}

TEST_F(WindowMenuTest, ShiftF10OnAControlWithoutItsOwnMenuShowsTheWindowMenu)
{
    button->setFocus();
    std::vector<QString> texts;
    QTimer::singleShot(0, [&] {
        if (auto* shown = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
            for (QAction* action : shown->actions())
                texts.push_back(action->text());
            shown->close();
        }
    });
    QTest::keyClick(button, Qt::Key_F10, Qt::ShiftModifier);
    ASSERT_FALSE(texts.empty());
    EXPECT_EQ(texts.back(), QStringLiteral("&About Quillon..."));

    // The Menu key on a button reaches the window as a keyboard request.
    EXPECT_FALSE(RequestMenu(button, QContextMenuEvent::Keyboard, QPoint(0, 0)).empty());
}

TEST_F(WindowMenuTest, ShiftF10InAnEditOpensTheEditsOwnMenu)
{
    edit->setFocus();
    QString firstText;
    QTimer::singleShot(0, [&] {
        if (auto* shown = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
            firstText = shown->actions().value(0) ? shown->actions().value(0)->text() : QString();
            shown->close();
        }
    });
    QTest::keyClick(edit, Qt::Key_F10, Qt::ShiftModifier);
    QCoreApplication::processEvents();  // the edit's menu pops up without a loop of its own
    EXPECT_FALSE(firstText.isEmpty());
    EXPECT_NE(firstText, QStringLiteral("&Restore"));
    EXPECT_TRUE(picked.empty());
}

}  // namespace
