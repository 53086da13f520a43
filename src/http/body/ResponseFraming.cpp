#include "http/body/ResponseFraming.h"

#include "base/LogBase.h"
#include "http/HttpControl.h"
#include "http/HttpResponseHeader.h"
#include "http/body/BodySink.h"
#include "http/body/Gzip.h"
#include "http/net/BufferedReader.h"
#include "text/AsciiChars.h"
#include "text/DataBuffer.h"
#include "text/HexDigits.h"
#include "text/StringBuffer.h"

#include <algorithm>

namespace plentor {

namespace {

constexpr uint32_t kMsPerSec = 1000;

} // namespace

bool ResponseFraming::ReadHeader(DataBuffer& raw, bool& complete)
{
    complete = reader_.ReadUntilBlankLine(raw, log_, nullptr);
    return complete || !raw.IsEmpty();
}

bool ResponseFraming::IsHeaderlessHtml(const DataBuffer& raw)
{
    StringBuffer start(raw.Data(), static_cast<int>(std::min(raw.Size(), kSniffBytes)));
    return start.BeginsWith("<!---") || start.ContainsNoCase("<html");
}

bool ResponseFraming::IsClose(const HttpResponseHeader& header)
{
    std::string_view value;
    return header.ViewField("Connection", value) && AsciiChars::EqualsNoCase(AsciiChars::Trim(value), "close");
}

bool ResponseFraming::ExceedsMaxContent(const DataBuffer& body) const
{
    if (control_.maxContentLength <= 0 || body.Size() <= static_cast<unsigned>(control_.maxContentLength))
        return false;
    log_.LogError("Content length more than the maximum allowed...");
    log_.LogDataLong("maxContentLength", control_.maxContentLength);
    return true;
}

bool ResponseFraming::GunzipIfCompressed(DataBuffer& body, int maxContentLength, LogBase& log)
{
    if (body.Size() < kMinGzipBytes || body.Data()[0] != 0x1F || body.Data()[1] != 0x8B) return true;
    const bool limited = maxContentLength > 0 && static_cast<unsigned>(maxContentLength) < Gzip::kMaxInflatedSize;
    const unsigned maxOutput = limited ? static_cast<unsigned>(maxContentLength) : Gzip::kMaxInflatedSize;
    DataBuffer inflated;
    switch (Gzip::GunzipUpTo(body, maxOutput, inflated, log)) {
    case Gzip::Outcome::Inflated:
        body.TakeFrom(inflated);
        return true;
    case Gzip::Outcome::OverLimit:
        if (!limited) break;
        log.LogError("Content length more than the maximum allowed...");
        log.LogDataLong("maxContentLength", maxContentLength);
        body.TakeFrom(inflated);   // frees the compressed bytes; inflated is empty
        return false;
    case Gzip::Outcome::Invalid:
        break;
    }
    return true;
}

void ResponseFraming::LogOverLimit(const char* message) const
{
    log_.LogError(message);
    log_.LogDataLong("maxContentLength", control_.maxContentLength);
}

bool ResponseFraming::Fail(const char* message)
{
    // A sink that refused has said why; the reading did not fail.
    if (!sinkStopped_) log_.LogError(message);
    connection_.Close();
    return false;
}

ResponseFraming::BodyFraming ResponseFraming::FramingOf(const HttpResponseHeader& header)
{
    const int status = header.GetStatusCode();
    // 204 carries no body whatever length it states.
    const bool framed = (status >= 200 && status <= 299 && status != 204) || status == 301 || status == 302 ||
                        status == 303 || status == 307;
    if (!framed && status < 400) return BodyFraming::None;
    // An error answer that states no length still carries a body in some
    // framing; leaving it unread would corrupt the next kept-alive exchange.
    if (status >= 400 && header.HasContentLength() && header.GetContentLength() == 0) return BodyFraming::None;

    std::string_view encoding;
    const bool chunked = header.ViewField("Transfer-Encoding", encoding) &&
                         AsciiChars::EqualsNoCase(AsciiChars::Trim(encoding), "chunked");
    if (chunked) return BodyFraming::Chunked;
    if (header.ContentLengthInvalid()) return BodyFraming::InvalidLength;
    return header.HasContentLength() ? BodyFraming::Length : BodyFraming::UntilClose;
}

bool ResponseFraming::ReadBody(const HttpResponseHeader& header, DataBuffer& body)
{
    body_ = &body;
    sink_ = nullptr;
    return ReadFramed(header);
}

bool ResponseFraming::StreamBody(const HttpResponseHeader& header, BodySink& sink)
{
    body_ = nullptr;
    sink_ = &sink;
    streamed_ = 0;
    sinkStopped_ = false;
    if (!block_) block_ = std::make_unique<uint8_t[]>(BufferedReader::kReceiveBlock);
    return ReadFramed(header);
}

bool ResponseFraming::ReadFramed(const HttpResponseHeader& header)
{
    switch (FramingOf(header)) {
    case BodyFraming::None:
        return true;
    case BodyFraming::Chunked:
        return ReadChunked();
    case BodyFraming::Length:
        return ReadLengthFramed(header.GetContentLength());
    case BodyFraming::UntilClose:
        return ReadUntilClosed();
    case BodyFraming::InvalidLength:
        break;
    }
    // Whatever follows cannot be told apart from the next response.
    return Fail("Invalid Content-Length");
}

bool ResponseFraming::ReadLengthFramed(int length)
{
    if (length <= 0) return true;
    if (control_.maxContentLength > 0 && control_.maxContentLength < length) {
        LogOverLimit("Content length more than the maximum allowed.");
        connection_.Close();
        return false;
    }
    if (!Take(static_cast<unsigned>(length))) {
        connection_.Close();
        return false;
    }
    return true;
}

bool ResponseFraming::ReadUntilClosed()
{
    connection_.SetReadWaitMs(kUntilCloseWaitMs);
    bool overLimit = false;
    const bool passed =
        TakeUntilClosed(control_.maxContentLength > 0 ? static_cast<unsigned>(control_.maxContentLength) : 0,
                        overLimit);
    connection_.SetReadWaitMs(static_cast<uint32_t>(std::max(control_.readTimeoutSec, 0)) * 2 * kMsPerSec);
    // The body ended by the peer closing or by silence; either way this
    // connection carries nothing more. Cut off by a time limit, it is not
    // whole.
    const bool timeUp = reader_.LimitReached();
    connection_.Close();
    if (!passed) return false;
    if (timeUp) {
        DropBody();
        return false;
    }
    if (overLimit) {
        LogOverLimit("Content length more than the maximum allowed.");
        DropBody();
        return false;
    }
    return true;
}

bool ResponseFraming::ReadChunkSize(uint64_t& size, unsigned& digits)
{
    DataBuffer line;
    if (!reader_.ReadCrlfLine(line, log_, nullptr)) return Fail("Failed to get response data (a)");
    size = 0;
    for (digits = 0; digits < line.Size(); ++digits) {
        const int v = HexDigits::Value(static_cast<char>(line.Data()[digits]));
        if (v < 0) break;
        size = size * 16 + static_cast<unsigned>(v);
        if (size > kMaxChunkSize) return Fail("Invalid chunk size");
    }
    return true;
}

void ResponseFraming::SkipTrailer()
{
    for (;;) {
        DataBuffer trailer;
        if (!reader_.ReadCrlfLine(trailer, log_, nullptr)) {
            connection_.Close();
            return;
        }
        StringBuffer text(trailer.Data(), static_cast<int>(trailer.Size()));
        text.Trim();
        if (text.IsEmpty()) return;
    }
}

bool ResponseFraming::ReadChunked()
{
    for (;;) {
        uint64_t size = 0;
        unsigned digits = 0;
        if (!ReadChunkSize(size, digits)) return false;
        if (digits == 0) return true;
        if (size == 0) {
            SkipTrailer();
            return true;
        }
        if (control_.maxContentLength > 0 && TakenSize() + size > static_cast<uint64_t>(control_.maxContentLength)) {
            connection_.Close();
            DropBody();
            LogOverLimit("Chunked response is too large.");
            return false;
        }
        if (!Take(static_cast<unsigned>(size))) return Fail("Failed to get response data (b)");
        DataBuffer end;
        if (!reader_.ReceiveN(2, end, log_, nullptr)) return Fail("Failed to get response data (c)");
    }
}

bool ResponseFraming::Take(unsigned length)
{
    if (body_ != nullptr) return reader_.ReceiveN(length, *body_, log_, nullptr);
    while (length > 0) {
        unsigned got = std::min(length, BufferedReader::kReceiveBlock);
        bool timedOut = false;
        if (!reader_.ReceiveBytes(block_.get(), got, timedOut, log_, nullptr) || !Pass(block_.get(), got))
            return false;
        length -= got;
    }
    return true;
}

bool ResponseFraming::TakeUntilClosed(unsigned limit, bool& overLimit)
{
    if (body_ != nullptr) {
        reader_.ReceiveUntilClosed(*body_, limit, overLimit, log_, nullptr);
        return true;
    }
    overLimit = false;
    for (;;) {
        unsigned got = BufferedReader::kReceiveBlock;
        bool timedOut = false;
        if (!reader_.ReceiveBytes(block_.get(), got, timedOut, log_, nullptr)) return true;
        // The block that would pass the limit is not handed on.
        if (limit > 0 && streamed_ + got > limit) {
            overLimit = true;
            return true;
        }
        if (!Pass(block_.get(), got)) return false;
    }
}

bool ResponseFraming::Pass(const uint8_t* data, unsigned length)
{
    streamed_ += length;
    sinkStopped_ = !sink_->Write(data, length);
    return !sinkStopped_;
}

uint64_t ResponseFraming::TakenSize() const { return body_ != nullptr ? body_->Size() : streamed_; }

void ResponseFraming::DropBody()
{
    if (body_ != nullptr) body_->Clear();
}

} // namespace plentor
