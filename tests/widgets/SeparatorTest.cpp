// Section captions with their separator lines, and the classic drawing of a separator.
#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QTest>

#include "tests/widgets/QtTestEnvironment.h"
#include "widgets/Separator.h"
#include "widgets/StaticSeparator.h"
#include "widgets/ThemeAccess.h"

namespace {

using quillon::test::ClassicStyleScope;

struct CaptionFixture {
    QWidget parent;
    CStaticSeparator caption{&parent};

    explicit CaptionFixture(const QString& text)
    {
        parent.resize(700, 200);
        caption.setText(text);
        caption.setGeometry(13, 40, 460, 14);
        caption.PreSubclassWindow();
        parent.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&parent));
    }

    int TextAdvance(const QString& text) const { return QFontMetrics(caption.font()).horizontalAdvance(text); }
};

TEST(StaticSeparator, CaptionIsBoldAndItsLineStartsOneBlankAfterTheText)
{
    CaptionFixture fixture(QStringLiteral("Search"));
    EXPECT_EQ(fixture.caption.font().weight(), QFont::Bold);
    const QRect line = fixture.caption.Line().geometry();
    EXPECT_EQ(line.left(), fixture.TextAdvance(QStringLiteral("Search ")));
    EXPECT_EQ(line.right(), fixture.caption.width() - 1);
    EXPECT_TRUE(fixture.caption.Line().isVisible());
    // Themed: the line's top is a third of the text height down.
    EXPECT_EQ(line.top(), QFontMetrics(fixture.caption.font()).height() / 3);
}

TEST(StaticSeparator, EmptyCaptionIsALineOverTheWholeWidth)
{
    CaptionFixture fixture{QString()};
    EXPECT_EQ(fixture.caption.Line().geometry().left(), 0);
    EXPECT_EQ(fixture.caption.Line().width(), fixture.caption.width());
}

TEST(StaticSeparator, WideningTheCaptionBy100WidensItsLineBy100AndKeepsItsStart)
{
    CaptionFixture fixture(QStringLiteral("Folders"));
    const QRect before = fixture.caption.Line().geometry();
    fixture.caption.resize(fixture.caption.width() + 100, fixture.caption.height());
    const QRect after = fixture.caption.Line().geometry();
    EXPECT_EQ(after.left(), before.left());
    EXPECT_EQ(after.width(), before.width() + 100);
    EXPECT_EQ(after.right(), fixture.caption.width() - 1);

    fixture.caption.resize(fixture.caption.width() - 100, fixture.caption.height());
    EXPECT_EQ(fixture.caption.Line().width(), before.width());
}

TEST(StaticSeparator, NewTextMovesTheStartOfTheLineToTheEndOfTheText)
{
    CaptionFixture fixture(QStringLiteral("Add"));
    fixture.caption.SetWindowText(QStringLiteral("Add Folder"));
    EXPECT_EQ(fixture.caption.Line().geometry().left(), fixture.TextAdvance(QStringLiteral("Add Folder ")));
    EXPECT_EQ(fixture.caption.Line().geometry().right(), fixture.caption.width() - 1);
}

TEST(StaticSeparator, MovingTheCaptionRebuildsTheLineBesideTheText)
{
    CaptionFixture fixture(QStringLiteral("Select"));
    const QRect before = fixture.caption.Line().geometry();
    fixture.caption.move(fixture.caption.x(), fixture.caption.y() + 50);
    EXPECT_EQ(fixture.caption.Line().geometry(), before);
    // A move and a resize leave the same line, whichever came last.
    fixture.caption.setGeometry(fixture.caption.geometry().adjusted(0, 10, 30, 10));
    EXPECT_EQ(fixture.caption.Line().geometry(), before.adjusted(0, 0, 30, 0));
}

TEST(StaticSeparator, ClassicLookPutsTheLineAtTheTopOfTheControl)
{
    ClassicStyleScope classic;
    EXPECT_FALSE(IsAppThemed());
    CaptionFixture fixture(QStringLiteral("Search"));
    EXPECT_EQ(fixture.caption.Line().geometry().top(), 0);
}

