#pragma once
#include <cstdint>
#include <string>

#include "platform/TickCount.h"

// Elapsed time of a search: a start tick and a last tick of GetTickCount, apart by TicksBetween
// (so one wrap of the tick count is survived). Used on one thread.
class CStopWatch {
public:
    // Sets both ticks to now.
    void Start();
    // Sets the last tick to now.
    void Tick();
    // Milliseconds between the start tick and the last tick.
    uint32_t ElapsedMs() const { return TicksBetween(m_startTick, m_lastTick); }
    // The elapsed time as "%02d:%02d:%02d.%d": hours (not wrapped), minutes, seconds, and the
    // milliseconds without leading zeros (5042 ms -> "00:00:05.42").
    std::u16string Format() const;
    static std::u16string Format(uint32_t elapsedMs);

private:
    uint32_t m_startTick = 0;
    uint32_t m_lastTick = 0;
};
