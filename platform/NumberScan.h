#pragma once
#include <cstdint>
#include <string_view>

// Scans an unsigned decimal 64-bit number the way the size fields read their text: at most the
// first 63 characters are looked at; leading white space is skipped; an optional '+' or '-' is
// accepted; the digits up to the first non-digit are taken (wrapping modulo 2^64); a '-' negates
// the value modulo 2^64. Returns false, leaving `value` alone, when no digit follows.
// Any thread may call it.
bool ScanUnsigned64(std::u16string_view text, uint64_t& value);
