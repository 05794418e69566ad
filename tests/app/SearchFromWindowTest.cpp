// Searching from the main window: the run with its progress, Stop in every phase, closing the
// window while a run goes on, the controls' states, and sorting the rows by a header click.
// Real dialogs over real temporary trees; a gate in the file system holds a run where a test
// needs it to stand still.
#include <gtest/gtest.h>

#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <memory>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "app/QuillonApp.h"
#include "app/QuillonDlg.h"
#include "app/Settings.h"
#include "engine/Catalogue.h"
#include "engine/ResultOrder.h"
#include "engine/SearchRun.h"
#include "platform/ByteSize.h"
#include "platform/NativeName.h"
#include "platform/Profile.h"
#include "res/ResourceIds.h"
#include "tests/app/GateFileSystem.h"
#include "tests/support/TempDir.h"
#include "tests/widgets/QtTestEnvironment.h"

namespace {

using quillon::test::GateFileSystem;
using quillon::test::Joined;
using quillon::test::MakeDirs;
using quillon::test::RandomBytes;
using quillon::test::TempDir;
using quillon::test::WriteFile;

using Row = std::tuple<QString, QString, QString>;  // original, duplicate, size text

constexpr int kRunTimeoutMs = 20000;

const int kLockout[] = {IDC_BUTTON_SELECT, IDC_BUTTON_DESELECT,      IDC_BUTTON_WILDCARDS,  IDC_BUTTON_FOLDERS,
                        IDC_BUTTON_DELETE, IDC_BUTTON_DELETE_FOLDER, IDC_LIST_FOLDERS,      IDC_EDIT_FOLDER,
                        IDC_BUTTON_BROWSE, IDC_BUTTON_ADD,           IDC_BUTTON_DELETE_ALL, IDC_BUTTON_SEARCH,
                        IDC_LIST_RESULTS,  IDC_EDIT_SIZE_FROM,       IDC_EDIT_SIZE_TO};
const int kInputs[] = {IDC_EDIT_FOLDER,  IDC_BUTTON_BROWSE, IDC_BUTTON_ADD,     IDC_BUTTON_DELETE_ALL, IDC_BUTTON_SEARCH,
                       IDC_LIST_RESULTS, IDC_LIST_FOLDERS,  IDC_EDIT_SIZE_FROM, IDC_EDIT_SIZE_TO};
const int kResultButtons[] = {IDC_BUTTON_SELECT, IDC_BUTTON_DESELECT, IDC_BUTTON_WILDCARDS, IDC_BUTTON_FOLDERS,
                              IDC_BUTTON_DELETE};

class SearchFromWindowTest : public testing::Test {
protected:
    void SetUp() override
    {
        SetProfileRegistryKey(u"Velvane\\Quillon 1.0", u"Quillon");
        theSettings.m_Folders.clear();
        theSettings.m_Folder.clear();
        ResetEngine();
    }
    void TearDown() override
    {
        m_fs.Release();
        m_pDialog.reset();
        ResetCatalogue();
    }

    // The engine as a test starts with it: a fresh catalogue over the test's file system.
    void ResetEngine()
    {
        ResetCatalogue();
        g_fileSystem = &m_fs;
    }

    void AddSearchFolder(const std::string& native) { theSettings.m_Folders.emplace_back(DecodeNativeName(native + "/")); }

