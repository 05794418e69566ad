#include <gtest/gtest.h>

#include <cstdint>

#include "platform/ByteSize.h"

TEST(FormatByteSize, UsesBytesBelowOneKilobyteAndThreeTruncatedDigitsAbove)
{
    EXPECT_EQ(FormatByteSize(0), u"0 bytes");
    EXPECT_EQ(FormatByteSize(1023), u"1023 bytes");
    EXPECT_EQ(FormatByteSize(1024), u"1.00 KB");
    EXPECT_EQ(FormatByteSize(1536), u"1.50 KB");
    EXPECT_EQ(FormatByteSize(2047), u"1.99 KB") << "truncated, not rounded";
    EXPECT_EQ(FormatByteSize(12 * 1024 + 1023), u"12.9 KB");
    EXPECT_EQ(FormatByteSize(123 * 1024 * 1024ULL + 999), u"123 MB");
    EXPECT_EQ(FormatByteSize(999 * 1024ULL), u"999 KB");
    EXPECT_EQ(FormatByteSize(1000 * 1024ULL), u"0.97 MB") << "a value of 1000 or more moves up a unit";
    EXPECT_EQ(FormatByteSize(123ULL << 30), u"123 GB");
    EXPECT_EQ(FormatByteSize(UINT64_MAX), u"15.9 EB");
}
