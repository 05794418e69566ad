// The selection commands over a filled results list: clicks on boxes, newer/older, by folder, by
// pattern, clearing, the keyboard's Space, and the entries of the Folders menu.
#include <gtest/gtest.h>

#include <QTest>

#include <functional>
#include <set>
#include <utility>
#include <vector>

#include "res/ResourceIds.h"
#include "results/ListControlMem.h"
#include "results/ResultsView.h"
#include "results/SelectionCommands.h"
#include "tests/widgets/QtTestEnvironment.h"
#include "widgets/ImageList.h"
#include "widgets/ResourceImages.h"

namespace {

using Cell = std::pair<int, int>;
using Cells = std::set<Cell>;

CDuplicatePair Pair(const char16_t* original, const char16_t* duplicate, FileTime originalTime = 0, FileTime duplicateTime = 0)
{
    CDuplicatePair pair;
    pair.originalPath = original;
    pair.duplicatePath = duplicate;
    pair.size = 100;
    pair.originalTime = originalTime;
    pair.duplicateTime = duplicateTime;
    return pair;
}

// Rows the folder and pattern cases share: a group of three (rows 3 and 4 share their
// original), a pair with both files in one folder (row 5).
std::vector<CDuplicatePair> SharedRows()
{
    return {
        Pair(u"/p/A.jpg", u"/q/b.jpg"),    Pair(u"/p/old.tmp", u"/q/old.dat"),    Pair(u"/p/x.bak", u"/q/x.bak"),
        Pair(u"/g/keep.png", u"/h/1.dat"), Pair(u"/g/keep.png", u"/h/sub/2.dat"), Pair(u"/same dir/a.txt", u"/same dir/b.txt"),
    };
}

struct SelectionFixture {
    QWidget parent;
    CListControlMem list{&parent};
    CImageList checks;
    std::vector<CDuplicatePair> rows;
    CResultsView view{list, rows};
    CSelectionCommands commands{view};

    explicit SelectionFixture(std::vector<CDuplicatePair> initial) : rows(std::move(initial))
    {
        parent.resize(700, 300);
        list.setGeometry(0, 0, 680, 280);
        checks.Create(LoadBitmapResource(IDB_CHECKS), 17, 5, Qt::white);
        list.SetImageList(&checks);
        list.InsertColumn(0, QStringLiteral("Original"), LVCFMT_LEFT, 280);
        list.InsertColumn(1, QStringLiteral("Duplicate"), LVCFMT_LEFT, 280);
        list.InsertColumn(2, QStringLiteral("Size"), LVCFMT_LEFT, 100);
        list.SetExtendedStyle(LVS_EX_GRIDLINES | LVS_EX_SUBITEMIMAGES | LVS_EX_FULLROWSELECT);
        qobject_cast<CListControlModel*>(list.model())->SetMarkImages(true);  // as the window has them
        view.Fill();
    }

