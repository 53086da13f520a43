// GETs whose final body goes to a sink as it arrives: every framing
// delivers the body the buffered GET gives, in blocks rather than at once,
// redirect bodies stay out, a refusing sink or a limit ends the transfer
// with a log line, and the cache answers but does not store.

#include "http/HttpClient.h"
#include "support/Gzipped.h"
#include "support/LogText.h"

#include "http/HttpControl.h"
#include "http/HttpResult.h"
#include "http/body/BodySink.h"
#include "http/net/BufferedReader.h"
#include "log/Logger.h"
#include "support/ScriptedServer.h"
#include "support/TempDirectory.h"
#include "text/DataBuffer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace plentor {
namespace {

using testsupport::Drip;
using testsupport::Endless;
using testsupport::LengthResponse;
using testsupport::ReplyOnce;
using testsupport::ScriptedConnection;
using testsupport::ScriptedServer;
using testsupport::UrlOf;
using testsupport::Gzipped;
using testsupport::LogText;
using testsupport::TempDirectory;

// Every write of a streamed body is at most this: one block off the wire,
// or one block of inflated output.
constexpr unsigned kLargestWrite = 32 * 1024;
// Every case must end well before this.
constexpr auto kBound = std::chrono::seconds(15);

// Notes how a body arrives and keeps its first kKept bytes; refuses a write
// that would take it past refuseAfter bytes.
class RecordingSink final : public BodySink {
public:
    static constexpr size_t kKept = 4 * 1024 * 1024;

    explicit RecordingSink(size_t refuseAfter = SIZE_MAX) : refuseAfter_(refuseAfter) {}

    bool Write(const unsigned char* data, unsigned length) override
    {
        if (received + length > refuseAfter_) return false;
        received += length;
        if (bytes.size() < kKept) bytes.append(reinterpret_cast<const char*>(data), length);
        largestWrite = std::max(largestWrite, length);
        ++writes;
        return true;
    }

    std::string bytes;
    size_t received = 0;
    unsigned largestWrite = 0;
    int writes = 0;

private:
    size_t refuseAfter_;
};

std::string Text(size_t n)
{
    std::string s;
    while (s.size() < n) s += "line " + std::to_string(s.size()) + " of a body that streams\n";
    return s.substr(0, n);
}

std::string Chunked(const std::string& body, size_t chunk)
{
    std::string out = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
    for (size_t at = 0; at < body.size(); at += chunk) {
        const std::string piece = body.substr(at, chunk);
        char size[16];
        std::snprintf(size, sizeof size, "%zx\r\n", piece.size());
        out += size + piece + "\r\n";
    }
    return out + "0\r\nX-Trailer: t\r\n\r\n";
}

class HttpClientStreamTest : public ::testing::Test {
protected:
    HttpClientStreamTest() { control.readTimeoutSec = 5; }

    bool Stream(const std::string& url, RecordingSink& sink)
    {
        log.ClearLog();
        return client.Get(url.c_str(), control, sink, result, log);
    }

