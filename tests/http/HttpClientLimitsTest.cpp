// Hostile servers against the engine's limits: a peer that drips its header
// or its body within every single read timeout, and bodies without end. Each
// transfer must end by the limit that applies, with a log line naming it.

#include "http/HttpClient.h"
#include "support/Gzipped.h"
#include "support/LogText.h"
#include "support/PeakMemory.h"

#include "http/HttpControl.h"
#include "http/HttpResult.h"
#include "log/Logger.h"
#include "services/DeliciousClient.h"
#include "services/WebServiceClient.h"
#include "support/ScriptedServer.h"
#include "text/DataBuffer.h"
#include "text/StringBuffer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

namespace plentor {
namespace {

using testsupport::Drip;
using testsupport::Endless;
using testsupport::ReplyOnce;
using testsupport::ScriptedConnection;
using testsupport::ScriptedServer;
using testsupport::UrlOf;
using testsupport::LogText;
using testsupport::PeakMemory;

// Every case must end well before this; a hang shows as a failure here
// rather than as a stuck suite.
constexpr auto kBound = std::chrono::seconds(15);
// What a transfer may add to the process's peak memory, far below what the
// endless servers below would send if nothing stopped the client.
constexpr uint64_t kMemoryBound = 64u * 1024 * 1024;

struct LimitCase {
    const char* name;
    ScriptedServer::Script script;
    int headerTimeoutSec;
    int responseTimeoutSec;
    int maxContentLength;
    const char* logged;   // a line the log must hold
    const char* named;    // the limit the log names, or null
};

class HttpClientLimitsTest : public ::testing::Test {};

TEST_F(HttpClientLimitsTest, HostileServerEndsAtItsLimit)
{
    const std::string block(64 * 1024, 'x');
    // 300 MiB of zeros in about 300 KB: more than the inflater's own cap.
    const std::string bomb = testsupport::GzippedZeros(300u * 1024 * 1024);
    const LimitCase cases[] = {
        {"header dripping a byte at a time", Drip("HTTP/1.1 200 OK\r\n", "X"), 1, 0, 0,
         "Transfer stopped: time limit reached", "headerTimeoutSec"},
        {"header of endless lines", Drip("HTTP/1.1 200 OK\r\n", "X-Line: more\r\n"), 1, 0, 0,
         "Transfer stopped: time limit reached", "headerTimeoutSec"},
        {"length-framed body dripping", Drip("HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n", "b"), 0, 1, 0,
         "Transfer stopped: time limit reached", "responseTimeoutSec"},
        {"body until close dripping", Drip("HTTP/1.1 200 OK\r\n\r\n", "b"), 0, 1, 0,
         "Transfer stopped: time limit reached", "responseTimeoutSec"},
        {"body until close without end", Endless("HTTP/1.1 200 OK\r\n\r\n", block), 0, 0, 1024 * 1024,
         "Content length more than the maximum allowed.", nullptr},
        {"chunked body without end",
         Endless("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n", "10000\r\n" + block + "\r\n"), 0, 0,
         1024 * 1024, "Chunked response is too large.", nullptr},
        {"gzip body inflating far past the limit",
         ReplyOnce("HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(bomb.size()) + "\r\n\r\n" + bomb), 0, 0,
         1024 * 1024, "Content length more than the maximum allowed...", "maxContentLength"},
    };
    for (const LimitCase& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedServer server({c.script});
        HttpControl control;
        control.readTimeoutSec = 5;   // longer than any limit under test
        control.headerTimeoutSec = c.headerTimeoutSec;
        control.responseTimeoutSec = c.responseTimeoutSec;
        control.maxContentLength = c.maxContentLength;
        HttpClient client;
        HttpResult result;
        DataBuffer body;
        Logger log;
        const uint64_t peakBefore = PeakMemory::ResidentBytes();
        const auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(client.Get(UrlOf(server).c_str(), control, body, result, log));
        EXPECT_LT(std::chrono::steady_clock::now() - start, kBound);
        EXPECT_LE(PeakMemory::ResidentBytes(), peakBefore + kMemoryBound * PeakMemory::kSlackFactor);
        const std::string text = LogText(log);
        EXPECT_NE(text.find(c.logged), std::string::npos) << text;
        if (c.named != nullptr) {
            EXPECT_NE(text.find(c.named), std::string::npos) << text;
        }
        EXPECT_TRUE(body.IsEmpty()) << "what was read beyond the limit is not kept";
    }
}

TEST_F(HttpClientLimitsTest, LimitsDoNotOutliveTheirResponse)
{
    // Two responses on one kept-alive connection, the second after a pause
    // longer than the header limit: a limit that lingered from the first
    // exchange would cut the second off.
    const std::string reply = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok";
    ScriptedServer server({[&](ScriptedConnection& c) {
        for (int i = 0; i < 2; ++i) {
            if (c.ReadRequest().empty()) return;
            c.Send(reply);
        }
        c.WaitForClose();
    }});
    HttpControl control;
    control.readTimeoutSec = 5;
    control.headerTimeoutSec = 1;
    HttpClient client;
    Logger log;
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(i);
        HttpResult result;
        DataBuffer body;
        ASSERT_TRUE(client.Get(UrlOf(server).c_str(), control, body, result, log)) << LogText(log);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(body.Data()), body.Size()), "ok");
        std::this_thread::sleep_for(std::chrono::milliseconds(1200));
    }
    EXPECT_EQ(server.Connections(), 1);
}

