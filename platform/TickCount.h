#pragma once
#include <cstdint>

// Milliseconds of a monotonic clock, truncated to 32 bits (wraps after about 49.7 days).
// Any thread may call it.
uint32_t GetTickCount();
