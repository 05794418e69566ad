#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/NativeName.h"
#include "platform/Utf16Text.h"

TEST(NativeName, EveryByteValueRoundTripsAlone)
{
    for (int byte = 0; byte < 256; ++byte) {
        const std::string bytes(1, static_cast<char>(byte));
        const std::u16string decoded = DecodeNativeName(bytes);
        ASSERT_EQ(decoded.size(), 1u) << byte;
        if (byte < 0x80)
            EXPECT_EQ(decoded[0], char16_t(byte));
        else
            EXPECT_EQ(decoded[0], char16_t(0xDC00 + byte)) << "a lone high byte is not valid UTF-8";
        EXPECT_EQ(EncodeNativeName(decoded), bytes) << byte;
    }
}

TEST(NativeName, EveryPairOfBytesRoundTrips)
{
    for (int first = 0; first < 256; ++first) {
        for (int second = 0; second < 256; ++second) {
            const std::string bytes{static_cast<char>(first), static_cast<char>(second)};
            ASSERT_EQ(EncodeNativeName(DecodeNativeName(bytes)), bytes) << first << ' ' << second;
        }
    }
}

TEST(NativeName, ValidUtf8DecodesToItsCharacters)
{
    EXPECT_EQ(DecodeNativeName("caf\xC3\xA9"), u"caf\u00E9");
    EXPECT_EQ(DecodeNativeName("\xE2\x82\xAC"), u"\u20AC");
    EXPECT_EQ(DecodeNativeName("\xF0\x9F\x98\x80"), u"\U0001F600");
    EXPECT_EQ(EncodeNativeName(u"\U0001F600 \u20AC"), "\xF0\x9F\x98\x80 \xE2\x82\xAC");
}

TEST(NativeName, InvalidSequencesBecomeOneSurrogatePerByteAndMixWithValidText)
{
    // Latin-1 e-acute, a truncated euro sign, an overlong slash, an encoded surrogate, a byte above
    // U+10FFFF, then valid text again.
    const std::string bytes = "a\xE9" "b\xE2\x82" "c\xC0\xAF" "d\xED\xA0\x80" "e\xF4\x90\x80\x80" "\xC3\xA9";
    const std::u16string expected = u"a\xDCE9" u"b\xDCE2\xDC82" u"c\xDCC0\xDCAF" u"d\xDCED\xDCA0\xDC80"
                                    u"e\xDCF4\xDC90\xDC80\xDC80" u"\u00E9";
    EXPECT_EQ(DecodeNativeName(bytes), expected);
    EXPECT_EQ(EncodeNativeName(expected), bytes);
}

TEST(NativeName, SupplementaryCharacterWhoseLowHalfLooksLikeAnEscapedByteRoundTrips)
{
    // U+10080 is D800 DC80 in UTF-16: the low half must not be taken for the escaped byte 0x80.
    const std::string bytes = "\xF0\x90\x82\x80";
    EXPECT_EQ(DecodeNativeName(bytes), u"\U00010080");
    EXPECT_EQ(EncodeNativeName(DecodeNativeName(bytes)), bytes);
}

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