    Cells Marked() const
    {
        Cells cells;
        for (int row = 0; row < view.RowCount(); ++row) {
            for (int column : {0, 1}) {
                if (view.IsMarked(row, column))
                    cells.insert({row, column});
            }
        }
        return cells;
    }
};

TEST(SelectionCommands, NewerAndOlderFollowTheLastWriteTimesOnlyAddMarksAndIgnoreOtherIds)
{
    SelectionFixture f({Pair(u"/a/1", u"/b/1", 100, 200), Pair(u"/a/2", u"/b/2", 300, 200), Pair(u"/a/3", u"/b/3", 500, 500)});
    EXPECT_FALSE(f.commands.SelectByTime(0));  // a dismissed menu
    EXPECT_FALSE(f.commands.SelectByTime(5));
    EXPECT_EQ(f.Marked(), Cells{});

    f.view.SetMark(0, 0, CResultsView::kMarked);  // by hand, on the older file
    EXPECT_TRUE(f.commands.SelectByTime(ID_SELECT_NEWER));
    // Equal times: "newer" is the original.
    EXPECT_EQ(f.Marked(), (Cells{{0, 0}, {0, 1}, {1, 0}, {2, 0}}));

    SelectionFixture g({Pair(u"/a/1", u"/b/1", 100, 200), Pair(u"/a/2", u"/b/2", 300, 200), Pair(u"/a/3", u"/b/3", 500, 500)});
    g.commands.SelectByTime(ID_SELECT_OLDER);
    // Equal times: "older" is the duplicate.
    EXPECT_EQ(g.Marked(), (Cells{{0, 0}, {1, 1}, {2, 1}}));
    g.commands.SelectByTime(ID_SELECT_NEWER);
    EXPECT_EQ(g.Marked(), (Cells{{0, 0}, {0, 1}, {1, 0}, {1, 1}, {2, 0}, {2, 1}}));
}

TEST(SelectionCommands, FolderMarksTheFilesDirectlyInItPreferringTheDuplicate)
{
    const struct {
        const char16_t* folder;
        Cells marked;
    } cases[] = {
        {u"/q", {{0, 1}, {1, 1}, {2, 1}}},
        {u"/p", {{0, 0}, {1, 0}, {2, 0}}},
        {u"/g", {{3, 0}, {4, 0}}},  // the original of a group of three, in each row
        {u"/h", {{3, 1}}},          // not the file in its subfolder
        {u"/same dir", {{5, 1}}},   // both files of the pair there: only the duplicate
        {u"/Q", {}},                // exact: this file system tells case apart
        {u"/", {}},
    };
    for (const auto& c : cases) {
        SelectionFixture f(SharedRows());
        f.commands.SelectFolder(c.folder);
        EXPECT_EQ(f.Marked(), c.marked) << std::string(QString::fromStdU16String(c.folder).toUtf8());
    }
}

TEST(SelectionCommands, PatternMatchesTheWholePathWithoutRegardToCaseAndOnlyAddsMarks)
{
    const struct {
        const char16_t* pattern;
        Cells marked;
    } cases[] = {
        {u"*.JPG", {{0, 1}}},
        {u"b.jpg", {}},  // must match the whole path
        {u"*/b.jpg", {{0, 1}}},
        {u"*.tmp;*.bak", {{1, 0}, {2, 1}}},
        {u"  *.tmp; *.bak", {{1, 0}, {2, 1}}},
        {u"*keep.png", {{3, 0}, {4, 0}}},
        {u"/same?dir/*", {{5, 1}}},
        {u"", {}},
        {u"*.*", {{0, 1}, {1, 1}, {2, 1}, {3, 1}, {4, 1}, {5, 1}}},
    };
    for (const auto& c : cases) {
        SelectionFixture f(SharedRows());
        f.commands.SelectPattern(c.pattern);
        EXPECT_EQ(f.Marked(), c.marked) << std::string(QString::fromStdU16String(c.pattern).toUtf8());
    }
    SelectionFixture f(SharedRows());
    f.view.SetMark(5, 0, CResultsView::kMarked);
    f.commands.SelectPattern(u"*.jpg");
    EXPECT_EQ(f.Marked(), (Cells{{0, 1}, {5, 0}}));
    f.commands.DeselectAll();
    EXPECT_EQ(f.Marked(), Cells{});
}

TEST(SelectionCommands, OnlyAClickOnABoxTogglesItAndOtherImagesStay)
{
    SelectionFixture f(SharedRows());
    EXPECT_FALSE(f.commands.ClickMark(0, 1, LVHT_ONITEMLABEL));
    EXPECT_FALSE(f.commands.ClickMark(0, 1, LVHT_NOWHERE));
    EXPECT_EQ(f.Marked(), Cells{});
    EXPECT_TRUE(f.commands.ClickMark(0, 1, LVHT_ONITEMICON));
    EXPECT_EQ(f.Marked(), (Cells{{0, 1}}));
    f.commands.ClickMark(0, 1, LVHT_ONITEMICON);
    EXPECT_EQ(f.Marked(), Cells{});
    f.view.SetMark(1, 0, 3);
    f.commands.ClickMark(1, 0, LVHT_ONITEMICON);
    EXPECT_EQ(f.view.GetMark(1, 0), 3);
}

TEST(SelectionCommands, SpaceTogglesTheMarkOfTheCurrentPathCellOnly)
{
    SelectionFixture f(SharedRows());
    f.commands.WatchKeys(f.list);
    f.parent.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&f.parent));
    f.list.setFocus();
    f.list.setCurrentIndex(f.list.model()->index(2, 1));
    QTest::keyClick(&f.list, Qt::Key_Space);
    EXPECT_EQ(f.Marked(), (Cells{{2, 1}}));
    QTest::keyClick(&f.list, Qt::Key_Left);
    QTest::keyClick(&f.list, Qt::Key_Space);
    EXPECT_EQ(f.Marked(), (Cells{{2, 0}, {2, 1}}));
    QTest::keyClick(&f.list, Qt::Key_Space);
    f.list.setCurrentIndex(f.list.model()->index(2, 2));
    QTest::keyClick(&f.list, Qt::Key_Space);
    EXPECT_EQ(f.Marked(), (Cells{{2, 1}}));
}