    void Open()
    {
        m_pDialog = std::make_unique<CQuillonDlg>();
        ASSERT_TRUE(Dlg().Create());
        Dlg().show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&Dlg()));
    }

    CQuillonDlg& Dlg() const { return *m_pDialog; }
    QWidget* Item(int id) const { return Dlg().GetDlgItem(id); }
    QString Pane(int pane) const { return Dlg().StatusPane(pane)->text(); }

    void ClickSearch() { QTest::mouseClick(Item(IDC_BUTTON_SEARCH), Qt::LeftButton); }
    bool WaitForEnd()
    {
        return QTest::qWaitFor([this] { return !Dlg().IsSearching(); }, kRunTimeoutMs);
    }
    bool WaitForGate()
    {
        return QTest::qWaitFor([this] { return m_fs.Reached(); }, kRunTimeoutMs);
    }

    std::vector<Row> ListRows() const
    {
        std::vector<Row> rows;
        const CListControlMem& list = Dlg().ResultsList();
        for (int r = 0; r < list.GetItemCount(); ++r)
            rows.emplace_back(list.GetItemText(r, 0), list.GetItemText(r, 1), list.GetItemText(r, 2));
        return rows;
    }

    static QString Q(const CPathString& path) { return QString::fromStdU16String(path.str()); }

    // Files a.bin, b.bin, c.bin of 100 bytes alike; d.bin, e.bin of 5000 bytes alike; three
    // files of their own. Three rows.
    void WriteGroups(const TempDir& tree)
    {
        const std::string small = RandomBytes(100, 1);
        const std::string large = RandomBytes(5000, 2);
        for (const char* name : {"a.bin", "sub/b.bin", "c.bin"})
            WriteFile(tree / name, small);
        for (const char* name : {"d.bin", "sub/e.bin"})
            WriteFile(tree / name, large);
        WriteFile(tree / "u1", RandomBytes(100, 3));
        WriteFile(tree / "u2", RandomBytes(77, 4));
        WriteFile(tree / "sub/u3", RandomBytes(5000, 5));
    }

    GateFileSystem m_fs;
    std::unique_ptr<CQuillonDlg> m_pDialog;
};

TEST_F(SearchFromWindowTest, ASearchShowsTheEnginesRowsBySizeUnmarkedWithItsTotals)
{
    TempDir tree;
    WriteGroups(tree);
    AddSearchFolder(tree.Path());

    // What the engine alone makes of the tree.
    BeginSearchRun(0, 0);
    SearchThreadProc(nullptr, {theSettings.m_Folders[0].m_Folder});
    SortDuplicatesBySize();
    std::multiset<Row> expected;
    for (const CDuplicatePair& pair : g_duplicates)
        expected.emplace(Q(pair.originalPath), Q(pair.duplicatePath), QString::fromStdU16String(FormatByteSize(pair.size)));
    ASSERT_EQ(expected.size(), 3u);
    ResetEngine();

    Open();
    ClickSearch();
    ASSERT_TRUE(WaitForEnd());
    const std::vector<Row> shown = ListRows();
    EXPECT_EQ(std::multiset<Row>(shown.begin(), shown.end()), expected);
    ASSERT_EQ(g_duplicates.size(), 3u);
    for (size_t r = 0; r < g_duplicates.size(); ++r) {
        EXPECT_EQ(std::get<0>(shown[r]), Q(g_duplicates[r].originalPath)) << "list row " << r << " shows row " << r;
        if (r > 0) {
            EXPECT_LE(g_duplicates[r - 1].size, g_duplicates[r].size);
        }
        EXPECT_EQ(Dlg().Results().GetMark(static_cast<int>(r), 0), 0);
        EXPECT_EQ(Dlg().Results().GetMark(static_cast<int>(r), 1), 0);
    }
    EXPECT_EQ(Pane(0), QStringLiteral("Done"));
    EXPECT_EQ(Pane(1), QStringLiteral("Files: 8"));
    EXPECT_EQ(Pane(2), QStringLiteral("Dups: 3"));
    EXPECT_EQ(Pane(3), QString::fromStdU16String(FormatByteSize(100 + 100 + 5000)));
    EXPECT_TRUE(Pane(4).startsWith(QStringLiteral("Elapsed Time: 00:00:"))) << Pane(4).toStdString();
}

