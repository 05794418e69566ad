// A stored window rectangle on the screens of today: kept where it can be reached, moved onto
// the nearest screen where it cannot.
#include <gtest/gtest.h>

#include <vector>

#include "tests/widgets/QtTestEnvironment.h"
#include "widgets/WindowPlacement.h"

namespace {

TEST(WindowPlacement, RectangleOffEveryScreenMovesOntoTheNearestKeepingItsSize)
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
        {"mostly off but reachable", {left}, QRect(1800, 1000, 800, 600), QRect(1800, 1000, 800, 600)},
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

} // namespace
