// The list control of both lists: rows and cell images kept by the control, its template styles,
// and its painting through the off-screen surface (plain button face while disabled).
#include <gtest/gtest.h>

#include <QHeaderView>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QTest>

#include <cstdlib>
#include <set>

#include "res/DialogTemplate.h"
#include "res/ResourceIds.h"
#include "results/ListControlMem.h"
#include "tests/widgets/QtTestEnvironment.h"
#include "widgets/ControlId.h"
#include "widgets/ImageList.h"
#include "widgets/ResourceImages.h"

namespace {

struct ResultsListFixture {
    QWidget parent;
    CListControlMem list{&parent};
    CImageList checks;

    ResultsListFixture()
    {
        parent.resize(600, 300);
        list.setGeometry(10, 10, 560, 250);
        checks.Create(LoadBitmapResource(IDB_CHECKS), 17, 5, Qt::white);
        list.SetImageList(&checks);
        list.InsertColumn(0, QStringLiteral("Original"), LVCFMT_LEFT, 200);
        list.InsertColumn(1, QStringLiteral("Duplicate"), LVCFMT_LEFT, 200);
        list.InsertColumn(2, QStringLiteral("Size"), LVCFMT_LEFT, 120);
        list.SetExtendedStyle(LVS_EX_GRIDLINES | LVS_EX_SUBITEMIMAGES | LVS_EX_FULLROWSELECT);
        for (int row = 0; row < 3; ++row) {
            list.InsertItem(row, QStringLiteral("/photos/original-%1.jpg").arg(row));
            list.SetItemText(row, 1, QStringLiteral("/backup/copy-%1.jpg").arg(row));
            list.SetItemImage(row, 1, 0);
            list.SetItemText(row, 2, QStringLiteral("1.50 KB"));
        }
        parent.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&parent));
    }

    QImage Paint() { return list.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32); }
};

std::set<QRgb> Colours(const QImage& image)
{
    std::set<QRgb> colours;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            colours.insert(image.pixel(x, y));
    }
    return colours;
}

TEST(ListControlMem, RowsKeepTheirTextsAndEveryCellItsOwnImage)
{
    ResultsListFixture fixture;
    CListControlMem& list = fixture.list;
    EXPECT_EQ(list.GetItemCount(), 3);
    EXPECT_EQ(list.GetColumnCount(), 3);
    EXPECT_EQ(list.GetColumnWidth(2), 120);
    EXPECT_EQ(list.GetItemText(1, 1), QStringLiteral("/backup/copy-1.jpg"));
    EXPECT_EQ(list.GetItemImage(1, 0), 0) << "a row inserted without image shows image 0";
    EXPECT_EQ(list.GetItemImage(1, 2), -1);

    EXPECT_TRUE(list.SetItemImage(1, 1, 1));
    EXPECT_EQ(list.GetItemImage(1, 1), 1);
    EXPECT_EQ(list.GetItemImage(1, 0), 0) << "the two cells of a row are independent";
    EXPECT_EQ(list.GetItemImage(0, 1), 0);
    EXPECT_FALSE(list.SetItemImage(7, 0, 1));
    EXPECT_EQ(list.GetItemImage(7, 0), -1);

    QModelIndex subItem = list.model()->index(1, 1);
    EXPECT_FALSE(list.model()->data(subItem, Qt::DecorationRole).isNull());
    list.SetExtendedStyle(LVS_EX_GRIDLINES);
    EXPECT_TRUE(list.model()->data(subItem, Qt::DecorationRole).isNull())
        << "sub-items show images only with the sub-item image style";
    EXPECT_FALSE(list.showGrid() && list.selectionBehavior() == QAbstractItemView::SelectRows);

    EXPECT_TRUE(list.DeleteItem(0));
    EXPECT_EQ(list.GetItemText(0, 0), QStringLiteral("/photos/original-1.jpg"));
    EXPECT_TRUE(list.DeleteAllItems());
    EXPECT_EQ(list.GetItemCount(), 0);
}

TEST(ListControlMem, SelectedRowsAreFoundInOrder)
{
    ResultsListFixture fixture;
    EXPECT_EQ(fixture.list.GetNextItem(-1, LVNI_SELECTED), -1);
    fixture.list.SetItemSelected(2, true);
    fixture.list.SetItemSelected(0, true);
    EXPECT_EQ(fixture.list.GetNextItem(-1, LVNI_SELECTED), 0);
    EXPECT_EQ(fixture.list.GetNextItem(0, LVNI_SELECTED), 2);
    EXPECT_EQ(fixture.list.GetNextItem(2, LVNI_SELECTED), -1);
}

