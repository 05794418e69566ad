#pragma once
// The reference suite of MD5 (RFC 1321, appendix A.5), and a digest as the lowercase hexadecimal
// text its digests are written in.
#include <string>
#include <utility>

#include "engine/Md5.h"

namespace quillon::test {

// Each message with its digest.
inline constexpr std::pair<const char*, const char*> kMd5ReferenceSuite[] = {
    {"", "d41d8cd98f00b204e9800998ecf8427e"},
    {"a", "0cc175b9c0f1b6a831c399e269772661"},
    {"abc", "900150983cd24fb0d6963f7d28e17f72"},
    {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
    {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
    {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
    {"12345678901234567890123456789012345678901234567890123456789012345678901234567890", "57edf4a22be3c955ac49da2e2107b67a"},
};

inline std::string Hex(const Md5Digest& digest)
{
    static const char* const kDigits = "0123456789abcdef";
    std::string text;
    for (uint8_t byte : digest) {
        text.push_back(kDigits[byte >> 4]);
        text.push_back(kDigits[byte & 15]);
    }
    return text;
}

}  // namespace quillon::test
