#include "http/HttpResponseHeader.h"

#include "base/LogNull.h"
#include "text/DataBuffer.h"

#include <gtest/gtest.h>

#include <string>

namespace plentor {
namespace {

struct StatusCase {
    const char* what;
    const char* text;
    int status;
    const char* reason;
    int fieldCount;
    bool hasLength;
    int length;
};

const StatusCase kStatusCases[] = {
    {"redirect", "HTTP/1.1 302 Found\r\nLocation: /x\r\n\r\n", 302, "Found", 1, false, 0},
    {"reason with spaces", "HTTP/1.0 404 Not  Found \r\n\r\n", 404, "Not  Found", 0, false, 0},
    {"lower-case Content-Length", "HTTP/1.1 200 OK\r\ncontent-length: 1234\r\n\r\n", 200, "OK", 1, true, 1234},
    {"no space after the colon", "HTTP/1.1 200 OK\r\nContent-Length:98765\r\n\r\n", 200, "OK", 1, true, 98765},
    {"Content-Length without a number", "HTTP/1.1 200 OK\r\nContent-Length: abc\r\n\r\n", 200, "OK", 1, true, 0},
    {"negative Content-Length is no number", "HTTP/1.1 200 OK\r\nContent-Length: -5\r\n\r\n", 200, "OK", 1, true, 0},
    {"huge Content-Length clamps", "HTTP/1.1 200 OK\r\nContent-Length: 99999999999\r\n\r\n", 200, "OK", 1, true,
     2147483647},
    {"missing reason phrase keeps the fields", "HTTP/1.1 204\r\nX: 1\r\n\r\n", 204, "", 1, false, 0},
    {"bare LF line ends", "HTTP/1.1 200 OK\nContent-Length: 7\nX: 2\n\nbody", 200, "OK", 2, true, 7},
    {"HTML instead of a status line", "<html><body>HTTP/1.1 200 OK</body></html>", 0, "", 0, false, 0},
    {"lower-case http", "http/1.1 200 OK\r\n\r\n", 0, "", 0, false, 0},
    {"no status number", "HTTP/1.1 OK\r\nA: 1\r\n\r\n", 0, "", 0, false, 0},
    {"no space at all", "HTTP/1.1\r\n\r\n", 0, "", 0, false, 0},
};

TEST(HttpResponseHeaderTest, StatusLineAndContentLength)
{
    for (const StatusCase& c : kStatusCases) {
        const std::string text = c.text;
        HttpResponseHeader header;
        LogNull log;
        EXPECT_TRUE(header.Parse(text.data(), static_cast<unsigned>(text.size()), log)) << c.what;
        EXPECT_EQ(header.GetStatusCode(), c.status) << c.what;
        EXPECT_STREQ(header.GetStatusText().GetString(), c.reason) << c.what;
        EXPECT_EQ(header.GetFields().GetFieldCount(), c.fieldCount) << c.what;
        EXPECT_EQ(header.HasContentLength(), c.hasLength) << c.what;
        EXPECT_EQ(header.GetContentLength(), c.length) << c.what;
    }
}

TEST(HttpResponseHeaderTest, TextAfterAZeroByteIsIgnored)
{
    const char bytes[] = "HTTP/1.1 200 OK\r\nA: 1\0B: 2\r\n\r\n";
    DataBuffer data(bytes, sizeof bytes - 1);
    HttpResponseHeader header;
    LogNull log;
    header.Parse(data, log);
    EXPECT_EQ(header.GetStatusCode(), 200);
    EXPECT_EQ(header.GetFields().GetFieldCount(), 1);
    EXPECT_FALSE(header.HasField("B"));
}

TEST(HttpResponseHeaderTest, CharsetFromContentType)
{
    const std::string text = "HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=\"windows-1252\"\r\n\r\n";
    HttpResponseHeader header;
    LogNull log;
    header.Parse(text.data(), static_cast<unsigned>(text.size()), log);
    StringBuffer charset;
    EXPECT_TRUE(header.GetCharset(charset));
    EXPECT_STREQ(charset.GetString(), "windows-1252");
    EXPECT_STREQ(header.GetStatusLine().GetString(), "HTTP/1.1 200 OK");
}

TEST(HttpResponseHeaderTest, WriteWithStatusLineParsesBack)
{
    const std::string text = "HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=utf-8\r\nContent-Length: 42\r\n"
                             "Set-Cookie: a=b;\r\n\tpath=/\r\n\r\n";
    HttpResponseHeader header;
    LogNull log;
    header.Parse(text.data(), static_cast<unsigned>(text.size()), log);
    StringBuffer written;
    header.WriteWithStatusLine(written, 0);
    EXPECT_STREQ(written.GetString(),
                 "HTTP/1.1 200 OK\r\nContent-Type: text/html;\r\n\t charset=utf-8\r\nContent-Length: 42\r\n"
                 "Set-Cookie: a=b;path=/");

    HttpResponseHeader copy;
    copy.CopyFrom(header);
    HttpResponseHeader back;
    back.Parse(written.GetString(), static_cast<unsigned>(written.GetLength()), log);
    for (const HttpResponseHeader* h : {&copy, &back}) {
        EXPECT_EQ(h->GetStatusCode(), 200);
        EXPECT_EQ(h->GetContentLength(), 42);
        EXPECT_TRUE(h->HasContentLength());
        StringBuffer charset;
        EXPECT_TRUE(h->GetCharset(charset));
        EXPECT_STREQ(charset.GetString(), "utf-8");
    }
}

TEST(HttpResponseHeaderTest, HeaderlessOkAndClear)
{
    HttpResponseHeader header;
    LogNull log;
    const std::string text = "HTTP/1.1 500 Oops\r\nContent-Length: 3\r\n\r\n";
    header.Parse(text.data(), static_cast<unsigned>(text.size()), log);
    header.SetHeaderlessOk();
    EXPECT_EQ(header.GetStatusCode(), 200);
    EXPECT_FALSE(header.HasContentLength());
    EXPECT_EQ(header.GetFields().GetFieldCount(), 0);
    StringBuffer written;
    header.WriteWithStatusLine(written, 0);
    HttpResponseHeader back;
    back.Parse(written.GetString(), static_cast<unsigned>(written.GetLength()), log);
    EXPECT_EQ(back.GetStatusCode(), 200);

    header.Clear();
    EXPECT_EQ(header.GetStatusCode(), 0);
    EXPECT_TRUE(header.GetStatusLine().IsEmpty());
}

} // namespace
} // namespace plentor
