#include "platform/SizeText.h"

#include <limits>

namespace {

constexpr size_t kMaxCharacters = 63;   // characters read; the rest of the text is ignored

bool IsScanBlank(char16_t unit)
{
    return unit == u' ' || (unit >= u'\t' && unit <= u'\r');
}

} // namespace

uint64_t ScanSizeText(std::u16string_view text)
{
    text = text.substr(0, kMaxCharacters);
    size_t pos = 0;
    while (pos < text.size() && IsScanBlank(text[pos]))
        ++pos;
    bool negative = false;
    if (pos < text.size() && (text[pos] == u'+' || text[pos] == u'-'))
        negative = text[pos++] == u'-';
    const size_t firstDigit = pos;
    uint64_t value = 0;
    bool overflow = false;
    constexpr uint64_t kMax = std::numeric_limits<uint64_t>::max();
    for (; pos < text.size() && text[pos] >= u'0' && text[pos] <= u'9'; ++pos) {
        const uint64_t digit = static_cast<uint64_t>(text[pos] - u'0');
        if (value > (kMax - digit) / 10)
            overflow = true;
        else
            value = value * 10 + digit;
    }
    if (pos == firstDigit)
        return 0;
    if (overflow)
        return kMax;
    return negative ? (~value + 1) : value;
}

std::u16string FormatSizeText(uint64_t kilobytes)
{
    if (kilobytes == 0)
        return std::u16string();
    std::u16string digits;
    for (; kilobytes != 0; kilobytes /= 10)
        digits.insert(digits.begin(), static_cast<char16_t>(u'0' + kilobytes % 10));
    return digits;
}
