// The results list of the main window on screens of every scale: CTest runs these tests at
// QT_SCALE_FACTOR 1, 1.5 and 2. What is read is what reached the screen (the window's pixels),
// not what the list says about itself: the text is as large as in any other list, a click on a
// drawn box marks the cell it is drawn in, and after a command every visible mark is painted.
#include <gtest/gtest.h>

#include <QScreen>
#include <QStandardItemModel>
#include <QTableView>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <optional>
#include <vector>

#include "engine/Catalogue.h"
#include "res/ResourceIds.h"
#include "tests/app/FolderDialogFixture.h"

namespace {

// The main window after a search that found `rows`, as it is on the screen.
class HighDpiTest : public quillon::test::FolderDialogTest {
protected:
    void ShowRows(const std::vector<CDuplicatePair>& rows)
    {
        ASSERT_NO_FATAL_FAILURE(Show());
        // At the desktop's origin: a grab of the desktop there is a grab of the window.
        Dlg().move(0, 0);
        g_duplicates = rows;
        Dlg().OnSearchDone();
        Settle();
    }

    // Lets every pending paint reach the window.
    static void Settle()
    {
        for (int i = 0; i < 3; ++i) {
            QCoreApplication::processEvents();
            QTest::qWait(10);
        }
    }

    qreal Ratio() const { return Dlg().devicePixelRatioF(); }

    // The window's pixels as they are on the screen (no fresh painting).
    QImage Screen() const
    {
        // Grabbed as a part of the desktop: a grab of the window itself would be cut to its size
        // in logical pixels.
        const QRect window = Dlg().geometry();
        QImage screen = Dlg().screen()->grabWindow(0, window.x(), window.y(), window.width(), window.height()).toImage();
        screen = screen.convertToFormat(QImage::Format_RGB32);
        screen.setDevicePixelRatio(1);
        if (const char* dump = std::getenv("QUILLON_DUMP_SCREEN"))
            screen.save(QString::fromLocal8Bit(dump));
        return screen;
    }

    // A rectangle of `widget` (its own logical coordinates) in device pixels of Screen(), the
    // partly covered pixels at its edges left out.
    QRect OnScreen(const QWidget* widget, const QRect& rect) const
    {
        const QRectF logical(QPointF(widget->mapTo(&Dlg(), rect.topLeft())), QSizeF(rect.size()));
        const QRectF device(logical.topLeft() * Ratio(), logical.size() * Ratio());
        return QRect(QPoint(static_cast<int>(std::ceil(device.left())), static_cast<int>(std::ceil(device.top()))),
                     QPoint(static_cast<int>(std::floor(device.right())) - 1, static_cast<int>(std::floor(device.bottom())) - 1));
    }

    CListControlMem& List() const { return Dlg().ResultsList(); }
};

std::vector<CDuplicatePair> DistinctRows(int count)
{
    std::vector<CDuplicatePair> rows;
    for (int i = 0; i < count; ++i) {
        const std::u16string number = QString::number(i).rightJustified(3, QLatin1Char('0')).toStdU16String();
        // Even rows: the duplicate is the newer file; odd rows: the original.
        const FileTime older = 1000;
        const FileTime newer = 2000;
        rows.push_back(CDuplicatePair{u"/photos/original-" + number + u".jpg", u"/backup/copy-" + number + u".jpg", 1536,
                                      i % 2 == 0 ? older : newer, i % 2 == 0 ? newer : older});
    }
    return rows;
}

// The smallest rectangle of `area` holding the pixels `ink` accepts; empty when there are none.
template <typename Ink>
QRect InkBounds(const QImage& image, const QRect& area, Ink ink)
{
    QRect bounds;
    const QRect inside = area.intersected(image.rect());
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
        for (int x = inside.left(); x <= inside.right(); ++x) {
            if (ink(QColor(image.pixel(x, y))))
                bounds |= QRect(x, y, 1, 1);
        }
    }
    return bounds;
}

bool IsText(const QColor& colour)
{
    return colour.lightness() < 128;
}

bool IsTick(const QColor& colour)
{
    return colour.green() > colour.red() + 40 && colour.green() > colour.blue() + 40;
}

// The first drawn check box in `area`, in reading order: the top edge of a box is the first run of
// outline pixels at least 12 logical pixels long (text has no such runs), and the box is square.
std::optional<QRect> FirstDrawnBox(const QImage& image, const QRect& area, const QColor& outline, qreal ratio)
{
    const int longRun = static_cast<int>(12 * ratio);
    const QRect inside = area.intersected(image.rect());
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
        int run = 0;
        for (int x = inside.left(); x <= inside.right() + 1; ++x) {
            const bool on = x <= inside.right() && QColor(image.pixel(x, y)) == outline;
            if (on) {
                ++run;
                continue;
            }
            if (run >= longRun)
                return QRect(x - run, y, run, run);
            run = 0;
        }
    }
    return std::nullopt;
}

