#include "platform/Utf16Text.h"

#include <cstdint>
#include <cstring>

#include "platform/NativeName.h"

std::u16string LowerAZ(std::u16string_view text)
{
    std::u16string lowered(text);
    for (char16_t& unit : lowered)
        unit = LowerAZ(unit);
    return lowered;
}

int CompareFoldAZ(std::u16string_view a, std::u16string_view b)
{
    const size_t common = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < common; ++i) {
        const char16_t x = LowerAZ(a[i]);
        const char16_t y = LowerAZ(b[i]);
        if (x != y)
            return x < y ? -1 : 1;
    }
    if (a.size() == b.size())
        return 0;
    return a.size() < b.size() ? -1 : 1;
}

bool EqualFoldAZ(std::u16string_view a, std::u16string_view b)
{
    return a.size() == b.size() && CompareFoldAZ(a, b) == 0;
}

bool CodeUnitLess::operator()(std::u16string_view a, std::u16string_view b) const
{
    const size_t common = a.size() < b.size() ? a.size() : b.size();
    size_t i = 0;
    for (; i + 4 <= common; i += 4) {
        uint64_t x, y;
        std::memcpy(&x, a.data() + i, sizeof x);
        std::memcpy(&y, b.data() + i, sizeof y);
        if (x != y)
            break;
    }
    for (; i < common; ++i) {
        if (a[i] != b[i])
            return a[i] < b[i];
    }
    return a.size() < b.size();
}

std::u16string Utf16(std::string_view utf8)
{
    return DecodeNativeName(utf8);
}

std::string Utf8(std::u16string_view text)
{
    return EncodeNativeName(text);
}
