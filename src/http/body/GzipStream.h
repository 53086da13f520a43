#pragma once

#include "http/body/Gzip.h"

#include <cstdint>
#include <memory>

namespace plentor {

class BodySink;
class LogBase;

// Inflates gzip data (RFC 1952 members around RFC 1951 deflate data) as it
// arrives, in pieces of any size, writing the output to a sink block by
// block: it holds no more than a member header's fixed part, a few bytes of
// look-ahead and one output block. Members written one after another are all
// expanded; bytes after the last member's trailer that do not start another
// member are ignored (and logged). Header and CRC trailer checksums are not
// verified. The output stops at a limit, at most Gzip::kMaxInflatedSize.
class GzipStream {
public:
    static constexpr unsigned kFixedHeader = 10;   // ID1 ID2 CM FLG MTIME(4) XFL OS
    static constexpr unsigned kTrailer = 8;        // CRC32 ISIZE

    // maxOutput: the most bytes the data may inflate to; more fails the
    // stream before any byte past the limit reaches the sink.
    explicit GzipStream(BodySink& out, uint64_t maxOutput = Gzip::kMaxInflatedSize);
    ~GzipStream();
    GzipStream(const GzipStream&) = delete;
    GzipStream& operator=(const GzipStream&) = delete;

    // Inflates the next piece of the data to the sink. False when the data
    // is no gzip, inflates past the limit (both logged) or the sink refused
    // a block (the sink's to tell); nothing more may be written then.
    bool Write(const uint8_t* data, unsigned length, LogBase& log);
    // The end of the data; false (logged) when it ended inside a member.
    bool Finish(LogBase& log);

    // Bytes written to the sink so far.
    uint64_t Produced() const { return produced_; }
    // True once the data inflated past the limit.
    bool OverLimit() const { return overLimit_; }

    // The length of the whole member header at the start of data, which
    // holds size bytes; false (logged) when it is invalid or cut off.
    static bool HeaderLength(const uint8_t* data, unsigned size, unsigned& length, LogBase& log);

private:
    // Reads a member header piece by piece without holding its variable
    // fields (extra data, name, comment).
    class HeaderReader {
    public:
        enum class Result { Done, More, Invalid };
        // Moves p past the header bytes in [p, end).
        Result Read(const uint8_t*& p, const uint8_t* end, LogBase& log);

    private:
        enum class Field { Fixed, ExtraLength, Extra, Name, Comment, HeaderCrc, Done };
        Result CheckFixed(LogBase& log);
        void NextField();

        uint8_t fixed_[kFixedHeader] = {};
        unsigned have_ = 0;          // bytes of the current counted field read so far
        unsigned extraLength_ = 0;
        Field field_ = Field::Fixed;
    };

    enum class Step { Header, Data, Trailer, NextMember, Ignored, Failed };

    // Hands [p, end) to the step in progress and those after it.
    bool Process(const uint8_t* p, const uint8_t* end, LogBase& log);
    const uint8_t* ReadHeader(const uint8_t* p, const uint8_t* end, LogBase& log);
    const uint8_t* ReadData(const uint8_t* p, const uint8_t* end, LogBase& log);
    const uint8_t* Inflate(const uint8_t* p, const uint8_t* end, LogBase& log);
    const uint8_t* SkipTrailer(const uint8_t* p, const uint8_t* end);
    const uint8_t* LookForMember(const uint8_t* p, const uint8_t* end, LogBase& log);
    bool StartInflater(LogBase& log);
    bool Emit(unsigned length);
    void LogZlibError(int rc, LogBase& log);
    bool Fail();

    struct Zlib;   // the inflater's state, zlib's own type

    BodySink& out_;
    std::unique_ptr<Zlib> zlib_;
    HeaderReader header_;
    Step step_ = Step::Header;
    // The first bytes of a member's data are held until there are more than
    // a trailer's worth: a member may have no deflate data at all.
    uint8_t start_[kTrailer + 1] = {};
    unsigned startHave_ = 0;
    bool inflating_ = false;      // the current member's data goes to zlib
    unsigned trailerLeft_ = 0;
    uint8_t next_[kFixedHeader] = {};   // what follows a trailer, until it shows a member or not
    unsigned nextHave_ = 0;
    uint64_t ignored_ = 0;
    uint64_t produced_ = 0;
    uint64_t maxOutput_;
    bool overLimit_ = false;
    std::unique_ptr<uint8_t[]> block_;   // one output block
};

} // namespace plentor
