// The suite's main: GoogleTest's, less the tests this build leaves out
// (support/SkippedTests), which it lists with their reasons first.
#include "support/SkippedTests.h"

#include <gtest/gtest.h>

#include <cstdio>

int main(int argc, char** argv)
{
    using plentor::testsupport::SkippedTests;
    ::testing::InitGoogleTest(&argc, argv);
    if (!SkippedTests::List().empty()) {
        GTEST_FLAG_SET(filter, SkippedTests::AddToFilter(GTEST_FLAG_GET(filter)));
        // Not for a listing, nor in the child process a death test runs in.
        if (!GTEST_FLAG_GET(list_tests) && GTEST_FLAG_GET(internal_run_death_test).empty()) {
            std::printf("Left out of this build's run:\n");
            for (const SkippedTests::Entry& entry : SkippedTests::List())
                std::printf("  %s\n      %s\n", entry.patterns, entry.reason);
            std::fflush(stdout);
        }
    }
    return RUN_ALL_TESTS();
}