TEST_F(HttpClientLimitsTest, PageInfoRefusesAPageWithoutEnd)
{
    // A page fetched for its title, description and tags has a body limit
    // of its own, though the engine's default is none.
    const std::string block(256 * 1024, '<');
    ScriptedServer server({Endless("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n<html><title>T</title>", block)});
    DeliciousClient client;
    StringBuffer title, extended, tags;
    const uint64_t peakBefore = PeakMemory::ResidentBytes();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(client.FetchPageInfo(UrlOf(server, "/page.html").c_str(), title, extended, tags));
    EXPECT_LT(std::chrono::steady_clock::now() - start, kBound);
    // The page limit is 32 MiB; growth past it means the limit did not hold.
    EXPECT_LE(PeakMemory::ResidentBytes(),
              peakBefore + 2 * HttpControl::kPageFetchMaxContent * PeakMemory::kSlackFactor);
    EXPECT_TRUE(title.IsEmpty());
}

// The services' own endpoints are bounded as page fetches are: an API
// reply or a form page without end fails instead of filling memory.
TEST_F(HttpClientLimitsTest, ServiceEndpointWithoutEndFails)
{
    const std::string block(256 * 1024, 'x');
    const auto endless = Endless("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n<html>", block);
    const uint64_t peakBefore = PeakMemory::ResidentBytes();
    {
        ScriptedServer server({endless});
        DeliciousClient client;
        ASSERT_TRUE(client.SetEndpoint(UrlOf(server, "").c_str()));
        const auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(client.SubmitExplicit("http://example.com/", "t", "", "a"));
        EXPECT_LT(std::chrono::steady_clock::now() - start, kBound);
        EXPECT_NE(client.GetLastHttpLog().ToStdString().find("Content length more than the maximum allowed"),
                  std::string::npos)
            << client.GetLastHttpLog().ToStdString();
    }
    {
        ScriptedServer server({endless});
        WebServiceClient client;
        ASSERT_TRUE(client.SetEndpoint(UrlOf(server, "").c_str()));
        const auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(client.NetvouzLogin("user", "secret"));
        EXPECT_LT(std::chrono::steady_clock::now() - start, kBound);
    }
    EXPECT_LE(PeakMemory::ResidentBytes(),
              peakBefore + 2 * HttpControl::kPageFetchMaxContent * PeakMemory::kSlackFactor);
}

} // namespace
} // namespace plentor
