#include <gtest/gtest.h>

#include <string>

#include "platform/NativeName.h"

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
    const std::string bytes = "a\xE9"
                              "b\xE2\x82"
                              "c\xC0\xAF"
                              "d\xED\xA0\x80"
                              "e\xF4\x90\x80\x80"
                              "\xC3\xA9";
    const std::u16string expected = u"a\xDCE9"
                                    u"b\xDCE2\xDC82"
                                    u"c\xDCC0\xDCAF"
                                    u"d\xDCED\xDCA0\xDC80"
                                    u"e\xDCF4\xDC90\xDC80\xDC80"
                                    u"\u00E9";
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
