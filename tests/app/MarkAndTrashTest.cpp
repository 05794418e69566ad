// Marking and removing duplicates through the real main dialog over a real tree: clicks on the
// boxes, the Select and Folders menus, the pattern dialog, De-Select, and moving the marked files
// to a private trash, after which the dialog searches again.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <dirent.h>
#include <sys/stat.h>

#include <climits>
#include <functional>
#include <memory>
#include <set>
#include <string>

#include "app/QuillonDlg.h"
#include "app/Settings.h"
#include "engine/Catalogue.h"
#include "platform/NativeName.h"
#include "platform/Profile.h"
#include "res/ResourceIds.h"
#include "results/WildCardSelect.h"
#include "tests/support/TempDir.h"
#include "tests/widgets/QtTestEnvironment.h"

namespace {

using quillon::test::ReadFile;
using quillon::test::TempDir;
using quillon::test::WriteFile;

// Runs `step` on the next modal dialog (or popup menu) once it is open.
void WhenOpen(std::function<void(QWidget*)> step, bool popup = false)
{
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, poll, [poll, step, popup] {
        QWidget* widget = popup ? QApplication::activePopupWidget() : QApplication::activeModalWidget();
        if (widget && widget->isVisible()) {
            poll->stop();
            poll->deleteLater();
            step(widget);
        }
    });
    poll->start(5);
}

void Answer(QWidget* widget, QMessageBox::StandardButton button, QString* text = nullptr)
{
    auto* box = qobject_cast<QMessageBox*>(widget);
    ASSERT_NE(box, nullptr);
    if (text)
        *text = box->text() + QLatin1Char('\n') + box->detailedText();
    box->button(button)->click();
}

size_t CountFiles(const std::string& folder)
{
    size_t count = 0;
    if (DIR* dir = ::opendir(folder.c_str())) {
        while (const dirent* entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            if (name == "." || name == "..")
                continue;
            struct stat info {};
            const std::string path = folder + "/" + name;
            if (::lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode))
                count += CountFiles(path);
            else
                ++count;
        }
        ::closedir(dir);
    }
    return count;
}

// The "Path=" values of the trash's information files.
std::set<std::string> TrashedPaths(const std::string& trash)
{
    std::set<std::string> paths;
    if (DIR* dir = ::opendir((trash + "/info").c_str())) {
        while (const dirent* entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            if (name.size() < 10 || !name.ends_with(".trashinfo"))
                continue;
            const std::string info = ReadFile(trash + "/info/" + name);
            const size_t start = info.find("\nPath=") + 6;
            paths.insert(
                QByteArray::fromPercentEncoding(QByteArray::fromStdString(info.substr(start, info.find('\n', start) - start)))
                    .toStdString());
        }
        ::closedir(dir);
    }
    return paths;
}

