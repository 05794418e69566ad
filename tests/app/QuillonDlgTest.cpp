// The main dialog: its controls and their states after initialisation, the size-range exchange,
// the anchors when the window is resized, the status bar, the two lists, and how it ends.
#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>

#include <map>
#include <memory>
#include <set>

#include "app/QuillonDlg.h"
#include "app/Settings.h"
#include "engine/Catalogue.h"
#include "platform/Profile.h"
#include "res/ResourceIds.h"
#include "res/StringTable.h"
#include "tests/app/FolderDialogFixture.h"
#include "tests/widgets/QtTestEnvironment.h"
#include "widgets/ControlId.h"
#include "widgets/DialogTemplateBuilder.h"
#include "widgets/SizeGrip.h"

namespace {

// The main dialog is shown with Show(), so that the focus stays where the dialog puts it.
class QuillonDlgTest : public quillon::test::FolderDialogTest {
protected:
    QLineEdit* LineEdit(int id) const { return qobject_cast<QLineEdit*>(Item(id)); }

    std::map<int, QRect> ControlRects() const
    {
        std::map<int, QRect> rects;
        for (QWidget* control : Dlg().TemplateControls()) {
            if (GetDlgCtrlID(control) != IDC_STATIC)
                rects[GetDlgCtrlID(control)] = control->geometry();
        }
        return rects;
    }

    std::vector<QRect> StaticRects() const
    {
        std::vector<QRect> rects;
        for (QWidget* control : Dlg().TemplateControls()) {
            if (GetDlgCtrlID(control) == IDC_STATIC)
                rects.push_back(control->geometry());
        }
        return rects;
    }

