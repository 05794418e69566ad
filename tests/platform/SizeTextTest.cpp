// The kilobyte text of the size-range edits: how it is read and what is shown back.
#include <gtest/gtest.h>

#include <string>

#include "platform/SizeText.h"

namespace {

constexpr uint64_t kAllOnes = ~uint64_t{0};

TEST(SizeText, ReadsTheLeadingNumberAndIgnoresTheRest)
{
    EXPECT_EQ(ScanSizeText(u""), 0u);
    EXPECT_EQ(ScanSizeText(u"0"), 0u);
    EXPECT_EQ(ScanSizeText(u"0010"), 10u);
    EXPECT_EQ(ScanSizeText(u"1.5"), 1u);
    EXPECT_EQ(ScanSizeText(u"12 KB"), 12u);
    EXPECT_EQ(ScanSizeText(u"  \t42"), 42u);
    EXPECT_EQ(ScanSizeText(u"+7"), 7u);
    EXPECT_EQ(ScanSizeText(u"KB 12"), 0u);
    EXPECT_EQ(ScanSizeText(u"- 5"), 0u);
    EXPECT_EQ(ScanSizeText(u"--5"), 0u);
    EXPECT_EQ(ScanSizeText(u"\x0661\x0662"), 0u) << "only the digits 0 to 9 count";
}

TEST(SizeText, MinusNegatesModulo2To64)
{
    EXPECT_EQ(ScanSizeText(u"-1"), kAllOnes);
    EXPECT_EQ(ScanSizeText(u"-0"), 0u);
    EXPECT_EQ(ScanSizeText(u"-10"), kAllOnes - 9);
}

TEST(SizeText, ValuesBeyond64BitsCountAsTheLargestValue)
{
    EXPECT_EQ(ScanSizeText(u"18446744073709551615"), kAllOnes);
    EXPECT_EQ(ScanSizeText(u"18446744073709551616"), kAllOnes);
    EXPECT_EQ(ScanSizeText(u"-99999999999999999999999"), kAllOnes);
}

TEST(SizeText, OnlyTheFirst63CharactersAreRead)
{
    std::u16string blanks(62, u' ');
    EXPECT_EQ(ScanSizeText(blanks + u"7"), 7u);
    EXPECT_EQ(ScanSizeText(blanks + u"78"), 7u);
    EXPECT_EQ(ScanSizeText(blanks + u" 7"), 0u);
}

TEST(SizeText, ZeroShowsAsEmptyAndOtherValuesInPlainDecimal)
{
    EXPECT_EQ(FormatSizeText(0), u"");
    EXPECT_EQ(FormatSizeText(10), u"10");
    EXPECT_EQ(FormatSizeText(kAllOnes), u"18446744073709551615");
}

}  // namespace
