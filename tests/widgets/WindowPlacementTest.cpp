// A window's placement as the profile stores it: its text, and the stored rectangle on the
// screens of today, kept where it lies wholly on them and moved wholly onto one where it does not.
#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "tests/widgets/QtTestEnvironment.h"
#include "widgets/WindowPlacement.h"

namespace {

TEST(WindowPlacement, ARectangleNotWhollyOnTheScreensGoesWhollyOntoOneKeepingItsSizeWhereItFits)
{
    const QRect left(0, 0, 1920, 1080);
    const QRect right(1920, 0, 1280, 1024);
    struct Case {
        const char* what;
        std::vector<QRect> screens;
        QRect stored;
        QRect expected;
    };
    const Case cases[] = {
        {"on a screen", {left, right}, QRect(100, 100, 800, 600), QRect(100, 100, 800, 600)},
        {"across two screens", {left, right}, QRect(1500, 100, 800, 600), QRect(1500, 100, 800, 600)},
        {"partly off: its buttons would be out of reach", {left}, QRect(1800, 1000, 800, 600), QRect(1120, 480, 800, 600)},
        {"stored at a smaller scale, larger than the screen now",
         {QRect(0, 0, 960, 600)},
         QRect(100, 80, 880, 700),
         QRect(80, 0, 880, 600)},
        {"its monitor unplugged", {left}, QRect(2100, 200, 800, 600), QRect(1120, 200, 800, 600)},
        {"a sliver left on screen", {left}, QRect(1900, 200, 800, 600), QRect(1120, 200, 800, 600)},
        {"above and left of everything", {left, right}, QRect(-3000, -2000, 640, 480), QRect(0, 0, 640, 480)},
        {"nearest of two", {left, right}, QRect(2500, 1200, 400, 300), QRect(2500, 724, 400, 300)},
        {"larger than the screen", {QRect(0, 0, 1024, 768)}, QRect(5000, 10, 1600, 1200), QRect(0, 0, 1024, 768)},
        {"no screens known", {}, QRect(9000, 9000, 500, 400), QRect(9000, 9000, 500, 400)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(CWindowPlacement::KeepOnScreens(c.stored, c.screens), c.expected);
    }
}

TEST(WindowPlacement, TextHoldsEightNumbersAndFewerAreRefused)
{
    CWindowPlacement placement;
    placement.left = -10;
    placement.top = 20;
    placement.right = 910;
    placement.bottom = 720;
    placement.showCmd = CWindowPlacement::SW_SHOWMAXIMIZED;
    EXPECT_EQ(placement.ToText(), u"-10,20,910,720,3,0,-1,-1");

    auto parsed = CWindowPlacement::FromText(u" -10, 20,+910,720,3,0,-1,-1");
    ASSERT_TRUE(parsed.has_value());
    EXPECT_EQ(parsed->left, -10);
    EXPECT_EQ(parsed->right, 910);
    EXPECT_EQ(parsed->showCmd, 3);
    EXPECT_EQ(parsed->minY, -1);

    EXPECT_FALSE(CWindowPlacement::FromText(u"1,2,3,4,5,6,7").has_value());
    EXPECT_FALSE(CWindowPlacement::FromText(u"1,2,3,4,5,6,7,").has_value());
    EXPECT_FALSE(CWindowPlacement::FromText(u"1;2;3;4;5;6;7;8").has_value());
    EXPECT_FALSE(CWindowPlacement::FromText(u"").has_value());
    EXPECT_TRUE(CWindowPlacement::FromText(u"1,2,3,4,5,6,7,8 and more").has_value());
    EXPECT_EQ(CWindowPlacement::FromText(u"99999999999,0,0,0,0,0,0,0")->left, 2147483647);
}

TEST(WindowPlacement, TheStoredRectangleIsClampedToTheDesktopAndAWindowOffItStaysOff)
{
    const QRect desktop(0, 0, 1920, 1080);
    struct Case {
        int left, top, right, bottom;
        QRect expected;
    } cases[] = {
        {100, 80, 900, 680, QRect(100, 80, 800, 600)},  // fits: as stored
        {INT_MIN, INT_MIN, INT_MAX, INT_MAX, QRect(-1920, -1080, 1920, 1080)},
        {INT_MAX, INT_MAX, INT_MIN, INT_MIN, QRect(1920, 1080, 1, 1)},  // reversed: smallest
        {5000, -3000, 5400, -2700, QRect(1920, -300, 400, 300)},        // off the desktop, still off
    };
    for (const Case& c : cases) {
        CWindowPlacement placement;
        placement.left = c.left;
        placement.top = c.top;
        placement.right = c.right;
        placement.bottom = c.bottom;
        EXPECT_EQ(placement.ClampedRect(desktop), c.expected) << c.left << "," << c.top;
    }
}

}  // namespace
