#include "engine/RacyEntries.h"

#include <time.h>

uint64_t g_digestMoment = 0;

namespace {

constexpr uint64_t kSecond = 1000000000;
// 1601-01-01 to 1970-01-01 in FileTime's 100-nanosecond steps.
constexpr uint64_t kUnixEpochAsFileTime = 116444736000000000ull;

// The tick of the clock the kernel stamps files with (it reads a coarse clock).
uint64_t StampTick()
{
    static const uint64_t tick = [] {
        timespec resolution{};
        if (clock_getres(CLOCK_REALTIME_COARSE, &resolution) != 0)
            return uint64_t{10000000};  // 10 ms: the coarsest usual tick
        return static_cast<uint64_t>(resolution.tv_sec) * kSecond + static_cast<uint64_t>(resolution.tv_nsec);
    }();
    return tick;
}

}  // namespace

uint64_t WallClockNow()
{
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return NanosecondsFromUnix(now.tv_sec, now.tv_nsec);
}

uint64_t TimeStepOf(uint64_t changeTime)
{
    const uint64_t nanoseconds = changeTime % kSecond;
    if (nanoseconds == 0)
        return 2 * kSecond;
    uint64_t step = 1;
    while (step < kSecond / 10 && nanoseconds % (step * 10) == 0)
        step *= 10;
    return step;
}

bool SafelyOlder(const FileState& state, uint64_t digestMoment)
{
    const uint64_t lastWrite = state.lastWrite > kUnixEpochAsFileTime ? (state.lastWrite - kUnixEpochAsFileTime) * 100 : 0;
    const uint64_t changed = lastWrite > state.changeTime ? lastWrite : state.changeTime;
    const uint64_t margin = TimeStepOf(state.changeTime) + StampTick();
    return changed < digestMoment && digestMoment - changed >= margin;
}
