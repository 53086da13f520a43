#include "support/PeakMemory.h"

#include <windows.h>
#include <psapi.h>

namespace plentor::testsupport {

uint64_t PeakMemory::ResidentBytes()
{
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (!K32GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) return 0;
    return counters.PeakWorkingSetSize;
}

} // namespace plentor::testsupport
