#include "support/SkippedTests.h"

namespace plentor::testsupport {

const std::vector<SkippedTests::Entry>& SkippedTests::List()
{
    static const std::vector<Entry> none;
    return none;
}

} // namespace plentor::testsupport
