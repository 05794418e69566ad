// Text in UTF-16 code units: folding of A to Z and the order of code units.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/Utf16Text.h"

TEST(Utf16Text, FoldingTouchesOnlyAToZ)
{
    EXPECT_EQ(LowerAZ(u"ABC xyz \u00C4\u00D6 [Z]"), u"abc xyz \u00C4\u00D6 [z]");
    EXPECT_EQ(CompareFoldAZ(u"C:/Zeta", u"c:/alpha"), 1);
    // '_' (0x5F) lies between the upper and the lower letters: folding to lower case puts it first.
    EXPECT_LT(CompareFoldAZ(u"/_tmp", u"/Apple"), 0);
    EXPECT_LT(CompareFoldAZ(u"/ab", u"/abc"), 0);
    EXPECT_TRUE(EqualFoldAZ(u"/Photos", u"/pHOTOS"));
    EXPECT_FALSE(EqualFoldAZ(u"\u00C4", u"\u00E4"));
}

TEST(Utf16Text, CodeUnitLessAgreesWithPlainStringOrder)
{
    const std::u16string units = u"a/Z\u00E9\uFFFF\xD800\xDCFF";
    std::vector<std::u16string> texts;
    for (size_t length = 0; length < 11; ++length)
        for (size_t seed = 0; seed < 40; ++seed) {
            std::u16string text = u"/shared/prefix/";
            for (size_t i = 0; i < length; ++i)
                text.push_back(units[(seed * 7 + i * (seed + 3)) % units.size()]);
            texts.push_back(text);
        }
    CodeUnitLess less;
    for (const std::u16string& a : texts)
        for (const std::u16string& b : texts)
            ASSERT_EQ(less(a, b), a < b);
}
