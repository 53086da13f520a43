#include "services/Sleeper.h"

#include "base/LogBase.h"
#include "platform/Clock.h"

#include <cstdint>

namespace plentor {

bool Sleeper::SleepSec(long seconds, LogBase& log)
{
    if (seconds < 0 || seconds > kMaxSeconds) {
        LogContext context(log, "SleepSec");
        log.LogError("Number of seconds is out of range");
        log.LogDataLong("numSeconds", seconds);
        log.LogDataLong("maxSeconds", kMaxSeconds);
        return false;
    }
    if (seconds > 0)
        platform::SleepMilliseconds(static_cast<uint32_t>(seconds) * 1000u);
    return true;
}

} // namespace plentor
