#pragma once

namespace plentor {

class DataBuffer;
class LogBase;

// Bare bzip2 streams, the one bzip2 codec of the library: the disk cache
// stores header and body blocks this way, the compressed container puts a
// header before one. Decompression is streamed into a growing buffer with a
// caller-given ceiling, so a stream claiming to expand beyond it fails
// instead of exhausting memory.
class BzipBlock {
public:
    // Appends the bzip2 stream of n bytes to out. blockSize100k is bzip2's
    // block size (1-9); 0 chooses the smallest that holds the input.
    static bool Compress(const void* bytes, unsigned n, DataBuffer& out, LogBase& log, int blockSize100k = 0);

    enum class Outcome { Done, Corrupt, Truncated, TooLarge, NoMemory };
    // Appends the unpacked bytes of one complete bzip2 stream to out, or
    // tells why not (out unchanged); logs nothing.
    static Outcome DecompressUpTo(const void* bytes, unsigned n, unsigned maxOut, DataBuffer& out);

    // Appends the unpacked bytes of one complete bzip2 stream to out. Fails,
    // with a log line and out unchanged, on a corrupt or truncated stream or
    // when more than maxOut bytes would come out.
    static bool Decompress(const void* bytes, unsigned n, unsigned maxOut, DataBuffer& out, LogBase& log);
};

} // namespace plentor
