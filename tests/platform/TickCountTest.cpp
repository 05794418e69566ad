// The tick count's arithmetic: the elapsed time of a search and the window's progress throttle
// take their differences with it.
#include <gtest/gtest.h>

#include "platform/TickCount.h"

TEST(TickCount, TheTimeBetweenTwoTicksSurvivesOneWrapOfTheCount)
{
    EXPECT_EQ(TicksBetween(0xFFFFFF00u, 0x100u), 0x200u);
    EXPECT_EQ(TicksBetween(0x100u, 0x300u), 0x200u);
}
