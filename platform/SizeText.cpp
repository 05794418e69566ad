#include "platform/SizeText.h"

#include <limits>

#include "platform/DecimalScan.h"

namespace {

constexpr size_t kMaxCharacters = 63;  // characters read; the rest of the text is ignored

}  // namespace

uint64_t ScanSizeText(std::u16string_view text)
{
    size_t pos = 0;
    const std::optional<DecimalScan> number = ScanDecimal(text.substr(0, kMaxCharacters), pos);
    if (!number)
        return 0;
    if (number->overflow)
        return std::numeric_limits<uint64_t>::max();
    return number->negative ? (~number->magnitude + 1) : number->magnitude;
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
