#pragma once
// File names on this platform are bytes; the program works in UTF-16. The codec is lossless for
// every byte string: valid UTF-8 decodes to UTF-16, and each byte that is not part of a valid
// UTF-8 sequence becomes the lone surrogate U+DC00 + byte (U+DC80..U+DCFF). Encoding turns such
// a surrogate back into its byte, so Encode(Decode(bytes)) == bytes for every input.
// Any thread may call these.
#include <string>
#include <string_view>

// True for the lone surrogate that stands for a byte (U+DC80..U+DCFF); the byte is unit - 0xDC00.
constexpr bool IsByteStandIn(char32_t unit)
{
    return unit >= 0xDC80 && unit <= 0xDCFF;
}

// Bytes to UTF-16 as described above. Never fails.
std::u16string DecodeNativeName(std::string_view bytes);
// Appends the decoded bytes to `out` (the hot path of the folder scan uses this to build paths).
void AppendDecodedNativeName(std::u16string& out, std::string_view bytes);

// UTF-16 to bytes. U+DC80..U+DCFF become the single byte they stand for; any other lone
// surrogate (which decoding never produces) is written as its three-byte generalised UTF-8 form.
std::string EncodeNativeName(std::u16string_view text);
// Appends the encoded text to `out` (for many names in one buffer).
void AppendEncodedNativeName(std::string& out, std::u16string_view text);
