#pragma once

#include <cstdint>

namespace plentor::testsupport {

// The most memory this process has held resident so far. A test that must
// stay within a memory bound compares the figure before and after: the peak
// only rises, so growth past an earlier peak is what the test caused.
class PeakMemory {
public:
    static uint64_t ResidentBytes();

    // How many times a bound on growth must be widened: under
    // AddressSanitizer freed blocks wait in its quarantine and stay
    // resident, so every buffer a transfer has outgrown still counts.
#if defined(__SANITIZE_ADDRESS__)
    static constexpr uint64_t kSlackFactor = 4;
#else
    static constexpr uint64_t kSlackFactor = 1;
#endif
};

} // namespace plentor::testsupport
