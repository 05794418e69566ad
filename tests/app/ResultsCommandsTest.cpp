// What the results list offers beside the selection commands, on the real dialog: opening and
// revealing files and copying their paths (the row menu), the marked total, the Folders menu of
// a large result and its dialog, readable paths, the keyboard, and what screen readers are told.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDBusMessage>
#include <QHeaderView>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <set>

#include "platform/NativeName.h"
#include "results/DesktopShell.h"
#include "results/MoreFoldersDlg.h"
#include "results/WildCardSelect.h"
#include "tests/app/FolderDialogFixture.h"
#include "widgets/ControlId.h"

using namespace quillon::test;

namespace {

class ResultsCommandsTest : public FolderDialogTest {
protected:
    void SetUp() override
    {
        FolderDialogTest::SetUp();
        CDesktopShell::SetUrlOpener([this](const QUrl& url) {
            m_opened.push_back(QString::fromLatin1(url.toEncoded()));
            return m_openerAnswers;
        });
        CDesktopShell::SetBusCaller([this](const QDBusMessage& message) {
            m_calls.push_back(message);
            return m_busAnswers;
        });
    }
    void TearDown() override
    {
        CDesktopShell::SetUrlOpener({});
        CDesktopShell::SetBusCaller({});
        FolderDialogTest::TearDown();
    }

    // The dialog after a search that found these rows.
    void ShowRows(std::vector<CDuplicatePair> rows)
    {
        ASSERT_NO_FATAL_FAILURE(Show());
        g_duplicates = std::move(rows);
        Dlg().OnSearchDone();
    }
    CListControlMem& List() const { return Dlg().ResultsList(); }
    QString MarkedPane() const
    {
        QCoreApplication::processEvents();
        return Dlg().StatusPane(5)->text();
    }
    // The marks of every path cell, row by row.
    std::vector<int> Marks() const
    {
        std::vector<int> marks;
        for (int row = 0; row < List().GetItemCount(); ++row)
            marks.insert(marks.end(), {Dlg().Results().GetMark(row, 0), Dlg().Results().GetMark(row, 1)});
        return marks;
    }

    std::vector<QString> m_opened;
    std::vector<QDBusMessage> m_calls;
    bool m_openerAnswers = true;
    bool m_busAnswers = true;
};

const std::u16string kOddName = u"/data/caf" + std::u16string(1, char16_t(0xDCE9)) + u".jpg";  // byte E9, no UTF-8

std::vector<CDuplicatePair> ThreeRows()
{
    // In the order the search leaves them: smallest first.
    return {CDuplicatePair{u"/data/b.txt", u"/copy/b.txt", 10, 5, 4}, CDuplicatePair{u"/data/a.jpg", u"/copy/a.jpg", 2048, 1, 2},
            CDuplicatePair{u"/data/a.jpg", kOddName, 2048, 1, 3}};
}

// Open Containing Folder asks the file manager over D-Bus, with the exact bytes of every name.
TEST_F(ResultsCommandsTest, OpenContainingFolderCallsShowItemsWithExactBytesAndFallsBackToTheFolder)
{
    ShowRows(ThreeRows());
    List().SetItemSelected(1, true);
    List().SetItemSelected(2, true);
    ASSERT_TRUE(Dlg().RowMenu().Run(CRowMenu::kOpenFolder, 2, 1));
    ASSERT_EQ(m_calls.size(), 1u);
    const QDBusMessage& call = m_calls[0];
    EXPECT_EQ(call.service(), QStringLiteral("org.freedesktop.FileManager1"));
    EXPECT_EQ(call.path(), QStringLiteral("/org/freedesktop/FileManager1"));
    EXPECT_EQ(call.interface(), QStringLiteral("org.freedesktop.FileManager1"));
    EXPECT_EQ(call.member(), QStringLiteral("ShowItems"));
    ASSERT_EQ(call.arguments().size(), 2);
    EXPECT_EQ(call.arguments()[0].toStringList(),
              (QStringList{QStringLiteral("file:///copy/a.jpg"), QStringLiteral("file:///data/caf%E9.jpg")}));
    EXPECT_EQ(call.arguments()[1].toString(), QString());
    EXPECT_TRUE(m_opened.empty());

    m_busAnswers = false;  // no file manager on the bus: the folder itself opens
    ASSERT_TRUE(Dlg().RowMenu().Run(CRowMenu::kOpenFolder, 0, 0));
    EXPECT_EQ(m_opened, (std::vector<QString>{QStringLiteral("file:///data")}));
}

// A double click or Enter opens the file of a path cell; the size cell opens nothing.
TEST_F(ResultsCommandsTest, DoubleClickAndEnterOpenThePathCellsFile)
{
    ShowRows(ThreeRows());
    List().setFocus();
    const struct {
        int row, column;
        bool byKey;
        const char* opened;
    } cases[] = {{2, 1, true, "file:///data/caf%E9.jpg"}, {0, 0, false, "file:///data/b.txt"}, {0, 2, true, nullptr}};
    for (const auto& c : cases) {
        m_opened.clear();
        const QModelIndex cell = List().model()->index(c.row, c.column);
        List().setCurrentIndex(cell);
        if (c.byKey) {
            QTest::keyClick(&List(), Qt::Key_Return);
        } else {
            const QPoint point = List().visualRect(cell).center();
            QTest::mouseClick(List().viewport(), Qt::LeftButton, {}, point);
            QTest::mouseDClick(List().viewport(), Qt::LeftButton, {}, point);
        }
        EXPECT_EQ(m_opened, c.opened ? std::vector<QString>{QString::fromLatin1(c.opened)} : std::vector<QString>{})
            << c.row << "," << c.column;
    }
    EXPECT_TRUE(Dlg().isVisible());
}

// Copy Path puts the path of the asked-for column of every selected row on the clipboard, and
// the exact bytes as a URI list beside it.
TEST_F(ResultsCommandsTest, CopyPathCopiesOnePathALineOfTheSelectedRows)
{
    ShowRows(ThreeRows());
    List().SetItemSelected(0, true);
    List().SetItemSelected(2, true);
    ASSERT_TRUE(Dlg().RowMenu().Run(CRowMenu::kCopyPath, 2, 1));
    const QMimeData* copied = QGuiApplication::clipboard()->mimeData();
    ASSERT_NE(copied, nullptr);
    EXPECT_EQ(copied->text(), QStringLiteral("/copy/b.txt\n") + QString::fromStdU16String(kOddName));
    EXPECT_EQ(copied->data(QStringLiteral("text/uri-list")), QByteArray("file:///copy/b.txt\r\nfile:///data/caf%E9.jpg\r\n"));

    ASSERT_TRUE(Dlg().RowMenu().Run(CRowMenu::kCopyPath, 1, 0)) << "a row outside the selection: that cell alone";
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("/data/a.jpg"));
}

