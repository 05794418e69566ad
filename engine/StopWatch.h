#pragma once
#include <cstdint>
#include <string>

// Elapsed time of a search: a start tick and a last tick of GetTickCount. The difference is taken
// in unsigned 32-bit arithmetic, so it survives one wrap of the tick count. Used on one thread.
class CStopWatch {
public:
    // Sets both ticks to now.
    void Start();
    // Sets the last tick to now.
    void Tick();
    // Sets both ticks explicitly (for the front ends' tests).
    void SetTicks(uint32_t start, uint32_t last);
    // Milliseconds between the start tick and the last tick.
    uint32_t ElapsedMs() const { return m_lastTick - m_startTick; }
    // The elapsed time as "%02d:%02d:%02d.%d": hours (not wrapped), minutes, seconds, and the
    // milliseconds without leading zeros (5042 ms -> "00:00:05.42").
    std::u16string Format() const;
    static std::u16string Format(uint32_t elapsedMs);

private:
    uint32_t m_startTick = 0;
    uint32_t m_lastTick = 0;
};