    void ResizeBy(int dx, int dy)
    {
        Dlg().resize(Dlg().width() + dx, Dlg().height() + dy);
        QCoreApplication::processEvents();
    }
};

TEST_F(QuillonDlgTest, EveryControlHasItsStateAfterInitialisation)
{
    Show();
    for (int id : {IDC_BUTTON_SEARCH, IDC_EDIT_FOLDER, IDC_BUTTON_BROWSE, IDC_BUTTON_ADD, IDC_BUTTON_DELETE_ALL, IDC_LIST_FOLDERS,
                   IDC_EDIT_SIZE_FROM, IDC_EDIT_SIZE_TO})
        EXPECT_TRUE(Item(id)->isEnabled()) << "control " << id;
    for (int id : {IDC_BUTTON_STOP, IDC_LIST_RESULTS, IDC_BUTTON_SELECT, IDC_BUTTON_DESELECT, IDC_BUTTON_WILDCARDS,
                   IDC_BUTTON_FOLDERS, IDC_BUTTON_DELETE, IDC_BUTTON_DELETE_FOLDER})
        EXPECT_FALSE(Item(id)->isEnabled()) << "control " << id;
    EXPECT_EQ(Dlg().windowTitle(), QStringLiteral("Velvane Quillon"));
    EXPECT_FALSE(Dlg().windowIcon().isNull());
    EXPECT_EQ(Dlg().focusWidget(), Item(IDC_EDIT_FOLDER));

    // Tab goes through the controls as they are laid out: top to bottom, left to right.
    const std::vector<int> expected = {IDC_EDIT_FOLDER,          IDC_BUTTON_BROWSE,     IDC_BUTTON_ADD,      IDC_LIST_FOLDERS,
                                       IDC_BUTTON_DELETE_FOLDER, IDC_BUTTON_DELETE_ALL, IDC_BUTTON_SEARCH,   IDC_BUTTON_STOP,
                                       IDC_EDIT_SIZE_FROM,       IDC_EDIT_SIZE_TO,      IDC_LIST_RESULTS,    IDC_BUTTON_SELECT,
                                       IDC_BUTTON_FOLDERS,       IDC_BUTTON_WILDCARDS,  IDC_BUTTON_DESELECT, IDC_BUTTON_DELETE};
    std::vector<int> chain;
    QWidget* widget = Item(IDC_EDIT_FOLDER);
    do {
        if (widget->parentWidget() == &Dlg() && GetDlgCtrlID(widget) > 0 && widget->focusPolicy() != Qt::NoFocus)
            chain.push_back(GetDlgCtrlID(widget));
        widget = widget->nextInFocusChain();
    } while (widget != Item(IDC_EDIT_FOLDER) && chain.size() <= expected.size());
    EXPECT_EQ(chain, expected);
}

TEST_F(QuillonDlgTest, ResultCommandsFollowTheRowsAndFolderDeleteTheSelection)
{
    theSettings.m_Folders.emplace_back(u"/data/");
    Show();
    g_duplicates.push_back(CDuplicatePair{u"/data/a", u"/data/b", 10, 0, 0});
    Dlg().FoldersList().SetItemSelected(0, true);
    Dlg().EnableResultCommands();
    for (int id : {IDC_LIST_RESULTS, IDC_BUTTON_SELECT, IDC_BUTTON_DESELECT, IDC_BUTTON_WILDCARDS, IDC_BUTTON_FOLDERS,
                   IDC_BUTTON_DELETE, IDC_BUTTON_DELETE_FOLDER})
        EXPECT_TRUE(Item(id)->isEnabled()) << "control " << id;
    EXPECT_FALSE(Item(IDC_BUTTON_STOP)->isEnabled());

    g_duplicates.clear();
    Dlg().FoldersList().SetItemSelected(0, false);
    Dlg().EnableResultCommands();
    EXPECT_FALSE(Item(IDC_LIST_RESULTS)->isEnabled());
    EXPECT_FALSE(Item(IDC_BUTTON_DELETE_FOLDER)->isEnabled());
}

TEST_F(QuillonDlgTest, SizeEditsAreScannedAndShownBackInDecimal)
{
    Show();
    struct Case {
        QString text;
        uint64_t kilobytes;
        QString shownBack;
    };
    const Case cases[] = {
        {QString(), 0, QString()},
        {QStringLiteral("0"), 0, QString()},
        {QStringLiteral("0010"), 10, QStringLiteral("10")},
        {QStringLiteral("1.5"), 1, QStringLiteral("1")},
        {QStringLiteral("12 KB"), 12, QStringLiteral("12")},
        {QStringLiteral("-1"), ~uint64_t{0}, QStringLiteral("18446744073709551615")},
    };
    for (const Case& sizeCase : cases) {
        for (int id : {IDC_EDIT_SIZE_FROM, IDC_EDIT_SIZE_TO}) {
            const int other = id == IDC_EDIT_SIZE_FROM ? IDC_EDIT_SIZE_TO : IDC_EDIT_SIZE_FROM;
            LineEdit(id)->setText(sizeCase.text);
            LineEdit(other)->setText(QStringLiteral("5"));
            Dlg().UpdateData(true);
            const uint64_t read = id == IDC_EDIT_SIZE_FROM ? Dlg().m_sizeFromKB : Dlg().m_sizeToKB;
            const uint64_t otherRead = id == IDC_EDIT_SIZE_FROM ? Dlg().m_sizeToKB : Dlg().m_sizeFromKB;
            EXPECT_EQ(read, sizeCase.kilobytes) << sizeCase.text.toStdString() << " in " << id;
            EXPECT_EQ(otherRead, 5u);
            Dlg().UpdateData(false);
            EXPECT_EQ(LineEdit(id)->text(), sizeCase.shownBack) << sizeCase.text.toStdString() << " in " << id;
        }
    }
}

TEST_F(QuillonDlgTest, ThePathEditStartsWithTheStoredPathAndIsReadBackOnExchange)
{
    theSettings.m_Folder = u"/home/ann/My Photos";
    CQuillonDlg dialog;
    ASSERT_TRUE(dialog.Create());
    auto* edit = qobject_cast<QLineEdit*>(dialog.GetDlgItem(IDC_EDIT_FOLDER));
    EXPECT_EQ(edit->text(), QStringLiteral("/home/ann/My Photos"));
    edit->setText(QStringLiteral("/srv"));
    dialog.UpdateData(true);
    EXPECT_EQ(dialog.m_strFolder, u"/srv");
    dialog.DestroyWindow();
}

TEST_F(QuillonDlgTest, EnlargingBy100x50MovesWidensGrowsOrKeepsEachControlAndShrinkingBackRestoresThem)
{
    Show();
    const std::map<int, QRect> first = ControlRects();
    const std::vector<QRect> firstStatics = StaticRects();
    ResizeBy(100, 50);
    const std::map<int, QRect> after = ControlRects();
    for (int id : {IDC_BUTTON_ADD, IDC_BUTTON_BROWSE, IDC_BUTTON_DELETE_FOLDER, IDC_BUTTON_DELETE_ALL})
        EXPECT_EQ(after.at(id), first.at(id).translated(100, 0)) << "moves right: " << id;
    for (int id : {IDC_EDIT_FOLDER, IDC_LIST_FOLDERS, IDC_CAPTION_ADD_FOLDER, IDC_CAPTION_FOLDERS, IDC_CAPTION_SEARCH})
        EXPECT_EQ(after.at(id), first.at(id).adjusted(0, 0, 100, 0)) << "widens: " << id;
    EXPECT_EQ(after.at(IDC_LIST_RESULTS), first.at(IDC_LIST_RESULTS).adjusted(0, 0, 100, 50));
    for (int id : {IDC_BUTTON_SELECT, IDC_BUTTON_FOLDERS, IDC_BUTTON_DELETE, IDC_BUTTON_DESELECT, IDC_BUTTON_WILDCARDS})
        EXPECT_EQ(after.at(id), first.at(id).translated(0, 50)) << "moves down: " << id;
    EXPECT_EQ(after.at(IDC_CAPTION_SELECT), first.at(IDC_CAPTION_SELECT).adjusted(0, 50, 100, 50));
    for (int id : {IDC_BUTTON_SEARCH, IDC_BUTTON_STOP, IDC_EDIT_SIZE_FROM, IDC_EDIT_SIZE_TO})
        EXPECT_EQ(after.at(id), first.at(id)) << "stays: " << id;
    EXPECT_EQ(StaticRects(), firstStatics);
    // The folder column fits the wider list.
    EXPECT_EQ(Dlg().FoldersList().GetColumnWidth(0), Dlg().FoldersList().GetClientRect().width() - 1);

    ResizeBy(-100, -50);
    EXPECT_EQ(ControlRects(), first);
    EXPECT_EQ(StaticRects(), firstStatics);
}

TEST_F(QuillonDlgTest, WindowCannotShrinkBelowItsFirstSizeAndTheGripAndStatusBarStayAtTheBottom)
{
    Show();
    const QSize first = Dlg().size();
    Dlg().resize(first - QSize(150, 150));
    QCoreApplication::processEvents();
    EXPECT_EQ(Dlg().size(), first);
    for (QSize grow : {QSize(0, 0), QSize(211, 97)}) {
        ResizeBy(grow.width(), grow.height());
        const QRect bar = Dlg().StatusBar().geometry();
        EXPECT_EQ(bar.bottom(), Dlg().rect().bottom());
        EXPECT_EQ(bar.width(), Dlg().width());
        EXPECT_EQ(Dlg().SizeGrip()->geometry().bottomRight(), Dlg().rect().bottomRight());
        EXPECT_TRUE(Dlg().SizeGrip()->isVisible());
        EXPECT_LE(Dlg().GetDlgItem(IDC_BUTTON_SELECT)->geometry().bottom(), bar.top());
    }
}

TEST_F(QuillonDlgTest, StatusBarHasFiveEmptyPanesThatShowTheirLongestTextsWhole)
{
    Show();
    const int templates[] = {IDS_STATUS_FILES, IDS_STATUS_DUPS, IDS_STATUS_SIZE, IDS_STATUS_ELAPSED};
    for (int pane = 0; pane < 5; ++pane) {
        QLabel* label = Dlg().StatusPane(pane);
        ASSERT_NE(label, nullptr);
        EXPECT_TRUE(label->text().isEmpty());
        if (pane == 0)
            continue;
        // At least as wide as its template, in its own font.
        std::u16string_view text = LoadStringResource(templates[pane - 1]);
        const int width = label->fontMetrics().horizontalAdvance(QString::fromUtf16(text.data(), qsizetype(text.size())));
        EXPECT_GE(label->contentsRect().width(), width) << "pane " << pane;
    }
    // Pane 0 takes the rest and lies left of the others.
    EXPECT_LT(Dlg().StatusPane(0)->geometry().right(), Dlg().StatusPane(1)->geometry().left());
    EXPECT_GT(Dlg().StatusPane(0)->width(), Dlg().StatusPane(4)->width());
    EXPECT_EQ(Dlg().StatusPane(6), nullptr);

    // A search that found 25,000 rows among 4,000,000 files: every number shows whole, in the
    // default font and in a larger one.
    for (int points : {0, 14}) {
        if (points != 0) {
            QFont larger = Dlg().StatusBar().font();
            larger.setPointSize(points);
            for (int pane = 0; pane < 5; ++pane)
                Dlg().StatusPane(pane)->setFont(larger);
        }
        g_duplicates.clear();
        for (int row = 0; row < 25000; ++row)
            g_duplicates.push_back(CDuplicatePair{u"/o/" + QString::number(row).toStdU16String(), u"/d/x", 1023, 0, 0});
        g_fileCount = 4000000;
        g_duplicateBytes = 25575000;
        Dlg().OnSearchDone();
        for (int pane = 1; pane < 5; ++pane) {
            QLabel* label = Dlg().StatusPane(pane);
            EXPECT_LE(label->sizeHint().width(), label->width()) << label->text().toStdString() << " at " << points;
        }
        EXPECT_EQ(Dlg().StatusPane(2)->text(), QStringLiteral("Dups: 25000"));
    }
}

TEST_F(QuillonDlgTest, FoldersMenuCountsEachFileOnceHoweverManyRowsShowIt)
{
    Show();
    // Four copies of one content, three of them elsewhere: three rows repeat the original. The
    // search counts the folder of the original once per row.
    g_duplicates = {CDuplicatePair{u"/old/a", u"/new/a", 10, 0, 0}, CDuplicatePair{u"/old/a", u"/x/a", 10, 0, 0},
                    CDuplicatePair{u"/old/a", u"/x/b", 10, 0, 0}, CDuplicatePair{u"/old/c", u"/new/c", 20, 0, 0}};
    g_folderTally = {{u"/old", 4}, {u"/new", 2}, {u"/x", 2}};
    Dlg().OnSearchDone();
    QStringList texts;
    for (QAction* action : Dlg().FoldersButton().GetPopup()->actions())
        texts << action->text();
    texts.sort();
    EXPECT_EQ(texts, (QStringList{QStringLiteral("/new [2]"), QStringLiteral("/old [2]"), QStringLiteral("/x [2]")}));
}

TEST_F(QuillonDlgTest, FoldersListShowsTheStoredFoldersInOneColumnWithoutHeader)
{
    theSettings.m_Folders.emplace_back(u"/home/ann/Pictures/");
    theSettings.m_Folders.emplace_back(u"/gone/for/good/");
    Show();
    CListControlMem& folders = Dlg().FoldersList();
    ASSERT_EQ(folders.GetItemCount(), 2);
    EXPECT_EQ(folders.GetItemText(0, 0), QStringLiteral("/home/ann/Pictures/"));
    EXPECT_EQ(folders.GetItemText(1, 0), QStringLiteral("/gone/for/good/"));
    EXPECT_GE(folders.GetItemImage(1, 0), 0) << "a missing folder still gets an icon";
    EXPECT_EQ(folders.GetColumnCount(), 1);
    EXPECT_TRUE(folders.horizontalHeader()->isHidden());
    EXPECT_EQ(folders.selectionMode(), QAbstractItemView::SingleSelection);
    EXPECT_EQ(folders.GetExtendedStyle(), LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
    EXPECT_EQ(folders.GetNextItem(-1, LVNI_SELECTED), -1);
}

TEST_F(QuillonDlgTest, ResultsListHasItsThreeColumnsAndPaintsPlainWhileDisabled)
{
    Show();
    CListControlMem& results = Dlg().ResultsList();
    ASSERT_EQ(results.GetColumnCount(), 3);
    EXPECT_EQ(results.model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Original"));
    EXPECT_EQ(results.model()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Duplicate"));
    EXPECT_EQ(results.model()->headerData(2, Qt::Horizontal).toString(), QStringLiteral("Size"));
    EXPECT_EQ(results.GetColumnWidth(2), 120);
    const int firstWidth = results.GetColumnWidth(0);
    EXPECT_EQ(results.GetColumnWidth(1), firstWidth);
    EXPECT_NEAR(2 * firstWidth + 120, results.GetClientRect().width(), 1);
    EXPECT_EQ(results.GetExtendedStyle(), LVS_EX_GRIDLINES | LVS_EX_SUBITEMIMAGES | LVS_EX_FULLROWSELECT);
    EXPECT_EQ(results.selectionMode(), QAbstractItemView::ExtendedSelection);
    EXPECT_EQ(results.iconSize(), QSize(17, 15));

    const QImage painted = results.viewport()->grab().toImage();
    const QRgb face = results.palette().color(QPalette::Active, QPalette::Button).rgb();
    for (int y = 0; y < painted.height(); y += 3) {
        for (int x = 0; x < painted.width(); x += 3)
            ASSERT_EQ(painted.pixel(x, y), face) << x << ", " << y;
    }
    // The path columns share the window's growth; the size column keeps its width.
    ResizeBy(100, 0);
    EXPECT_EQ(results.GetColumnWidth(0), firstWidth + 50);
    EXPECT_EQ(results.GetColumnWidth(2), 120);
}

TEST_F(QuillonDlgTest, CaptionsAreBoldWithTheirLines)
{
    Show();
    for (int id : {IDC_CAPTION_ADD_FOLDER, IDC_CAPTION_FOLDERS, IDC_CAPTION_SEARCH, IDC_CAPTION_SELECT}) {
        auto* caption = qobject_cast<CStaticSeparator*>(Item(id));
        ASSERT_NE(caption, nullptr) << id;
        EXPECT_EQ(caption->font().weight(), QFont::Bold);
        EXPECT_TRUE(caption->Line().isVisible());
        EXPECT_EQ(caption->Line().geometry().left(),
                  QFontMetrics(caption->font()).horizontalAdvance(caption->text() + QLatin1Char(' ')));
    }
}

// Esc is what closes a menu or a list: in the window itself it must not throw the results away,
// and neither may Enter. The window ends by its close button or Ctrl+Q (and by Alt+F4 and its
// window menu, which reach it as a close), keeping the path of the last exchange.
TEST_F(QuillonDlgTest, EscAndEnterNeverEndTheWindowWhileCtrlQAndTheCloseButtonDo)
{
    theSettings.m_Folders.emplace_back(u"/data/");
    theSettings.m_Folder = u"/kept";
    Show();
    g_duplicates = {CDuplicatePair{u"/data/a", u"/data/b", 10, 0, 0}};
    Dlg().OnSearchDone();
    Dlg().Results().SetMark(0, 1, CResultsView::kMarked);
    for (int id : {IDC_LIST_RESULTS, IDC_EDIT_SIZE_FROM, IDC_EDIT_FOLDER, IDC_LIST_FOLDERS, IDC_BUTTON_DESELECT}) {
        QWidget* focus = Item(id);
        focus->setFocus();
        for (Qt::Key key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter}) {
            if (id == IDC_BUTTON_DESELECT && key != Qt::Key_Escape)
                continue;  // Enter presses the button: below
            QTest::keyClick(focus, key);
            ASSERT_TRUE(Dlg().isVisible()) << "control " << id << ", key " << key;
        }
    }
    EXPECT_TRUE(Dlg().Results().IsMarked(0, 1)) << "nothing was thrown away";
    QTest::keyClick(Item(IDC_BUTTON_DESELECT), Qt::Key_Return);
    EXPECT_FALSE(Dlg().Results().IsMarked(0, 1)) << "Enter pressed the focused button";
    EXPECT_TRUE(Dlg().isVisible());

    Item(IDC_LIST_RESULTS)->setFocus();
    QTest::keyClick(Item(IDC_LIST_RESULTS), Qt::Key_Q, Qt::ControlModifier);
    EXPECT_FALSE(Dlg().isVisible());
    EXPECT_EQ(theSettings.m_Folder, u"/kept");

    Show();
    LineEdit(IDC_EDIT_FOLDER)->setText(QStringLiteral("/typed"));
    QTest::keyClick(Item(IDC_EDIT_FOLDER), Qt::Key_Q, Qt::ControlModifier);
    EXPECT_FALSE(Dlg().isVisible()) << "also from the path edit";
}

TEST_F(QuillonDlgTest, ClosingKeepsThePathOfTheLastExchangeNotTheTypedOne)
{
    theSettings.m_Folder = u"/before";
    Show();
    LineEdit(IDC_EDIT_FOLDER)->setText(QStringLiteral("/typed/but/not/added"));
    Dlg().close();
    EXPECT_FALSE(Dlg().isVisible());
    EXPECT_EQ(theSettings.m_Folder, u"/before");
}

TEST_F(QuillonDlgTest, PlacementIsWrittenUnderQuillonWhenTheWindowEnds)
{
    Show();
    ResizeBy(40, 30);
    const QRect final = Dlg().geometry();
    Dlg().close();
    Dlg().DestroyWindow();
    const std::u16string text = GetProfileString(u"ResizableState", u"QuillonWindowPlacement");
    const QString expected = QString::asprintf("%d,%d,%d,%d,1,0,-1,-1", final.left(), final.top(), final.left() + final.width(),
                                               final.top() + final.height());
    EXPECT_EQ(QString::fromStdU16String(text), expected);
}

}  // namespace