TEST(ListControlMem, DisabledListPaintsAPlainButtonFaceAreaWithoutRowsOrGrid)
{
    ResultsListFixture fixture;
    fixture.list.setEnabled(false);
    const QImage painted = fixture.Paint();
    const QRgb face = fixture.list.palette().color(QPalette::Active, QPalette::Button).rgb();
    EXPECT_EQ(Colours(painted), std::set<QRgb>{face});
    EXPECT_EQ(fixture.list.PaintRect(), fixture.list.viewport()->rect());
    EXPECT_TRUE(fixture.list.horizontalHeader()->isVisible()) << "the header is not painted over";
}

TEST(ListControlMem, EnabledListPaintsItsRowsGridAndCheckBoxesThroughTheSurface)
{
    ResultsListFixture fixture;
    const QImage painted = fixture.Paint();
    const std::set<QRgb> colours = Colours(painted);
    EXPECT_GT(colours.size(), 4u);
    EXPECT_TRUE(colours.count(qRgb(0, 0, 0))) << "the black outline of the check boxes";
    EXPECT_EQ(fixture.list.PaintRect(), fixture.list.viewport()->rect());
    // Below the last row the area shows the list's background.
    const QRgb base = fixture.list.palette().color(QPalette::Base).rgb();
    EXPECT_EQ(painted.pixel(painted.width() / 2, painted.height() - 2), base);

    fixture.list.setEnabled(false);
    fixture.list.setEnabled(true);
    const QImage again = fixture.Paint();
    if (const char* dump = std::getenv("QUILLON_DUMP_LIST"))
        again.save(QString::fromLocal8Bit(dump));
    EXPECT_TRUE(Colours(again).count(qRgb(0, 0, 0))) << "enabling again shows the rows again";
}

int g_recursiveRepaints = 0;

// On screen the list paints inside the viewport's paint event and renders the rows from there
// into the surface; Qt refuses such a nested render, with a warning, unless the list allows it.
TEST(ListControlMem, PaintingOnScreenShowsTheRowsWithoutARecursiveRepaint)
{
    ResultsListFixture fixture;
    g_recursiveRepaints = 0;
    const QtMessageHandler previous = qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString& text) {
        if (text.contains(QLatin1String("Recursive repaint")))
            ++g_recursiveRepaints;
    });
    fixture.list.viewport()->repaint();
    qInstallMessageHandler(previous);
    EXPECT_EQ(g_recursiveRepaints, 0);

    QWidget* viewport = fixture.list.viewport();
    const QImage screen = fixture.parent.screen()->grabWindow(fixture.parent.winId()).toImage();
    const QRect area(viewport->mapTo(&fixture.parent, QPoint(0, 0)), viewport->size());
    const QImage rows = screen.copy(area).convertToFormat(QImage::Format_RGB32);
    EXPECT_TRUE(Colours(rows).count(qRgb(0, 0, 0))) << "the black outline of the check boxes";
}

TEST(ListControlMem, ClientRectIsKnownBeforeTheListIsShown)
{
    QWidget parent;
    CListControlMem list(&parent);
    list.InsertColumn(0, QStringLiteral("Original"), LVCFMT_LEFT, 100);
    list.setGeometry(0, 0, 400, 200);
    const int frame = list.frameWidth();
    const QRect client = list.GetClientRect();
    EXPECT_EQ(client.width(), 400 - 2 * frame);
    EXPECT_EQ(client.height(), 200 - 2 * frame - list.horizontalHeader()->height());
    list.horizontalHeader()->hide();
    EXPECT_EQ(list.GetClientRect().height(), 200 - 2 * frame);
}

TEST(ListControlMem, TemplateStylesChooseSelectionModeHeaderAndBorder)
{
    QWidget parent;
    CListControlMem folders(&parent);
    SetTemplateStyle(&folders,
                     ControlStyle::ReportView | ControlStyle::SingleSelection | ControlStyle::ShowSelectionAlways |
                         ControlStyle::NoColumnHeader | ControlStyle::Border);
    folders.PreSubclassWindow();
    EXPECT_EQ(folders.selectionMode(), QAbstractItemView::SingleSelection);
    EXPECT_TRUE(folders.horizontalHeader()->isHidden());
    EXPECT_NE(folders.frameShape(), QFrame::NoFrame);

    CListControlMem results(&parent);
    SetTemplateStyle(&results, ControlStyle::ReportView | ControlStyle::Border);
    results.PreSubclassWindow();
    EXPECT_EQ(results.selectionMode(), QAbstractItemView::ExtendedSelection);
    EXPECT_FALSE(results.horizontalHeader()->isHidden());
    EXPECT_TRUE(results.horizontalHeader()->sectionsClickable());
    EXPECT_FALSE(results.horizontalHeader()->isSortIndicatorShown());
    // Without the focus its selection is not shown.
    EXPECT_EQ(results.palette().color(QPalette::Inactive, QPalette::Highlight),
              results.palette().color(QPalette::Inactive, QPalette::Base));
}

}  // namespace
