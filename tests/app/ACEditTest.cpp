// Completion of folder paths in the path edit of the real dialog, over real temporary folders;
// the folders are listed through a file system that counts its listings and can refuse one.
#include <gtest/gtest.h>

#include <QApplication>
#include <QSignalSpy>
#include <QTest>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <vector>

#include "platform/PosixFileSystem.h"
#include "tests/app/FolderDialogFixture.h"

using namespace quillon::test;

namespace {

class CountingFileSystem final : public IFileSystem {
public:
    std::unique_ptr<IDirListing> OpenFolder(std::u16string_view path) override
    {
        ++listings;
        const QCursor* cursor = QApplication::overrideCursor();
        waitCursorShown = waitCursorShown || (cursor && cursor->shape() == Qt::WaitCursor);
        if (refused.count(std::u16string(path)))
            return nullptr;
        return CPosixFileSystem::Instance().OpenFolder(path);
    }
    std::unique_ptr<IFileReader> OpenFile(std::u16string_view path) override
    {
        return CPosixFileSystem::Instance().OpenFile(path);
    }

    int listings = 0;
    bool waitCursorShown = false;
    std::set<std::u16string> refused;
};

class ACEditTest : public FolderDialogTest {
protected:
    void Open()
    {
        FolderDialogTest::Open();
        Edit().SetFileSystem(&m_fs);
    }
    CACListWnd& List() const { return Edit().ListWnd(); }
    std::vector<QString> Shown() const { return List().DisplayList(); }

    void Type(const QString& text) { QTest::keyClicks(&Edit(), text); }
    void Key(Qt::Key key) { QTest::keyClick(&Edit(), key); }
    // Puts the path below the temporary folder into the edit and types a separator after it,
    // which lists the folder (typing the whole path would list every folder on the way).
    void TypeFolder(std::string_view relative = {})
    {
        Edit().setText(Text(Path(relative)));
        Type(QStringLiteral("/"));
    }
    void ExpectFocusInEdit() const { EXPECT_EQ(QApplication::focusWidget(), &Edit()); }

    // Folders s00 ... s<count-1> below the temporary folder.
    void MakeSubfolders(int count)
    {
        for (int i = 0; i < count; ++i)
            MakeDirs(m_dir / QString::asprintf("s%02d", i).toStdString());
    }

