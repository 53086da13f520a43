#include "http/Gzip.h"
#include "text/LittleEndian.h"

#include "base/LogBase.h"
#include "text/DataBuffer.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#define ZLIB_CONST
#include <zlib.h>

namespace plentor {

namespace {

constexpr unsigned kFixedHeader = 10;   // ID1 ID2 CM FLG MTIME(4) XFL OS
constexpr unsigned kTrailer = 8;        // CRC32 ISIZE
constexpr unsigned kHeaderCrc = 2;
constexpr uint8_t kId1 = 0x1F;
constexpr uint8_t kId2 = 0x8B;
constexpr uint8_t kMethodDeflate = 8;
constexpr uint8_t kFlagHeaderCrc = 0x02;
constexpr uint8_t kFlagExtra = 0x04;
constexpr uint8_t kFlagName = 0x08;
constexpr uint8_t kFlagComment = 0x10;
// Head room beyond the size the trailer announces.
constexpr uint64_t kReserveSlack = 200;
// Deflate cannot expand data by more than this factor, so a trailer that
// claims more than the input can produce is not believed when reserving.
constexpr uint64_t kMaxDeflateRatio = 1032;
// Smallest step by which the output grows when the announced size was short.
constexpr unsigned kMinGrowth = 64 * 1024;
// Window bits for raw deflate data, without zlib or gzip wrapper.
constexpr int kRawDeflateWindowBits = -MAX_WBITS;

bool Overrun(LogBase& log)
{
    log.LogError("Buffer would have been overrun");
    return false;
}

// Moves pos past a zero-terminated field (file name, comment).
bool SkipZeroTerminated(const uint8_t* d, unsigned size, unsigned& pos, LogBase& log)
{
    const void* zero = std::memchr(d + pos, 0, size - pos);
    if (!zero)
        return Overrun(log);
    pos = static_cast<unsigned>(static_cast<const uint8_t*>(zero) - d) + 1;
    return true;
}

// Checks the member header at pos (at least kFixedHeader bytes are there)
// and moves pos to the start of its deflate data.
bool SkipHeader(const uint8_t* d, unsigned size, unsigned& pos, LogBase& log)
{
    if (d[pos] != kId1 || d[pos + 1] != kId2) {
        log.LogError("Invalid GZip ID");
        return false;
    }
    if (d[pos + 2] != kMethodDeflate) {
        log.LogError("Invalid GZip compression method");
        return false;
    }
    uint8_t flags = d[pos + 3];
    pos += kFixedHeader;
    if (flags & kFlagExtra) {
        if (size - pos < 2)
            return Overrun(log);
        unsigned extraLength = d[pos] | static_cast<unsigned>(d[pos + 1]) << 8;
        if (size - pos - 2 < extraLength)
            return Overrun(log);
        pos += 2 + extraLength;
    }
    if ((flags & kFlagName) && !SkipZeroTerminated(d, size, pos, log))
        return false;
    if ((flags & kFlagComment) && !SkipZeroTerminated(d, size, pos, log))
        return false;
    if (flags & kFlagHeaderCrc) {
        if (size - pos < kHeaderCrc)
            return Overrun(log);
        pos += kHeaderCrc;
    }
    return true;
}

bool RoomForTrailer(unsigned remaining, LogBase& log)
{
    if (remaining >= kTrailer)
        return true;
    log.LogError("Not enough data for trailing CRC32 or ISIZE");
    return false;
}

bool StartsMember(const uint8_t* d, unsigned size, unsigned pos)
{
    return size - pos >= kFixedHeader && d[pos] == kId1 && d[pos + 1] == kId2;
}

// Makes room for more output; false once the size limit is reached.
bool EnsureRoom(DataBuffer& out)
{
    if (out.Size() >= Gzip::kMaxInflatedSize)
        return false;
    if (out.Capacity() > out.Size())
        return true;
    unsigned growth = std::max(kMinGrowth, out.Size());
    out.Reserve(std::min(growth, Gzip::kMaxInflatedSize - out.Size()));
    return out.Capacity() > out.Size();
}

// One raw-deflate decoder for all members of the input.
class Inflater {
public:
    Inflater() = default;
    Inflater(const Inflater&) = delete;
    Inflater& operator=(const Inflater&) = delete;
    ~Inflater()
    {
        if (ready_)
            inflateEnd(&stream_);
    }

