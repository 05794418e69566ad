#pragma once
// The size range is typed in kilobytes: the main dialog's size edits and quillon-find's --from/--to
// read and show it with these. Any thread may call them.
#include <cstdint>
#include <string>
#include <string_view>

// The number at the start of the text; only its first 63 characters are read. Leading blanks
// (space, tab to carriage return) are skipped, one '+' or '-' is allowed, and the digits up to
// the first non-digit are taken; a minus negates the value modulo 2^64. A value beyond 2^64 - 1
// counts as 2^64 - 1, whatever its sign. Text without a number gives 0.
uint64_t ScanSizeText(std::u16string_view text);

// What an edit shows for the value: nothing for 0, otherwise the value in decimal.
std::u16string FormatSizeText(uint64_t kilobytes);