// Four copies of one content: three rows that repeat the original, which is trashed when any of
// its cells is marked, so every one of them shows the mark.
TEST(SelectionCommands, AMarkBelongsToItsFileAndShowsOnEveryCellThatShowsIt)
{
    const std::vector<CDuplicatePair> fourCopies = {
        Pair(u"/old/a.jpg", u"/new/a.jpg", 300, 100), Pair(u"/other/b.jpg", u"/new/b.jpg", 100, 200),
        Pair(u"/old/a.jpg", u"/x/a.jpg", 300, 100), Pair(u"/old/a.jpg", u"/y/a.jpg", 300, 100)};
    const Cells original{{0, 0}, {2, 0}, {3, 0}};
    struct Step {
        const char* what;
        std::function<void(SelectionFixture&)> act;
        Cells marked;
    };
    const Step steps[] = {
        {"a click on the box of its third row", [](SelectionFixture& f) { f.commands.ClickMark(3, 0, LVHT_ONITEMICON); },
         original},
        {"a click on its first row again", [](SelectionFixture& f) { f.commands.ClickMark(0, 0, LVHT_ONITEMICON); }, {}},
        {"Space on its second row",
         [](SelectionFixture& f) {
             f.list.setCurrentIndex(f.list.model()->index(2, 0));
             QTest::keyClick(&f.list, Qt::Key_Space);
         },
         original},
        {"a screen reader's toggle of its first row",
         [](SelectionFixture& f) { f.list.model()->setData(f.list.model()->index(0, 0), Qt::Unchecked, Qt::CheckStateRole); },
         {}},
        {"Newer, where it is the newer file",
         [](SelectionFixture& f) { f.commands.SelectByTime(ID_SELECT_NEWER); },
         {{0, 0}, {1, 1}, {2, 0}, {3, 0}}},
        {"De-Select", [](SelectionFixture& f) { f.commands.DeselectAll(); }, {}},
        {"its folder", [](SelectionFixture& f) { f.commands.SelectFolder(u"/old"); }, original},
        {"a pattern", [](SelectionFixture& f) { f.commands.SelectPattern(u"*/y/*"); }, {{0, 0}, {2, 0}, {3, 0}, {3, 1}}},
    };
    SelectionFixture f(fourCopies);
    f.commands.WatchKeys(f.list);
    f.parent.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&f.parent));
    f.list.setFocus();
    for (const Step& step : steps) {
        step.act(f);
        EXPECT_EQ(f.Marked(), step.marked) << step.what;
    }
    std::vector<CPathString> list;
    MarkedPathSet set;
    f.view.CollectMarkedFiles(list, set);
    EXPECT_EQ(list, (std::vector<CPathString>{u"/old/a.jpg", u"/y/a.jpg"})) << "each file once";
}

TEST(SelectionCommands, FolderMenuListsLargestCountsFirstAndItsTextsGiveTheFolderBack)
{
    const FolderTally tally{{u"/a", 2}, {u"/b c", 7}, {u"/d", 2}, {u"/e", 9}};
    const auto entries = CSelectionCommands::FolderMenuEntries(tally);
    std::vector<std::u16string> texts;
    for (const auto& entry : entries)
        texts.push_back(CSelectionCommands::FolderMenuText(entry));
    EXPECT_EQ(texts, (std::vector<std::u16string>{u"/e [9]", u"/b c [7]", u"/a [2]", u"/d [2]"}));
    EXPECT_EQ(CSelectionCommands::FolderOfMenuText(u"/b c [7]"), u"/b c");
    EXPECT_EQ(CSelectionCommands::FolderOfMenuText(u"/no-blank"), u"/no-blank");
}

}  // namespace