    bool Start(LogBase& log)
    {
        int rc = inflateInit2(&stream_, kRawDeflateWindowBits);
        ready_ = rc == Z_OK;
        if (!ready_)
            LogZlibError(rc, log);
        return ready_;
    }

    // Inflates the deflate stream starting at pos and appends its output;
    // pos ends up just after the stream.
    bool Member(const uint8_t* d, unsigned size, unsigned& pos, DataBuffer& out, LogBase& log)
    {
        inflateReset(&stream_);
        stream_.next_in = d + pos;
        stream_.avail_in = size - pos;
        int rc = Z_OK;
        while (rc == Z_OK) {
            if (!EnsureRoom(out)) {
                log.LogError("Inflated data exceeds the size limit");
                log.LogDataLong("maxInflatedSize", Gzip::kMaxInflatedSize);
                return false;
            }
            unsigned room = std::min(out.Capacity(), Gzip::kMaxInflatedSize) - out.Size();
            stream_.next_out = out.Data() + out.Size();
            stream_.avail_out = room;
            rc = inflate(&stream_, Z_NO_FLUSH);
            out.SetSize(out.Size() + (room - stream_.avail_out));
        }
        pos = size - stream_.avail_in;
        if (rc == Z_STREAM_END)
            return true;
        if (rc == Z_BUF_ERROR && stream_.avail_in == 0)
            log.LogError("Compressed data is truncated");
        else
            LogZlibError(rc, log);
        return false;
    }

private:
    void LogZlibError(int rc, LogBase& log)
    {
        log.LogError("Failed to inflate gzip data");
        log.LogData("zlibError", stream_.msg ? stream_.msg : zError(rc));
    }

    z_stream stream_ {};
    bool ready_ = false;
};

void ReserveOutput(DataBuffer& out, uint32_t announced, unsigned compressed)
{
    uint64_t want = std::min<uint64_t>(announced + kReserveSlack, compressed * kMaxDeflateRatio + kReserveSlack);
    out.Reserve(static_cast<unsigned>(std::min<uint64_t>(want, Gzip::kMaxInflatedSize)));
}

// Inflates the first member's data at pos and every member that follows it.
bool InflateMembers(const uint8_t* d, unsigned size, unsigned pos, DataBuffer& out, LogBase& log)
{
    Inflater inflater;
    if (!inflater.Start(log))
        return false;
    for (;;) {
        if (!inflater.Member(d, size, pos, out, log) || !RoomForTrailer(size - pos, log))
            return false;
        pos += kTrailer;
        if (!StartsMember(d, size, pos))
            break;
        if (!SkipHeader(d, size, pos, log) || !RoomForTrailer(size - pos, log))
            return false;
        if (size - pos == kTrailer) {
            pos = size;   // a member without deflate data adds nothing
            break;
        }
    }
    if (pos < size) {
        log.LogInfo("Ignored data after the last gzip member");
        log.LogDataLong("ignoredBytes", size - pos);
    }
    return true;
}

} // namespace

bool Gzip::Gunzip(const DataBuffer& in, DataBuffer& out, LogBase& log)
{
    LogContext context(log, "gunzip");
    out.Clear();
    const uint8_t* d = in.Data();
    unsigned size = in.Size();
    if (size < kFixedHeader) {
        log.LogError("Gzip data too small");
        return false;
    }
    unsigned pos = 0;
    if (!SkipHeader(d, size, pos, log) || !RoomForTrailer(size - pos, log))
        return false;
    unsigned compressed = size - pos - kTrailer;
    if (compressed == 0)
        return true;   // a member without deflate data: empty body
    uint32_t announced = LittleEndian::Get32(d + size - 4);
    log.LogDataLong("CompressedSize", compressed);
    log.LogDataLong("UncompressedSize", announced);
    ReserveOutput(out, announced, compressed);
    if (InflateMembers(d, size, pos, out, log))
        return true;
    out.Clear();
    return false;
}

} // namespace plentor
