#include "support/PeakMemory.h"

#include <sys/resource.h>

namespace plentor::testsupport {

uint64_t PeakMemory::ResidentBytes()
{
    rusage usage{};
    if (getrusage(RUSAGE_SELF, &usage) != 0) return 0;
    return static_cast<uint64_t>(usage.ru_maxrss) * 1024;   // Linux counts kilobytes
}

} // namespace plentor::testsupport
