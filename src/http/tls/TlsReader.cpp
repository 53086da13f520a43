#include "http/tls/TlsReader.h"

#include "base/LogBase.h"
#include "http/tls/SChannel.h"

#include <algorithm>
#include <cstring>

namespace plentor {

void TlsReader::Reset()
{
    pending_.Clear();
    spill_.Clear();
    spillStart_ = 0;
    peerClosed_ = false;
}

bool TlsReader::ReceiveOnce(void* buffer, unsigned length, unsigned& got, bool& timedOut, LogBase& log,
                            ProgressMonitor* /*monitor*/)
{
    got = 0;
    timedOut = false;
    if (spillStart_ >= spill_.Size()) {
        spill_.Clear();
        spillStart_ = 0;
        if (peerClosed_ || !channel_.IsConnected())
            return false;
        bool closed = false;
        if (!channel_.ReadDecrypted(spill_, closed, log))
            return false;
        // The closing alert may come right behind the last data.
        peerClosed_ = closed;
        if (spill_.Size() == 0)
            return false;
    }
    got = std::min(length, spill_.Size() - spillStart_);
    std::memcpy(buffer, spill_.Data() + spillStart_, got);
    spillStart_ += got;
    return got > 0;
}

} // namespace plentor
