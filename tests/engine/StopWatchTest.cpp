// The elapsed time of a search and its text.
#include <gtest/gtest.h>

#include "engine/StopWatch.h"

TEST(StopWatch, FormatsHoursMinutesSecondsAndUnpaddedMilliseconds)
{
    EXPECT_EQ(CStopWatch::Format(5042), u"00:00:05.42");
    EXPECT_EQ(CStopWatch::Format(5420), u"00:00:05.420");
    EXPECT_EQ(CStopWatch::Format(3600000 + 2 * 60000 + 5000 + 42), u"01:02:05.42");
    EXPECT_EQ(CStopWatch::Format(59 * 60000 + 59000 + 7), u"00:59:59.7");
    EXPECT_EQ(CStopWatch::Format(101 * 3600000u), u"101:00:00.0") << "hours are not wrapped";
}