class MarkAndTrashTest : public testing::Test {
protected:
    void SetUp() override
    {
        SetProfileRegistryKey(u"Velvane\\Quillon 1.0", u"Quillon");
        m_oldData = std::getenv("XDG_DATA_HOME");
        m_data = m_home / "data";
        setenv("XDG_DATA_HOME", m_data.c_str(), 1);
        // Group A: two files; group B: three; group D: two, one of them not named in UTF-8.
        WriteFile(m_tree / "a/x.jpg", std::string(3000, 'A'));
        WriteFile(m_tree / "b/x.jpg", std::string(3000, 'A'));
        WriteFile(m_tree / "b/y.txt", std::string(3000, 'B'));
        WriteFile(m_tree / "c/y.txt", std::string(3000, 'B'));
        WriteFile(m_tree / "c/z.txt", std::string(3000, 'B'));
        WriteFile(m_tree / "d/caf\xe9.bin", std::string(5000, 'D'));
        WriteFile(m_tree / "d/e/d2.bin", std::string(5000, 'D'));
        WriteFile(m_tree / "d/alone.bin", std::string(5000, 'U'));
        theSettings.m_Folders.clear();
        theSettings.m_Folders.emplace_back(DecodeNativeName(m_tree.Path()));
        theSettings.m_Folder.clear();
        m_pDialog = std::make_unique<CQuillonDlg>();
        ASSERT_TRUE(m_pDialog->Create());
        m_pDialog->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_pDialog.get()));
        Search();
    }
    void TearDown() override
    {
        m_pDialog.reset();
        theSettings.m_Folders.clear();
        g_duplicates.clear();
        setenv("XDG_DATA_HOME", m_oldData.c_str(), 1);
    }

    CQuillonDlg& Dlg() { return *m_pDialog; }

    void Search()
    {
        if (!Dlg().IsSearching())
            Dlg().OnSearch();
        QTRY_VERIFY_WITH_TIMEOUT(!Dlg().IsSearching(), 30000);
    }

    // The cell that shows the file, as (row, column); (-1, -1) when no row shows it.
    std::pair<int, int> CellOf(const std::string& relative)
    {
        const std::u16string path = DecodeNativeName(m_tree / relative);
        for (int row = 0; row < Dlg().Results().RowCount(); ++row) {
            if (Dlg().Results().Row(row).duplicatePath == path)
                return {row, 1};
            if (Dlg().Results().Row(row).originalPath == path)
                return {row, 0};
        }
        return {-1, -1};
    }

    bool Marked(const std::string& relative)
    {
        const auto [row, column] = CellOf(relative);
        return row >= 0 && Dlg().Results().IsMarked(row, column);
    }

    void ClickCell(const std::string& relative, bool onTheBox)
    {
        const auto [row, column] = CellOf(relative);
        ASSERT_GE(row, 0) << relative;
        CListControlMem& list = Dlg().ResultsList();
        const QRect box = list.GetSubItemIconRect(row, column);
        const QPoint point = onTheBox ? box.center() : QPoint(box.right() + 30, box.center().y());
        QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, point);
    }

    void PickFromMenu(CMenuButton& button, const QString& startOfText)
    {
        WhenOpen(
            [startOfText](QWidget* widget) {
                auto* menu = qobject_cast<QMenu*>(widget);
                for (QAction* action : menu->actions()) {
                    if (action->text().startsWith(startOfText))
                        menu->setActiveAction(action);
                }
                QTest::keyClick(menu, Qt::Key_Return);
            },
            true);
        button.click();
    }

    QPushButton* Button(int id) { return qobject_cast<QPushButton*>(Dlg().GetDlgItem(id)); }

    TempDir m_tree{"quillon-marks"};
    TempDir m_home{"quillon-marks-home"};
    std::string m_data;
    std::string m_oldData;
    std::unique_ptr<CQuillonDlg> m_pDialog;
};

