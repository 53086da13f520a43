#include "support/SkippedTests.h"

namespace plentor::testsupport {

std::string SkippedTests::FilterPatterns()
{
    std::string patterns;
    for (const Entry& entry : List()) patterns += (patterns.empty() ? "" : ":") + std::string(entry.patterns);
    return patterns;
}

std::string SkippedTests::AddToFilter(const std::string& filter)
{
    const std::string patterns = FilterPatterns();
    if (patterns.empty()) return filter;
    // A filter is POSITIVE[-NEGATIVE]; an empty positive part means every test.
    if (filter.find('-') != std::string::npos) return filter + ":" + patterns;
    return (filter.empty() ? "*" : filter) + "-" + patterns;
}

} // namespace plentor::testsupport
