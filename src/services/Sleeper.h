#pragma once

namespace plentor {

class LogBase;

// Pauses the calling thread between steps, for hosts that pace their submissions.
class Sleeper {
public:
    // Longest pause: its length in milliseconds must fit a signed 32-bit count (about 24.8 days).
    static constexpr long kMaxSeconds = 2147483;

    // Blocks for seconds x 1000 milliseconds; 0 returns at once. A negative
    // value or one above kMaxSeconds does not block: it is logged and false
    // is returned.
    static bool SleepSec(long seconds, LogBase& log);

    // As SleepSec, for a pause given in milliseconds (up to kMaxSeconds x 1000).
    static bool SleepMs(long milliseconds, LogBase& log);
};

} // namespace plentor