// The row menu by the Menu key (the keyboard's context-menu request) and Shift+F10, with Mark and
// Unmark enabled as they apply.
TEST_F(ResultsCommandsTest, TheRowMenuOpensByKeyboardAndMarksAndUnmarks)
{
    ShowRows(ThreeRows());
    List().setFocus();
    List().setCurrentIndex(List().model()->index(0, 1));
    for (bool menuKey : {true, false}) {
        QStringList texts;
        QTimer::singleShot(50, [&] {
            if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
                for (QAction* action : menu->actions()) {
                    if (!action->isSeparator())
                        texts << action->text() + (action->isEnabled() ? QString() : QStringLiteral("-"));
                }
                menu->close();
            }
        });
        if (menuKey) {
            QContextMenuEvent request(QContextMenuEvent::Keyboard, QPoint(), List().mapToGlobal(QPoint()));
            QCoreApplication::sendEvent(&List(), &request);
        } else {
            QTest::keyClick(&List(), Qt::Key_F10, Qt::ShiftModifier);
        }
        EXPECT_EQ(texts,
                  (QStringList{QStringLiteral("&Open"), QStringLiteral("Open Containing &Folder"), QStringLiteral("&Copy Path"),
                               QStringLiteral("&Mark"), QStringLiteral("&Unmark-")}))
            << "Menu key " << menuKey;
    }
    ASSERT_TRUE(Dlg().RowMenu().Run(CRowMenu::kMark, 0, 1));
    EXPECT_TRUE(Dlg().Results().IsMarked(0, 1));
    ASSERT_TRUE(Dlg().RowMenu().Run(CRowMenu::kUnmark, 0, 2)) << "the size column stands for the duplicate";
    EXPECT_FALSE(Dlg().Results().IsMarked(0, 1));
}