TEST_F(SearchFromWindowTest, TheTitleShowsThePercentOnlyOnceAHundredFilesWereExamined)
{
    struct Case {
        int files;
        std::vector<QString> titles;
    };
    const Case cases[] = {
        {250, {QStringLiteral("40% - Quillon"), QStringLiteral("80% - Quillon"), QStringLiteral("Quillon")}},
        {99, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.files);
        TempDir tree;
        for (int i = 0; i < c.files; ++i)
            WriteFile(tree / Joined("f", i), RandomBytes(64, static_cast<unsigned>(i + 10)));
        theSettings.m_Folders.clear();
        AddSearchFolder(tree.Path());
        Open();
        QSignalSpy titles(&Dlg(), &QWidget::windowTitleChanged);
        ClickSearch();
        ASSERT_TRUE(WaitForEnd());
        std::vector<QString> seen;
        for (const QList<QVariant>& change : titles)
            seen.push_back(change.at(0).toString());
        EXPECT_EQ(seen, c.titles);
        EXPECT_EQ(Dlg().windowTitle(), c.titles.empty() ? QStringLiteral("Velvane Quillon") : QStringLiteral("Quillon"));
        // The next search starts without touching the title.
        titles.clear();
        Dlg().OnSearch();
        ASSERT_TRUE(WaitForEnd());
        EXPECT_EQ(titles.size(), static_cast<qsizetype>(c.titles.size()));
        m_pDialog.reset();
        ResetEngine();
    }
}

TEST_F(SearchFromWindowTest, ControlsAreLockedOutDuringARunAndFollowTheRowsAfterIt)
{
    for (bool withDuplicates : {true, false}) {
        SCOPED_TRACE(withDuplicates);
        TempDir tree;
        if (withDuplicates)
            WriteGroups(tree);
        else
            WriteFile(tree / "only", "x");
        theSettings.m_Folders.clear();
        AddSearchFolder(tree.Path());
        GateFileSystem gate;
        gate.hold = [](const GateFileSystem::Event& e) { return e.kind == GateFileSystem::Kind::Listing; };
        g_fileSystem = &gate;
        Open();
        Dlg().activateWindow();
        Item(IDC_BUTTON_SEARCH)->setFocus();
        QTest::keyClick(Item(IDC_BUTTON_SEARCH), Qt::Key_Space);
        ASSERT_TRUE(QTest::qWaitFor([&] { return gate.Reached(); }, kRunTimeoutMs));
        EXPECT_TRUE(Item(IDC_BUTTON_STOP)->isEnabled());
        for (int id : kLockout)
            EXPECT_FALSE(Item(id)->isEnabled()) << "control " << id << " during the run";
        gate.Release();
        ASSERT_TRUE(WaitForEnd());
        EXPECT_FALSE(Item(IDC_BUTTON_STOP)->isEnabled());
        for (int id : kInputs)
            EXPECT_TRUE(Item(id)->isEnabled()) << "input " << id;
        for (int id : kResultButtons)
            EXPECT_EQ(Item(id)->isEnabled(), withDuplicates) << "result command " << id;
        if (Dlg().isActiveWindow()) {
            EXPECT_EQ(Dlg().focusWidget(), Item(IDC_BUTTON_SEARCH)) << "the focus is back where the search began";
        }
        EXPECT_FALSE(Item(IDC_BUTTON_DELETE_FOLDER)->isEnabled()) << "no folder is selected";
        m_pDialog.reset();
        ResetEngine();
    }
}

