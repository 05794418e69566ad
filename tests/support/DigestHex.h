#pragma once
// A digest as the lowercase hexadecimal text the reference vectors are written in.
#include <string>

#include "engine/Md5.h"

namespace quillon::test {

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
