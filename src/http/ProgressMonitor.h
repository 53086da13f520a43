#pragma once

#include <cstdint>

namespace plentor {

// The application's side of a transfer: told the percentage done and given
// a periodic heartbeat; either call may ask to abort.
class ProgressSink {
public:
    virtual ~ProgressSink() = default;
    virtual void PercentDone(int percent, bool& abort) = 0;
    virtual void Heartbeat(bool& abort) = 0;
};

// Counts the bytes of one transfer against the expected total and passes
// progress to an optional sink, at most one heartbeat per 300 ms.
class ProgressMonitor {
public:
    ProgressMonitor(uint32_t total, ProgressSink* sink);

    // Adds n bytes (never beyond the total) and reports; true when the
    // application asked to abort.
    bool Consumed(uint32_t n);
    // A heartbeat when one is due; true when the application asked to abort.
    bool AbortCheck();

    int PercentDone() const;
    uint32_t Total() const { return total_; }
    uint32_t Done() const { return done_; }
    bool Aborted() const { return aborted_; }

private:
    bool HeartbeatIfDue();

    uint32_t total_;
    uint32_t done_ = 0;
    ProgressSink* sink_;       // not owned, may be null
    bool aborted_ = false;
    uint32_t lastTick_;        // tick of the last callback
};

} // namespace plentor
