#pragma once

#include "http/net/ParseBuffer.h"

#include <cstdint>

namespace plentor {

class DataBuffer;
class LogBase;
class ProgressMonitor;

// The reading half of a connection: exact reads, reads until the peer
// closes, and the header and line readers, all served from `pending`, which
// is refilled in blocks. Bytes a reader takes in ahead of its end stay in
// `pending` for the next read, so no reader costs a system call per byte.
// A plain socket and a TLS channel differ only in where a block comes from.
class BufferedReader {
public:
    // A header or protocol line longer than this is treated as invalid rather
    // than buffered without end; real headers are a few kilobytes.
    static constexpr unsigned kMaxHeaderBytes = 1024 * 1024;
    // Bytes asked for per refill.
    static constexpr unsigned kReceiveBlock = 20000;

    BufferedReader() = default;
    virtual ~BufferedReader() = default;
    BufferedReader(const BufferedReader&) = delete;
    BufferedReader& operator=(const BufferedReader&) = delete;

    // Up to length bytes (buffered ones first); length becomes the count.
    bool ReceiveBytes(void* buffer, unsigned& length, bool& timedOut, LogBase& log, ProgressMonitor* monitor);
    bool ReceiveExactly(void* buffer, unsigned length, LogBase& log, ProgressMonitor* monitor);
    // Appends exactly length bytes to out.
    bool ReceiveN(unsigned length, DataBuffer& out, LogBase& log, ProgressMonitor* monitor);
    // Appends everything until the peer closes (or goes silent); true when
    // anything arrived. With a limit, stops once out has grown by more than
    // limit bytes (overLimit tells).
    bool ReceiveUntilClosed(DataBuffer& out, LogBase& log, ProgressMonitor* monitor);
    bool ReceiveUntilClosed(DataBuffer& out, unsigned limit, bool& overLimit, LogBase& log,
                            ProgressMonitor* monitor);
    // Appends one block.
    bool ReceiveSome(DataBuffer& out, LogBase& log, ProgressMonitor* monitor);
    // Appends bytes up to and including the empty line that ends a header.
    bool ReadUntilBlankLine(DataBuffer& out, LogBase& log, ProgressMonitor* monitor);
    // Appends one line, up to and including its LF.
    bool ReadCrlfLine(DataBuffer& out, LogBase& log, ProgressMonitor* monitor);

    // Time limits over many reads: once ms milliseconds have passed from
    // now, no further read starts and a read in progress waits no longer
    // (0 ms: no limit). name ("headerTimeoutSec", ...) is what the log says
    // ended the transfer. The header limit is dropped once a header is in;
    // the handshake limit bounds a TLS handshake over this reader.
    enum class Limit { Header, Response, Handshake };
    void StartLimit(Limit which, uint32_t ms, const char* name);
    void ClearLimit(Limit which);
    // Clears the header and response limits.
    void ClearLimits();
    // True once a limit that was set has passed.
    bool LimitReached() const { return RemainingMs() == 0; }

protected:
    // Milliseconds left before the nearest limit: UINT32_MAX when none, 0
    // once one has passed.
    uint32_t RemainingMs() const;
    // False, with a log line naming the limit, once a limit has passed.
    bool WithinLimits(LogBase& log) const;

    // Waits for data and moves one block from the source into buffer;
    // got > 0 on success. Logs why when it fails.
    virtual bool ReceiveOnce(void* buffer, unsigned length, unsigned& got, bool& timedOut, LogBase& log,
                             ProgressMonitor* monitor) = 0;

    ParseBuffer pending_;

private:
    enum class LineEnd { BlankLine, CrlfLine };

    struct TimeLimit {
        uint32_t start = 0;    // platform::TickCount() when it began
        uint32_t ms = 0;       // 0: not set
        const char* name = "";
    };

    bool FillPending(bool& timedOut, LogBase& log, ProgressMonitor* monitor);
    bool ReadLine(LineEnd end, DataBuffer& out, LogBase& log, ProgressMonitor* monitor);

    TimeLimit limits_[3];
    unsigned limitsSet_ = 0;   // how many of limits_ have ms != 0
};

} // namespace plentor
