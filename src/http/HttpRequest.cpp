#include "http/HttpRequest.h"

#include "base/LogBase.h"
#include "http/ZentrelUrl.h"
#include "http/mime/MimeTypes.h"
#include "text/DataBuffer.h"
#include "text/EncodingConvert.h"

#include <cstring>
#include <string_view>
#include <vector>

namespace plentor {

namespace {

constexpr char kCrLf[] = "\r\n";

const char* MethodWord(int method)
{
    switch (method) {
    case HttpRequest::kGet: return "GET ";
    case HttpRequest::kPost: return "POST ";
    case HttpRequest::kHead: return "HEAD ";
    case HttpRequest::kPut: return "PUT ";
    default: return "DELETE ";
    }
}

StringBuffer UrlDecoded(const char* text, int n)
{
    DataBuffer bytes;
    ZentrelUrl::UrlDecode(StringBuffer(text, n), bytes);
    return StringBuffer(bytes.Data(), static_cast<int>(bytes.Size()));
}

void AppendText(DataBuffer& out, const char* text) { out.AppendBytes(text, static_cast<unsigned>(std::strlen(text))); }

} // namespace

bool HttpRequest::SetFromUrl(const char* url, LogBase& log)
{
    StringBuffer host, login, password, path, query, fragment;
    int port = 0;
    if (!ZentrelUrl::CrackUrl(url, host, port, login, password, path, query, fragment)) {
        log.LogError("Failed to parse URL");
        log.LogData("url", url ? url : "");
        return false;
    }
    params_.ClearParams();
    path.ConvertAnsiTo(EncodingConvert::kUtf8);
    path_ = std::move(path);
    std::vector<StringBuffer> pieces;
    query.Split(pieces, '&', StringBuffer::SplitGuard::QuotesAndBackslash);
    for (const StringBuffer& piece : pieces) {
        std::string_view text(piece.GetString(), static_cast<size_t>(piece.GetLength()));
        size_t eq = text.find('=');
        size_t nameLength = eq == std::string_view::npos ? text.size() : eq;
        StringBuffer name = UrlDecoded(text.data(), static_cast<int>(nameLength));
        StringBuffer value;
        if (eq != std::string_view::npos)
            value = UrlDecoded(text.data() + eq + 1, static_cast<int>(text.size() - eq - 1));
        params_.AddOrReplaceParam(name.GetString(), value.GetString(), static_cast<unsigned>(value.GetLength()));
    }
    return true;
}

void HttpRequest::SetFormPost()
{
    method_ = kPost;
    header_.SetField("content-type", "application/x-www-form-urlencoded");
    bodyKind_ = kFormBody;
}

void HttpRequest::AddParam(const char* name, const char* value)
{
    if (!name)
        return;
    StringBuffer cleanName(name);
    cleanName.Trim();
    cleanName.ReplaceAnyOf(" \n\r\t", ' ');
    cleanName.RemoveChar(' ');
    StringBuffer cleanValue(value);
    cleanValue.RemoveChar('\r');
    cleanValue.ReplaceAll("\n", "\r\n");
    params_.AddOrReplaceParam(cleanName.GetString(), cleanValue.GetString(),
                              static_cast<unsigned>(cleanValue.GetLength()));
}

void HttpRequest::RemoveBodyFields()
{
    header_.RemoveField("content-type");
    header_.RemoveField("content-length");
}

void HttpRequest::AppendRequestLine(const char* methodWord, const char* targetPrefix, Query query,
                                    StringBuffer& out) const
{
    out.Append(methodWord);
    out.Append(targetPrefix);
    out.AppendBuffer(path_);
    if (query == Query::Append && !params_.IsEmpty()) {
        out.AppendChar('?');
        params_.AppendFormEncoded(out);
    }
    out.Append(" HTTP/");
    out.AppendBuffer(httpVersion_);
    out.Append(kCrLf);
}

void HttpRequest::AppendHeaderBlock(const char* cookieText, StringBuffer& out) const
{
    StringBuffer block;
    header_.Write(block, nullptr, 0);
    if (cookieText && *cookieText) {
        block.Trim();
        block.Append(kCrLf);
        block.Append(cookieText);
        block.Trim();
    }
    block.ReplaceFirst("\r\n\t boundary=", " boundary=");
    out.AppendBuffer(block);
    // An empty block must not add a second blank line after the request line.
    out.Append(block.IsEmpty() ? "\r\n" : "\r\n\r\n");
}

StringBuffer HttpRequest::PrepareBody()
{
    StringBuffer body;
    switch (bodyKind_) {
    case kFormBody:
        header_.SetField("content-type", "application/x-www-form-urlencoded");
        params_.AppendFormEncoded(body);
        break;
    case kMultipartBody:
        break;
    case kTextXmlBody:
        header_.SetField("content-type", "text/xml");
        body = rawBody_;
        break;
    default:
        header_.SetField("content-type", "application/xml");
        body = rawBody_;
        break;
    }
    StringBuffer length;
    length.AppendInt(body.GetLength());
    header_.SetField("content-length", length.GetString());
    return body;
}

void HttpRequest::Serialize(StringBuffer& out, const char* cookieText, const char* targetPrefix)
{
    const char* word = MethodWord(method_);
    if (method_ == kPost || method_ == kPut) {
        StringBuffer body = PrepareBody();
        AppendRequestLine(word, targetPrefix, Query::Omit, out);
        AppendHeaderBlock(cookieText, out);
        out.AppendBuffer(body);
        return;
    }
    RemoveBodyFields();
    AppendRequestLine(word, targetPrefix, method_ == kGet ? Query::Append : Query::Omit, out);
    AppendHeaderBlock(cookieText, out);
}

void HttpRequest::AppendMultipartBody(DataBuffer& body) const
{
    for (int i = 0; i < params_.GetCount(); ++i) {
        const HttpRequestItem& item = params_.GetItem(i);
        StringBuffer head;
        head.Append("--");
        head.Append(kBoundary);
        head.Append("\r\nContent-Disposition: form-data; name=\"");
        head.AppendBuffer(item.GetName());
        head.AppendChar('"');
        const bool isFile = !item.GetFilename().IsEmpty();
        if (isFile) {
            head.Append("; filename=\"");
            head.AppendBuffer(item.GetFilename());
            head.AppendChar('"');
        }
        head.Append("\r\nContent-Type: ");
        head.Append(isFile ? MimeTypes::ForFileName(item.GetFilename().GetString()) : MimeTypes::kDefaultType);
        head.Append("\r\n\r\n");
        body.AppendText(head);
        body.AppendBuffer(item.GetValue());
        AppendText(body, kCrLf);
    }
    AppendText(body, "--");
    AppendText(body, kBoundary);
    AppendText(body, "--\r\n");
}

void HttpRequest::SerializeMultipart(const char* host, const char* authorization, const char* targetPrefix,
                                     DataBuffer& out)
{
    // The multipart fields below replace any the caller set.
    RemoveBodyFields();
    DataBuffer body;
    AppendMultipartBody(body);

    StringBuffer text;
    AppendRequestLine("POST ", targetPrefix, Query::Omit, text);
    if (host && *host && !header_.HasField("host")) {
        text.Append("Host: ");
        text.Append(host);
        text.Append(kCrLf);
    }
    if (authorization && *authorization && !header_.HasField("authorization")) {
        text.Append("Authorization: ");
        text.Append(authorization);
        text.Append(kCrLf);
    }
    StringBuffer fields;
    header_.Write(fields, nullptr, 0);
    fields.Trim();
    if (!fields.IsEmpty()) {
        text.AppendBuffer(fields);
        text.Append(kCrLf);
    }
    text.Append("Content-Type: multipart/form-data; boundary=");
    text.Append(kBoundary);
    text.Append("\r\nContent-Length: ");
    text.AppendInt(body.Size());
    text.Append("\r\n\r\n");

    out.AppendText(text);
    out.AppendBuffer(body);
}

void HttpRequest::GetPathForCookies(StringBuffer& out) const
{
    out = path_;
    out.ConvertToAnsiFrom(EncodingConvert::kUtf8);
}

} // namespace plentor
