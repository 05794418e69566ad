#pragma once
// UTF-16 text helpers that fold the letters A to Z only, the way the program orders paths for
// display and matches patterns. Map keys elsewhere stay exact: these helpers are for display order
// and matching. Any thread may call them.
#include <string>
#include <string_view>

// The code unit with A–Z replaced by a–z; every other unit is returned unchanged.
constexpr char16_t LowerAZ(char16_t unit)
{
    return (unit >= u'A' && unit <= u'Z') ? static_cast<char16_t>(unit + (u'a' - u'A')) : unit;
}

// A copy of the text with A–Z replaced by a–z and nothing else changed.
std::u16string LowerAZ(std::u16string_view text);

// Compares A–Z-folded texts code unit by code unit as unsigned 16-bit numbers; a prefix sorts
// first. Returns <0, 0 or >0.
int CompareFoldAZ(std::u16string_view a, std::u16string_view b);

// True when the texts are equal after folding A–Z.
bool EqualFoldAZ(std::u16string_view a, std::u16string_view b);

// Plain code-unit order (what std::u16string's operator< gives), computed four units at a time:
// the comparator of the path-keyed maps, whose keys share long prefixes.
struct CodeUnitLess {
    using is_transparent = void;
    bool operator()(std::u16string_view a, std::u16string_view b) const;
};

// Text for messages and literals: ASCII/UTF-8 to UTF-16 (lossless, see NativeName.h).
std::u16string Utf16(std::string_view utf8);
// UTF-16 to UTF-8 bytes (lossless for every string the program reads from the file system).
std::string Utf8(std::u16string_view text);
