#include "engine/StopWatch.h"

#include <cstdio>

#include "platform/TickCount.h"
#include "platform/Utf16Text.h"

void CStopWatch::Start()
{
    m_startTick = m_lastTick = GetTickCount();
}

void CStopWatch::Tick()
{
    m_lastTick = GetTickCount();
}

std::u16string CStopWatch::Format() const
{
    return Format(ElapsedMs());
}

std::u16string CStopWatch::Format(uint32_t ms)
{
    char text[48];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d.%d", static_cast<int>(ms / 3600000), static_cast<int>((ms / 60000) % 60),
                  static_cast<int>((ms / 1000) % 60), static_cast<int>(ms % 1000));
    return Utf16(text);
}
