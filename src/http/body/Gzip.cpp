#include "http/body/Gzip.h"

#include "base/LogBase.h"
#include "http/body/BodySink.h"
#include "http/body/GzipStream.h"
#include "text/DataBuffer.h"
#include "text/LittleEndian.h"

#include <algorithm>
#include <cstdint>

namespace plentor {

namespace {

// Head room beyond the size the trailer announces.
constexpr uint64_t kReserveSlack = 200;
// Deflate cannot expand data by more than this factor, so a trailer that
// claims more than the input can produce is not believed when reserving.
constexpr uint64_t kMaxDeflateRatio = 1032;

// Appends what the stream inflates to a buffer.
class AppendSink final : public BodySink {
public:
    explicit AppendSink(DataBuffer& out) : out_(out) {}

    bool Write(const unsigned char* data, unsigned length) override
    {
        out_.AppendBytes(data, length);
        return true;
    }

private:
    DataBuffer& out_;
};

void ReserveOutput(DataBuffer& out, uint32_t announced, unsigned compressed, unsigned maxOutput)
{
    uint64_t want = std::min<uint64_t>(announced + kReserveSlack, compressed * kMaxDeflateRatio + kReserveSlack);
    out.Reserve(static_cast<unsigned>(std::min<uint64_t>(want, maxOutput)));
}

} // namespace

bool Gzip::Gunzip(const DataBuffer& in, DataBuffer& out, LogBase& log)
{
    return GunzipUpTo(in, kMaxInflatedSize, out, log) == Outcome::Inflated;
}

Gzip::Outcome Gzip::GunzipUpTo(const DataBuffer& in, unsigned maxOutput, DataBuffer& out, LogBase& log)
{
    LogContext context(log, "gunzip");
    out.Clear();
    const uint8_t* d = in.Data();
    const unsigned size = in.Size();
    if (size < GzipStream::kFixedHeader) {
        log.LogError("Gzip data too small");
        return Outcome::Invalid;
    }
    unsigned headerLength = 0;
    if (!GzipStream::HeaderLength(d, size, headerLength, log)) return Outcome::Invalid;
    // The sizes are known only for a member with deflate data and a whole
    // trailer; the stream reports any other case.
    if (size - headerLength > GzipStream::kTrailer) {
        const unsigned compressed = size - headerLength - GzipStream::kTrailer;
        const uint32_t announced = LittleEndian::Get32(d + size - 4);
        log.LogDataLong("CompressedSize", compressed);
        log.LogDataLong("UncompressedSize", announced);
        ReserveOutput(out, announced, compressed, maxOutput);
    }
    AppendSink sink(out);
    GzipStream stream(sink, maxOutput);
    if (stream.Write(d, size, log) && stream.Finish(log)) return Outcome::Inflated;
    out.Clear();
    return stream.OverLimit() ? Outcome::OverLimit : Outcome::Invalid;
}

} // namespace plentor