    CountingFileSystem m_fs;
};

TEST_F(ACEditTest, TheRootListsItsFoldersAndTypingOnFiltersWithoutReadingAgain)
{
    Open();
    Type(QStringLiteral("/"));
    ASSERT_TRUE(Edit().IsListVisible());
    EXPECT_EQ(m_fs.listings, 1);
    EXPECT_TRUE(m_fs.waitCursorShown);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "the wait cursor is gone after the reading";

    std::vector<QString> expected = {QStringLiteral("/")};
    for (const auto& entry : std::filesystem::directory_iterator("/")) {
        std::error_code error;
        if (entry.is_directory(error))
            expected.push_back(QString::fromStdString(entry.path().string()) + u'/');
    }
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(Shown(), expected);

    Type(QStringLiteral("u"));
    EXPECT_EQ(m_fs.listings, 1);
    std::vector<QString> filtered;
    std::copy_if(expected.begin(), expected.end(), std::back_inserter(filtered),
                 [](const QString& path) { return path.startsWith(u"/u", Qt::CaseInsensitive); });
    EXPECT_EQ(Shown(), filtered);
    EXPECT_EQ(Edit().IsListVisible(), !filtered.empty());
    ExpectFocusInEdit();
}

TEST_F(ACEditTest, SubfoldersAndLinksToThemAreSortedByCodeUnitsAndFilteredInAnyLetterCase)
{
    for (const char* name : {"b", "B", "a1", "A2", "caf\xE9"})
        MakeDirs(m_dir / name);
    WriteFile(m_dir / "afile", "x");
    ASSERT_EQ(symlink((m_dir / "b").c_str(), (m_dir / "alink").c_str()), 0);
    Open();
    TypeFolder();
    const QString base = Text(Path()) + u'/';
    const std::vector<QString> all = {base,        base + "A2/",          base + "B/", base + "a1/", base + "alink/",
                                      base + "b/", Text(Path("caf\xE9/"))};
    EXPECT_EQ(Shown(), all);
    EXPECT_EQ(EncodeNativeName(Shown().back().toStdU16String()), m_dir / "caf\xE9/") << "the name keeps its bytes";

    Type(QStringLiteral("a"));
    EXPECT_EQ(Shown(), (std::vector<QString>{base + "A2/", base + "a1/", base + "alink/"}));
    Key(Qt::Key_Backspace);
    Type(QStringLiteral("B"));
    EXPECT_EQ(Shown(), (std::vector<QString>{base + "B/", base + "b/"}));
    EXPECT_EQ(m_fs.listings, 1);
}

TEST_F(ACEditTest, TypingWithTheCaretBeforeTheEndHidesTheList)
{
    MakeSubfolders(2);
    Open();
    TypeFolder();
    ASSERT_TRUE(Edit().IsListVisible());
    Edit().setCursorPosition(1);
    Type(QStringLiteral("x"));
    EXPECT_FALSE(Edit().IsListVisible());
}

TEST_F(ACEditTest, MovementKeysWrapAroundPageAndPutThePathWithoutItsSeparator)
{
    MakeSubfolders(12);  // 13 rows with the folder itself
    Open();
    TypeFolder();
    ASSERT_EQ(Shown().size(), 13u);
    EXPECT_EQ(List().height(), 2 + CACListWnd::kMaxRows * List().ItemHeight());
    EXPECT_EQ(List().width(), Edit().width());
    EXPECT_EQ(List().geometry().topLeft(), Edit().mapToGlobal(QPoint(0, Edit().height())));
    EXPECT_TRUE(List().ScrollBar().isVisible());
    ASSERT_EQ(List().VisibleRows(), 8);

    struct Step {
        Qt::Key key;
        int selected;
    };
    for (const Step& step : {Step{Qt::Key_Up, 12}, Step{Qt::Key_Down, 0}, Step{Qt::Key_PageDown, 8}, Step{Qt::Key_PageDown, 12},
                             Step{Qt::Key_Down, 0}, Step{Qt::Key_PageUp, 0}, Step{Qt::Key_End, 12}, Step{Qt::Key_PageUp, 4},
                             Step{Qt::Key_Home, 0}, Step{Qt::Key_Down, 1}}) {
        Key(step.key);
        ASSERT_EQ(List().SelectedIndex(), step.selected) << "after key " << step.key;
        QString expected = Shown()[static_cast<size_t>(step.selected)];
        expected.chop(1);
        EXPECT_EQ(Edit().text(), expected);
        EXPECT_EQ(Edit().cursorPosition(), expected.size());
        EXPECT_TRUE(Edit().isModified());
        EXPECT_GE(step.selected, List().FirstVisible());
        EXPECT_LT(step.selected, List().FirstVisible() + List().VisibleRows());
        EXPECT_TRUE(Edit().IsListVisible());
    }
    EXPECT_EQ(m_fs.listings, 1) << "the arrows' own text changes read nothing";
    ExpectFocusInEdit();
}

TEST_F(ACEditTest, EnterPutsThePathWithItsSeparatorClosesTheListAndKeepsTheDialog)
{
    MakeSubfolders(3);
    Open();
    TypeFolder();
    Type(QStringLiteral("s0"));
    ASSERT_EQ(Shown().size(), 3u);
    EXPECT_FALSE(List().ScrollBar().isVisible());
    EXPECT_EQ(List().height(), 2 + 3 * List().ItemHeight());
    QSignalSpy chosen(&Edit(), &CACEdit::CompletionChosen);
    Key(Qt::Key_Down);
    Key(Qt::Key_Down);
    Key(Qt::Key_Return);
    EXPECT_EQ(Edit().text(), Text(Path("s01/")));
    EXPECT_FALSE(Edit().IsListVisible());
    EXPECT_EQ(chosen.count(), 1);
    EXPECT_TRUE(Dlg().isVisible());
    ExpectFocusInEdit();
}

TEST_F(ACEditTest, EscClosesTheListAndTabThenMovesTheFocusOn)
{
    MakeSubfolders(3);
    Open();
    TypeFolder();
    ASSERT_TRUE(Edit().IsListVisible());
    Key(Qt::Key_Escape);
    EXPECT_FALSE(Edit().IsListVisible());
    EXPECT_TRUE(Dlg().isVisible());

    Type(QStringLiteral("s"));
    ASSERT_TRUE(Edit().IsListVisible());
    Key(Qt::Key_Tab);
    EXPECT_NE(QApplication::focusWidget(), &Edit());
    EXPECT_FALSE(Edit().IsListVisible()) << "losing the focus closes the list";
}

TEST_F(ACEditTest, AMousePickPutsThePathAndClosesTheListHalfASecondLater)
{
    MakeSubfolders(3);
    Open();
    TypeFolder();
    QSignalSpy chosen(&Edit(), &CACEdit::CompletionChosen);
    const QPoint row2(10, 1 + 2 * List().ItemHeight() + List().ItemHeight() / 2);
    QTest::mouseMove(&List(), row2);
    QTest::mousePress(&List(), Qt::LeftButton, Qt::NoModifier, row2);
    EXPECT_EQ(Edit().text(), Text(Path("s01")));
    EXPECT_EQ(chosen.count(), 1);
    EXPECT_TRUE(Edit().IsListVisible()) << "the pick stays shown for a moment";
    ExpectFocusInEdit();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !Edit().IsListVisible(); }, 2000));
    EXPECT_EQ(Edit().text(), Text(Path("s01")));
}

