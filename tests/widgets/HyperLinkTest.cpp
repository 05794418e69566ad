// The link of the About box: hover, the colours before and after opening, a failed open, and
// how it fits itself to its text.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCursor>
#include <QTest>

#include "tests/widgets/QtTestEnvironment.h"
#include "widgets/HyperLink.h"

namespace {

const QColor kBlue(0, 0, 238);
const QColor kPurple(85, 26, 139);
const QColor kRed(255, 0, 0);

class HyperLinkTest : public testing::Test {
protected:
    void SetUp() override
    {
        CHyperLink::SetOpenFunction([this](const QString& target) {
            opened.push_back(target);
            return openSucceeds;
        });
        CHyperLink::SetBeepFunction([this] { ++beeps; });
        window.resize(400, 200);
        link.setParent(&window);
        link.setText(QStringLiteral("https://example.invalid/quillon/"));
        link.setGeometry(20, 40, 300, 20);
        link.PreSubclassWindow();
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }
    void TearDown() override
    {
        CHyperLink::SetOpenFunction({});
        CHyperLink::SetBeepFunction({});
    }

    void Hover()
    {
        QCursor::setPos(link.mapToGlobal(link.rect().center()));
        QTest::mouseMove(&link, link.rect().center());
    }
    void Leave() { QCursor::setPos(window.mapToGlobal(QPoint(window.width() - 5, window.height() - 5))); }
    // The hover timer, not the move itself, notices that the cursor has gone (a busy machine
    // may fire it late; the wait is generous, not a measure).
    bool LeftAtTheNextTimerTick()
    {
        const bool stillOverBeforeTheTimer = link.IsOver();
        return stillOverBeforeTheTimer && QTest::qWaitFor([this] { return !link.IsOver(); }, 5000);
    }

    QWidget window;
    CHyperLink link;
    std::vector<QString> opened;
    bool openSucceeds = true;
    int beeps = 0;
};

TEST_F(HyperLinkTest, HoverUnderlinesInRedAndLeavingRestoresFontAndBlue)
{
    EXPECT_EQ(link.CurrentColour(), kBlue);
    EXPECT_FALSE(link.font().underline());
    EXPECT_EQ(link.toolTip(), link.text());
    EXPECT_EQ(link.cursor().shape(), Qt::PointingHandCursor);

    Hover();
    EXPECT_EQ(link.CurrentColour(), kRed);
    EXPECT_TRUE(link.font().underline());
    EXPECT_TRUE(link.IsHoverTimerActive());

    Leave();
    ASSERT_TRUE(LeftAtTheNextTimerTick());
    EXPECT_EQ(link.CurrentColour(), kBlue);
    EXPECT_FALSE(link.font().underline());
    EXPECT_FALSE(link.IsHoverTimerActive());
}

TEST_F(HyperLinkTest, SuccessfulClickTurnsPurpleWhileTheCursorIsStillOver)
{
    Hover();
    QTest::mouseClick(&link, Qt::LeftButton, {}, link.rect().center());
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], link.text());
    EXPECT_EQ(link.CurrentColour(), kPurple);
    EXPECT_EQ(beeps, 0);

    // The next move over it hovers again; leaving returns to purple, not blue.
    QTest::mouseMove(&link, link.rect().center() + QPoint(1, 0));
    EXPECT_EQ(link.CurrentColour(), kRed);
    Leave();
    ASSERT_TRUE(LeftAtTheNextTimerTick());
    EXPECT_EQ(link.CurrentColour(), kPurple);
    EXPECT_FALSE(link.font().underline());
}

TEST_F(HyperLinkTest, FailedOpenBeepsAndClearsTheVisitedState)
{
    link.OnClicked();
    ASSERT_TRUE(link.IsOpened());
    openSucceeds = false;
    QTest::keyClick(&link, Qt::Key_Space);
    EXPECT_EQ(opened.size(), 2u);
    EXPECT_EQ(beeps, 1);
    EXPECT_FALSE(link.IsOpened());
    EXPECT_EQ(link.CurrentColour(), kBlue);
}

TEST_F(HyperLinkTest, FitToTextKeepsTheAnchorOfTheAlignment)
{
    struct Case {
        Qt::Alignment alignment;
        const char* keeps;
    };
    const Case cases[] = {
        {Qt::AlignLeft | Qt::AlignTop, "left"},
        {Qt::AlignRight | Qt::AlignTop, "right"},
        {Qt::AlignHCenter | Qt::AlignTop, "centre"},
        {Qt::AlignLeft | Qt::AlignVCenter, "vertical centre"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.keeps);
        CHyperLink fitted(&window);
        fitted.setText(QStringLiteral("Home"));
        fitted.setAlignment(c.alignment);
        const QRect before(40, 60, 301, 41);
        fitted.setGeometry(before);
        fitted.PreSubclassWindow();
        QFont underlined = fitted.font();
        underlined.setUnderline(true);
        const QFontMetrics metrics(underlined);
        const QRect after = fitted.geometry();
        // A centred control moves both edges by the same whole number of pixels.
        const int width = metrics.horizontalAdvance(QStringLiteral("Home"));
        const int height = metrics.height();
        EXPECT_EQ(after.width(), (c.alignment & Qt::AlignHCenter) ? before.width() - 2 * ((before.width() - width) / 2) : width);
        EXPECT_EQ(after.height(),
                  (c.alignment & Qt::AlignVCenter) ? before.height() - 2 * ((before.height() - height) / 2) : height);
        if (c.alignment & Qt::AlignRight)
            EXPECT_EQ(after.right(), before.right());
        else if (c.alignment & Qt::AlignHCenter)
            EXPECT_LE(std::abs(after.center().x() - before.center().x()), 1);
        else
            EXPECT_EQ(after.left(), before.left());
        if (c.alignment & Qt::AlignVCenter)
            EXPECT_LE(std::abs(after.center().y() - before.center().y()), 1);
        else
            EXPECT_EQ(after.top(), before.top());
    }
}

}  // namespace
