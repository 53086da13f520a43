#pragma once

#include <string>
#include <vector>

namespace plentor::testsupport {

// The one list of tests this build of the suite leaves out, each with its
// reason. The test main adds the patterns to the negative --gtest_filter and
// prints the list when the run starts. The POSIX build leaves none out.
class SkippedTests {
public:
    struct Entry {
        const char* patterns;   // GoogleTest filter patterns, ':' between them
        const char* reason;
    };

    static const std::vector<Entry>& List();
    // The patterns of every entry, ':' between them; empty when none.
    static std::string FilterPatterns();
    // A user's --gtest_filter with every entry's patterns added to its negative part.
    static std::string AddToFilter(const std::string& filter);
};

} // namespace plentor::testsupport
