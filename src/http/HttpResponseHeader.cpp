#include "http/HttpResponseHeader.h"

#include "base/LogBase.h"
#include "text/AsciiChars.h"
#include "text/DataBuffer.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace plentor {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The leading decimal digits of text; false when there are none. Values
// beyond INT_MAX clamp to it and set clamped.
bool ReadNumber(std::string_view text, int& value, bool& clamped)
{
    size_t i = 0;
    int64_t n = 0;
    clamped = false;
    for (; i < text.size() && IsDigit(text[i]); ++i) {
        n = n * 10 + (text[i] - '0');
        if (n > INT_MAX) {
            n = INT_MAX;
            clamped = true;
        }
    }
    value = static_cast<int>(n);
    return i > 0;
}

} // namespace

bool HttpResponseHeader::Parse(const DataBuffer& bytes, LogBase& log)
{
    return Parse(reinterpret_cast<const char*>(bytes.Data()), bytes.Size(), log);
}

bool HttpResponseHeader::Parse(const char* bytes, unsigned n, LogBase& log)
{
    Clear();
    if (!bytes)
        return true;
    const void* nul = std::memchr(bytes, 0, n);
    std::string_view text(bytes, nul ? static_cast<size_t>(static_cast<const char*>(nul) - bytes) : n);

    // The status line ends at the first CR (or bare LF).
    size_t lineEnd = std::min(text.find_first_of("\r\n"), text.size());
    statusLine_.AppendBytes(text.data(), static_cast<int>(lineEnd));
    if (!ParseStatusLine())
        return true;

    size_t rest = text.find_first_not_of("\t\n\r ", lineEnd);
    if (rest == std::string_view::npos)
        return true;
    bool ok = fields_.Parse(text.data() + rest, static_cast<unsigned>(text.size() - rest), log);
    ReadContentLength(log);
    return ok;
}

bool HttpResponseHeader::ParseStatusLine()
{
    std::string_view line(statusLine_.GetString(), static_cast<size_t>(statusLine_.GetLength()));
    if (!line.starts_with("HTTP"))
        return false;
    size_t space = line.find(' ');
    if (space == std::string_view::npos)
        return false;
    std::string_view code = line.substr(space + 1);
    int value = 0;
    bool clamped = false;
    if (!ReadNumber(code, value, clamped))
        return false;
    statusCode_ = value;
    // The reason phrase may be missing ("HTTP/1.1 200"): the fields still count.
    size_t reason = code.find(' ');
    if (reason != std::string_view::npos) {
        statusText_.AppendBytes(code.data() + reason + 1, static_cast<int>(code.size() - reason - 1));
        statusText_.Trim();
    }
    return true;
}

void HttpResponseHeader::ReadContentLength(LogBase& log)
{
    std::string_view value;
    hasContentLength_ = fields_.ViewField("Content-Length", value);
    if (!hasContentLength_)
        return;
    const std::string_view text = AsciiChars::Trim(value);
    bool clamped = false;
    contentLengthInvalid_ = !ReadNumber(text, contentLength_, clamped) ||
                            text.find_first_not_of("0123456789") != std::string_view::npos;
    if (contentLengthInvalid_)
        contentLength_ = 0;
    if (contentLengthInvalid_ || clamped) {
        log.LogError(contentLengthInvalid_ ? "Invalid Content-Length" : "Content-Length too large");
        log.LogData("contentLength", StringBuffer(text.data(), static_cast<int>(text.size())).GetString());
    }
}

void HttpResponseHeader::Clear()
{
    statusCode_ = 0;
    statusText_.Clear();
    statusLine_.Clear();
    fields_.Clear();
    contentLength_ = 0;
    hasContentLength_ = false;
    contentLengthInvalid_ = false;
}

void HttpResponseHeader::SetHeaderlessOk()
{
    Clear();
    statusCode_ = 200;
}

void HttpResponseHeader::CopyFrom(const HttpResponseHeader& other)
{
    if (this == &other)
        return;
    statusCode_ = other.statusCode_;
    statusText_ = other.statusText_;
    statusLine_ = other.statusLine_;
    fields_.CopyFrom(other.fields_);
    contentLength_ = other.contentLength_;
    hasContentLength_ = other.hasContentLength_;
    contentLengthInvalid_ = other.contentLengthInvalid_;
}

void HttpResponseHeader::WriteWithStatusLine(StringBuffer& out, int codePage) const
{
    if (!statusLine_.IsEmpty()) {
        out.AppendBuffer(statusLine_);
    } else {
        // A header made by SetHeaderlessOk has no line of its own; write one
        // that parses back to the same status.
        out.Append("HTTP/1.1 ");
        out.AppendInt(statusCode_);
        out.AppendChar(' ');
        out.AppendBuffer(statusText_);
    }
    out.Append("\r\n");
    WriteFields(out, codePage);
}

} // namespace plentor
