#include "platform/ByteSize.h"

#include <cstdio>

#include "platform/Utf16Text.h"

namespace {
__extension__ typedef unsigned __int128 UInt128;
}

std::u16string FormatByteSize(uint64_t bytes)
{
    char text[64];
    if (bytes < 1024) {
        std::snprintf(text, sizeof text, "%llu bytes", static_cast<unsigned long long>(bytes));
        return Utf16(text);
    }
    static const char* const kUnits[] = {"KB", "MB", "GB", "TB", "PB", "EB"};
    // Hundredths of the value in the chosen unit, truncated; 128-bit so that nothing overflows.
    unsigned unit = 0;
    UInt128 divisor = 1024;
    UInt128 hundredths = static_cast<UInt128>(bytes) * 100 / divisor;
    while (hundredths >= 100000 && unit + 1 < 6) {
        ++unit;
        divisor *= 1024;
        hundredths = static_cast<UInt128>(bytes) * 100 / divisor;
    }
    const auto h = static_cast<unsigned long long>(hundredths);
    if (h < 1000)
        std::snprintf(text, sizeof text, "%llu.%02llu %s", h / 100, h % 100, kUnits[unit]);
    else if (h < 10000)
        std::snprintf(text, sizeof text, "%llu.%llu %s", h / 100, (h / 10) % 10, kUnits[unit]);
    else
        std::snprintf(text, sizeof text, "%llu %s", h / 100, kUnits[unit]);
    return Utf16(text);
}
