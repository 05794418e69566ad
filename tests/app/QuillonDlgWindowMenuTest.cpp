// The main dialog's window menu and what screen readers see of the dialog: the About item opens
// the About box and no other window command does; every focusable control has a name; the marks
// of the results list are the checked state of their cells.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>
#include <set>

#include "app/QuillonDlg.h"
#include "app/Settings.h"
#include "engine/Catalogue.h"
#include "platform/Profile.h"
#include "res/ResourceIds.h"
#include "tests/app/FolderDialogFixture.h"
#include "tests/widgets/QtTestEnvironment.h"
#include "widgets/AboutDlg.h"
#include "widgets/WindowMenu.h"

namespace {

class QuillonDlgWindowMenuTest : public quillon::test::FolderDialogTest {
protected:
    void SetUp() override
    {
        FolderDialogTest::SetUp();
        Open();
    }

    // Runs `action` and reports whether an About box was shown meanwhile (and closes it).
    bool ShowsAboutBox(const std::function<void()>& action)
    {
        bool shown = false;
        QTimer watcher;
        QObject::connect(&watcher, &QTimer::timeout, [&] {
            if (auto* about = qobject_cast<CAboutDlg*>(QApplication::activeModalWidget())) {
                shown = true;
                about->EndDialog(IDOK);
            }
        });
        watcher.start(0);
        action();
        QCoreApplication::processEvents();
        return shown;
    }

    // The texts of the menu a right click at `pos` (dialog coordinates) opens; empty when none.
    std::vector<QString> RightClickMenu(QPoint pos)
    {
        std::vector<QString> texts;
        QTimer::singleShot(0, [&] {
            if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
                for (QAction* action : menu->actions())
                    texts.push_back(action->text());
                menu->close();
            }
        });
        QWidget* target = Dlg().childAt(pos) ? Dlg().childAt(pos) : &Dlg();
        const QPoint local = target->mapFrom(&Dlg(), pos);
        QContextMenuEvent request(QContextMenuEvent::Mouse, local, target->mapToGlobal(local));
        QApplication::sendEvent(target, &request);
        QCoreApplication::processEvents();
        return texts;
    }
};

TEST_F(QuillonDlgWindowMenuTest, RightClickInTheFreeAreaOffersAboutAndOverAControlNothing)
{
    // Between the search row and the results list nothing is placed.
    const QWidget* results = Dlg().GetDlgItem(IDC_LIST_RESULTS);
    const QPoint free(Dlg().width() / 2, results->geometry().top() - 2);
    ASSERT_EQ(Dlg().childAt(free), nullptr);
    const std::vector<QString> menu = RightClickMenu(free);
    ASSERT_FALSE(menu.empty());
    EXPECT_EQ(menu.back(), QStringLiteral("&About Quillon..."));

    for (int id : {IDC_BUTTON_SEARCH, IDC_LIST_RESULTS, IDC_BUTTON_STOP}) {
        SCOPED_TRACE(id);
        EXPECT_TRUE(RightClickMenu(Dlg().GetDlgItem(id)->geometry().center()).empty());
    }
}

TEST_F(QuillonDlgWindowMenuTest, AboutCommandOpensTheBoxAndNoOtherWindowCommandDoes)
{
    EXPECT_TRUE(ShowsAboutBox([&] { Dlg().OnSysCommand(IDM_ABOUTBOX, 0); }));
    EXPECT_TRUE(ShowsAboutBox([&] { Dlg().OnSysCommand(IDM_ABOUTBOX | 0x000F, 0); }));  // low bits are the system's
    EXPECT_FALSE(ShowsAboutBox([&] { Dlg().OnSysCommand(SC_MINIMIZE, 0); }));
    EXPECT_TRUE(Dlg().windowState() & Qt::WindowMinimized);
    EXPECT_FALSE(ShowsAboutBox([&] { Dlg().OnSysCommand(SC_RESTORE, 0); }));
    EXPECT_FALSE(Dlg().windowState() & Qt::WindowMinimized);
    EXPECT_FALSE(ShowsAboutBox([&] { Dlg().OnSysCommand(IDM_ABOUTBOX + 0x10, 0); }));
    EXPECT_TRUE(Dlg().isVisible());
}

// Every focusable object in the accessibility tree below `node`, with its name.
void CollectFocusable(QAccessibleInterface* node, std::vector<std::pair<QString, QString>>& found)
{
    if (!node)
        return;
    const QAccessible::State state = node->state();
    if (state.focusable && !state.invisible) {
        QString where = node->object() ? QString::fromLatin1(node->object()->metaObject()->className()) : QString();
        found.emplace_back(where + QStringLiteral(" role ") + QString::number(node->role()), node->text(QAccessible::Name));
    }
    for (int i = 0; i < node->childCount(); ++i)
        CollectFocusable(node->child(i), found);
}