// Pane 5 follows every mark command; a file shown in two rows counts once.
TEST_F(ResultsCommandsTest, TheMarkedTotalFollowsEveryMarkCommand)
{
    ShowRows(ThreeRows());
    EXPECT_EQ(MarkedPane(), QString());
    const struct {
        const char* command;
        std::function<void()> run;
        QString pane;
    } steps[] = {
        {"click", [&] { Dlg().Results().SetMark(1, 0, CResultsView::kMarked); }, QStringLiteral("Marked: 1 file, 2.00 KB")},
        {"newer", [&] { Dlg().SelectButton().m_nPicked = ID_SELECT_NEWER, Dlg().OnSelectMenu(); },
         QStringLiteral("Marked: 4 files, 6.00 KB")},
        {"de-select", [&] { Dlg().OnDeselect(); }, QString()},
        {"folder", [&] { Dlg().FoldersButton().m_nPicked = 1, Dlg().OnFoldersMenu(); },
         QStringLiteral("Marked: 3 files, 4.00 KB")},
        {"space",
         [&] {
             List().setFocus();
             List().setCurrentIndex(List().model()->index(0, 1));
             QTest::keyClick(&List(), Qt::Key_Space);
         },
         QStringLiteral("Marked: 4 files, 4.01 KB")},
        {"menu", [&] { Dlg().RowMenu().Run(CRowMenu::kMark, 1, 1); }, QStringLiteral("Marked: 5 files, 6.01 KB")},
        {"sort",
         [&] {
             Dlg().OnHeaderClick(CNotify{-1, 2, {}});
         },
         QStringLiteral("Marked: 5 files, 6.01 KB")},
        {"de-select again", [&] { Dlg().OnDeselect(); }, QString()},
    };
    for (const auto& step : steps) {
        step.run();
        EXPECT_EQ(MarkedPane(), step.pane) << step.command;
    }
}

// Large results: 25 folders in the menu, then "More Folders..."; the dialog's pick marks what
// the menu's pick of the same folder marks.
TEST_F(ResultsCommandsTest, TheFoldersMenuStopsAt25AndTheDialogPicksAsTheMenuDoes)
{
    std::vector<CDuplicatePair> rows;
    for (int folder = 0; folder < 30; ++folder) {
        const std::u16string name = u"/f" + QString::number(100 + folder).toStdU16String();
        rows.push_back(CDuplicatePair{name + u"/x", u"/keep/x" + QString::number(folder).toStdU16String(), 10, 1, 2});
    }
    ShowRows(rows);
    QMenu* popup = Dlg().FoldersButton().GetPopup();
    ASSERT_NE(popup, nullptr);
    const QList<QAction*> actions = popup->actions();
    ASSERT_EQ(actions.size(), 27);
    EXPECT_TRUE(actions[25]->isSeparator());
    EXPECT_EQ(actions[26]->text(), QStringLiteral("More Folders..."));

    Dlg().FoldersButton().m_nPicked = 3;  // the third folder, by the menu
    Dlg().OnFoldersMenu();
    const std::vector<int> byMenu = Marks();
    Dlg().OnDeselect();
    const QString third = actions[2]->text();
    QString shown;
    Dlg().m_runMoreFolders = [&](CMoreFoldersDlg& dialog) {
        dialog.Filter().setText(third.left(third.indexOf(QLatin1Char(' '))));
        for (int row = 0; row < dialog.List().count(); ++row) {
            if (!dialog.List().item(row)->isHidden())
                shown += dialog.List().item(row)->text();
        }
        dialog.accept();
        return dialog.Picked();
    };
    Dlg().FoldersButton().m_nPicked = CQuillonDlg::kMoreFoldersCommand;
    Dlg().OnFoldersMenu();
    EXPECT_EQ(shown, third) << "the filter leaves the one folder";
    EXPECT_EQ(Marks(), byMenu);
    EXPECT_EQ(std::count(byMenu.begin(), byMenu.end(), CResultsView::kMarked), 1);
}

// Long paths keep their names in sight, the whole path is a tooltip, the path columns share a
// wider window unless the user sized one, and the sorted column shows the indicator.
TEST_F(ResultsCommandsTest, PathsStayReadableWhenTheWindowGrowsAndAfterASort)
{
    ShowRows(ThreeRows());
    EXPECT_EQ(List().textElideMode(), Qt::ElideMiddle);
    EXPECT_EQ(List().model()->index(2, 1).data(Qt::ToolTipRole).toString(), QString::fromStdU16String(kOddName));
    EXPECT_FALSE(List().model()->index(2, 2).data(Qt::ToolTipRole).isValid());

    const auto widths = [&] { return std::pair{List().GetColumnWidth(0), List().GetColumnWidth(1)}; };
    const auto before = widths();
    Dlg().resize(Dlg().width() + 100, Dlg().height());
    QCoreApplication::processEvents();
    EXPECT_EQ(widths(), std::pair(before.first + 50, before.second + 50));
    List().horizontalHeader()->resizeSection(0, 80);  // as a drag on the header does
    Dlg().resize(Dlg().width() + 60, Dlg().height());
    QCoreApplication::processEvents();
    EXPECT_EQ(widths(), std::pair(80, before.second + 110));

    QHeaderView* header = List().horizontalHeader();
    EXPECT_EQ(header->sortIndicatorSection(), -1) << "the rows come in the search's order";
    for (Qt::SortOrder order : {Qt::DescendingOrder, Qt::AscendingOrder}) {
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(header->sectionViewportPosition(0) + 5, 5));
        EXPECT_EQ(header->sortIndicatorSection(), 0);
        EXPECT_EQ(header->sortIndicatorOrder(), order);
    }
}

