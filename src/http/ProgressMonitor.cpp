#include "http/ProgressMonitor.h"

#include "platform/Clock.h"

namespace plentor {

namespace {

// Callbacks other than a rising percentage are spaced this far apart so a
// fast transfer does not spend its time in the application's handler.
constexpr uint32_t kHeartbeatIntervalMs = 300;

// Both counts are scaled down below this so done * 100 fits 32 bits.
constexpr uint32_t kMaxScaledTotal = 1000000;

} // namespace

ProgressMonitor::ProgressMonitor(uint32_t total, ProgressSink* sink)
    : total_(total), sink_(sink), lastTick_(platform::TickCount())
{
}

int ProgressMonitor::PercentDone() const
{
    if (total_ == 0) return 100;
    uint32_t total = total_;
    uint32_t done = done_;
    while (total > kMaxScaledTotal) {
        total /= 10;
        done /= 10;
    }
    return static_cast<int>(done * 100 / total);
}

bool ProgressMonitor::Consumed(uint32_t n)
{
    int before = PercentDone();
    done_ = n > total_ - done_ ? total_ : done_ + n;
    int after = PercentDone();
    if (sink_ == nullptr) return aborted_;
    if (after > before) {
        bool abort = false;
        sink_->PercentDone(after, abort);
        lastTick_ = platform::TickCount();
        if (abort) aborted_ = true;
        return aborted_;
    }
    return HeartbeatIfDue();
}

bool ProgressMonitor::AbortCheck()
{
    return HeartbeatIfDue();
}

bool ProgressMonitor::HeartbeatIfDue()
{
    if (sink_ == nullptr) return aborted_;
    uint32_t now = platform::TickCount();
    if (now - lastTick_ <= kHeartbeatIntervalMs) return aborted_;
    bool abort = false;
    sink_->Heartbeat(abort);
    lastTick_ = now;
    if (abort) aborted_ = true;
    return aborted_;
}

} // namespace plentor
