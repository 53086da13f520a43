#include "http/net/BufferedReader.h"

#include "base/LogBase.h"
#include "http/ProgressMonitor.h"
#include "platform/Clock.h"
#include "text/DataBuffer.h"

#include <algorithm>
#include <cstdint>

namespace plentor {

namespace {

constexpr unsigned kExactPiece = 2200000;          // large exact reads go in pieces this size
constexpr unsigned kMaxExactRead = 0xC000001;      // refuse exact reads from this size up

} // namespace

void BufferedReader::StartLimit(Limit which, uint32_t ms, const char* name)
{
    ClearLimit(which);
    if (ms == 0) return;
    limits_[static_cast<int>(which)] = TimeLimit{platform::TickCount(), ms, name};
    ++limitsSet_;
}

void BufferedReader::ClearLimit(Limit which)
{
    TimeLimit& limit = limits_[static_cast<int>(which)];
    if (limit.ms != 0) --limitsSet_;
    limit = TimeLimit{};
}

void BufferedReader::ClearLimits()
{
    ClearLimit(Limit::Header);
    ClearLimit(Limit::Response);
}

uint32_t BufferedReader::RemainingMs() const
{
    uint32_t left = UINT32_MAX;
    if (limitsSet_ == 0) return left;   // most reads: no clock call
    const uint32_t now = platform::TickCount();
    for (const TimeLimit& limit : limits_) {
        if (limit.ms == 0) continue;
        const uint32_t elapsed = now - limit.start;   // wraps with the tick count
        left = std::min(left, elapsed >= limit.ms ? 0u : limit.ms - elapsed);
    }
    return left;
}

bool BufferedReader::WithinLimits(LogBase& log) const
{
    if (RemainingMs() > 0) return true;
    const uint32_t now = platform::TickCount();
    for (const TimeLimit& limit : limits_) {
        if (limit.ms == 0 || now - limit.start < limit.ms) continue;
        log.LogError("Transfer stopped: time limit reached");
        log.LogData("limit", limit.name);
        log.LogDataLong("seconds", static_cast<long>(limit.ms / 1000));
        break;
    }
    return false;
}

bool BufferedReader::FillPending(bool& timedOut, LogBase& log, ProgressMonitor* monitor)
{
    if (!WithinLimits(log)) {
        timedOut = true;
        return false;
    }
    uint8_t* space = pending_.PrepareAppend(kReceiveBlock);
    unsigned got = 0;
    bool ok = ReceiveOnce(space, kReceiveBlock, got, timedOut, log, monitor);
    pending_.Commit(got);
    return ok;
}

bool BufferedReader::ReceiveBytes(void* buffer, unsigned& length, bool& timedOut, LogBase& log,
                                 ProgressMonitor* monitor)
{
    timedOut = false;
    unsigned got = pending_.Take(buffer, length);
    if (got == 0 && length > 0 && !WithinLimits(log)) {
        timedOut = true;
        length = 0;
        return false;
    }
    if (got == 0 && length > 0 && !ReceiveOnce(buffer, length, got, timedOut, log, monitor)) {
        length = 0;
        return false;
    }
    length = got;
    if (monitor != nullptr) monitor->Consumed(got);
    return got > 0;
}

bool BufferedReader::ReceiveExactly(void* buffer, unsigned length, LogBase& log, ProgressMonitor* monitor)
{
    uint8_t* next = static_cast<uint8_t*>(buffer);
    unsigned remaining = length;
    while (remaining > 0) {
        if (monitor != nullptr && monitor->AbortCheck()) return false;
        unsigned got = remaining;
        bool timedOut = false;
        if (!ReceiveBytes(next, got, timedOut, log, monitor)) return false;
        next += got;
        remaining -= got;
    }
    return true;
}

bool BufferedReader::ReceiveN(unsigned length, DataBuffer& out, LogBase& log, ProgressMonitor* monitor)
{
    if (length == 0 || length >= kMaxExactRead) return false;
    unsigned remaining = length;
    while (remaining > 0) {
        if (remaining != length && monitor != nullptr && monitor->AbortCheck()) return false;
        unsigned piece = std::min(remaining, kExactPiece);
        unsigned size = out.Size();
        out.Reserve(piece);
        if (!ReceiveExactly(out.Data() + size, piece, log, monitor)) return false;
        out.SetSize(size + piece);
        remaining -= piece;
    }
    return true;
}

bool BufferedReader::ReceiveSome(DataBuffer& out, LogBase& log, ProgressMonitor* monitor)
{
    unsigned size = out.Size();
    out.Reserve(kReceiveBlock);
    unsigned got = kReceiveBlock;
    bool timedOut = false;
    bool ok = ReceiveBytes(out.Data() + size, got, timedOut, log, monitor);
    out.SetSize(size + got);
    return ok;
}

bool BufferedReader::ReceiveUntilClosed(DataBuffer& out, LogBase& log, ProgressMonitor* monitor)
{
    bool overLimit = false;
    return ReceiveUntilClosed(out, 0, overLimit, log, monitor);
}

bool BufferedReader::ReceiveUntilClosed(DataBuffer& out, unsigned limit, bool& overLimit, LogBase& log,
                                        ProgressMonitor* monitor)
{
    overLimit = false;
    const unsigned before = out.Size();
    bool ok = true;
    while (ok) {
        ok = ReceiveSome(out, log, monitor);
        if (limit > 0 && out.Size() - before > limit) {
            overLimit = true;
            break;
        }
    }
    return out.Size() > before;
}

bool BufferedReader::ReadUntilBlankLine(DataBuffer& out, LogBase& log, ProgressMonitor* monitor)
{
    return ReadLine(LineEnd::BlankLine, out, log, monitor);
}

bool BufferedReader::ReadCrlfLine(DataBuffer& out, LogBase& log, ProgressMonitor* monitor)
{
    return ReadLine(LineEnd::CrlfLine, out, log, monitor);
}

// Scans the buffered input for the end (an empty line, or for a CRLF line
// any line end after a CR), refilling in blocks; bytes after the end stay
// buffered for the next read.
bool BufferedReader::ReadLine(LineEnd end, DataBuffer& out, LogBase& log, ProgressMonitor* monitor)
{
    unsigned lineBytes = 0;    // bytes other than CR since the last LF
    unsigned total = 0;
    for (;;) {
        if (monitor != nullptr && monitor->AbortCheck()) {
            log.LogError("Socket receive aborted by application");
            return false;
        }
        bool timedOut = false;
        if (pending_.IsEmpty() && !FillPending(timedOut, log, monitor)) return false;
        const uint8_t* bytes = pending_.Data();
        unsigned available = pending_.Size();
        unsigned i = 0;
        bool found = false;
        for (; i < available && !found; ++i) {
            uint8_t c = bytes[i];
            if (c == '\n') {
                found = lineBytes == 0;
                lineBytes = 0;
            } else if (c == '\r') {
                if (end == LineEnd::CrlfLine) lineBytes = 0;
            } else {
                ++lineBytes;
            }
        }
        out.AppendBytes(bytes, i);
        pending_.Consume(i);
        total += i;
        if (monitor != nullptr) monitor->Consumed(i);
        if (found) return true;
        if (total >= kMaxHeaderBytes) {
            log.LogError(end == LineEnd::BlankLine ? "Invalid HTTP header: no empty line within the size limit"
                                                   : "Invalid line: no line end within the size limit");
            log.LogDataLong("maxBytes", kMaxHeaderBytes);
            return false;
        }
    }
}

} // namespace plentor
