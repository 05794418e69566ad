#pragma once
// Reading a decimal number the way scanf reads one for %d or %u, from UTF-16 text. Any thread may
// call it.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

// A number as written: its sign and its digits' value.
struct DecimalScan {
    bool negative = false;   // written with a '-'
    uint64_t magnitude = 0;  // the digits' value, 2^64 - 1 when it is larger (see overflow)
    bool overflow = false;   // the digits' value is beyond 2^64 - 1
};

// The number at `pos`: leading blanks (space, tab to carriage return) are skipped, one '+' or '-'
// is allowed, and the digits up to the first non-digit are taken. On success `pos` is just past
// the last digit; without a digit there (also at the end of the text) the result is empty and
// `pos` is unspecified.
std::optional<DecimalScan> ScanDecimal(std::u16string_view text, size_t& pos);
