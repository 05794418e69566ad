// The search folders list on the real dialog with real temporary folders: adding (by the button
// and by Enter, with the reason of a refusal), deleting (by the buttons and by Delete), the folder
// chooser, and folders dropped from a file manager.
#include <gtest/gtest.h>

#include <QDropEvent>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <QWindow>

#include <unistd.h>

#include <cctype>
#include <vector>

#include "app/SysImageList.h"
#include "tests/app/FolderDialogFixture.h"

using namespace quillon::test;

namespace {

// A file URL for native path bytes, every byte outside the unreserved set percent-encoded.
QByteArray FileUrl(const std::string& bytes)
{
    QByteArray url = "file://";
    for (unsigned char c : bytes) {
        if (std::isalnum(c) || c == '/' || c == '-' || c == '_' || c == '.' || c == '~')
            url += static_cast<char>(c);
        else
            url += QByteArray("%") + QByteArray::number(c, 16).rightJustified(2, '0').toUpper();
    }
    return url;
}

class FoldersListTest : public FolderDialogTest {
protected:
    std::vector<QString> Rows() const
    {
        std::vector<QString> rows;
        for (int row = 0; row < Folders().GetItemCount(); ++row)
            rows.push_back(Folders().GetItemText(row, 0));
        return rows;
    }
    // The rows and the stored entries must always agree.
    std::vector<QString> Entries() const
    {
        std::vector<QString> entries;
        for (const CStrOptions& entry : theSettings.m_Folders)
            entries.push_back(Text(entry.m_Folder));
        return entries;
    }
    void AddTyped(const std::u16string& text)
    {
        Edit().setText(Text(text));
        QTest::mouseClick(Item(IDC_BUTTON_ADD), Qt::LeftButton);
    }
    int Selected() const { return Folders().GetNextItem(-1, LVNI_SELECTED); }

    QPoint OverFolders() const { return Folders().geometry().center(); }
    QPoint OverResults() const { return Item(IDC_LIST_RESULTS)->geometry().center(); }