TEST_F(QuillonDlgWindowMenuTest, EveryFocusableControlHasAnAccessibleName)
{
    g_duplicates.push_back(CDuplicatePair{u"/data/a", u"/data/b", 10, 0, 0});
    Dlg().OnSearchDone();
    std::vector<std::pair<QString, QString>> focusable;
    CollectFocusable(QAccessible::queryAccessibleInterface(&Dlg()), focusable);
    EXPECT_GE(focusable.size(), 15u);
    for (const auto& [what, name] : focusable)
        EXPECT_FALSE(name.trimmed().isEmpty()) << what.toStdString();

    auto nameOf = [](QWidget* control) { return QAccessible::queryAccessibleInterface(control)->text(QAccessible::Name); };
    EXPECT_EQ(nameOf(Dlg().GetDlgItem(IDC_EDIT_FOLDER)), QStringLiteral("Add Folder"));
    EXPECT_EQ(nameOf(Dlg().GetDlgItem(IDC_EDIT_SIZE_FROM)), QStringLiteral("from"));
    EXPECT_EQ(nameOf(Dlg().GetDlgItem(IDC_EDIT_SIZE_TO)), QStringLiteral("to"));
    for (int id : {IDC_BUTTON_SELECT, IDC_BUTTON_FOLDERS}) {
        QAccessibleInterface* button = QAccessible::queryAccessibleInterface(Dlg().GetDlgItem(id));
        EXPECT_EQ(button->role(), QAccessible::ButtonMenu);
        EXPECT_TRUE(button->state().hasPopup);
        EXPECT_EQ(button->text(QAccessible::Description), QStringLiteral("Opens a menu"));
    }
}

TEST_F(QuillonDlgWindowMenuTest, TabReachesEveryEnabledControlAndComesBackAround)
{
    m_pDialog.reset();
    theSettings.m_Folders.emplace_back(u"/data/");
    theSettings.m_Folders.emplace_back(u"/more/");
    m_pDialog = std::make_unique<CQuillonDlg>();
    ASSERT_TRUE(Dlg().Create());
    Dlg().show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&Dlg()));
    g_duplicates.push_back(CDuplicatePair{u"/data/a", u"/data/b", 10, 0, 0});
    g_duplicates.push_back(CDuplicatePair{u"/data/c", u"/data/d", 20, 0, 0});
    Dlg().OnSearchDone();
    std::set<QWidget*> expected;
    for (QWidget* control : Dlg().TemplateControls()) {
        if ((control->focusPolicy() & Qt::TabFocus) && control->isEnabled())
            expected.insert(control);
    }
    QWidget* first = Dlg().GetDlgItem(IDC_EDIT_FOLDER);
    first->setFocus();
    std::set<QWidget*> visited{first};
    for (size_t step = 0; step < 2 * expected.size() && QApplication::focusWidget() != nullptr; ++step) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        if (QApplication::focusWidget() == first)
            break;
        visited.insert(QApplication::focusWidget());
    }
    EXPECT_EQ(QApplication::focusWidget(), first);
    EXPECT_EQ(visited, expected);
}

TEST_F(QuillonDlgWindowMenuTest, MarksAreTheCheckedStateOfTheirCells)
{
    g_duplicates.push_back(CDuplicatePair{u"/data/a", u"/data/b", 10, 0, 0});
    g_duplicates.push_back(CDuplicatePair{u"/data/c", u"/data/d", 20, 0, 0});
    Dlg().OnSearchDone();
    Dlg().Results().SetMark(1, CResultsView::kDuplicateColumn, CResultsView::kMarked);

    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(Dlg().GetDlgItem(IDC_LIST_RESULTS));
    ASSERT_NE(list, nullptr);
    QAccessibleTableInterface* table = list->tableInterface();
    ASSERT_NE(table, nullptr);
    auto cell = [&](int row, int column) { return table->cellAt(row, column)->state(); };
    EXPECT_TRUE(cell(1, 1).checkable);
    EXPECT_TRUE(cell(1, 1).checked);
    EXPECT_TRUE(cell(0, 0).checkable);
    EXPECT_FALSE(cell(0, 0).checked);
    EXPECT_FALSE(cell(0, 2).checkable);  // the size column carries no mark

    // Space on the current cell sets its mark, as a click on the mark does.
    auto& view = static_cast<CListControlMem&>(*Dlg().GetDlgItem(IDC_LIST_RESULTS));
    view.setFocus();
    view.setCurrentIndex(view.model()->index(0, 0));
    QTest::keyClick(&view, Qt::Key_Space);
    EXPECT_TRUE(Dlg().Results().IsMarked(0, CResultsView::kOriginalColumn));
    EXPECT_TRUE(cell(0, 0).checked);
}

}  // namespace
