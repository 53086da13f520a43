#pragma once

namespace plentor {

class DataBuffer;
class LogBase;

// Bare bzip2 streams, as the disk cache stores header and body blocks: no
// container, no length prefix. Decompression is streamed into a growing
// buffer with a caller-given ceiling, so a stream claiming to expand beyond
// it fails instead of exhausting memory.
class BzipBlock {
public:
    // Appends the bzip2 stream of n bytes to out.
    static bool Compress(const void* bytes, unsigned n, DataBuffer& out, LogBase& log);

    // Appends the unpacked bytes of one complete bzip2 stream to out. Fails,
    // with a log line and out unchanged, on a corrupt or truncated stream or
    // when more than maxOut bytes would come out.
    static bool Decompress(const void* bytes, unsigned n, unsigned maxOut, DataBuffer& out, LogBase& log);
};

} // namespace plentor