    HttpControl control;
    HttpResult result;
    Logger log;
    HttpClient client;
};

TEST_F(HttpClientStreamTest, EveryFramingDeliversTheBufferedBodyInBlocks)
{
    const std::string body = Text(300 * 1024);
    const std::string gz = Gzipped(body);
    struct Case {
        const char* name;
        std::string response;
        unsigned largestWrite;
    };
    const Case cases[] = {
        {"length", LengthResponse(body), kLargestWrite},
        {"chunked with trailer", Chunked(body, 70000), kLargestWrite},
        {"until close", "HTTP/1.1 200 OK\r\n\r\n" + body, kLargestWrite},
        {"gzip by length", LengthResponse(gz, "200 OK", "Content-Encoding: gzip\r\n"), kLargestWrite},
        {"gzip chunked", Chunked(gz, 5000), kLargestWrite},
        // Read as a header until it shows it has none: up to the header
        // limit (and the block that reached it) at once.
        {"header-less page", "<html><body>" + body + Text(2 * BufferedReader::kMaxHeaderBytes) + "</body></html>",
         BufferedReader::kMaxHeaderBytes + BufferedReader::kReceiveBlock},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedServer server({ReplyOnce(c.response), ReplyOnce(c.response)});
        HttpClient buffered;
        DataBuffer whole;
        ASSERT_TRUE(buffered.Get(UrlOf(server).c_str(), control, whole, result, log)) << LogText(log);
        buffered.Close();
        RecordingSink sink;
        ASSERT_TRUE(Stream(UrlOf(server), sink)) << LogText(log);
        EXPECT_TRUE(sink.bytes == std::string(reinterpret_cast<const char*>(whole.Data()), whole.Size()));
        EXPECT_GE(sink.bytes.size(), body.size());
        EXPECT_GT(sink.writes, 1);
        EXPECT_LE(sink.largestWrite, c.largestWrite);
    }
}

TEST_F(HttpClientStreamTest, OnlyTheFinalBodyOfARedirectIsDelivered)
{
    ScriptedServer server({[](ScriptedConnection& c) {
        c.ReadRequest();
        c.Send(LengthResponse("the redirect's own body", "302 Found", "Location: /final\r\n"));
        c.ReadRequest();
        c.Send(LengthResponse("final"));
        c.WaitForClose();
    }});
    RecordingSink sink;
    ASSERT_TRUE(Stream(UrlOf(server, "/first"), sink)) << LogText(log);
    EXPECT_EQ(sink.bytes, "final");
    EXPECT_EQ(result.header.GetStatusCode(), 200);
    EXPECT_TRUE(result.wasRedirected);
}

TEST_F(HttpClientStreamTest, TransferEndsWithALogLine)
{
    const std::string block(64 * 1024, 'x');
    struct Case {
        const char* name;
        ScriptedServer::Script script;
        size_t refuseAfter;
        int maxContentLength;
        int headerTimeoutSec;
        int responseTimeoutSec;
        const char* logged;
    };
    const Case cases[] = {
        {"sink refusing", ReplyOnce(LengthResponse(Text(200 * 1024))), 50 * 1024, 0, 0, 0,
         "Transfer stopped: the body's receiver refused more data"},
        {"until close without end", Endless("HTTP/1.1 200 OK\r\n\r\n", block), SIZE_MAX, 1024 * 1024, 0, 0,
         "Content length more than the maximum allowed."},
        {"gzip inflating past the limit",
         ReplyOnce(LengthResponse(Gzipped(std::string(4 * 1024 * 1024, 'g')))), SIZE_MAX, 1024 * 1024, 0, 0,
         "Content length more than the maximum allowed..."},
        {"chunked without end",
         Endless("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n", "10000\r\n" + block + "\r\n"),
         SIZE_MAX, 0, 0, 1, "Transfer stopped: time limit reached"},
        {"header dripping", Drip("HTTP/1.1 200 OK\r\n", "X"), SIZE_MAX, 0, 1, 0,
         "Transfer stopped: time limit reached"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedServer server({c.script});
        control.maxContentLength = c.maxContentLength;
        control.headerTimeoutSec = c.headerTimeoutSec;
        control.responseTimeoutSec = c.responseTimeoutSec;
        HttpClient fresh;
        RecordingSink sink(c.refuseAfter);
        log.ClearLog();
        const auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(fresh.Get(UrlOf(server).c_str(), control, sink, result, log));
        EXPECT_LT(std::chrono::steady_clock::now() - start, kBound);
        EXPECT_NE(LogText(log).find(c.logged), std::string::npos) << LogText(log);
        if (c.maxContentLength > 0) {
            EXPECT_LE(sink.received, static_cast<size_t>(c.maxContentLength));
        }
        EXPECT_LE(sink.largestWrite, kLargestWrite);
    }
}

TEST_F(HttpClientStreamTest, CacheAnswersAStreamedGetButDoesNotStoreOne)
{
    TempDirectory dir("plentor_streamcache");
    control.cache.AddRoot(dir.Path().c_str());
    const std::string reply = LengthResponse("cached body", "200 OK", "Cache-Control: max-age=3600\r\n");
    ScriptedServer server({ReplyOnce(reply), ReplyOnce(reply)});

    RecordingSink streamed;
    ASSERT_TRUE(Stream(UrlOf(server, "/streamed"), streamed)) << LogText(log);
    client.Close();
    DataBuffer body;
    ASSERT_TRUE(client.Get(UrlOf(server, "/streamed").c_str(), control, body, result, log)) << LogText(log);
    EXPECT_FALSE(result.fromCache) << "the streamed response was not stored";
    EXPECT_EQ(server.Connections(), 2);

    RecordingSink fromCache;
    ASSERT_TRUE(Stream(UrlOf(server, "/streamed"), fromCache)) << LogText(log);
    EXPECT_TRUE(result.fromCache);
    EXPECT_EQ(fromCache.bytes, "cached body");
    EXPECT_EQ(fromCache.writes, 1);
}

} // namespace
} // namespace plentor