// Draws a separator of the given size into an image a few pixels larger, so that what lands
// outside the control shows too.
QImage DrawClassic(CSeparator& separator, QSize size)
{
    separator.resize(size);
    QImage image(size + QSize(4, 4), QImage::Format_RGB32);
    image.fill(Qt::magenta);
    QPainter painter(&image);
    separator.Draw(painter, 0);
    return image;
}

TEST(Separator, ClassicHorizontalLineOfAControlTwoPixelsHighIsDrawnAtItsTopRow)
{
    ClassicStyleScope classic;
    CSeparator separator;
    const QImage image = DrawClassic(separator, QSize(300, 2));
    const QRgb face = separator.palette().color(QPalette::Button).rgb();
    const QRgb shadow = separator.palette().color(QPalette::Dark).rgb();
    const QRgb highlight = separator.palette().color(QPalette::Light).rgb();
    ASSERT_NE(shadow, highlight);
    for (int x = 0; x < 300; ++x) {
        const bool onLine = x >= 2 && x <= 297;
        EXPECT_EQ(image.pixel(x, 0), onLine ? shadow : face) << "x = " << x;
        EXPECT_EQ(image.pixel(x, 1), onLine ? highlight : face) << "x = " << x;
    }
    EXPECT_EQ(image.pixel(0, 2), QColor(Qt::magenta).rgb());
}

TEST(Separator, ClassicVerticalLineOfAOnePixelWideControlRunsFromTopPlus2ToTopPlus47)
{
    ClassicStyleScope classic;
    CSeparator separator;
    const QImage image = DrawClassic(separator, QSize(1, 50));
    const QRgb face = separator.palette().color(QPalette::Button).rgb();
    const QRgb shadow = separator.palette().color(QPalette::Dark).rgb();
    const QRgb highlight = separator.palette().color(QPalette::Light).rgb();
    const QRgb outside = QColor(Qt::magenta).rgb();
    for (int y = 0; y < 50; ++y) {
        const bool onLine = y >= 2 && y <= 47;
        EXPECT_EQ(image.pixel(0, y), onLine ? shadow : face) << "y = " << y;
        EXPECT_EQ(image.pixel(1, y), onLine ? highlight : outside) << "y = " << y;
    }
}

TEST(Separator, ThemedLineIsDrawnByTheStyleInsideTheControl)
{
    ASSERT_TRUE(IsAppThemed());
    CSeparator separator;
    separator.resize(200, 10);
    QImage image(200, 10, QImage::Format_RGB32);
    image.fill(Qt::magenta);
    QPainter painter(&image);
    separator.Draw(painter, 0);
    painter.end();
    const QRgb face = separator.palette().color(QPalette::Button).rgb();
    int lineColumns = 0;
    for (int x = 0; x < 200; ++x) {
        for (int y = 0; y < 10; ++y) {
            ASSERT_NE(image.pixel(x, y), QColor(Qt::magenta).rgb());
            if (image.pixel(x, y) != face) {
                ++lineColumns;
                break;
            }
        }
    }
    EXPECT_GT(lineColumns, 150);
}

TEST(ThemeAccess, WrappersFailWithoutThemeData)
{
    QImage image(10, 10, QImage::Format_RGB32);
    QPainter painter(&image);
    EXPECT_EQ(DrawThemeBackground(nullptr, &painter, TP_SEPARATOR, 1, QRect(0, 0, 10, 10), nullptr), E_FAIL);
    EXPECT_EQ(CloseThemeData(nullptr), E_FAIL);
    EXPECT_EQ(OpenThemeData(nullptr, u"NOSUCHCLASS"), nullptr);
    {
        ClassicStyleScope classic;
        EXPECT_EQ(OpenThemeData(nullptr, u"TOOLBAR"), nullptr);
        LoadThemeEntryPoints();
        EXPECT_EQ(g_themeActive, 0);
    }
    LoadThemeEntryPoints();
    EXPECT_EQ(g_themeActive, 1);
}

}  // namespace
