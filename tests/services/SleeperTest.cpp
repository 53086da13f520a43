#include "services/Sleeper.h"

#include "log/Logger.h"
#include "text/StringBuffer.h"

#include <gtest/gtest.h>

#include <chrono>

namespace plentor {
namespace {

using Clock = std::chrono::steady_clock;

long ElapsedMs(Clock::time_point since)
{
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count());
}

TEST(SleeperTest, ZeroReturnsAtOnce)
{
    Logger log;
    auto start = Clock::now();
    EXPECT_TRUE(Sleeper::SleepSec(0, log));
    EXPECT_LT(ElapsedMs(start), 100);
}

using Sleep = bool (*)(long, LogBase&);

// A pause blocks for its length: one second through SleepSec, a quarter
// second through SleepMs.
TEST(SleeperTest, PausesBlockForTheirLength)
{
    const struct {
        Sleep sleep;
        long amount;
        long atLeastMs, belowMs;
    } cases[] = {{Sleeper::SleepSec, 1, 990, 5000}, {Sleeper::SleepMs, 250, 245, 4000}};
    for (const auto& c : cases) {
        Logger log;
        auto start = Clock::now();
        EXPECT_TRUE(c.sleep(c.amount, log)) << c.amount;
        long elapsed = ElapsedMs(start);
        EXPECT_GE(elapsed, c.atLeastMs) << c.amount;
        EXPECT_LT(elapsed, c.belowMs) << c.amount;
    }
}

// Values whose millisecond count does not fit 32 signed bits must not block.
TEST(SleeperTest, OutOfRangeValuesFailWithoutBlocking)
{
    const struct {
        Sleep sleep;
        long amount;
    } cases[] = {
        {Sleeper::SleepSec, -1L},
        {Sleeper::SleepSec, Sleeper::kMaxSeconds + 1},
        {Sleeper::SleepSec, 4294968L},
        {Sleeper::SleepMs, -1L},
        {Sleeper::SleepMs, Sleeper::kMaxSeconds * 1000 + 1},
    };
    for (const auto& c : cases) {
        Logger log;
        auto start = Clock::now();
        EXPECT_FALSE(c.sleep(c.amount, log)) << c.amount;
        EXPECT_LT(ElapsedMs(start), 100) << c.amount;
        StringBuffer text;
        log.GetText(text);
        EXPECT_TRUE(text.Contains("out of range")) << text.GetString();
    }
}

} // namespace
} // namespace plentor
