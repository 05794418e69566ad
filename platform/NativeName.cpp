#include "platform/NativeName.h"

#include <cstdint>

#include "platform/Utf16Text.h"

namespace {

// Length of the valid UTF-8 sequence starting at bytes[i], and its code point, or 0 when the
// byte at i does not start a valid sequence (overlong forms, surrogates and values above
// U+10FFFF are invalid).
size_t ValidSequence(std::string_view bytes, size_t i, char32_t& codePoint)
{
    const auto at = [&](size_t k) { return static_cast<unsigned char>(bytes[k]); };
    const unsigned char lead = at(i);
    const size_t left = bytes.size() - i;
    const auto cont = [&](size_t k) { return (at(i + k) & 0xC0u) == 0x80u; };
    if (lead >= 0xC2 && lead <= 0xDF) {
        if (left < 2 || !cont(1))
            return 0;
        codePoint = (char32_t(lead & 0x1F) << 6) | (at(i + 1) & 0x3F);
        return 2;
    }
    if (lead >= 0xE0 && lead <= 0xEF) {
        if (left < 3 || !cont(1) || !cont(2))
            return 0;
        codePoint = (char32_t(lead & 0x0F) << 12) | (char32_t(at(i + 1) & 0x3F) << 6) | (at(i + 2) & 0x3F);
        if (codePoint < 0x800 || IsSurrogate(codePoint))
            return 0;
        return 3;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        if (left < 4 || !cont(1) || !cont(2) || !cont(3))
            return 0;
        codePoint = (char32_t(lead & 0x07) << 18) | (char32_t(at(i + 1) & 0x3F) << 12) | (char32_t(at(i + 2) & 0x3F) << 6) |
            (at(i + 3) & 0x3F);
        if (codePoint < 0x10000 || codePoint > 0x10FFFF)
            return 0;
        return 4;
    }
    return 0;
}

}  // namespace

void AppendDecodedNativeName(std::u16string& out, std::string_view bytes)
{
    size_t i = 0;
    while (i < bytes.size()) {
        const unsigned char byte = static_cast<unsigned char>(bytes[i]);
        if (byte < 0x80) {
            out.push_back(char16_t(byte));
            ++i;
            continue;
        }
        char32_t codePoint = 0;
        const size_t length = ValidSequence(bytes, i, codePoint);
        if (length == 0) {
            out.push_back(char16_t(0xDC00 + byte));
            ++i;
        } else if (codePoint >= 0x10000) {
            codePoint -= 0x10000;
            out.push_back(char16_t(0xD800 + (codePoint >> 10)));
            out.push_back(char16_t(0xDC00 + (codePoint & 0x3FF)));
            i += length;
        } else {
            out.push_back(char16_t(codePoint));
            i += length;
        }
    }
}

std::u16string DecodeNativeName(std::string_view bytes)
{
    std::u16string out;
    out.reserve(bytes.size());
    AppendDecodedNativeName(out, bytes);
    return out;
}

void AppendEncodedNativeName(std::string& out, std::u16string_view text)
{
    const size_t start = out.size();
    // Paths are mostly ASCII: such a text is copied unit by unit.
    size_t ascii = 0;
    while (ascii < text.size() && text[ascii] < 0x80)
        ++ascii;
    if (ascii == text.size()) {
        out.resize(start + ascii);
        char* const put = out.data() + start;
        for (size_t i = 0; i < ascii; ++i)
            put[i] = static_cast<char>(text[i]);
        return;
    }
    // Otherwise the bytes are counted first, then written in place: the text takes exactly its length.
    size_t bytes = ascii;
    for (size_t i = ascii; i < text.size(); ++i) {
        const char32_t unit = text[i];
        if (unit < 0x80 || IsByteStandIn(unit)) {
            bytes += 1;
        } else if (IsSurrogatePairAt(text, i)) {
            bytes += 4;
            ++i;
        } else {
            bytes += unit < 0x800 ? 2 : 3;
        }
    }
    out.resize(start + bytes);
    char* put = out.data() + start;
    const auto byte = [&](uint32_t value) { *put++ = static_cast<char>(value); };
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t unit = text[i];
        if (unit < 0x80) {
            byte(unit);
            continue;
        }
        if (IsByteStandIn(unit)) {
            byte(unit - 0xDC00);
            continue;
        }
        if (IsSurrogatePairAt(text, i)) {
            const char32_t codePoint = 0x10000 + ((unit - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            byte(0xF0 | (codePoint >> 18));
            byte(0x80 | ((codePoint >> 12) & 0x3F));
            byte(0x80 | ((codePoint >> 6) & 0x3F));
            byte(0x80 | (codePoint & 0x3F));
            ++i;
            continue;
        }
        if (unit < 0x800) {
            byte(0xC0 | (unit >> 6));
            byte(0x80 | (unit & 0x3F));
        } else {
            byte(0xE0 | (unit >> 12));
            byte(0x80 | ((unit >> 6) & 0x3F));
            byte(0x80 | (unit & 0x3F));
        }
    }
}

std::string EncodeNativeName(std::u16string_view text)
{
    std::string out;
    AppendEncodedNativeName(out, text);
    return out;
}
