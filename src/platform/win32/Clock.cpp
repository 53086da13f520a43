#include "platform/Clock.h"

#include <windows.h>

namespace plentor::platform {

namespace {

CalendarTime FromSystemTime(const SYSTEMTIME& st)
{
    CalendarTime c;
    c.year = st.wYear;
    c.month = st.wMonth;
    c.dayOfWeek = st.wDayOfWeek;
    c.day = st.wDay;
    c.hour = st.wHour;
    c.minute = st.wMinute;
    c.second = st.wSecond;
    c.milliseconds = st.wMilliseconds;
    return c;
}

} // namespace

uint32_t TickCount() { return static_cast<uint32_t>(GetTickCount()); }

CalendarTime LocalTime()
{
    SYSTEMTIME st;
    GetLocalTime(&st);
    return FromSystemTime(st);
}

CalendarTime SystemTime()
{
    SYSTEMTIME st;
    GetSystemTime(&st);
    return FromSystemTime(st);
}

int TimeZoneBiasMinutes()
{
    TIME_ZONE_INFORMATION tz;
    DWORD r = GetTimeZoneInformation(&tz);
    LONG bias = tz.Bias;
    if (r == TIME_ZONE_ID_DAYLIGHT)
        bias += tz.DaylightBias;
    else if (r == TIME_ZONE_ID_STANDARD)
        bias += tz.StandardBias;
    return static_cast<int>(bias);
}

void SleepMilliseconds(uint32_t ms) { Sleep(ms); }

} // namespace plentor::platform
