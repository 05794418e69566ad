#include <gtest/gtest.h>

#include <cstdint>

#include "platform/ByteSize.h"
#include "platform/MatchSpec.h"

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

TEST(MatchSpec, StarsQuestionMarksAndFoldedLetters)
{
    EXPECT_TRUE(MatchSpec(u"/a/b.jpg", u"*.JPG"));
    EXPECT_FALSE(MatchSpec(u"/a/b.jpg", u"b.jpg")) << "the pattern covers the whole path";
    EXPECT_TRUE(MatchSpec(u"/a/b.jpg", u"*/b.jpg"));
    EXPECT_TRUE(MatchSpec(u"/a/b.jpg", u"/?/b.j?g"));
    EXPECT_FALSE(MatchSpec(u"/a/b.jpg", u"/?/b.j?"));
    EXPECT_TRUE(MatchSpec(u"/x/y/z", u"/*z"));
    EXPECT_FALSE(MatchSpec(u"/a/\u00C4.txt", u"*\u00E4.txt")) << "only A to Z fold";
}

TEST(MatchSpec, PatternListsAndSpecialPatterns)
{
    EXPECT_TRUE(MatchSpec(u"/a/old.bak", u"*.tmp;*.bak"));
    EXPECT_TRUE(MatchSpec(u"/a/old.bak", u"*.tmp;   *.bak")) << "blanks before a pattern are ignored";
    EXPECT_FALSE(MatchSpec(u"/a/old.bak", u"*.tmp;*.bak ")) << "trailing blanks belong to the pattern";
    EXPECT_TRUE(MatchSpec(u"/a/README", u"*.*")) << "*.* matches names without a dot";
    EXPECT_FALSE(MatchSpec(u"/a/b", u""));
    EXPECT_FALSE(MatchSpec(u"/a/b", u" ; ;"));
    EXPECT_TRUE(MatchSpec(u"", u"*"));
}

TEST(MatchSpec, ManyStarsDoNotTakeExponentialTime)
{
    const std::u16string path(4000, u'a');
    EXPECT_FALSE(MatchSpec(path, u"*a*a*a*a*a*a*a*a*a*a*a*a*a*a*b"));
}
