#include "platform/InterruptFlag.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <signal.h>
#endif

namespace plentor::platform {
namespace {

#ifndef _WIN32
// The Windows side (a console control handler) is checked by the
// submit-list command-line script, which interrupts plentor.exe under Wine.

void (*InterruptAction())(int)
{
    struct sigaction now {};
    sigaction(SIGINT, nullptr, &now);
    return now.sa_handler;
}

// Each test starts from the given action (whatever the suite was started
// with) and puts the suite's own back.
class InterruptFlagTest : public ::testing::Test {
protected:
    void Start(void (*action)(int))
    {
        struct sigaction wanted {};
        wanted.sa_handler = action;
        sigemptyset(&wanted.sa_mask);
        sigaction(SIGINT, &wanted, &saved_);
    }
    void TearDown() override { sigaction(SIGINT, &saved_, nullptr); }

    struct sigaction saved_ {};
};

TEST_F(InterruptFlagTest, FirstInterruptRaisesTheFlagAndTheOldActionComesBack)
{
    Start(SIG_DFL);
    {
        InterruptFlag flag;
        EXPECT_FALSE(flag.Raised());
        ASSERT_EQ(raise(SIGINT), 0);   // the process lives on
        EXPECT_TRUE(flag.Raised());
        EXPECT_EQ(InterruptAction(), SIG_DFL) << "a second interrupt must end the process";
    }
    EXPECT_EQ(InterruptAction(), SIG_DFL);
    InterruptFlag fresh;
    EXPECT_FALSE(fresh.Raised());
}

TEST_F(InterruptFlagTest, AnIgnoredInterruptStaysIgnored)
{
    Start(SIG_IGN);
    {
        InterruptFlag flag;
        ASSERT_EQ(raise(SIGINT), 0);
        EXPECT_FALSE(flag.Raised());
        EXPECT_EQ(InterruptAction(), SIG_IGN);
    }
    EXPECT_EQ(InterruptAction(), SIG_IGN);
}
#endif

} // namespace
} // namespace plentor::platform
