#pragma once

#include "http/mime/MimeHeader.h"
#include "text/StringBuffer.h"

#include <string_view>

namespace plentor {

class DataBuffer;

// The header of an HTTP response: status line, fields and content length.
class HttpResponseHeader : public ZentrelObject {
public:
    // Parses a response header; text after a zero byte is ignored. A text
    // that does not start with "HTTP" and a status number leaves status 0.
    // False only when the fields were cut by the header limits (logged).
    bool Parse(const char* bytes, unsigned n, LogBase& log);
    bool Parse(const DataBuffer& bytes, LogBase& log);

    // Status 0, texts empty, no fields, no content length.
    void Clear();
    // Status 200 with no reason phrase and no fields, for a reply that came
    // without a status line.
    void SetHeaderlessOk();
    void CopyFrom(const HttpResponseHeader& other);

    // Appends the "charset" parameter of Content-Type; false when none.
    bool GetCharset(StringBuffer& out) const { return fields_.GetFieldParam("Content-Type", "charset", out); }

    bool GetField(const char* name, StringBuffer& out) const { return fields_.GetField(name, out); }
    bool HasField(const char* name) const { return fields_.HasField(name); }
    bool ViewField(const char* name, std::string_view& value) const { return fields_.ViewField(name, value); }
    bool GetFieldParam(const char* field, const char* param, StringBuffer& out) const
    {
        return fields_.GetFieldParam(field, param, out);
    }
    void CollectResponseCookies(std::vector<std::unique_ptr<Cookie>>& list, const char* defaultDomain,
                                LogBase& log) const
    {
        fields_.CollectResponseCookies(list, defaultDomain, log);
    }

    // The fields as text (MimeHeader::Write); the second form starts with the
    // status line and CR LF, so that the text parses back (the cache stores it).
    void WriteFields(StringBuffer& out, int codePage) const { fields_.Write(out, nullptr, codePage); }
    void WriteWithStatusLine(StringBuffer& out, int codePage) const;

    int GetStatusCode() const { return statusCode_; }
    const StringBuffer& GetStatusText() const { return statusText_; }
    const StringBuffer& GetStatusLine() const { return statusLine_; }
    const MimeHeader& GetFields() const { return fields_; }
    MimeHeader& GetFields() { return fields_; }
    int GetContentLength() const { return contentLength_; }
    bool HasContentLength() const { return hasContentLength_; }
    // A Content-Length field whose value is no decimal number ("-1", "12x"):
    // the message's length cannot be known.
    bool ContentLengthInvalid() const { return contentLengthInvalid_; }

private:
    // Reads code and reason phrase; false when the line is no status line.
    bool ParseStatusLine();
    void ReadContentLength(LogBase& log);

    int statusCode_ = 0;          // 0 when no valid status line was found
    StringBuffer statusText_;     // the reason phrase
    StringBuffer statusLine_;     // the first line, without its line end
    MimeHeader fields_;
    int contentLength_ = 0;       // 0 when absent or not a number
    bool hasContentLength_ = false;
    bool contentLengthInvalid_ = false;
};

} // namespace plentor
