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

// UTF-16 surrogates: a high one (U+D800..U+DBFF) followed by a low one (U+DC00..U+DFFF) is one
// character beyond U+FFFF; any other surrogate stands alone (the stand-in for a byte of a file
// name that is not UTF-8 is one, see NativeName.h).
constexpr bool IsHighSurrogate(char32_t unit)
{
    return unit >= 0xD800 && unit <= 0xDBFF;
}
constexpr bool IsLowSurrogate(char32_t unit)
{
    return unit >= 0xDC00 && unit <= 0xDFFF;
}
// Either kind; also true for a code point in the surrogate range, which no character has.
constexpr bool IsSurrogate(char32_t unit)
{
    return unit >= 0xD800 && unit <= 0xDFFF;
}
// True when text[i] and text[i + 1] are a high and a low surrogate (false when i + 1 is past the
// end).
constexpr bool IsSurrogatePairAt(std::u16string_view text, size_t i)
{
    return i + 1 < text.size() && IsHighSurrogate(text[i]) && IsLowSurrogate(text[i + 1]);
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
