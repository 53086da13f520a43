#pragma once

#include <cstdint>

namespace plentor::testsupport {

// The most memory this process has held resident so far. A test that must
// stay within a memory bound compares the figure before and after: the peak
// only rises, so growth past an earlier peak is what the test caused.
class PeakMemory {
public:
    static uint64_t ResidentBytes();
};

} // namespace plentor::testsupport
