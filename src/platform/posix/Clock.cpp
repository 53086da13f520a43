#include "platform/Clock.h"

#include <cerrno>
#include <ctime>
#include <sys/time.h>

namespace plentor::platform {

namespace {

CalendarTime FromTm(const struct tm& t, long nanos)
{
    CalendarTime c;
    c.year = t.tm_year + 1900;
    c.month = t.tm_mon + 1;
    c.dayOfWeek = t.tm_wday;
    c.day = t.tm_mday;
    c.hour = t.tm_hour;
    c.minute = t.tm_min;
    c.second = t.tm_sec;
    c.milliseconds = static_cast<int>(nanos / 1000000);
    return c;
}

} // namespace

uint32_t TickCount()
{
    struct timespec ts {};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    uint64_t ms = static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
    return static_cast<uint32_t>(ms);
}

CalendarTime LocalTime()
{
    struct timespec ts {};
    clock_gettime(CLOCK_REALTIME, &ts);
    struct tm t {};
    localtime_r(&ts.tv_sec, &t);
    return FromTm(t, ts.tv_nsec);
}

CalendarTime SystemTime()
{
    struct timespec ts {};
    clock_gettime(CLOCK_REALTIME, &ts);
    struct tm t {};
    gmtime_r(&ts.tv_sec, &t);
    return FromTm(t, ts.tv_nsec);
}

int TimeZoneBiasMinutes()
{
    time_t now = time(nullptr);
    struct tm t {};
    localtime_r(&now, &t);
    return static_cast<int>(-t.tm_gmtoff / 60);
}

void SleepMilliseconds(uint32_t ms)
{
    struct timespec req {};
    req.tv_sec = static_cast<time_t>(ms / 1000u);
    req.tv_nsec = static_cast<long>(ms % 1000u) * 1000000L;
    while (nanosleep(&req, &req) != 0 && errno == EINTR) {
    }
}

} // namespace plentor::platform
