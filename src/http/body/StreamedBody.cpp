#include "http/body/StreamedBody.h"

#include "base/LogBase.h"
#include "http/body/ResponseFraming.h"
#include "http/net/BufferedReader.h"

#include <algorithm>

namespace plentor {

namespace {

constexpr unsigned char kId1 = 0x1F;
constexpr unsigned char kId2 = 0x8B;
// Raw gzip bytes are kept for a fall-back to the raw body up to this much:
// one block as it comes off the wire.
constexpr unsigned kMaxHeldBytes = BufferedReader::kReceiveBlock;

} // namespace

StreamedBody::StreamedBody(BodySink& out, int maxContentLength, LogBase& log)
    : out_(out), maxContentLength_(maxContentLength > 0 ? static_cast<unsigned>(maxContentLength) : 0), log_(log)
{
}

bool StreamedBody::Write(const unsigned char* data, unsigned length)
{
    if (mode_ == Mode::Sniffing && !Sniff(data, length)) return Stop();
    switch (mode_) {
    case Mode::Raw:
        return Deliver(data, length) || Stop();
    case Mode::Gzip:
        return Inflate(data, length);
    case Mode::Sniffing:
        return true;
    case Mode::Stopped:
        break;
    }
    return false;
}

bool StreamedBody::Finish()
{
    switch (mode_) {
    case Mode::Sniffing:   // too short for gzip: the bytes as they came
        mode_ = Mode::Raw;
        return Deliver(held_.Data(), held_.Size()) || Stop();
    case Mode::Gzip:
        if (gzip_->Finish(log_)) return true;
        return CanFallBack() ? FallBackToRaw() : Stop();
    case Mode::Raw:
        return true;
    case Mode::Stopped:
        break;
    }
    return false;
}

// Takes the first bytes until they show whether the body is gzip; false
// when delivering them failed.
bool StreamedBody::Sniff(const unsigned char*& data, unsigned& length)
{
    const unsigned take = std::min(length, ResponseFraming::kMinGzipBytes - held_.Size());
    held_.AppendBytes(data, take);
    data += take;
    length -= take;
    const unsigned char* start = held_.Data();
    if (held_.IsEmpty()) return true;
    if (start[0] != kId1 || (held_.Size() >= 2 && start[1] != kId2)) {
        mode_ = Mode::Raw;
        const bool delivered = Deliver(start, held_.Size());
        held_.Clear();
        return delivered;
    }
    if (held_.Size() < ResponseFraming::kMinGzipBytes) return true;
    mode_ = Mode::Gzip;
    gzip_ = std::make_unique<GzipStream>(inflated_);
    return Feed(held_.Data(), held_.Size());
}

bool StreamedBody::Inflate(const unsigned char* data, unsigned length)
{
    if (holding_ && held_.Size() + length <= kMaxHeldBytes) {
        held_.AppendBytes(data, length);
    } else if (holding_) {
        holding_ = false;
        held_.Clear();
    }
    return Feed(data, length);
}

bool StreamedBody::Feed(const unsigned char* data, unsigned length)
{
    if (gzip_->Write(data, length, log_)) {
        if (holding_ && gzip_->Produced() > 0) {
            holding_ = false;
            held_.Clear();
        }
        return true;
    }
    return CanFallBack() ? FallBackToRaw() : Stop();
}

// Only while every raw byte is held and nothing inflated has gone out (the
// failing write may have sent some before it failed).
bool StreamedBody::CanFallBack() const { return holding_ && gzip_->Produced() == 0; }

// The data only looked like gzip and nothing has gone out: it is delivered
// as it came, and so is the rest of the body.
bool StreamedBody::FallBackToRaw()
{
    mode_ = Mode::Raw;
    holding_ = false;
    gzip_.reset();
    const bool delivered = Deliver(held_.Data(), held_.Size());
    held_.Clear();
    return delivered || Stop();
}

bool StreamedBody::Deliver(const unsigned char* data, unsigned length)
{
    if (length == 0) return true;
    if (maxContentLength_ > 0 && delivered_ + length > maxContentLength_) {
        log_.LogError("Content length more than the maximum allowed...");
        log_.LogDataLong("maxContentLength", static_cast<long>(maxContentLength_));
        return false;
    }
    delivered_ += length;
    if (out_.Write(data, length)) return true;
    LogRefusal(log_);
    return false;
}

bool StreamedBody::WriteHeld(BodySink& out, const DataBuffer& body, LogBase& log)
{
    if (body.IsEmpty() || out.Write(body.Data(), body.Size())) return true;
    LogRefusal(log);
    return false;
}

void StreamedBody::LogRefusal(LogBase& log) { log.LogError("Transfer stopped: the body's receiver refused more data"); }

bool StreamedBody::Stop()
{
    mode_ = Mode::Stopped;
    return false;
}

} // namespace plentor