TEST_F(SearchFromWindowTest, StopEndsTheRunWithWhatEachPhaseKeeps)
{
    using Kind = GateFileSystem::Kind;
    struct Case {
        const char* phase;
        std::function<bool(const GateFileSystem::Event&)> hold;
        int rows;  // the small pair's row survives a stop while pairing
    };
    const Case cases[] = {
        {"scan", [](const GateFileSystem::Event& e) { return e.kind == Kind::Listing && e.path.ends_with(u"/sub"); }, 0},
        {"grouping", [](const GateFileSystem::Event& e) { return e.kind == Kind::Open; }, 0},
        {"pairing",
         [](const GateFileSystem::Event& e) {
             return e.kind == Kind::Read && e.bytesSoFar >= 65536 && g_searchState.load() == ESearchState::Pairing;
         },
         1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.phase);
        TempDir tree;
        const std::string big = RandomBytes(1 << 20, 7);
        WriteFile(tree / "big1", big);
        WriteFile(tree / "sub/big2", big);
        WriteFile(tree / "small1", "same small text");
        WriteFile(tree / "sub/small2", "same small text");
        theSettings.m_Folders.clear();
        AddSearchFolder(tree.Path());
        GateFileSystem gate;
        gate.hold = c.hold;
        g_fileSystem = &gate;
        Open();
        ClickSearch();
        ASSERT_TRUE(QTest::qWaitFor([&] { return gate.Reached(); }, kRunTimeoutMs));
        QTest::mouseClick(Item(IDC_BUTTON_STOP), Qt::LeftButton);
        EXPECT_FALSE(Item(IDC_BUTTON_STOP)->isEnabled()) << "Stop disables itself at once";
        EXPECT_FALSE(Item(IDC_BUTTON_SEARCH)->isEnabled()) << "the rest waits for the end of the run";
        gate.Release();
        ASSERT_TRUE(WaitForEnd());

        EXPECT_EQ(Dlg().ResultsList().GetItemCount(), c.rows);
        if (c.rows == 1) {
            EXPECT_TRUE(std::get<0>(ListRows()[0]).endsWith(QStringLiteral("small1")) ||
                        std::get<1>(ListRows()[0]).endsWith(QStringLiteral("small1")));
        }
        // What was found so far, and that it is not the whole answer.
        EXPECT_EQ(Pane(0), QStringLiteral("Stopped"));
        EXPECT_EQ(Pane(2), QStringLiteral("Dups: %1").arg(c.rows));
        EXPECT_EQ(Pane(3), QString::fromStdU16String(FormatByteSize(c.rows ? 15 : 0)));
        EXPECT_TRUE(Item(IDC_LIST_RESULTS)->isEnabled());
        EXPECT_EQ(Item(IDC_BUTTON_DELETE)->isEnabled(), c.rows > 0);
        if (std::string(c.phase) != "scan") {
            EXPECT_EQ(Pane(1), QStringLiteral("Files: 4"));
        }
        EXPECT_FALSE(Dlg().windowTitle().contains(QLatin1Char('%')));
        // The next run, not stopped, is done.
        gate.hold = nullptr;
        ClickSearch();
        ASSERT_TRUE(WaitForEnd());
        EXPECT_EQ(Pane(0), QStringLiteral("Done"));
        EXPECT_EQ(Pane(2), QStringLiteral("Dups: 2"));
        m_pDialog.reset();
        ResetEngine();
    }
}

TEST_F(SearchFromWindowTest, ASecondSearchCannotStartWhileOneRuns)
{
    TempDir tree;
    WriteGroups(tree);
    AddSearchFolder(tree.Path());
    m_fs.hold = [](const GateFileSystem::Event& e) { return e.kind == GateFileSystem::Kind::Listing; };
    Open();
    Dlg().OnSearch();
    ASSERT_TRUE(WaitForGate());
    Dlg().OnSearch();
    EXPECT_TRUE(Dlg().IsSearching());
    m_fs.Release();
    ASSERT_TRUE(WaitForEnd());
    EXPECT_EQ(m_fs.listings.load(), 2) << "one walk of the tree and its subfolder";
    EXPECT_EQ(Dlg().ResultsList().GetItemCount(), 3);

    // Once a run has ended, the next starts at once.
    Dlg().OnSearch();
    ASSERT_TRUE(WaitForEnd());
    EXPECT_EQ(m_fs.listings.load(), 4);
}

TEST_F(SearchFromWindowTest, ADialogDestroyedDuringARunStopsItAndWaitsForItsEnd)
{
    TempDir tree;
    WriteGroups(tree);
    AddSearchFolder(tree.Path());
    m_fs.hold = [](const GateFileSystem::Event& e) { return e.kind == GateFileSystem::Kind::Open; };
    Open();
    Dlg().OnSearch();
    ASSERT_TRUE(WaitForGate());
    QTimer::singleShot(0, [this] { m_fs.Release(); });
    m_pDialog.reset();
    EXPECT_EQ(g_searchState.load(), ESearchState::Idle);
    EXPECT_TRUE(g_duplicates.empty()) << "stopped while grouping";
}

