#pragma once
#include <cstdint>

// Milliseconds of a monotonic clock, truncated to 32 bits (wraps after about 49.7 days).
// Any thread may call it.
uint32_t GetTickCount();

// Milliseconds from tick `earlier` to tick `later`, also across one wrap of the count (when
// `later` is numerically smaller).
constexpr uint32_t TicksBetween(uint32_t earlier, uint32_t later)
{
    return later - earlier;
}
