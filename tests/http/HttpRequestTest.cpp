#include "http/HttpRequest.h"

#include "base/LogNull.h"
#include "http/mime/MimeField.h"
#include "http/mime/MimeTypes.h"
#include "log/Logger.h"
#include "text/DataBuffer.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace plentor {
namespace {

using Pairs = std::vector<std::pair<const char*, const char*>>;

struct SerializeCase {
    const char* what;
    int method;
    int bodyKind;
    const char* path;
    Pairs params;
    Pairs fields;
    const char* rawBody;
    const char* cookie;
    const char* prefix;
    const char* expected;
};

const SerializeCase kSerializeCases[] = {
    {"GET without parameters has no ?", HttpRequest::kGet, 0, "/", {}, {{"Host", "example.com"}}, "", nullptr,
     nullptr, "GET / HTTP/1.1\r\nHost: example.com\r\n\r\n"},
    {"GET with parameters through a proxy", HttpRequest::kGet, 0, "/s", {{"q", "a b"}, {"n", "\xC3\xA9-1"}},
     {{"Host", "example.com"}}, "", nullptr, "http://example.com:8080",
     "GET http://example.com:8080/s?q=a+b&n=%C3%A9%2D1 HTTP/1.1\r\nHost: example.com\r\n\r\n"},
    {"GET drops body fields", HttpRequest::kGet, 0, "/", {},
     {{"Host", "h"}, {"content-type", "text/plain"}, {"Content-Length", "5"}, {"Accept-Language", "en"}}, "",
     nullptr, nullptr, "GET / HTTP/1.1\r\nHost: h\r\nAccept-Language: en\r\n\r\n"},
    {"GET with a cookie line", HttpRequest::kGet, 0, "/a", {}, {{"Host", "h"}}, "", "Cookie: id=abc\r\n", nullptr,
     "GET /a HTTP/1.1\r\nHost: h\r\nCookie: id=abc\r\n\r\n"},
    {"cookie line alone", HttpRequest::kGet, 0, "/", {}, {}, "", "Cookie: id=abc\r\n", nullptr,
     "GET / HTTP/1.1\r\nCookie: id=abc\r\n\r\n"},
    {"HEAD never sends parameters", HttpRequest::kHead, 0, "/p", {{"a", "1"}}, {{"Host", "h"}}, "", nullptr, nullptr,
     "HEAD /p HTTP/1.1\r\nHost: h\r\n\r\n"},
    {"form POST: the 13-byte body", HttpRequest::kPost, HttpRequest::kFormBody, "/login",
     {{"a", "x y"}, {"b", "1.5"}}, {{"Host", "h"}}, "", nullptr, nullptr,
     "POST /login HTTP/1.1\r\nHost: h\r\ncontent-type: application/x-www-form-urlencoded\r\n"
     "content-length: 13\r\n\r\na=x+y&b=1%2E5"},
    {"form POST with a cookie", HttpRequest::kPost, HttpRequest::kFormBody, "/", {{"k", "v"}}, {{"Host", "h"}}, "",
     "Cookie: s=1\r\n", nullptr,
     "POST / HTTP/1.1\r\nHost: h\r\ncontent-type: application/x-www-form-urlencoded\r\ncontent-length: 3\r\n"
     "Cookie: s=1\r\n\r\nk=v"},
    {"name with & is not encoded", HttpRequest::kPost, HttpRequest::kFormBody, "/", {{"a&b", "&"}}, {}, "", nullptr,
     nullptr, "POST / HTTP/1.1\r\ncontent-type: application/x-www-form-urlencoded\r\ncontent-length: 7\r\n\r\na&b=%26"},
    {"PUT text/xml", HttpRequest::kPut, HttpRequest::kTextXmlBody, "/doc", {{"ignored", "1"}}, {{"Host", "h"}},
     "<a/>", nullptr, nullptr,
     "PUT /doc HTTP/1.1\r\nHost: h\r\ncontent-type: text/xml\r\ncontent-length: 4\r\n\r\n<a/>"},
    {"POST with another body kind is application/xml", HttpRequest::kPost, 7, "/", {}, {{"Host", "h"}}, "<b>x</b>",
     nullptr, nullptr,
     "POST / HTTP/1.1\r\nHost: h\r\ncontent-type: application/xml\r\ncontent-length: 8\r\n\r\n<b>x</b>"},
    {"PUT multipart keeps a caller's boundary field unfolded", HttpRequest::kPut, HttpRequest::kMultipartBody, "/",
     {}, {{"Host", "h"}, {"Content-Type", "multipart/form-data; boundary=XYZ"}}, "", nullptr, nullptr,
     "PUT / HTTP/1.1\r\nHost: h\r\nContent-Type: multipart/form-data; boundary=XYZ\r\ncontent-length: 0\r\n\r\n"},
    {"DELETE, any other method value", 9, 0, "/item", {{"a", "1"}}, {{"Host", "h"}, {"Content-Type", "x/y"}}, "",
     nullptr, nullptr, "DELETE /item HTTP/1.1\r\nHost: h\r\n\r\n"},
    {"no header fields at all end with one blank line", HttpRequest::kDelete, 0, "/x", {}, {}, "", nullptr, nullptr,
     "DELETE /x HTTP/1.1\r\n\r\n"},
};

HttpRequest Build(const SerializeCase& c)
{
    HttpRequest request;
    request.SetMethod(c.method);
    request.SetBodyKind(c.bodyKind);
    request.SetPath(c.path);
    request.SetRawBody(c.rawBody);
    for (const auto& [name, value] : c.params)
        request.AddParam(name, value);
    for (const auto& [name, value] : c.fields)
        request.SetHeaderField(name, value);
    return request;
}

TEST(HttpRequestTest, SerializeCases)
{
    for (const SerializeCase& c : kSerializeCases) {
        HttpRequest request = Build(c);
        StringBuffer first;
        request.Serialize(first, c.cookie, c.prefix);
        EXPECT_EQ(first.ToStdString(), c.expected) << c.what;
        // Serialising changes the header; a second send writes the same bytes.
        StringBuffer second;
        request.Serialize(second, c.cookie, c.prefix);
        EXPECT_EQ(second.ToStdString(), c.expected) << c.what << " (again)";
    }
}

TEST(HttpRequestTest, SerializeAppends)
{
    HttpRequest request;
    request.SetHeaderField("Host", "h");
    StringBuffer out("X");
    request.Serialize(out, nullptr, nullptr);
    EXPECT_STREQ(out.GetString(), "XGET / HTTP/1.1\r\nHost: h\r\n\r\n");
}

TEST(HttpRequestTest, FormPostFieldsMoveToTheEnd)
{
    HttpRequest request;
    request.SetFormPost();
    request.SetHeaderField("Host", "h");
    request.SetHeaderField("Referer", "http://h/form");
    request.AddParam("u", "me");
    StringBuffer out;
    request.Serialize(out, nullptr, nullptr);
    EXPECT_STREQ(out.GetString(),
                 "POST / HTTP/1.1\r\nHost: h\r\nReferer: http://h/form\r\n"
                 "content-type: application/x-www-form-urlencoded\r\ncontent-length: 4\r\n\r\nu=me");
}

const char kMultipartBody[] =
    "--ZENTREL-SOFTWARE-INC-----2006\r\n"
    "Content-Disposition: form-data; name=\"name\"\r\n"
    "Content-Type: application/octet-stream\r\n\r\n"
    "Ann\r\n"
    "--ZENTREL-SOFTWARE-INC-----2006\r\n"
    "Content-Disposition: form-data; name=\"up\"; filename=\"notes.TXT\"\r\n"
    "Content-Type: text/plain\r\n\r\n"
    "hi\0there\r\n"
    "--ZENTREL-SOFTWARE-INC-----2006--\r\n";

HttpRequest MultipartRequest()
{
    HttpRequest request;
    LogNull log;
    request.SetFromUrl("http://example.com/upload", log);
    request.SetFormPost();
    request.SetBodyKind(HttpRequest::kMultipartBody);
    request.AddParam("name", "Ann");
    const char file[] = "hi\0there";
    request.GetParams().AddOrReplaceParam("up", file, sizeof file - 1).SetFilename("notes.TXT");
    return request;
}

std::string Bytes(const DataBuffer& data)
{
    return std::string(reinterpret_cast<const char*>(data.Data()), data.Size());
}

struct MultipartCase {
    const char* what;
    Pairs fields;
    const char* host;
    const char* authorization;
    const char* prefix;
    const char* expectedHead;
};

const MultipartCase kMultipartCases[] = {
    {"no Host field: written from the argument", {}, "example.com", "Basic eDp5", nullptr,
     "POST /upload HTTP/1.1\r\nHost: example.com\r\nAuthorization: Basic eDp5\r\n"
     "Content-Type: multipart/form-data; boundary=ZENTREL-SOFTWARE-INC-----2006\r\nContent-Length: 296\r\n\r\n"},
    {"Host field present: no second Host line", {{"Host", "h.example"}, {"User-Agent", "t/1"}}, "other.example", "",
     "http://h.example:81",
     "POST http://h.example:81/upload HTTP/1.1\r\nHost: h.example\r\nUser-Agent: t/1\r\n"
     "Content-Type: multipart/form-data; boundary=ZENTREL-SOFTWARE-INC-----2006\r\nContent-Length: 296\r\n\r\n"},
    {"Authorization field present: written once", {{"Host", "h"}, {"Authorization", "Basic eDp5"}}, "h",
     "Basic eDp5", nullptr,
     "POST /upload HTTP/1.1\r\nHost: h\r\nAuthorization: Basic eDp5\r\n"
     "Content-Type: multipart/form-data; boundary=ZENTREL-SOFTWARE-INC-----2006\r\nContent-Length: 296\r\n\r\n"},
};

TEST(HttpRequestTest, SerializeMultipartCases)
{
    const std::string body(kMultipartBody, sizeof kMultipartBody - 1);
    for (const MultipartCase& c : kMultipartCases) {
        HttpRequest request = MultipartRequest();
        ASSERT_TRUE(request.IsMultipart());
        for (const auto& [name, value] : c.fields)
            request.SetHeaderField(name, value);
        DataBuffer out;
        request.SerializeMultipart(c.host, c.authorization, c.prefix, out);
        EXPECT_EQ(Bytes(out), c.expectedHead + body) << c.what;
        DataBuffer again;
        request.SerializeMultipart(c.host, c.authorization, c.prefix, again);
        EXPECT_EQ(Bytes(again), Bytes(out)) << c.what << " (again)";
    }
}

TEST(HttpRequestTest, MultipartWithoutParameters)
{
    HttpRequest request;
    request.SetMethod(HttpRequest::kPost);
    request.SetBodyKind(HttpRequest::kMultipartBody);
    DataBuffer out;
    request.SerializeMultipart("h", nullptr, nullptr, out);
    EXPECT_EQ(Bytes(out), "POST / HTTP/1.1\r\nHost: h\r\n"
                          "Content-Type: multipart/form-data; boundary=ZENTREL-SOFTWARE-INC-----2006\r\n"
                          "Content-Length: 35\r\n\r\n--ZENTREL-SOFTWARE-INC-----2006--\r\n");
}

TEST(HttpRequestTest, AddParamNormalisesAndReplaces)
{
    HttpRequest request;
    request.AddParam(" my name\t", "line1\r\nline2\nline3\r");
    request.AddParam("other", "x");
    request.AddParam("myname", "second");
    request.AddParam("MyName", nullptr);
    const HttpRequestData& params = request.GetParams();
    ASSERT_EQ(params.GetCount(), 3);
    EXPECT_STREQ(params.GetItem(0).GetName().GetString(), "myname");
    EXPECT_TRUE(params.GetItem(0).GetValue().Equals("second", 6));
    EXPECT_STREQ(params.GetItem(1).GetName().GetString(), "other");
    EXPECT_TRUE(params.GetItem(2).GetValue().IsEmpty());

    request.AddParam("text", "a\nb\r\nc\r");
    EXPECT_TRUE(params.Find("text")->GetValue().Equals("a\r\nb\r\nc", 7));
}

TEST(HttpRequestTest, AddOrReplaceWithNullValueEmpties)
{
    HttpRequestData data;
    data.AddOrReplaceParam("a", "1", 1);
    data.AddOrReplaceParam("a", nullptr, 5);
    ASSERT_EQ(data.GetCount(), 1);
    EXPECT_TRUE(data.GetItem(0).GetValue().IsEmpty());
    data.ClearParams();
    EXPECT_TRUE(data.IsEmpty());
    EXPECT_EQ(data.Find("a"), nullptr);
}

TEST(HttpRequestTest, SetFromUrlFillsPathAndParameters)
{
    HttpRequest request;
    request.SetHeaderField("Referer", "kept");
    request.AddParam("old", "1");
    LogNull log;
    ASSERT_TRUE(request.SetFromUrl("http://example.com/p/a?x=1+2%2fz&flag&q=%41%4&x=3&&s=\"a&b\"", log));
    EXPECT_STREQ(request.GetPath().GetString(), "/p/a");
    StringBuffer form;
    request.GetParams().AppendFormEncoded(form);
    // x is replaced in place; "%4" at the end stops decoding; the empty piece
    // is an empty parameter; quotes protect their "&".
    EXPECT_STREQ(form.GetString(), "x=3&flag=&q=A&=&s=%22a%26b%22");
    EXPECT_TRUE(request.GetHeader().HasField("Referer"));
}

TEST(HttpRequestTest, SetFromUrlRejectsNullWithALogLine)
{
    HttpRequest request;
    Logger log;
    EXPECT_FALSE(request.SetFromUrl(nullptr, log));
    StringBuffer text;
    log.GetText(text);
    EXPECT_TRUE(text.Contains("Failed to parse URL"));
}

TEST(HttpRequestTest, PathForCookiesIsAnsi)
{
    HttpRequest request;
    request.SetPath("/caf\xC3\xA9");
    StringBuffer path;
    request.GetPathForCookies(path);
    StringBuffer expected("/caf\xC3\xA9");
    expected.ConvertToAnsiFrom(65001);
    EXPECT_STREQ(path.GetString(), expected.GetString());
}

TEST(HttpRequestTest, MimeTypesByExtension)
{
    const std::pair<const char*, const char*> cases[] = {
        {"a.txt", "text/plain"},   {"photo.JPG", "image/jpeg"},         {"x.tar.gz", "application/x-gzip"},
        {"noext", MimeTypes::kDefaultType}, {"dot.", MimeTypes::kDefaultType}, {"a.unknown", MimeTypes::kDefaultType},
        {"", MimeTypes::kDefaultType},
    };
    for (const auto& [name, type] : cases)
        EXPECT_STREQ(MimeTypes::ForFileName(name), type) << name;
    EXPECT_STREQ(MimeTypes::ForFileName(nullptr), MimeTypes::kDefaultType);
}

} // namespace
} // namespace plentor
