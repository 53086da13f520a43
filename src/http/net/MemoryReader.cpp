#include "http/net/MemoryReader.h"

#include "base/LogBase.h"

#include <algorithm>
#include <cstring>

namespace plentor {

MemoryReader::MemoryReader(const void* data, size_t size, unsigned blockSize)
    : next_(static_cast<const uint8_t*>(data)), left_(size), blockSize_(std::max(blockSize, 1u))
{
}

void MemoryReader::Close()
{
    closed_ = true;
    left_ = 0;
    pending_.Clear();
}

bool MemoryReader::ReceiveOnce(void* buffer, unsigned length, unsigned& got, bool& timedOut, LogBase& log,
                               ProgressMonitor* /*monitor*/)
{
    timedOut = false;
    readAfterClose_ = readAfterClose_ || closed_;
    got = static_cast<unsigned>(std::min<size_t>({length, blockSize_, left_}));
    if (got == 0) {
        log.LogError("End of the input");
        return false;
    }
    std::memcpy(buffer, next_, got);
    next_ += got;
    left_ -= got;
    return true;
}

} // namespace plentor