// The program as a whole, closed while a run is held in each phase and each way a person closes
// it: it ends (no hang, nothing left running), and the settings reach the store.
TEST_F(SearchFromWindowTest, ClosingDuringARunStopsItEndsTheProgramAndKeepsTheSettings)
{
    using Kind = GateFileSystem::Kind;
    TempDir tree;
    const std::string big = RandomBytes(1 << 20, 9);
    WriteFile(tree / "big1", big);
    WriteFile(tree / "sub/big2", big);
    AddSearchFolder(tree.Path());
    theSettings.Save();

    const std::function<bool(const GateFileSystem::Event&)> phases[] = {
        [](const GateFileSystem::Event& e) { return e.kind == Kind::Listing && e.path.ends_with(u"/sub"); },
        [](const GateFileSystem::Event& e) { return e.kind == Kind::Open; },
        [](const GateFileSystem::Event& e) {
            return e.kind == Kind::Read && e.bytesSoFar >= 65536 && g_searchState.load() == ESearchState::Pairing;
        },
    };
    enum class Close { Button, CtrlQ, Reject };
    int round = 0;
    for (const auto& hold : phases) {
        for (Close how : {Close::Button, Close::CtrlQ, Close::Reject}) {
            SCOPED_TRACE(round);
            const QString typed = QStringLiteral("/typed/%1").arg(round++);
            GateFileSystem gate;
            gate.hold = hold;
            g_fileSystem = &gate;
            bool closed = false;
            QTimer poll;
            poll.setInterval(2);
            QObject::connect(&poll, &QTimer::timeout, [&] {
                CQuillonDlg* dialog = theApp.MainWnd();
                if (!dialog || !dialog->isVisible() || closed)
                    return;
                if (!dialog->IsSearching()) {
                    qobject_cast<QLineEdit*>(dialog->GetDlgItem(IDC_EDIT_FOLDER))->setText(typed);
                    dialog->OnSearch();
                    return;
                }
                if (!gate.Reached())
                    return;
                closed = true;
                switch (how) {
                case Close::Button:
                    dialog->close();
                    break;
                case Close::CtrlQ:
                    dialog->GetDlgItem(IDC_BUTTON_STOP)->setFocus();
                    QTest::keyClick(dialog->GetDlgItem(IDC_BUTTON_STOP), Qt::Key_Q, Qt::ControlModifier);
                    break;
                case Close::Reject:
                    dialog->reject();
                    break;
                }
                EXPECT_TRUE(dialog->isVisible()) << "the dialog waits for the end of the run";
                gate.Release();
            });
            poll.start();
            theApp.SetCommandLine(u"/usr/bin/quillon");
            theSettings.m_Folders.clear();
            theSettings.m_Folder.clear();
            EXPECT_FALSE(theApp.InitInstance());
            poll.stop();
            EXPECT_TRUE(closed);
            EXPECT_EQ(g_searchState.load(), ESearchState::Idle);
            EXPECT_EQ(theApp.MainWnd(), nullptr);
            // What the next start reads.
            theSettings.m_Folder.clear();
            theSettings.m_Folders.clear();
            theSettings.Load();
            EXPECT_EQ(QString::fromStdU16String(theSettings.m_Folder), typed);
            EXPECT_EQ(theSettings.m_Folders.size(), 1u);
            ResetEngine();
        }
    }
}

// Header clicks: the sort state, the order of each column, and the marks carried across by path.
class HeaderSortTest : public SearchFromWindowTest {
protected:
    void Show(const std::vector<CDuplicatePair>& rows)
    {
        g_duplicates = rows;
        Open();
        Dlg().FillResults();
        Dlg().EnableResultCommands();
    }
    void ClickHeader(int column)
    {
        QHeaderView* header = Dlg().ResultsList().horizontalHeader();
        const QPoint centre(header->sectionViewportPosition(column) + header->sectionSize(column) / 2, header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, centre);
    }
    std::vector<QString> Column(int column) const
    {
        std::vector<QString> texts;
        for (const Row& row : ListRows())
            texts.push_back(column == 0 ? std::get<0>(row) : column == 1 ? std::get<1>(row) : std::get<2>(row));
        return texts;
    }
};

