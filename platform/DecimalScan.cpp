#include "platform/DecimalScan.h"

#include <limits>

namespace {

bool IsScanBlank(char16_t unit)
{
    return unit == u' ' || (unit >= u'\t' && unit <= u'\r');
}

}  // namespace

std::optional<DecimalScan> ScanDecimal(std::u16string_view text, size_t& pos)
{
    while (pos < text.size() && IsScanBlank(text[pos]))
        ++pos;
    DecimalScan number;
    if (pos < text.size() && (text[pos] == u'+' || text[pos] == u'-'))
        number.negative = text[pos++] == u'-';
    const size_t firstDigit = pos;
    constexpr uint64_t kMax = std::numeric_limits<uint64_t>::max();
    for (; pos < text.size() && text[pos] >= u'0' && text[pos] <= u'9'; ++pos) {
        const auto digit = static_cast<uint64_t>(text[pos] - u'0');
        if (number.overflow || number.magnitude > (kMax - digit) / 10) {
            number.overflow = true;
            number.magnitude = kMax;
        } else {
            number.magnitude = number.magnitude * 10 + digit;
        }
    }
    if (pos == firstDigit)
        return std::nullopt;
    return number;
}
