#pragma once
#include <cstdint>
#include <string>

// A byte count as short text: "N bytes" below 1024, otherwise the value in the largest unit of
// KB, MB, GB, TB, PB, EB (powers of 1024) that keeps it below 1000, with three significant
// digits, truncated: "1.00 KB", "1.50 KB", "12.3 MB", "123 GB", "0.97 MB". Any thread may call it.
std::u16string FormatByteSize(uint64_t bytes);