TEST_F(HighDpiTest, ResultsListTextIsAsLargeAsAPlainTableViewsInTheSameDialog)
{
    ASSERT_NO_FATAL_FAILURE(ShowRows(DistinctRows(3)));
    const QString size = List().GetItemText(0, 2);
    ASSERT_EQ(size, QStringLiteral("1.50 KB"));
    QStandardItemModel model(1, 1);
    model.setItem(0, 0, new QStandardItem(size));
    QTableView plain(&Dlg());
    plain.setModel(&model);
    plain.setGeometry(Dlg().FoldersList().geometry());
    plain.show();
    plain.raise();
    Settle();

    const QImage screen = Screen();
    const QRect listCell = OnScreen(List().viewport(), List().visualRect(List().model()->index(0, 2)).adjusted(1, 1, -1, -1));
    const QRect plainCell = OnScreen(plain.viewport(), plain.visualRect(model.index(0, 0)).adjusted(1, 1, -1, -1));
    const QRect listText = InkBounds(screen, listCell, IsText);
    const QRect plainText = InkBounds(screen, plainCell, IsText);
    ASSERT_FALSE(plainText.isEmpty());
    ASSERT_FALSE(listText.isEmpty()) << "the size is drawn in its cell";
    EXPECT_NEAR(listText.height(), plainText.height(), 1) << "at " << Ratio();
    EXPECT_NEAR(listText.width(), plainText.width(), 1) << "at " << Ratio();
}

TEST_F(HighDpiTest, AClickAtTheCentreOfADrawnCheckBoxMarksThatCell)
{
    ASSERT_NO_FATAL_FAILURE(ShowRows(DistinctRows(3)));
    const QImage screen = Screen();
    const QColor outline = List().palette().color(QPalette::Text);  // the outline of the boxes
    struct Case {
        int row;
        int column;
    };
    for (const Case& cell : {Case{0, 0}, Case{1, 1}, Case{2, 0}}) {
        SCOPED_TRACE(testing::Message() << "cell " << cell.row << ", " << cell.column << " at " << Ratio());
        // Where the cell is on the screen; the box is looked for in what was drawn there.
        const QRect area = OnScreen(List().viewport(), List().visualRect(List().model()->index(cell.row, cell.column)));
        const std::optional<QRect> box = FirstDrawnBox(screen, area, outline, Ratio());
        ASSERT_TRUE(box.has_value()) << "a box is drawn in the cell";
        const QPointF centre = QPointF(box->center()) / Ratio() - QPointF(List().viewport()->mapTo(&Dlg(), QPoint(0, 0)));
        QTest::mouseClick(List().viewport(), Qt::LeftButton, {}, centre.toPoint());
        EXPECT_EQ(Dlg().Results().GetMark(cell.row, cell.column), CResultsView::kMarked);
        EXPECT_EQ(Dlg().Results().GetMark(cell.row, 1 - cell.column), CResultsView::kUnmarked);
    }
}

TEST_F(HighDpiTest, AfterNewerOn200RowsEveryVisibleMarkedCellPaintsAsMarked)
{
    ASSERT_NO_FATAL_FAILURE(ShowRows(DistinctRows(200)));
    Dlg().SelectButton().m_nPicked = ID_SELECT_NEWER;
    Dlg().OnSelectMenu();
    Settle();

    const QImage screen = Screen();
    const QRect rows = List().viewport()->rect();
    int checked = 0;
    for (int row = 0; row < Dlg().Results().RowCount(); ++row) {
        if (!rows.contains(List().visualRect(List().model()->index(row, 0))))
            continue;
        for (int column : {0, 1}) {
            const CDuplicatePair& pair = Dlg().Results().Row(row);
            const bool marked = Dlg().Results().IsMarked(row, column);
            ASSERT_EQ(marked, (pair.duplicateTime > pair.originalTime) == (column == 1)) << "newer: the later file";
            const QRect box = OnScreen(List().viewport(), List().GetSubItemIconRect(row, column));
            EXPECT_EQ(!InkBounds(screen, box, IsTick).isEmpty(), marked)
                << "row " << row << ", column " << column << " at " << Ratio();
            ++checked;
        }
    }
    EXPECT_GE(checked, 2 * 8) << "a screenful of rows";
}

}  // namespace