TEST_F(HeaderSortTest, ClicksFlipTheDirectionOfTheSameColumnAndKeepItForAnother)
{
    Show({{u"/o.txt", u"/b.txt", 30, 0, 0}, {u"/o.txt", u"/a.txt", 30, 0, 0}, {u"/p.txt", u"/c.txt", 10, 0, 0}});
    struct Step {
        int column;
        std::vector<QString> duplicates;
    };
    const Step steps[] = {
        {0, {"/c.txt", "/a.txt", "/b.txt"}},  // the first click on "Original" sorts descending...
        {0, {"/b.txt", "/a.txt", "/c.txt"}},  // ...the second ascending; the second key runs against it
        {2, {"/c.txt", "/b.txt", "/a.txt"}},  // "Size" keeps the direction: smallest first
        {2, {"/b.txt", "/a.txt", "/c.txt"}}, {1, {"/c.txt", "/b.txt", "/a.txt"}},  // "Duplicate" next, still descending
    };
    for (const Step& step : steps) {
        ClickHeader(step.column);
        std::vector<QString> duplicates = Column(1);
        if (step.column == 2) {
            // Rows of equal size may come in either order among themselves.
            EXPECT_EQ(duplicates[step.duplicates[0] == "/c.txt" ? 0 : 2], QStringLiteral("/c.txt"));
            continue;
        }
        EXPECT_EQ(duplicates, step.duplicates) << "after a click on column " << step.column;
    }
}

TEST_F(HeaderSortTest, PathsCompareWithAToZFoldedAndTheSeparatorBetweenDigitsAndLetters)
{
    Show({{u"/Zeta", u"/d1", 1, 0, 0},
          {u"/alpha", u"/d2", 1, 0, 0},
          {u"/_tmp", u"/d3", 1, 0, 0},
          {u"/Apple", u"/d4", 1, 0, 0},
          {u"/Dir/a.txt", u"/d5", 1, 0, 0},
          {u"/Dir2/a.txt", u"/d6", 1, 0, 0},
          {u"/Dira/a.txt", u"/d7", 1, 0, 0},
          {u"/\u00c4rger", u"/d8", 1, 0, 0}});
    ClickHeader(0);
    ClickHeader(0);  // ascending
    const std::vector<QString> expected = {"/_tmp",      "/alpha",      "/Apple", "/Dir2/a.txt",
                                           "/Dir/a.txt", "/Dira/a.txt", "/Zeta",  QStringLiteral("/\u00c4rger")};
    EXPECT_EQ(Column(0), expected);
}

TEST_F(HeaderSortTest, MarksFollowTheirExactPathsAcrossASort)
{
    Show({{u"/x/O.txt", u"/x/A.txt", 5, 0, 0}, {u"/x/O.txt", u"/x/a.txt", 5, 0, 0}, {u"/x/a.txt", u"/y/z.txt", 9, 0, 0}});
    CResultsView& results = Dlg().Results();
    results.SetMark(0, 1, 1);  // /x/A.txt
    results.SetMark(2, 0, 1);  // /x/a.txt, also shown unmarked in row 1
    for (int column : {1, 0, 2, 2}) {
        ClickHeader(column);
        for (int r = 0; r < results.RowCount(); ++r) {
            for (int cell : {0, 1}) {
                const QString path = Dlg().ResultsList().GetItemText(r, cell);
                const bool marked = path == QStringLiteral("/x/A.txt") || path == QStringLiteral("/x/a.txt");
                EXPECT_EQ(results.IsMarked(r, cell), marked) << path.toStdString() << " after a click on " << column;
            }
        }
    }
    std::vector<CPathString> list;
    MarkedPathSet set;
    Dlg().CollectMarkedFiles(list, set);
    EXPECT_EQ(set.size(), 2u);
}

TEST_F(HeaderSortTest, AClickOnAnEmptyListStillTurnsTheSortState)
{
    Show({});
    Dlg().ResultsList().setEnabled(true);
    ClickHeader(0);
    EXPECT_EQ(Dlg().m_nSortColumn, 0);
    EXPECT_FALSE(Dlg().m_bSortAscending);
    ClickHeader(2);
    EXPECT_EQ(Dlg().m_nSortColumn, 2);
    EXPECT_FALSE(Dlg().m_bSortAscending);
    EXPECT_EQ(Dlg().ResultsList().GetItemCount(), 0);
}

}  // namespace