// Home, End, Page Up and Page Down move the current cell; with Ctrl, to the first or last row.
TEST_F(ResultsCommandsTest, NavigationKeysMoveTheCurrentCell)
{
    std::vector<CDuplicatePair> rows;
    for (int i = 0; i < 200; ++i)
        rows.push_back(CDuplicatePair{u"/o/" + QString::number(i).toStdU16String(), u"/d/x", 10, 1, 2});
    ShowRows(rows);
    List().setFocus();
    List().setCurrentIndex(List().model()->index(5, 1));
    // Each key from where the one before left the current cell: (row, column) after it; Page Down
    // and Page Up move by a page of rows.
    const struct {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        int row, column;
    } cases[] = {{Qt::Key_Home, Qt::NoModifier, 5, 0},       {Qt::Key_End, Qt::NoModifier, 5, 2},
                 {Qt::Key_End, Qt::ControlModifier, 199, 2}, {Qt::Key_Home, Qt::ControlModifier, 0, 0},
                 {Qt::Key_PageDown, Qt::NoModifier, -1, 0},  {Qt::Key_PageUp, Qt::NoModifier, 0, 0}};
    for (const auto& c : cases) {
        QTest::keyClick(&List(), c.key, c.modifiers);
        EXPECT_EQ(List().currentIndex().column(), c.column) << c.key;
        if (c.row >= 0)
            EXPECT_EQ(List().currentIndex().row(), c.row) << c.key;
        else
            EXPECT_GT(List().currentIndex().row(), 1) << c.key;
    }
}

// Every control that takes the focus has a name of its own, and the tab order reads the layout.
TEST_F(ResultsCommandsTest, ControlsHaveUniqueNamesAndTabInLayoutOrder)
{
    ShowRows(ThreeRows());
    std::set<QString> names;
    for (QWidget* control : Dlg().findChildren<QWidget*>()) {
        if (!(control->focusPolicy() & Qt::TabFocus) || control->parentWidget() != &Dlg())
            continue;
        const QString name = QAccessible::queryAccessibleInterface(control)->text(QAccessible::Name);
        EXPECT_FALSE(name.isEmpty()) << GetDlgCtrlID(control);
        EXPECT_TRUE(names.insert(name).second) << name.toStdString();
    }
    EXPECT_TRUE(names.count(QStringLiteral("Delete Folder")));
    EXPECT_TRUE(names.count(QStringLiteral("Delete Marked Files")));

    CWildCardSelect pattern(&Dlg());
    ASSERT_TRUE(pattern.Create());
    QWidget* edit = pattern.GetDlgItem(IDC_EDIT_PATTERN);
    EXPECT_EQ(edit->accessibleName(), QStringLiteral("Pattern"));
    EXPECT_TRUE(edit->accessibleDescription().contains(QStringLiteral("Example: *.jpg"))) << "the syntax and an example";
}

// A mark changed by any command raises the checked state change on each cell that shows it.
TEST_F(ResultsCommandsTest, MarkChangesReachScreenReadersAsCheckedStateChanges)
{
    ShowRows(ThreeRows());
    std::vector<std::pair<int, int>> cells;
    CListControlMem::SetMarkAnnouncer([&](QAccessibleEvent& event) {
        auto& change = static_cast<QAccessibleStateChangeEvent&>(event);
        QAccessibleInterface* cell = event.accessibleInterface();
        if (event.type() == QAccessible::StateChanged && change.changedStates().checked && cell && cell->tableCellInterface())
            cells.emplace_back(cell->tableCellInterface()->rowIndex(), cell->tableCellInterface()->columnIndex());
    });
    Dlg().RowMenu().Run(CRowMenu::kMark, 1, 0);  // /data/a.jpg heads rows 1 and 2
    const auto afterMenu = cells;
    cells.clear();
    Dlg().OnDeselect();
    CListControlMem::SetMarkAnnouncer({});
    EXPECT_EQ(afterMenu, (std::vector<std::pair<int, int>>{{1, 0}, {2, 0}}));
    EXPECT_EQ(cells, (std::vector<std::pair<int, int>>{{1, 0}, {2, 0}}));
}

}  // namespace