TEST_F(MarkAndTrashTest, BoxesMenusPatternAndDeselectMarkFilesThroughTheDialog)
{
    ASSERT_EQ(Dlg().Results().RowCount(), 4);
    // The Folders menu: largest count first, "path [n]".
    QMenu* folders = Dlg().FoldersButton().GetPopup();
    ASSERT_NE(folders, nullptr);
    ASSERT_EQ(folders->actions().size(), 5);
    std::set<std::string> menuFolders;
    int previousCount = INT32_MAX;
    for (QAction* action : folders->actions()) {
        const QString text = action->text();
        const qsizetype blank = text.lastIndexOf(QLatin1Char(' '));
        ASSERT_TRUE(text.endsWith(QLatin1Char(']')) && text.mid(blank + 1, 1) == QStringLiteral("[")) << text.toStdString();
        const int count = text.mid(blank + 2, text.size() - blank - 3).toInt();
        EXPECT_LE(count, previousCount);
        previousCount = count;
        menuFolders.insert(text.left(blank).toStdString());
    }
    EXPECT_EQ(menuFolders, (std::set<std::string>{m_tree / "a", m_tree / "b", m_tree / "c", m_tree / "d", m_tree / "d/e"}));

    ClickCell("c/z.txt", false);
    EXPECT_FALSE(Marked("c/z.txt"));
    ClickCell("c/z.txt", true);
    EXPECT_TRUE(Marked("c/z.txt"));
    ClickCell("c/z.txt", true);
    EXPECT_FALSE(Marked("c/z.txt"));

    PickFromMenu(Dlg().FoldersButton(), QString::fromStdString(m_tree / "c ["));
    EXPECT_TRUE(Marked("c/y.txt") && Marked("c/z.txt"));
    EXPECT_FALSE(Marked("b/y.txt"));
    Button(IDC_BUTTON_DESELECT)->click();
    EXPECT_FALSE(Marked("c/y.txt") || Marked("c/z.txt"));

    WhenOpen([](QWidget* widget) {
        auto* dialog = qobject_cast<CWildCardSelect*>(widget);
        ASSERT_NE(dialog, nullptr);
        auto* edit = qobject_cast<QLineEdit*>(dialog->GetDlgItem(IDC_EDIT_PATTERN));
        EXPECT_TRUE(edit->text().isEmpty());
        QTest::keyClicks(edit, QStringLiteral("*/B/*.JPG"));
        qobject_cast<QPushButton*>(dialog->GetDlgItem(IDOK))->click();
    });
    Button(IDC_BUTTON_WILDCARDS)->click();
    EXPECT_TRUE(Marked("b/x.jpg"));
    EXPECT_FALSE(Marked("a/x.jpg"));

    WhenOpen([](QWidget* widget) { QTest::keyClick(widget, Qt::Key_Escape); });
    Button(IDC_BUTTON_WILDCARDS)->click();  // cancelled: the marks stay as they were
    EXPECT_TRUE(Marked("b/x.jpg"));

    PickFromMenu(Dlg().SelectButton(), QStringLiteral("Newer"));
    int marked = 0;
    for (int row = 0; row < Dlg().Results().RowCount(); ++row)
        marked += Dlg().Results().IsMarked(row, 0) + Dlg().Results().IsMarked(row, 1);
    EXPECT_GE(marked, 4);
}

TEST_F(MarkAndTrashTest, DecliningTheConfirmationKeepsEveryMarkAndSearchesNothing)
{
    const size_t before = CountFiles(m_tree.Path());
    ClickCell("b/x.jpg", true);
    ClickCell("c/z.txt", true);
    QString question;
    WhenOpen([&](QWidget* widget) { Answer(widget, QMessageBox::No, &question); });
    Button(IDC_BUTTON_DELETE)->click();
    EXPECT_TRUE(question.startsWith(QStringLiteral("Are you sure you want to move these 2 items to the Trash?")));
    EXPECT_FALSE(Dlg().IsSearching());
    EXPECT_EQ(CountFiles(m_tree.Path()), before);
    EXPECT_EQ(CountFiles(m_data + "/Trash/files"), 0u);
    EXPECT_EQ(Dlg().Results().RowCount(), 4);
    EXPECT_TRUE(Marked("b/x.jpg") && Marked("c/z.txt"));
    EXPECT_TRUE(Button(IDC_BUTTON_DELETE)->isEnabled());
}

// Marks that take every copy of some content: the question says how many, warns, and Enter (or
// Esc) answers No.
TEST_F(MarkAndTrashTest, WhenTheLastCopiesWouldGoTheQuestionWarnsAndEnterAnswersNo)
{
    const size_t before = CountFiles(m_tree.Path());
    ClickCell("a/x.jpg", true);
    ClickCell("b/x.jpg", true);
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Escape}) {
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QString text;
        WhenOpen([&](QWidget* widget) {
            auto* box = qobject_cast<QMessageBox*>(widget);
            ASSERT_NE(box, nullptr);
            icon = box->icon();
            text = box->text();
            QTest::keyClick(box, key);
        });
        Button(IDC_BUTTON_DELETE)->click();
        EXPECT_EQ(icon, QMessageBox::Warning);
        EXPECT_TRUE(text.contains(QStringLiteral("2 of these files would leave no unmarked copy"))) << text.toStdString();
        EXPECT_EQ(CountFiles(m_tree.Path()), before) << "key " << key;
        EXPECT_TRUE(Marked("a/x.jpg") && Marked("b/x.jpg"));
    }
    // Without last copies the question keeps Yes as its default.
    ClickCell("a/x.jpg", true);
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    WhenOpen([&](QWidget* widget) {
        icon = qobject_cast<QMessageBox*>(widget)->icon();
        QTest::keyClick(widget, Qt::Key_Return);
    });
    Button(IDC_BUTTON_DELETE)->click();
    Search();
    EXPECT_EQ(icon, QMessageBox::Question);
    EXPECT_EQ(TrashedPaths(m_data + "/Trash"), std::set<std::string>{m_tree / "b/x.jpg"});
}

