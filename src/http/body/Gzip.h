#pragma once

namespace plentor {

class DataBuffer;
class LogBase;

// Expands gzip-compressed response bodies (RFC 1952 members around RFC 1951
// deflate data).
class Gzip {
public:
    // Inflated output is never allowed to grow past this: a few kilobytes of
    // deflate data can claim gigabytes, and a 32-bit process cannot hold them.
    static constexpr unsigned kMaxInflatedSize = 256u * 1024 * 1024;

    virtual ~Gzip() = default;

    // Checks the member header and inflates the data into out (emptied
    // first). Members written one after another are all expanded; bytes after
    // the last member's trailer that do not start another member are ignored.
    // Header and CRC trailer checksums are not verified. On failure the reason
    // is logged and out is left empty.
    static bool Gunzip(const DataBuffer& in, DataBuffer& out, LogBase& log);

    enum class Outcome { Inflated, Invalid, OverLimit };
    // The same with a limit of the caller's below kMaxInflatedSize; tells
    // data that would inflate past it (out left empty) from data that is no
    // gzip or breaks.
    static Outcome GunzipUpTo(const DataBuffer& in, unsigned maxOutput, DataBuffer& out, LogBase& log);
};

} // namespace plentor
