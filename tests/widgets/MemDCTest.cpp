// The off-screen drawing surface: drawing at the target's coordinates, the background fill, the
// single copy at the end, and drawing straight through on a PDF device.
#include <gtest/gtest.h>

#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QPdfWriter>

#include "tests/support/TempDir.h"
#include "tests/widgets/QtTestEnvironment.h"
#include "widgets/MemDC_Exp.h"

namespace {

const QRgb kOld = QColor(Qt::red).rgb();
const QRgb kBackground = QColor(Qt::white).rgb();
const QRgb kInk = QColor(Qt::black).rgb();

TEST(MemDC, AreaStartingAt0And40IsDrawnAtTheTargetsCoordinatesAndNothingOutsideReachesIt)
{
    QImage target(100, 100, QImage::Format_RGB32);
    target.fill(kOld);
    QPainter painter(&target);
    painter.setBackground(Qt::white);
    {
        CMemDC_Exp surface(&painter, QRect(0, 40, 100, 60));
        EXPECT_TRUE(surface.IsOffscreen());
        surface->setPen(Qt::black);
        surface->drawPoint(5, 45);
        surface->drawPoint(5, 10);  // outside the area
        // Nothing reaches the target before the surface ends.
        EXPECT_EQ(target.pixel(5, 45), kOld);
    }
    painter.end();
    EXPECT_EQ(target.pixel(5, 45), kInk);
    EXPECT_EQ(target.pixel(5, 10), kOld);
    EXPECT_EQ(target.pixel(50, 39), kOld);
    // Parts of the area nobody drew on show the background colour, not the old content.
    EXPECT_EQ(target.pixel(50, 40), kBackground);
    EXPECT_EQ(target.pixel(99, 99), kBackground);
}

TEST(MemDC, FollowsTheTargetsTransformation)
{
    QImage target(100, 100, QImage::Format_RGB32);
    target.fill(kOld);
    QPainter painter(&target);
    painter.setBackground(Qt::white);
    painter.translate(20, 10);
    {
        CMemDC_Exp surface(&painter, QRect(0, 0, 30, 30));
        surface->setPen(Qt::black);
        surface->drawPoint(5, 5);
    }
    painter.end();
    EXPECT_EQ(target.pixel(25, 15), kInk);
    EXPECT_EQ(target.pixel(20, 10), kBackground);
    EXPECT_EQ(target.pixel(19, 10), kOld);
    EXPECT_EQ(target.pixel(5, 5), kOld);
}

// On a screen of any scale the surface puts exactly the pixels that drawing straight onto the
// target would: nothing larger, smaller or shifted.
TEST(MemDC, GivesThePixelsOfDrawingStraightOntoTheTargetAtEveryDevicePixelRatio)
{
    const QRect area(4, 20, 56, 32);  // whole device pixels at each ratio below
    auto draw = [&](QPainter& painter) {
        painter.setPen(QPen(Qt::black, 1));
        painter.drawRect(area.adjusted(3, 3, -4, -4));
        painter.fillRect(QRect(area.x() + 10, area.y() + 10, 13, 13), Qt::darkGreen);
        painter.drawLine(area.x() + 30, area.y() + 5, area.x() + 50, area.y() + 25);
    };
    for (qreal ratio : {1.0, 1.25, 1.5, 2.0}) {
        for (QPoint shift : {QPoint(0, 0), QPoint(8, 4)}) {
            SCOPED_TRACE(testing::Message() << "ratio " << ratio << ", shifted " << shift.x());
            QImage throughSurface(qRound(100 * ratio), qRound(100 * ratio), QImage::Format_RGB32);
            throughSurface.setDevicePixelRatio(ratio);
            throughSurface.fill(kOld);
            QImage straight = throughSurface;
            {
                QPainter painter(&throughSurface);
                painter.setBackground(Qt::white);
                painter.translate(shift);
                CMemDC_Exp surface(&painter, area);
                draw(surface.Painter());
            }
            {
                QPainter painter(&straight);
                painter.translate(shift);
                painter.fillRect(area, Qt::white);
                draw(painter);
            }
            EXPECT_TRUE(throughSurface == straight);
        }
    }
}

TEST(MemDC, WithoutAnAreaTheTargetsClipBoxIsCovered)
{
    QImage target(100, 100, QImage::Format_RGB32);
    target.fill(kOld);
    QPainter painter(&target);
    painter.setClipRect(QRect(10, 20, 30, 40));
    CMemDC_Exp clipped(&painter);
    EXPECT_EQ(clipped.Area(), QRect(10, 20, 30, 40));
}

TEST(MemDC, OnAPdfDeviceDrawsStraightOntoTheTarget)
{
    quillon::test::TempDir folder("quillon-memdc");
    const QString path = QString::fromStdString(folder / "surface.pdf");
    QPdfWriter writer(path);
    QPainter painter(&writer);
    ASSERT_TRUE(painter.isActive());
    {
        CMemDC_Exp surface(&painter, QRect(0, 0, 200, 100));
        EXPECT_FALSE(surface.IsOffscreen());
        EXPECT_EQ(&surface.Painter(), &painter);
        surface->drawText(10, 50, QStringLiteral("printed"));
    }
    EXPECT_TRUE(CMemDC_Exp::IsPrinterPainter(&painter));
    painter.end();
    EXPECT_GT(QFileInfo(path).size(), 0);
}

}  // namespace