    // Drags the list over `point` and drops it there; what the drag was told on entering, and
    // whether the drop was taken.
    struct DropResult {
        bool enterAccepted;
        bool dropAccepted;
    };
    DropResult Drop(const QPoint& point, const std::vector<std::string>& paths)
    {
        QByteArray list;
        for (const std::string& path : paths)
            list += FileUrl(path) + "\r\n";
        QMimeData data;
        data.setData(QStringLiteral("text/uri-list"), list);
        QDragEnterEvent enter(point, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&Dlg(), &enter);
        QDropEvent drop(QPointF(point), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&Dlg(), &drop);
        return {enter.isAccepted() && enter.dropAction() == Qt::CopyAction, drop.isAccepted()};
    }
};

TEST_F(FoldersListTest, AddIgnoresAnEmptyTextAFileAndAMissingPath)
{
    WriteFile(m_dir / "file.txt", "x");
    Open();
    for (const std::u16string& text : {std::u16string(), Path("file.txt"), Path("missing")})
        AddTyped(text);
    EXPECT_TRUE(Rows().empty());
    EXPECT_TRUE(Entries().empty());
}

TEST_F(FoldersListTest, AddAppendsTheSeparatorKeepsTheRootFollowsLinksAndNeverListsAFolderTwice)
{
    MakeDirs(m_dir / "data");
    ASSERT_EQ(symlink((m_dir / "data").c_str(), (m_dir / "link").c_str()), 0);
    Open();
    AddTyped(Path("data"));
    AddTyped(Path("data") + u"//");
    AddTyped(u"/");
    AddTyped(Path("link"));
    const std::vector<QString> expected = {Text(Path("data/")), QStringLiteral("/"), Text(Path("link/"))};
    EXPECT_EQ(Rows(), expected);
    EXPECT_EQ(Entries(), expected);
    EXPECT_EQ(Dlg().m_strFolder, Path("link")) << "Add reads the edit into the member first";
    EXPECT_EQ(Folders().GetItemImage(0, 0), Folders().GetItemImage(2, 0)) << "a link to a folder shows as a folder";
}

TEST_F(FoldersListTest, DeleteSelectsTheRowThatTookThePlaceThenTheNewLastThenNothing)
{
    for (const char* name : {"a", "b", "c"})
        theSettings.m_Folders.emplace_back(Path(name) + u"/");
    Open();
    auto* remove = Item(IDC_BUTTON_DELETE_FOLDER);
    QTest::mouseClick(remove, Qt::LeftButton);
    EXPECT_EQ(Rows().size(), 3u) << "nothing selected: nothing deleted";

    Folders().SetItemSelected(1, true);
    EXPECT_TRUE(remove->isEnabled());
    QTest::mouseClick(remove, Qt::LeftButton);
    EXPECT_EQ(Rows(), (std::vector<QString>{Text(Path("a/")), Text(Path("c/"))}));
    EXPECT_EQ(Selected(), 1);

    QTest::mouseClick(remove, Qt::LeftButton);
    EXPECT_EQ(Rows(), (std::vector<QString>{Text(Path("a/"))}));
    EXPECT_EQ(Selected(), 0);
    EXPECT_TRUE(remove->isEnabled());

    QTest::mouseClick(remove, Qt::LeftButton);
    EXPECT_TRUE(Rows().empty());
    EXPECT_TRUE(Entries().empty());
    EXPECT_EQ(Selected(), -1);
    EXPECT_FALSE(remove->isEnabled());
}

TEST_F(FoldersListTest, DeleteAllEmptiesBothSidesAndIsHarmlessOnAnEmptyList)
{
    theSettings.m_Folders.emplace_back(Path("a/"));
    theSettings.m_Folders.emplace_back(Path("b/"));
    Open();
    Folders().SetItemSelected(0, true);
    for (int click = 0; click < 2; ++click) {
        QTest::mouseClick(Item(IDC_BUTTON_DELETE_ALL), Qt::LeftButton);
        EXPECT_TRUE(Rows().empty());
        EXPECT_TRUE(Entries().empty());
        EXPECT_FALSE(Item(IDC_BUTTON_DELETE_FOLDER)->isEnabled());
    }
}

TEST_F(FoldersListTest, AStoredFolderThatIsGoneStillShowsWithTheFolderIcon)
{
    MakeDirs(m_dir / "here");
    theSettings.m_Folders.emplace_back(Path("here/"));
    theSettings.m_Folders.emplace_back(Path("gone/"));
    Open();
    ASSERT_EQ(Rows(), (std::vector<QString>{Text(Path("here/")), Text(Path("gone/"))}));
    EXPECT_EQ(Folders().GetItemImage(1, 0), Folders().GetItemImage(0, 0));
    EXPECT_FALSE(theSysImageList.ImageList().Icon(Folders().GetItemImage(1, 0)).isNull());
}

TEST_F(FoldersListTest, TheChooserPutsItsFolderIntoTheEditAndAddAddsIt)
{
    MakeDirs(m_dir / "picked");
    Open();
    Edit().setText(Text(Path()));
    QString startedAt;
    Dlg().m_chooseFolder = [&](QWidget*, const QString& start) {
        startedAt = start;
        return Text(Path("picked"));
    };
    QTest::mouseClick(Item(IDC_BUTTON_BROWSE), Qt::LeftButton);
    EXPECT_EQ(startedAt, Text(Path()));
    EXPECT_EQ(Edit().text(), Text(Path("picked")));
    EXPECT_TRUE(Rows().empty()) << "choosing adds nothing by itself";
    EXPECT_FALSE(Edit().IsListVisible());

    Dlg().m_chooseFolder = [](QWidget*, const QString&) { return QString(); };
    QTest::mouseClick(Item(IDC_BUTTON_BROWSE), Qt::LeftButton);
    EXPECT_EQ(Edit().text(), Text(Path("picked"))) << "a cancelled chooser changes nothing";
    QTest::mouseClick(Item(IDC_BUTTON_ADD), Qt::LeftButton);
    EXPECT_EQ(Rows(), (std::vector<QString>{Text(Path("picked/"))}));
}

TEST_F(FoldersListTest, ADropOfAFileAListedFolderAndANewFolderAddsOnlyTheNewOne)
{
    MakeDirs(m_dir / "listed");
    MakeDirs(m_dir / "new");
    WriteFile(m_dir / "file.txt", "x");
    theSettings.m_Folders.emplace_back(Path("listed/"));
    Open();
    const DropResult result = Drop(OverFolders(), {m_dir / "file.txt", m_dir / "listed", m_dir / "new", m_dir / "vanished"});
    EXPECT_TRUE(result.enterAccepted);
    EXPECT_TRUE(result.dropAccepted);
    const std::vector<QString> expected = {Text(Path("listed/")), Text(Path("new/"))};
    EXPECT_EQ(Rows(), expected);
    EXPECT_EQ(Entries(), expected);
}

TEST_F(FoldersListTest, ADropOutsideTheListOrDuringASearchAddsNothing)
{
    MakeDirs(m_dir / "new");
    WriteFile(m_dir / "new/a", std::string(3000, 'a'));
    Open();
    const DropResult outside = Drop(OverResults(), {m_dir / "new"});
    EXPECT_FALSE(outside.dropAccepted) << "the no-drop cursor outside the list";

    theSettings.m_Folders.emplace_back(Path("new/"));  // something for the search to walk
    Dlg().OnSearch();
    ASSERT_TRUE(Dlg().IsSearching());
    const DropResult during = Drop(OverFolders(), {m_dir / "new"});
    EXPECT_FALSE(during.enterAccepted);
    EXPECT_FALSE(during.dropAccepted);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !Dlg().IsSearching(); }, 30000));
    EXPECT_EQ(Folders().GetItemCount(), 0);
    EXPECT_EQ(theSettings.m_Folders.size(), 1u);
}