TEST_F(MarkAndTrashTest, ConfirmedMarksGoToTheTrashAndEverythingElseStays)
{
    const size_t before = CountFiles(m_tree.Path());
    // Every duplicate, and the original of group A as well: group A leaves no copy behind.
    for (int row = 0; row < Dlg().Results().RowCount(); ++row)
        Dlg().Results().SetMark(row, 1, CResultsView::kMarked);
    const auto [rowA, columnA] = CellOf("a/x.jpg");
    Dlg().Results().SetMark(rowA, 0, CResultsView::kMarked);
    std::set<std::string> marked;
    for (int row = 0; row < Dlg().Results().RowCount(); ++row) {
        marked.insert(EncodeNativeName(Dlg().Results().Row(row).duplicatePath.view()));
        if (row == rowA)
            marked.insert(EncodeNativeName(Dlg().Results().Row(row).originalPath.view()));
    }
    ASSERT_EQ(marked.size(), 5u);

    QString question;
    WhenOpen([&](QWidget* widget) { Answer(widget, QMessageBox::Yes, &question); });
    Button(IDC_BUTTON_DELETE)->click();
    EXPECT_TRUE(question.contains(QStringLiteral("move these 5 items to the Trash?")));
    EXPECT_TRUE(question.contains(QStringLiteral("2 of these files would leave no unmarked copy")));
    Search();

    EXPECT_EQ(TrashedPaths(m_data + "/Trash"), marked);
    for (const std::string& path : marked)
        EXPECT_NE(::access(path.c_str(), F_OK), 0) << path;
    EXPECT_EQ(CountFiles(m_data + "/Trash/files") + CountFiles(m_tree.Path()), before);
    EXPECT_EQ(ReadFile(m_tree / "d/alone.bin"), std::string(5000, 'U'));
    // What is left: the original of group B and of group D, no rows.
    EXPECT_EQ(CountFiles(m_tree.Path()), 3u);
    EXPECT_EQ(Dlg().Results().RowCount(), 0);
}

TEST_F(MarkAndTrashTest, FilesThatVanishedOrChangedAfterTheSearchAreListedAndKept)
{
    ClickCell("a/x.jpg", true);
    ClickCell("c/z.txt", true);
    ClickCell("b/x.jpg", true);
    ::unlink((m_tree / "c/z.txt").c_str());
    WriteFile(m_tree / "b/x.jpg", std::string(3001, 'A'));
    QString report;
    WhenOpen([&](QWidget* widget) {
        Answer(widget, QMessageBox::Yes);
        WhenOpen([&](QWidget* next) { Answer(next, QMessageBox::Ok, &report); });
    });
    Button(IDC_BUTTON_DELETE)->click();
    Search();
    EXPECT_TRUE(report.contains(QString::fromStdString(m_tree / "c/z.txt: no longer exists"))) << report.toStdString();
    EXPECT_TRUE(report.contains(QString::fromStdString(m_tree / "b/x.jpg: changed since the search"))) << report.toStdString();
    EXPECT_TRUE(report.startsWith(QStringLiteral("2 of 3 files were not moved")));
    EXPECT_EQ(ReadFile(m_tree / "b/x.jpg"), std::string(3001, 'A'));
    EXPECT_EQ(TrashedPaths(m_data + "/Trash"), std::set<std::string>{m_tree / "a/x.jpg"});
}

}  // namespace
