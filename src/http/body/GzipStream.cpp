#include "http/body/GzipStream.h"

#include "base/LogBase.h"
#include "http/body/BodySink.h"
#include "http/body/Gzip.h"

#include <algorithm>
#include <cstring>

#define ZLIB_CONST
#include <zlib.h>

namespace plentor {

namespace {

constexpr uint8_t kId1 = 0x1F;
constexpr uint8_t kId2 = 0x8B;
constexpr uint8_t kMethodDeflate = 8;
constexpr unsigned kFlagsAt = 3;
constexpr uint8_t kFlagHeaderCrc = 0x02;
constexpr uint8_t kFlagExtra = 0x04;
constexpr uint8_t kFlagName = 0x08;
constexpr uint8_t kFlagComment = 0x10;
constexpr unsigned kExtraLengthBytes = 2;
constexpr unsigned kHeaderCrcBytes = 2;
// Inflated data is handed to the sink in blocks of this size.
constexpr unsigned kOutputBlock = 32 * 1024;
// Window bits for raw deflate data, without zlib or gzip wrapper.
constexpr int kRawDeflateWindowBits = -MAX_WBITS;

void LogOverrun(LogBase& log) { log.LogError("Buffer would have been overrun"); }

void LogNoTrailer(LogBase& log) { log.LogError("Not enough data for trailing CRC32 or ISIZE"); }

unsigned Available(const uint8_t* p, const uint8_t* end) { return static_cast<unsigned>(end - p); }

} // namespace

struct GzipStream::Zlib {
    z_stream stream {};
    bool ready = false;
};

// ---------------------------------------------------------------- member header

GzipStream::HeaderReader::Result GzipStream::HeaderReader::Read(const uint8_t*& p, const uint8_t* end,
                                                                LogBase& log)
{
    while (field_ != Field::Done) {
        if (p == end) return Result::More;
        switch (field_) {
        case Field::Fixed: {
            const unsigned n = std::min(kFixedHeader - have_, Available(p, end));
            std::memcpy(fixed_ + have_, p, n);
            p += n;
            have_ += n;
            if (have_ < kFixedHeader) return Result::More;
            if (CheckFixed(log) == Result::Invalid) return Result::Invalid;
            NextField();
            break;
        }
        case Field::ExtraLength:
            extraLength_ |= static_cast<unsigned>(*p++) << (8 * have_);
            if (++have_ < kExtraLengthBytes) break;
            have_ = 0;
            field_ = Field::Extra;
            if (extraLength_ == 0) NextField();
            break;
        case Field::Extra:
        case Field::HeaderCrc: {
            const unsigned length = field_ == Field::Extra ? extraLength_ : kHeaderCrcBytes;
            const unsigned n = std::min(length - have_, Available(p, end));
            p += n;
            have_ += n;
            if (have_ == length) NextField();
            break;
        }
        default: {   // a zero-terminated name or comment
            const void* zero = std::memchr(p, 0, Available(p, end));
            if (zero == nullptr) {
                p = end;
                return Result::More;
            }
            p = static_cast<const uint8_t*>(zero) + 1;
            NextField();
            break;
        }
        }
    }
    return Result::Done;
}

GzipStream::HeaderReader::Result GzipStream::HeaderReader::CheckFixed(LogBase& log)
{
    if (fixed_[0] != kId1 || fixed_[1] != kId2) {
        log.LogError("Invalid GZip ID");
        return Result::Invalid;
    }
    if (fixed_[2] != kMethodDeflate) {
        log.LogError("Invalid GZip compression method");
        return Result::Invalid;
    }
    return Result::Done;
}

// The optional fields come in a fixed order; those the flags leave out are passed over.
void GzipStream::HeaderReader::NextField()
{
    const uint8_t flags = fixed_[kFlagsAt];
    have_ = 0;
    switch (field_) {
    case Field::Fixed:
        field_ = Field::ExtraLength;
        if (flags & kFlagExtra) return;
        [[fallthrough]];
    case Field::ExtraLength:
    case Field::Extra:
        field_ = Field::Name;
        if (flags & kFlagName) return;
        [[fallthrough]];
    case Field::Name:
        field_ = Field::Comment;
        if (flags & kFlagComment) return;
        [[fallthrough]];
    case Field::Comment:
        field_ = Field::HeaderCrc;
        if (flags & kFlagHeaderCrc) return;
        [[fallthrough]];
    default:
        field_ = Field::Done;
    }
}

bool GzipStream::HeaderLength(const uint8_t* data, unsigned size, unsigned& length, LogBase& log)
{
    HeaderReader reader;
    const uint8_t* p = data;
    const HeaderReader::Result result = reader.Read(p, data + size, log);
    if (result == HeaderReader::Result::More) LogOverrun(log);
    length = static_cast<unsigned>(p - data);
    return result == HeaderReader::Result::Done;
}

// ---------------------------------------------------------------- stream

GzipStream::GzipStream(BodySink& out, uint64_t maxOutput)
    : out_(out), zlib_(std::make_unique<Zlib>()), maxOutput_(std::min<uint64_t>(maxOutput, Gzip::kMaxInflatedSize))
{
}

GzipStream::~GzipStream()
{
    if (zlib_->ready) inflateEnd(&zlib_->stream);
}

bool GzipStream::Write(const uint8_t* data, unsigned length, LogBase& log)
{
    if (step_ == Step::Failed) return false;
    if (!block_) block_ = std::make_unique<uint8_t[]>(kOutputBlock);
    return Process(data, data + length, log);
}

bool GzipStream::Finish(LogBase& log)
{
    switch (step_) {
    case Step::Failed:
        return false;
    case Step::Header:
        LogOverrun(log);
        return Fail();
    case Step::Data:
        if (inflating_) {
            log.LogError("Compressed data is truncated");
            return Fail();
        }
        if (startHave_ < kTrailer) {
            LogNoTrailer(log);
            return Fail();
        }
        return true;   // exactly a trailer: a member without deflate data adds nothing
    case Step::Trailer:
        LogNoTrailer(log);
        return Fail();
    case Step::NextMember:
        ignored_ += nextHave_;
        break;
    case Step::Ignored:
        break;
    }
    if (ignored_ > 0) {
        log.LogInfo("Ignored data after the last gzip member");
        log.LogDataLong("ignoredBytes", static_cast<long>(ignored_));
    }
    return true;
}

bool GzipStream::Fail()
{
    step_ = Step::Failed;
    return false;
}

bool GzipStream::Process(const uint8_t* p, const uint8_t* end, LogBase& log)
{
    while (p != end && step_ != Step::Failed) {
        switch (step_) {
        case Step::Header:
            p = ReadHeader(p, end, log);
            break;
        case Step::Data:
            p = ReadData(p, end, log);
            break;
        case Step::Trailer:
            p = SkipTrailer(p, end);
            break;
        case Step::NextMember:
            p = LookForMember(p, end, log);
            break;
        default:
            ignored_ += Available(p, end);
            p = end;
            break;
        }
    }
    return step_ != Step::Failed;
}

const uint8_t* GzipStream::ReadHeader(const uint8_t* p, const uint8_t* end, LogBase& log)
{
    switch (header_.Read(p, end, log)) {
    case HeaderReader::Result::Done:
        step_ = Step::Data;
        startHave_ = 0;
        inflating_ = false;
        break;
    case HeaderReader::Result::Invalid:
        Fail();
        break;
    case HeaderReader::Result::More:
        break;
    }
    return p;
}

// The first bytes of a member's data wait until they are more than a
// trailer; then they go to zlib, and what follows goes there directly.
const uint8_t* GzipStream::ReadData(const uint8_t* p, const uint8_t* end, LogBase& log)
{
    if (inflating_) return Inflate(p, end, log);
    const unsigned n = std::min<unsigned>(sizeof start_ - startHave_, Available(p, end));
    std::memcpy(start_ + startHave_, p, n);
    startHave_ += n;
    p += n;
    if (startHave_ < sizeof start_) return p;
    if (!StartInflater(log)) return end;
    inflating_ = true;
    // A deflate stream takes at least two bytes, so the rest of the held
    // bytes is at most a trailer: no next member starts among them.
    uint8_t held[sizeof start_];
    std::memcpy(held, start_, sizeof held);
    Process(held, held + sizeof held, log);
    return p;
}

bool GzipStream::StartInflater(LogBase& log)
{
    if (zlib_->ready) {
        inflateReset(&zlib_->stream);
        return true;
    }
    const int rc = inflateInit2(&zlib_->stream, kRawDeflateWindowBits);
    zlib_->ready = rc == Z_OK;
    if (!zlib_->ready) {
        LogZlibError(rc, log);
        Fail();
    }
    return zlib_->ready;
}

const uint8_t* GzipStream::Inflate(const uint8_t* p, const uint8_t* end, LogBase& log)
{
    z_stream& zs = zlib_->stream;
    zs.next_in = p;
    zs.avail_in = Available(p, end);
    for (;;) {
        // Room for one byte past the limit tells data that ends at the limit
        // from data that goes beyond it; that byte is never emitted.
        const auto room = static_cast<unsigned>(std::min<uint64_t>(kOutputBlock, maxOutput_ + 1 - produced_));
        zs.next_out = block_.get();
        zs.avail_out = room;
        const int rc = inflate(&zs, Z_NO_FLUSH);
        const unsigned made = room - zs.avail_out;
        if (produced_ + made > maxOutput_) {
            log.LogError("Inflated data exceeds the size limit");
            log.LogDataLong("maxInflatedSize", static_cast<int64_t>(maxOutput_));
            overLimit_ = true;
            Fail();
            return end;
        }
        if (!Emit(made)) return end;
        if (rc == Z_STREAM_END) {
            step_ = Step::Trailer;
            trailerLeft_ = kTrailer;
            return end - zs.avail_in;
        }
        if (rc == Z_BUF_ERROR && zs.avail_in == 0) return end;   // wants more input
        if (rc != Z_OK) {
            LogZlibError(rc, log);
            Fail();
            return end;
        }
        if (zs.avail_in == 0 && zs.avail_out > 0) return end;
    }
}

bool GzipStream::Emit(unsigned length)
{
    if (length == 0) return true;
    produced_ += length;
    if (out_.Write(block_.get(), length)) return true;
    return Fail();
}

const uint8_t* GzipStream::SkipTrailer(const uint8_t* p, const uint8_t* end)
{
    const unsigned n = std::min(trailerLeft_, Available(p, end));
    trailerLeft_ -= n;
    if (trailerLeft_ == 0) {
        step_ = Step::NextMember;
        nextHave_ = 0;
    }
    return p + n;
}

// After a trailer: another member when the next bytes are a whole fixed
// header with the gzip ID; anything else ends the data.
const uint8_t* GzipStream::LookForMember(const uint8_t* p, const uint8_t* end, LogBase& log)
{
    const unsigned n = std::min(kFixedHeader - nextHave_, Available(p, end));
    std::memcpy(next_ + nextHave_, p, n);
    nextHave_ += n;
    p += n;
    if (next_[0] != kId1 || (nextHave_ >= 2 && next_[1] != kId2)) {
        ignored_ += nextHave_;
        step_ = Step::Ignored;
        return p;
    }
    if (nextHave_ < kFixedHeader) return p;
    step_ = Step::Header;
    header_ = HeaderReader();
    uint8_t held[kFixedHeader];
    std::memcpy(held, next_, sizeof held);
    Process(held, held + sizeof held, log);
    return p;
}

void GzipStream::LogZlibError(int rc, LogBase& log)
{
    log.LogError("Failed to inflate gzip data");
    log.LogData("zlibError", zlib_->stream.msg ? zlib_->stream.msg : zError(rc));
}

} // namespace plentor
