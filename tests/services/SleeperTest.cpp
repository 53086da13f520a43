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

TEST(SleeperTest, OneSecondBlocksForAboutOneSecond)
{
    Logger log;
    auto start = Clock::now();
    EXPECT_TRUE(Sleeper::SleepSec(1, log));
    long elapsed = ElapsedMs(start);
    EXPECT_GE(elapsed, 990);
    EXPECT_LT(elapsed, 5000);
}

// Values whose millisecond count does not fit 32 signed bits must not block.
TEST(SleeperTest, OutOfRangeValuesFailWithoutBlocking)
{
    for (long seconds : {-1L, Sleeper::kMaxSeconds + 1, 4294968L}) {
        Logger log;
        auto start = Clock::now();
        EXPECT_FALSE(Sleeper::SleepSec(seconds, log)) << seconds;
        EXPECT_LT(ElapsedMs(start), 100) << seconds;
        StringBuffer text;
        log.GetText(text);
        EXPECT_TRUE(text.Contains("out of range")) << text.GetString();
    }
}

TEST(SleeperTest, MillisecondsBlockForTheirLength)
{
    Logger log;
    auto start = Clock::now();
    EXPECT_TRUE(Sleeper::SleepMs(250, log));
    long elapsed = ElapsedMs(start);
    EXPECT_GE(elapsed, 245);
    EXPECT_LT(elapsed, 4000);
}

TEST(SleeperTest, OutOfRangeMillisecondsFailWithoutBlocking)
{
    for (long milliseconds : {-1L, Sleeper::kMaxSeconds * 1000 + 1}) {
        Logger log;
        auto start = Clock::now();
        EXPECT_FALSE(Sleeper::SleepMs(milliseconds, log)) << milliseconds;
        EXPECT_LT(ElapsedMs(start), 100) << milliseconds;
        StringBuffer text;
        log.GetText(text);
        EXPECT_TRUE(text.Contains("out of range")) << text.GetString();
    }
}

} // namespace
} // namespace plentor
