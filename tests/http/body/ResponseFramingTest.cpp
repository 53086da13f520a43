// The response framing over an in-memory connection, where the split points
// are the test's to choose: every framing must read the same whether the
// bytes come in one block or one byte at a time, and a framed body must end
// exactly where the next response on the connection begins.

#include "http/body/ResponseFraming.h"
#include "support/Gzipped.h"

#include "base/LogNull.h"
#include "http/HttpControl.h"
#include "http/HttpResponseHeader.h"
#include "http/net/BufferedReader.h"
#include "http/net/MemoryReader.h"
#include "text/DataBuffer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace plentor {
namespace {

using testsupport::Gzipped;

// Kept alive after a framed body: it must read whole afterwards.
const std::string kNext = "HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\nnext";

struct Read {
    bool ok = false;
    std::string body;
    bool closed = false;    // the framing asked for the connection to be closed
    bool nextOk = false;    // the response after it read whole
};

// Reads a response as the engine's GET does, then the one after it.
Read ReadWith(const std::string& bytes, unsigned blockSize, int maxContentLength)
{
    MemoryReader reader(bytes.data(), bytes.size(), blockSize);
    HttpControl control;
    control.maxContentLength = maxContentLength;
    LogNull log;
    ResponseFraming framing(reader, reader, control, log);
    Read read;
    DataBuffer raw, body;
    bool complete = false;
    framing.ReadHeader(raw, complete);
    HttpResponseHeader header;
    if (complete) header.Parse(raw, log);
    if (header.GetStatusCode() == 0 && ResponseFraming::IsHeaderlessHtml(raw)) {
        header.SetHeaderlessOk();
        body.AppendBuffer(raw);
    }
    read.ok = header.GetStatusCode() != 0 && framing.ReadBody(header, body);
    if (read.ok)
        read.ok = ResponseFraming::GunzipIfCompressed(body, maxContentLength, log) && !framing.ExceedsMaxContent(body);
    read.body.assign(reinterpret_cast<const char*>(body.Data()), body.Size());
    read.closed = reader.Closed();
    DataBuffer nextRaw, nextBody;
    HttpResponseHeader next;
    read.nextOk = !read.closed && framing.ReadHeader(nextRaw, complete) && complete && next.Parse(nextRaw, log) &&
                  framing.ReadBody(next, nextBody) && nextBody.Equals("next", 4);
    return read;
}

struct SplitCase {
    const char* name;
    std::string response;   // kNext is appended to a framed one
    int maxContentLength;
    bool ok;
    std::string body;
    bool framed;            // the body ends before the connection does
};

TEST(ResponseFramingTest, EveryFramingReadsTheSameSplitAtEveryByte)
{
    const std::string gz = Gzipped("inflated text here");
    const std::vector<SplitCase> cases = {
        {"length", "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello", 0, true, "hello", true},
        {"chunked with extensions and trailer",
         "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5;a=b\r\nhello\r\n6 ; x=\"1\"\r\n world\r\n0\r\n"
         "X-T: 1\r\nX-U: 2\r\n\r\n",
         0, true, "hello world", true},
        {"chunked without trailer", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nabc\r\n0\r\n\r\n", 0,
         true, "abc", true},
        {"chunked named in upper case", "HTTP/1.1 200 OK\r\nTransfer-Encoding:  CHUNKED \r\n\r\n3\r\nabc\r\n0\r\n\r\n",
         0, true, "abc", true},
        {"gzip by length", "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(gz.size()) + "\r\n\r\n" + gz, 0,
         true, "inflated text here", true},
        {"204 ignores its length", "HTTP/1.1 204 No Content\r\nContent-Length: 5\r\n\r\n", 0, true, "", true},
        {"304 without body", "HTTP/1.1 304 Not Modified\r\n\r\n", 0, true, "", true},
        {"404 with length 0", "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n", 0, true, "", true},
        {"until close", "HTTP/1.1 200 OK\r\n\r\nuntil\r\nthe end", 0, true, "until\r\nthe end", false},
        {"header-less html", "<html><body>bare page</body></html>", 0, true, "<html><body>bare page</body></html>",
         false},
        {"until close over the limit", "HTTP/1.1 200 OK\r\n\r\n" + std::string(300, 'z'), 100, false, "", false},
        {"chunks over the limit",
         "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n40\r\n" + std::string(64, 'c') + "\r\n40\r\n" +
             std::string(64, 'c') + "\r\n0\r\n\r\n",
         100, false, "", false},
        {"length over the limit", "HTTP/1.1 200 OK\r\nContent-Length: 150\r\n\r\n" + std::string(150, 'y'), 100,
         false, "", false},
        {"gzip inflating over the limit",
         "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(Gzipped(std::string(500, 'g')).size()) +
             "\r\n\r\n" + Gzipped(std::string(500, 'g')),
         100, false, "", true},
        {"chunk size past the cap", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n80000000\r\nabc", 0,
         false, "", false},
        {"invalid length", "HTTP/1.1 200 OK\r\nContent-Length: 12x\r\n\r\nabc", 0, false, "", false},
        {"cut in a chunk", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n10\r\nabc", 0, false, "", false},
    };
    for (const SplitCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string bytes = c.framed ? c.response + kNext : c.response;
        const Read whole = ReadWith(bytes, BufferedReader::kReceiveBlock, c.maxContentLength);
        EXPECT_EQ(whole.ok, c.ok);
        if (c.ok) {
            EXPECT_EQ(whole.body, c.body);
        }
        EXPECT_EQ(whole.nextOk, c.framed) << "a framed body ends where the next response starts";
        EXPECT_EQ(whole.closed, !c.framed);
        const Read split = ReadWith(bytes, 1, c.maxContentLength);
        EXPECT_EQ(split.ok, whole.ok);
        EXPECT_EQ(split.body, whole.body);
        EXPECT_EQ(split.closed, whole.closed);
        EXPECT_EQ(split.nextOk, whole.nextOk);
    }
}

// Whether a response ends its kept-alive connection: only the first
// Connection field counts, and only the whole word "close" in any case.
TEST(ResponseFramingTest, IsCloseReadsTheConnectionField)
{
    struct Case {
        const char* fields;
        bool close;
    };
    const Case cases[] = {
        {"Connection: close", true},
        {"connection:  Close ", true},
        {"Connection: CLOSE", true},
        {"Connection: keep-alive", false},
        {"Connection: closed", false},
        {"Connection: keep-alive\r\nConnection: close", false},
        {"X-Connection: close", false},
        {"Content-Length: 0", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fields);
        const std::string text = std::string("HTTP/1.1 200 OK\r\n") + c.fields + "\r\n\r\n";
        HttpResponseHeader header;
        LogNull log;
        ASSERT_TRUE(header.Parse(text.data(), static_cast<unsigned>(text.size()), log));
        EXPECT_EQ(ResponseFraming::IsClose(header), c.close);
    }
}

} // namespace
} // namespace plentor