TEST_F(ACEditTest, AResizedListKeepsItsSizeForLaterLists)
{
    MakeSubfolders(3);
    Open();
    TypeFolder();
    const QRect grip = List().GripRect();
    const QPoint from = grip.center();
    QTest::mousePress(&List(), Qt::LeftButton, Qt::NoModifier, from);
    QMouseEvent move(QEvent::MouseMove, QPointF(from + QPoint(60, 40)), List().mapToGlobal(QPointF(from + QPoint(60, 40))),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&List(), &move);
    QTest::mouseRelease(&List(), Qt::LeftButton, Qt::NoModifier, from + QPoint(60, 40));
    const QSize resized = List().size();
    EXPECT_EQ(resized, QSize(Edit().width() + 60, 2 + 4 * List().ItemHeight() + 40));
    EXPECT_EQ(List().RememberedSize(), resized);

    Key(Qt::Key_Escape);
    Type(QStringLiteral("s0"));
    ASSERT_TRUE(Edit().IsListVisible());
    EXPECT_EQ(List().size(), resized) << "two rows, but the size the user chose";
    ExpectFocusInEdit();
}

TEST_F(ACEditTest, MovingTheDialogClosesTheList)
{
    MakeSubfolders(3);
    Open();
    TypeFolder();
    ASSERT_TRUE(Edit().IsListVisible());
    Dlg().move(Dlg().pos() + QPoint(30, 20));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !Edit().IsListVisible(); }, 2000));
    ExpectFocusInEdit();
}

TEST_F(ACEditTest, AFolderThatCannotBeListedJoinsTheOldCandidatesOnce)
{
    MakeSubfolders(2);
    MakeDirs(m_dir / "s00/locked");
    m_fs.refused = {Path("s00/locked/"), Path("s01/")};
    Open();
    TypeFolder();
    ASSERT_EQ(List().CandidateCount(), 3);
    TypeFolder("s00/locked");
    EXPECT_EQ(m_fs.listings, 2);
    EXPECT_EQ(List().CandidateCount(), 4) << "the old candidates and the folder itself";
    EXPECT_EQ(Shown(), (std::vector<QString>{Text(Path("s00/locked/"))}));
    EXPECT_EQ(Edit().LastFolderRead(), Path("s00/locked/"));

    TypeFolder("s01");
    EXPECT_EQ(m_fs.listings, 3);
    EXPECT_EQ(List().CandidateCount(), 4) << "a folder that is a candidate already is not shown twice";
    EXPECT_EQ(Shown(), (std::vector<QString>{Text(Path("s01/"))}));
}

}  // namespace
