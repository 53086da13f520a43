#pragma once

#include "http/HttpRequestData.h"
#include "http/mime/MimeHeader.h"
#include "text/StringBuffer.h"

namespace plentor {

class DataBuffer;
class LogBase;

// A request built by the program: method, version, path, header fields,
// parameters and an optional raw body, and how it becomes the bytes on the
// wire. Serialising updates the header (Content-Type, Content-Length), so a
// request sent twice is written the same way both times.
class HttpRequest : public ZentrelObject {
public:
    // Values of the method; any other value is sent as DELETE.
    enum Method : int { kGet = 0, kPost = 1, kHead = 2, kPut = 3, kDelete = 4 };
    // Values of the body kind of POST and PUT; any other value is sent as
    // kApplicationXmlBody.
    enum BodyKind : int { kFormBody = 0, kMultipartBody = 1, kTextXmlBody = 2, kApplicationXmlBody = 3 };

    // Separates the parts of multipart form data.
    static constexpr char kBoundary[] = "ZENTREL-SOFTWARE-INC-----2006";

    // Path and parameters from a full URL: the path (ANSI) is stored as
    // UTF-8, the query pieces are URL-decoded into parameters. Header fields
    // are kept. False, with a log line, when the URL cannot be split.
    bool SetFromUrl(const char* url, LogBase& log);

    // A POST whose body is the URL-encoded parameters.
    void SetFormPost();

    // Adds a parameter or replaces the value of the one of that name. White
    // space is removed from the name; the value's line ends become CR LF.
    void AddParam(const char* name, const char* value);

    // Replaces every header field of that name by one; a null or blank value
    // only removes them.
    void SetHeaderField(const char* name, const char* value) { header_.SetField(name, value); }

    bool IsMultipart() const { return method_ == kPost && bodyKind_ == kMultipartBody; }
    bool IsHead() const { return method_ == kHead; }

    // Appends the whole request (all cases but multipart). cookieText is a
    // complete "Cookie: ..." line or null; targetPrefix goes before the path
    // ("http://host:port" for a proxy) or is null.
    void Serialize(StringBuffer& out, const char* cookieText, const char* targetPrefix);

    // Appends the whole multipart request. Host and Authorization lines are
    // written from the arguments unless the header has such a field already.
    void SerializeMultipart(const char* host, const char* authorization, const char* targetPrefix,
                            DataBuffer& out);

    // Sets out to the path in the ANSI code page, for the cookie lookup.
    void GetPathForCookies(StringBuffer& out) const;

    void SetMethod(int method) { method_ = method; }
    void SetBodyKind(int kind) { bodyKind_ = kind; }
    void SetHttpVersion(const char* version) { httpVersion_.SetString(version); }
    void SetPath(const char* utf8Path) { path_.SetString(utf8Path); }
    void SetRawBody(const char* body) { rawBody_.SetString(body); }

    int GetMethod() const { return method_; }
    int GetBodyKind() const { return bodyKind_; }
    const StringBuffer& GetPath() const { return path_; }
    MimeHeader& GetHeader() { return header_; }
    const MimeHeader& GetHeader() const { return header_; }
    HttpRequestData& GetParams() { return params_; }
    const HttpRequestData& GetParams() const { return params_; }

private:
    enum class Query { Omit, Append };

    void AppendRequestLine(const char* methodWord, const char* targetPrefix, Query query, StringBuffer& out) const;
    void AppendHeaderBlock(const char* cookieText, StringBuffer& out) const;
    // Sets Content-Type and Content-Length for a POST or PUT and returns its body.
    StringBuffer PrepareBody();
    void AppendMultipartBody(DataBuffer& body) const;
    void RemoveBodyFields();

    StringBuffer httpVersion_ = "1.1";   // written after "HTTP/"
    int method_ = kGet;
    int bodyKind_ = kFormBody;
    MimeHeader header_;
    HttpRequestData params_;
    StringBuffer path_ = "/";            // UTF-8
    StringBuffer rawBody_;               // body of the two XML body kinds
};

} // namespace plentor
