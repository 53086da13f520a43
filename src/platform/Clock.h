#pragma once

#include <cstdint>

namespace plentor::platform {

// Broken-down calendar time, as the system clock reports it.
struct CalendarTime {
    int year = 0;
    int month = 0;          // 1..12
    int dayOfWeek = 0;      // 0 = Sunday
    int day = 0;            // 1..31
    int hour = 0;
    int minute = 0;
    int second = 0;
    int milliseconds = 0;
};

// Milliseconds since an arbitrary start, wrapping at 2^32 like GetTickCount.
uint32_t TickCount();

CalendarTime LocalTime();
CalendarTime SystemTime();    // UTC

// Minutes to add to local time to get UTC (the Windows "Bias"), for the current moment.
int TimeZoneBiasMinutes();

// Suspends the calling thread.
void SleepMilliseconds(uint32_t ms);

} // namespace plentor::platform