TEST_F(FoldersListTest, AFolderWhoseNameIsNotUtf8ArrivesWithItsExactBytesAndASearchWalksIt)
{
    const std::string folder = m_dir / "caf\xE9 \xFF";
    const std::string content(5000, 'q');
    WriteFile(folder + "/one", content);
    WriteFile(folder + "/two", content);
    Open();
    ASSERT_TRUE(Drop(OverFolders(), {folder}).dropAccepted);
    ASSERT_EQ(theSettings.m_Folders.size(), 1u);
    EXPECT_EQ(EncodeNativeName(theSettings.m_Folders[0].m_Folder), folder + "/");
    EXPECT_EQ(Folders().GetItemText(0, 0), Text(theSettings.m_Folders[0].m_Folder));

    Dlg().OnSearch();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !Dlg().IsSearching(); }, 30000));
    ASSERT_EQ(g_duplicates.size(), 1u);
    EXPECT_EQ(EncodeNativeName(g_duplicates[0].originalPath.view()).substr(0, folder.size() + 1), folder + "/");
    EXPECT_EQ(EncodeNativeName(g_duplicates[0].duplicatePath.view()).substr(0, folder.size() + 1), folder + "/");
}

// A real drag enters the window at its edge, crosses buttons and other lists, and only then
// reaches the folders list: the window's own events, in that order, end with the folder listed.
TEST_F(FoldersListTest, ADragThatEntersOverAButtonAndCrossesTheWindowDropsOnTheList)
{
    MakeDirs(m_dir / "new");
    Open();
    QMimeData data;
    data.setData(QStringLiteral("text/uri-list"), FileUrl(m_dir / "new") + "\r\n");
    QWindow* window = Dlg().windowHandle();
    const auto at = [&](int id) { return QPointF(Item(id)->geometry().center()); };
    const Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction;

    QDragEnterEvent enter(at(IDC_BUTTON_ADD).toPoint(), actions, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window, &enter);
    EXPECT_TRUE(enter.isAccepted()) << "a refused enter would be the drag's last event here";
    const struct {
        int over;
        bool mayDrop;
    } moves[] = {{IDC_BUTTON_ADD, false}, {IDC_LIST_RESULTS, false}, {IDC_BUTTON_SEARCH, false}, {IDC_LIST_FOLDERS, true}};
    for (const auto& move : moves) {
        QDragMoveEvent event(at(move.over).toPoint(), actions, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(window, &event);
        EXPECT_EQ(event.isAccepted(), move.mayDrop) << "over " << move.over;
    }
    QDropEvent drop(at(IDC_LIST_FOLDERS), actions, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window, &drop);
    EXPECT_TRUE(drop.isAccepted());
    EXPECT_EQ(Rows(), (std::vector<QString>{Text(Path("new/"))}));
}

// On the path edit a drop puts the folder's path there, never the raw list; a file is refused.
TEST_F(FoldersListTest, ADropOnThePathEditPutsTheFolderPathThereAndRefusesAFile)
{
    MakeDirs(m_dir / "new");
    WriteFile(m_dir / "file.txt", "x");
    Open();
    Edit().setText(QStringLiteral("typed"));
    EXPECT_FALSE(Drop(Edit().geometry().center(), {m_dir / "file.txt"}).dropAccepted);
    EXPECT_EQ(Edit().text(), QStringLiteral("typed"));
    EXPECT_TRUE(Drop(Edit().geometry().center(), {m_dir / "file.txt", m_dir / "new"}).dropAccepted);
    EXPECT_EQ(Edit().text(), Text(Path("new")));
    EXPECT_TRUE(Rows().empty()) << "the edit's drop adds nothing by itself";
}

// What Add (or Enter in the path edit) says when it adds nothing, and what `~` stands for.
TEST_F(FoldersListTest, AddSaysWhyInPaneZeroAndExpandsTheHomeFolder)
{
    MakeDirs(m_dir / "home/photos");
    WriteFile(m_dir / "file.txt", "x");
    const std::string oldHome = std::getenv("HOME") ? std::getenv("HOME") : "";
    setenv("HOME", (m_dir / "home").c_str(), 1);
    Open();
    const struct {
        std::u16string typed;
        QString pane;
        size_t rows;
    } cases[] = {
        {Path("missing"), QStringLiteral("No such folder: ") + Text(Path("missing")), 0},
        {Path("file.txt"), QStringLiteral("No such folder: ") + Text(Path("file.txt")), 0},
        {u"~/photos", QString(), 1},
        {Path("home/photos/"), QStringLiteral("Already in the list: ") + Text(Path("home/photos/")), 1},
        {u"~", QString(), 2},
    };
    for (const auto& c : cases) {
        Edit().setText(Text(c.typed));
        Edit().setFocus();
        QTest::keyClick(&Edit(), Qt::Key_Return);
        EXPECT_EQ(Dlg().StatusPane(0)->text(), c.pane) << Text(c.typed).toStdString();
        EXPECT_EQ(Rows().size(), c.rows) << Text(c.typed).toStdString();
    }
    EXPECT_EQ(Rows(), (std::vector<QString>{Text(Path("home/photos/")), Text(Path("home/"))}));
    setenv("HOME", oldHome.c_str(), 1);
}

TEST_F(FoldersListTest, DeleteInTheListRemovesTheSelectedFolder)
{
    theSettings.m_Folders.emplace_back(Path("a/"));
    theSettings.m_Folders.emplace_back(Path("b/"));
    Open();
    Folders().setFocus();
    Folders().SetItemSelected(0, true);
    QTest::keyClick(&Folders(), Qt::Key_Delete);
    EXPECT_EQ(Entries(), (std::vector<QString>{Text(Path("b/"))}));
}

// A newcomer types a path and presses Search first: the end says there was nothing to search.
TEST_F(FoldersListTest, ASearchWithoutFoldersSaysHowToAddOne)
{
    Open();
    Dlg().OnSearch();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !Dlg().IsSearching(); }, 30000));
    EXPECT_TRUE(Dlg().StatusPane(0)->text().startsWith(QStringLiteral("No folder to search: type a folder's path")))
        << Dlg().StatusPane(0)->text().toStdString();
}

}  // namespace
