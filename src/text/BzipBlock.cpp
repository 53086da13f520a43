#include "text/BzipBlock.h"

#include "base/LogBase.h"
#include "text/DataBuffer.h"

#include <bzlib.h>

#include <algorithm>
#include <vector>

namespace plentor {

namespace {

// bzip2 never grows data by more than 1% plus 600 bytes.
unsigned CompressBound(unsigned n) { return n + n / 100 + 600; }

// The 100k block size: small inputs need no 900k work area.
int BlockSizeFor(unsigned n) { return static_cast<int>(std::min(9u, n / 100000u + 1u)); }

// Output grows by this much per step while decompressing.
constexpr unsigned kDecompressStep = 64 * 1024;

// Releases the decompressor however the loop ends.
class DecompressStream {
public:
    DecompressStream() { ok_ = BZ2_bzDecompressInit(&stream_, 0, 0) == BZ_OK; }
    ~DecompressStream()
    {
        if (ok_)
            BZ2_bzDecompressEnd(&stream_);
    }
    DecompressStream(const DecompressStream&) = delete;
    DecompressStream& operator=(const DecompressStream&) = delete;

    bool Ok() const { return ok_; }
    bz_stream& Get() { return stream_; }

private:
    bz_stream stream_ {};
    bool ok_ = false;
};

using Unpack = BzipBlock::Outcome;

Unpack RunDecompress(bz_stream& s, unsigned maxOut, std::vector<char>& produced)
{
    for (;;) {
        size_t used = produced.size() - s.avail_out;
        if (s.avail_out == 0) {
            // Room for one byte beyond maxOut tells "ends at maxOut" from "goes on".
            if (used > maxOut)
                return Unpack::TooLarge;
            size_t grown = std::min<size_t>(used + kDecompressStep, static_cast<size_t>(maxOut) + 1);
            produced.resize(grown);
            s.next_out = produced.data() + used;
            s.avail_out = static_cast<unsigned>(grown - used);
        }
        unsigned inBefore = s.avail_in;
        unsigned outBefore = s.avail_out;
        int rc = BZ2_bzDecompress(&s);
        if (rc == BZ_STREAM_END)
            break;
        if (rc != BZ_OK)
            return Unpack::Corrupt;
        if (s.avail_in == inBefore && s.avail_out == outBefore)
            return Unpack::Truncated;   // no progress: the input ended inside the stream
    }
    size_t used = produced.size() - s.avail_out;
    if (used > maxOut)
        return Unpack::TooLarge;
    produced.resize(used);
    return Unpack::Done;
}

} // namespace

bool BzipBlock::Compress(const void* bytes, unsigned n, DataBuffer& out, LogBase& log, int blockSize100k)
{
    std::vector<char> packed(CompressBound(n));
    unsigned packedSize = static_cast<unsigned>(packed.size());
    char emptyInput = 0;
    char* source = n > 0 ? const_cast<char*>(static_cast<const char*>(bytes)) : &emptyInput;  // bzlib takes non-const input
    int rc = BZ2_bzBuffToBuffCompress(packed.data(), &packedSize, source, n,
                                      blockSize100k > 0 ? blockSize100k : BlockSizeFor(n), 0, 0);
    if (rc != BZ_OK) {
        log.LogError("bzip2 compression failed");
        log.LogDataLong("bzip2Error", rc);
        return false;
    }
    out.AppendBytes(packed.data(), packedSize);
    return true;
}

BzipBlock::Outcome BzipBlock::DecompressUpTo(const void* bytes, unsigned n, unsigned maxOut, DataBuffer& out)
{
    DecompressStream stream;
    if (!stream.Ok())
        return Outcome::NoMemory;
    bz_stream& s = stream.Get();
    s.next_in = const_cast<char*>(static_cast<const char*>(bytes));   // bzlib takes non-const input
    s.avail_in = n;
    std::vector<char> produced;
    const Outcome result = RunDecompress(s, maxOut, produced);
    if (result == Outcome::Done)
        out.AppendBytes(produced.data(), static_cast<unsigned>(produced.size()));
    return result;
}

bool BzipBlock::Decompress(const void* bytes, unsigned n, unsigned maxOut, DataBuffer& out, LogBase& log)
{
    switch (DecompressUpTo(bytes, n, maxOut, out)) {
    case Outcome::Done:
        return true;
    case Outcome::NoMemory:
        log.LogError("Failed to start bzip2 decompression");
        break;
    case Outcome::Corrupt:
        log.LogError("Corrupt bzip2 data");
        break;
    case Outcome::Truncated:
        log.LogError("Truncated bzip2 data");
        break;
    case Outcome::TooLarge:
        log.LogError("bzip2 data unpacks beyond the allowed size");
        log.LogDataLong("maxSize", maxOut);
        break;
    }
    return false;
}

} // namespace plentor
