#include "http/ResponseFraming.h"

#include "base/LogBase.h"
#include "http/BufferedReader.h"
#include "http/Gzip.h"
#include "http/HttpControl.h"
#include "http/HttpResponseHeader.h"
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
    StringBuffer value;
    header.GetField("Connection", value);
    value.Trim();
    return value.EqualsNoCase("close");
}

bool ResponseFraming::ExceedsMaxContent(const DataBuffer& body) const
{
    if (control_.maxContentLength <= 0 || body.Size() <= static_cast<unsigned>(control_.maxContentLength))
        return false;
    log_.LogError("Content length more than the maximum allowed...");
    log_.LogDataLong("maxContentLength", control_.maxContentLength);
    return true;
}

void ResponseFraming::GunzipIfCompressed(DataBuffer& body, LogBase& log)
{
    if (body.Size() < kMinGzipBytes || body.Data()[0] != 0x1F || body.Data()[1] != 0x8B) return;
    DataBuffer inflated;
    if (Gzip::Gunzip(body, inflated, log)) body.TakeFrom(inflated);
}

void ResponseFraming::LogOverLimit(const char* message) const
{
    log_.LogError(message);
    log_.LogDataLong("maxContentLength", control_.maxContentLength);
}

bool ResponseFraming::Fail(const char* message)
{
    log_.LogError(message);
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

    StringBuffer encoding;
    header.GetField("Transfer-Encoding", encoding);
    encoding.Trim();
    if (encoding.EqualsNoCase("chunked")) return BodyFraming::Chunked;
    if (header.ContentLengthInvalid()) return BodyFraming::InvalidLength;
    return header.HasContentLength() ? BodyFraming::Length : BodyFraming::UntilClose;
}

bool ResponseFraming::ReadBody(const HttpResponseHeader& header, DataBuffer& body)
{
    switch (FramingOf(header)) {
    case BodyFraming::None:
        return true;
    case BodyFraming::Chunked:
        return ReadChunked(body);
    case BodyFraming::Length:
        return ReadLengthFramed(header.GetContentLength(), body);
    case BodyFraming::UntilClose:
        return ReadUntilClosed(body);
    case BodyFraming::InvalidLength:
        break;
    }
    // Whatever follows cannot be told apart from the next response.
    return Fail("Invalid Content-Length");
}

bool ResponseFraming::ReadLengthFramed(int length, DataBuffer& body)
{
    if (length <= 0) return true;
    if (control_.maxContentLength > 0 && control_.maxContentLength < length) {
        LogOverLimit("Content length more than the maximum allowed.");
        connection_.Close();
        return false;
    }
    if (!reader_.ReceiveN(static_cast<unsigned>(length), body, log_, nullptr)) {
        connection_.Close();
        return false;
    }
    return true;
}

bool ResponseFraming::ReadUntilClosed(DataBuffer& body)
{
    connection_.SetReadWaitMs(kUntilCloseWaitMs);
    bool overLimit = false;
    reader_.ReceiveUntilClosed(body,
                               control_.maxContentLength > 0 ? static_cast<unsigned>(control_.maxContentLength) : 0,
                               overLimit, log_, nullptr);
    connection_.SetReadWaitMs(static_cast<uint32_t>(std::max(control_.readTimeoutSec, 0)) * 2 * kMsPerSec);
    // The body ended by the peer closing or by silence; either way this
    // connection carries nothing more. Cut off by a time limit, it is not
    // whole.
    const bool timeUp = reader_.LimitReached();
    connection_.Close();
    if (timeUp) {
        body.Clear();
        return false;
    }
    if (overLimit) {
        LogOverLimit("Content length more than the maximum allowed.");
        body.Clear();
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

bool ResponseFraming::ReadChunked(DataBuffer& body)
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
        if (control_.maxContentLength > 0 &&
            body.Size() + size > static_cast<uint64_t>(control_.maxContentLength)) {
            connection_.Close();
            body.Clear();
            LogOverLimit("Chunked response is too large.");
            return false;
        }
        if (!reader_.ReceiveN(static_cast<unsigned>(size), body, log_, nullptr))
            return Fail("Failed to get response data (b)");
        DataBuffer end;
        if (!reader_.ReceiveN(2, end, log_, nullptr)) return Fail("Failed to get response data (c)");
    }
}

} // namespace plentor
