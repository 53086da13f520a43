#include "services/Sleeper.h"

#include "base/LogBase.h"
#include "platform/Clock.h"

#include <cstdint>

namespace plentor {

namespace {

// The accepted values of one unit and how a value outside them is logged.
struct Range {
    const char* operation;
    const char* error;
    const char* valueName;
    const char* maxName;
    long max;
};

constexpr Range kSeconds = {"SleepSec", "Number of seconds is out of range", "numSeconds", "maxSeconds",
                            Sleeper::kMaxSeconds};
constexpr Range kMilliseconds = {"SleepMs", "Number of milliseconds is out of range", "numMilliseconds",
                                 "maxMilliseconds", Sleeper::kMaxSeconds * 1000};

bool InRange(const Range& range, long value, LogBase& log)
{
    if (value >= 0 && value <= range.max)
        return true;
    LogContext context(log, range.operation);
    log.LogError(range.error);
    log.LogDataLong(range.valueName, value);
    log.LogDataLong(range.maxName, range.max);
    return false;
}

} // namespace

bool Sleeper::SleepSec(long seconds, LogBase& log)
{
    return InRange(kSeconds, seconds, log) && SleepMs(seconds * 1000, log);
}

bool Sleeper::SleepMs(long milliseconds, LogBase& log)
{
    if (!InRange(kMilliseconds, milliseconds, log))
        return false;
    if (milliseconds > 0)
        platform::SleepMilliseconds(static_cast<uint32_t>(milliseconds));
    return true;
}

} // namespace plentor
