#include "http/HttpClient.h"
#include "support/Gzipped.h"
#include "support/LogText.h"

#include "http/HttpControl.h"
#include "http/HttpRequest.h"
#include "http/HttpResult.h"
#include "http/net/HttpConnPool.h"
#include "log/Logger.h"
#include "support/ScriptedServer.h"
#include "text/DataBuffer.h"
#include "text/StringBuffer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace plentor {
namespace {

using testsupport::LengthResponse;
using testsupport::ReplyOnce;
using testsupport::ScriptedConnection;
using testsupport::ScriptedServer;
using testsupport::UrlOf;

std::string AsString(const DataBuffer& data)
{
    return std::string(reinterpret_cast<const char*>(data.Data()), data.Size());
}

using testsupport::Gzipped;
using testsupport::LogText;

// The request line's target ("/hop2").
std::string TargetOf(const std::string& request)
{
    const size_t start = request.find(' ') + 1;
    return request.substr(start, request.find(' ', start) - start);
}

class HttpClientTest : public ::testing::Test {
protected:
    HttpClientTest() { control.readTimeoutSec = 5; }

    bool Get(const std::string& url)
    {
        body.Clear();
        return client.Get(url.c_str(), control, body, result, log);
    }

    HttpControl control;
    HttpResult result;
    DataBuffer body;
    Logger log;
    HttpClient client;
};

struct FramingCase {
    const char* name;
    std::string response;
    int maxContentLength;
    bool ok;
    int status;
    std::string body;
    const char* logged;   // a line the log must hold, or null
};

TEST_F(HttpClientTest, ReadsEveryBodyFraming)
{
    const std::string chunked1500 = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5dc\r\n" +
                                    std::string(1500, 'x') + "\r\n0\r\n\r\n";
    const std::string tenBytes = std::string("\x1f\x8b", 2) + "12345678";
    const std::vector<FramingCase> cases = {
        {"length", LengthResponse("hello"), 0, true, 200, "hello", nullptr},
        {"chunked with extension and trailer",
         "HTTP/1.1 200 OK\r\nTransfer-Encoding: Chunked\r\n\r\n5\r\nhello\r\n6;x=1\r\n world\r\n0\r\nX-T: 1\r\n\r\n",
         0, true, 200, "hello world", nullptr},
        {"until close", "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n\r\nuntil the end", 0, true, 200,
         "until the end", nullptr},
        {"header-less html", "<html><body>bare page</body></html>", 0, true, 200,
         "<html><body>bare page</body></html>", nullptr},
        {"204 ignores its length", "HTTP/1.1 204 No Content\r\nContent-Length: 5\r\n\r\nhello", 0, true, 204, "",
         nullptr},
        {"404 with length 0", LengthResponse("", "404 Not Found"), 0, true, 404, "", nullptr},
        {"404 chunked body is read",
         "HTTP/1.1 404 Not Found\r\nTransfer-Encoding: chunked\r\n\r\n4\r\ngone\r\n0\r\n\r\n", 0, true, 404,
         "gone", nullptr},
        {"gzip by magic bytes", LengthResponse(Gzipped("inflated text here")), 0, true, 200,
         "inflated text here", nullptr},
        {"ten gzip-looking bytes stay", LengthResponse(tenBytes), 0, true, 200, tenBytes, nullptr},
        {"chunked over the limit", chunked1500, 1000, false, 200, "", "Chunked response is too large."},
        {"length over the limit", LengthResponse(std::string(1500, 'y')), 1000, false, 200, "",
         "Content length more than the maximum allowed."},
        {"short length body", "HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\n1234", 0, false, 200, "",
         "Failed to fetch response data."},
        // A peer that breaks off or lies about sizes.
        {"closed in a chunk size line", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5", 0, false, 200,
         "", "Failed to get response data (a)"},
        {"closed in a chunk", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n10\r\nabc", 0, false, 200,
         "", "Failed to get response data (b)"},
        {"chunk size 0xFFFFFFFF", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nFFFFFFFF\r\nabc", 0,
         false, 200, "", "Invalid chunk size"},
        {"Content-Length -1", "HTTP/1.1 200 OK\r\nContent-Length: -1\r\n\r\nabc", 0, false, 200, "",
         "Invalid Content-Length"},
        {"Content-Length 2^40", "HTTP/1.1 200 OK\r\nContent-Length: 1099511627776\r\n\r\nabc", 0, false, 200,
         "", "Content-Length too large"},
    };
    for (const FramingCase& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedServer server({ReplyOnce(c.response)});
        HttpClient fresh;
        HttpControl settings;
        settings.readTimeoutSec = 5;
        settings.maxContentLength = c.maxContentLength;
        Logger caseLog;
        DataBuffer out;
        EXPECT_EQ(fresh.Get(UrlOf(server).c_str(), settings, out, result, caseLog), c.ok) << LogText(caseLog);
        EXPECT_EQ(result.header.GetStatusCode(), c.status);
        if (c.ok) {
            EXPECT_EQ(AsString(out), c.body);
        }
        if (c.logged != nullptr) {
            EXPECT_NE(LogText(caseLog).find(c.logged), std::string::npos) << LogText(caseLog);
        }
    }
}

TEST_F(HttpClientTest, KeptAliveConnectionServesTwoGets)
{
    ScriptedServer server({[](ScriptedConnection& c) {
        c.ReadRequest();
        c.Send(LengthResponse("first"));
        c.ReadRequest();
        c.Send("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n6\r\nsecond\r\n0\r\n\r\n");
        c.WaitForClose();
    }});
    ASSERT_TRUE(Get(UrlOf(server, "/a"))) << LogText(log);
    EXPECT_EQ(AsString(body), "first");
    ASSERT_TRUE(Get(UrlOf(server, "/b"))) << LogText(log);
    EXPECT_EQ(AsString(body), "second");
    client.Close();
    EXPECT_EQ(server.Connections(), 1);
}

TEST_F(HttpClientTest, ServerClosingBetweenGetsIsReopenedOnce)
{
    ScriptedServer server({ReplyOnce(LengthResponse("one")), ReplyOnce(LengthResponse("two"))});
    ASSERT_TRUE(Get(UrlOf(server))) << LogText(log);
    ASSERT_TRUE(Get(UrlOf(server))) << LogText(log);
    EXPECT_EQ(AsString(body), "two");
    EXPECT_NE(LogText(log).find("New connection established, re-trying GET"), std::string::npos);
    EXPECT_EQ(server.Connections(), 2);
}

TEST_F(HttpClientTest, GarbageInsteadOfStatusLineIsRetriedOnNewConnection)
{
    ScriptedServer server({ReplyOnce("SSH-2.0-OpenThing\r\n\r\n"), ReplyOnce(LengthResponse("proper"))});
    ASSERT_TRUE(Get(UrlOf(server))) << LogText(log);
    EXPECT_EQ(AsString(body), "proper");
    EXPECT_NE(LogText(log).find("Invalid response header received"), std::string::npos);
    EXPECT_EQ(server.Connections(), 2);
}

TEST_F(HttpClientTest, HeaderThatNeverEndsIsCutOffAndRefused)
{
    std::string endless = "HTTP/1.1 200 OK\r\n";
    while (endless.size() < (1u << 20) + 4096) endless += "X-Filler: aaaaaaaaaaaaaaaaaaaaaaaaaaaaaa\r\n";
    // The first try and five retries on fresh connections.
    ScriptedServer server(std::vector<ScriptedServer::Script>(6, ReplyOnce(endless)));
    EXPECT_FALSE(Get(UrlOf(server)));
    EXPECT_NE(LogText(log).find("Invalid response header received"), std::string::npos);
    EXPECT_EQ(server.Connections(), 6);
}

// Answers /hop0 .. /hop{n-1} with a redirect to the next hop, anything else with "done".
ScriptedServer::Script RedirectChain(int hops)
{
    return [hops](ScriptedConnection& c) {
        for (std::string request; !(request = c.ReadRequest()).empty();) {
            const std::string target = TargetOf(request);
            const int hop = target.rfind("/hop", 0) == 0 ? std::stoi(target.substr(4)) : hops;
            if (hop < hops)
                c.Send(LengthResponse("", "301 Moved", "Location: /hop" + std::to_string(hop + 1) + "\r\n"));
            else
                c.Send(LengthResponse("done"));
        }
    };
}

TEST_F(HttpClientTest, FourRedirectsAreFollowedAndAFifthIsRefused)
{
    struct Case {
        int hops;
        bool ok;
    };
    for (const Case c : {Case{4, true}, Case{5, false}}) {
        SCOPED_TRACE(c.hops);
        ScriptedServer server({RedirectChain(c.hops)});
        HttpClient fresh;
        Logger caseLog;
        DataBuffer out;
        EXPECT_EQ(fresh.Get(UrlOf(server, "/hop0").c_str(), control, out, result, caseLog), c.ok)
            << LogText(caseLog);
        EXPECT_TRUE(result.wasRedirected);
        if (c.ok) {
            EXPECT_EQ(AsString(out), "done");
            EXPECT_EQ(result.finalUrl.ToStdString(), UrlOf(server, "/hop4"));
        } else {
            EXPECT_NE(LogText(caseLog).find("Aborted to avoid infinite redirects."), std::string::npos);
        }
        fresh.Close();
        EXPECT_EQ(server.Connections(), 1);   // same server: the kept-alive connection
    }
}

TEST_F(HttpClientTest, CookieSetOnRedirectIsSentOnNextHop)
{
    ScriptedServer server({[](ScriptedConnection& c) {
        c.ReadRequest();
        c.Send(LengthResponse("", "302 Found", "Set-Cookie: sid=abc123; path=/\r\nLocation: /next\r\n"));
        c.ReadRequest();
        c.Send(LengthResponse("inside"));
        c.WaitForClose();
    }});
    control.cookieDir.SetString("memory");
    control.login.SetString("user");
    control.password.SetString("secret");
    // No path after the host: the redirect must not produce "//next".
    ASSERT_TRUE(Get("http://127.0.0.1:" + std::to_string(server.Port()))) << LogText(log);
    client.Close();
    EXPECT_EQ(AsString(body), "inside");
    const std::vector<std::string> requests = server.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].find("Cookie:"), std::string::npos);
    EXPECT_EQ(TargetOf(requests[1]), "/next");
    EXPECT_NE(requests[1].find("\r\nCookie: sid=abc123\r\n"), std::string::npos) << requests[1];
    // Same host: the credentials go along.
    EXPECT_NE(requests[1].find("Authorization: Basic dXNlcjpzZWNyZXQ="), std::string::npos);
}

TEST_F(HttpClientTest, RedirectToAnotherHostDropsAuthorization)
{
    ScriptedServer other({ReplyOnce(LengthResponse("elsewhere"))});
    const std::string away = "http://localhost:" + std::to_string(other.Port()) + "/landing";
    ScriptedServer origin({ReplyOnce(LengthResponse("", "302 Found", "Location: " + away + "\r\n"))});
    control.login.SetString("user");
    control.password.SetString("secret");
    ASSERT_TRUE(Get(UrlOf(origin))) << LogText(log);
    EXPECT_EQ(AsString(body), "elsewhere");
    ASSERT_EQ(origin.Requests().size(), 1u);
    ASSERT_EQ(other.Requests().size(), 1u);
    EXPECT_NE(origin.Requests()[0].find("Authorization: Basic dXNlcjpzZWNyZXQ="), std::string::npos);
    EXPECT_EQ(other.Requests()[0].find("Authorization"), std::string::npos) << other.Requests()[0];
    EXPECT_NE(LogText(log).find("the Authorization field is not sent"), std::string::npos);
}

TEST_F(HttpClientTest, RequestHeaderSets)
{
    struct Case {
        const char* name;
        bool ie;
        bool firefox;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"default", false, false,
         "GET /p?x=1 HTTP/1.1\r\nAccept: */*\r\nAccept-Charset: ISO-8859-1,utf-8;q=0.7,*;q=0.7\r\n"
         "Accept-Language: en-us,en;q=0.5\r\nUser-Agent: agent\r\nHost: @\r\n"
         "Connection: Keep-Alive\r\n\r\n"},
        {"ie wins over firefox", true, true,
         "GET /p?x=1 HTTP/1.1\r\nAccept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, "
         "application/vnd.ms-excel, application/msword, application/x-shockwave-flash, */*\r\n"
         "Accept-Language: en-us,en;q=0.5\r\nAccept-Encoding: gzip\r\n"
         "User-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; SV1; .NET CLR 1.0.3705; "
         ".NET CLR 1.1.4322)\r\nConnection: Keep-Alive\r\nHost: @\r\n\r\n"},
        {"firefox", false, true,
         "GET /p?x=1 HTTP/1.1\r\nHost: @\r\n"
         "User-Agent: Mozilla/5.0 (Windows; U; Windows NT 5.1; en-US; rv:1.7.7) Gecko/20050414 Firefox/1.0.3\r\n"
         "Accept: text/xml,application/xml,application/xhtml+xml,text/html;q=0.9,text/plain;q=0.8,"
         "image/png,*/*;q=0.5\r\nAccept-Charset: ISO-8859-1,utf-8;q=0.7,*;q=0.7\r\nAccept-Encoding: gzip\r\n"
         "Accept-Language: en-us,en;q=0.5\r\nKeep-Alive: 300\r\nConnection: keep-alive\r\n\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedServer server({ReplyOnce(LengthResponse("ok"))});
        HttpClient fresh;
        HttpControl settings;
        settings.userAgent.SetString("agent");
        settings.mimicIe = c.ie;
        settings.mimicFirefox = c.firefox;
        DataBuffer out;
        ASSERT_TRUE(fresh.Get(UrlOf(server, "/p?x=1").c_str(), settings, out, result, log)) << LogText(log);
        ASSERT_EQ(server.Requests().size(), 1u);
        // A port other than 80 goes into the Host field.
        std::string expected = c.expected;
        expected.replace(expected.find('@'), 1, "127.0.0.1:" + std::to_string(server.Port()));
        EXPECT_EQ(server.Requests()[0], expected);
    }
}

TEST_F(HttpClientTest, ProxyGetsTheWholeUrl)
{
    ScriptedServer proxy({ReplyOnce(LengthResponse("via proxy"))});
    control.proxyDomain.SetString("127.0.0.1");
    control.proxyPort = proxy.Port();
    ASSERT_TRUE(Get("http://www.example.invalid/page?q=1")) << LogText(log);
    EXPECT_EQ(AsString(body), "via proxy");
    ASSERT_EQ(proxy.Requests().size(), 1u);
    EXPECT_EQ(TargetOf(proxy.Requests()[0]), "http://www.example.invalid/page?q=1");
    EXPECT_NE(proxy.Requests()[0].find("Host: www.example.invalid\r\n"), std::string::npos);
}

TEST_F(HttpClientTest, RefusedUrls)
{
    struct Case {
        const char* url;
        const char* proxy;
        const char* logged;
    };
    const std::string longUrl = "http://127.0.0.1/" + std::string(2100, 'a');
    const Case cases[] = {
        {"https://127.0.0.1:1/", "", "Using HTTPS."},
        {"https://127.0.0.1:1/", "127.0.0.1", "Proxies for SSL are not yet supported."},
        {longUrl.c_str(), "", "URL is longer than the maximum allowed length."},
        {"http://127.0.0.1:1/", "", "Failed to connect to HTTP server."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.logged);
        HttpClient fresh;
        HttpControl settings;
        settings.proxyDomain.SetString(c.proxy);
        Logger caseLog;
        DataBuffer out;
        EXPECT_FALSE(fresh.Get(c.url, settings, out, result, caseLog));
        EXPECT_NE(LogText(caseLog).find(c.logged), std::string::npos) << LogText(caseLog);
    }
}

// The client keeps the split of the last URL it was asked for: a repeated
// URL is still checked against the settings, an unsplittable one keeps
// failing, and another URL replaces what was kept.
TEST_F(HttpClientTest, RepeatedAndChangingUrlsOnOneClient)
{
    ScriptedServer server({[](ScriptedConnection& c) {
        for (int i = 0; i < 3; ++i) {
            c.ReadRequest();
            c.Send(LengthResponse("ok"));
        }
        c.WaitForClose();
    }});
    const std::string a = UrlOf(server, "/a");
    const std::string b = UrlOf(server, "/b?x=1");
    struct Step {
        std::string url;
        int maxUrlLen;
        const char* target;   // what the server is asked for; null: refused
        const char* logged;   // for a refused step
    };
    const Step steps[] = {
        {a, 2000, "/a", nullptr},
        {b, 2000, "/b?x=1", nullptr},
        {b, 10, nullptr, "URL is longer than the maximum allowed length."},
        {"http:///nohost", 2000, nullptr, "Failed to parse URL"},
        {"http:///nohost", 2000, nullptr, "Failed to parse URL"},
        {a, 2000, "/a", nullptr},
    };
    size_t asked = 0;
    for (const Step& step : steps) {
        SCOPED_TRACE(step.url + " " + std::to_string(step.maxUrlLen));
        control.maxUrlLen = step.maxUrlLen;
        log.ClearLog();
        if (step.target == nullptr) {
            EXPECT_FALSE(Get(step.url));
            EXPECT_NE(LogText(log).find(step.logged), std::string::npos) << LogText(log);
            continue;
        }
        ASSERT_TRUE(Get(step.url)) << LogText(log);
        ASSERT_EQ(server.Requests().size(), ++asked);
        EXPECT_EQ(TargetOf(server.Requests().back()), step.target);
    }
    client.Close();
    EXPECT_EQ(server.Connections(), 1);
}

TEST_F(HttpClientTest, AboutBlankSucceedsWithoutNetwork)
{
    EXPECT_TRUE(Get("about:blank"));
    EXPECT_TRUE(body.IsEmpty());
}

TEST_F(HttpClientTest, PostSkipsHundredContinue)
{
    ScriptedServer server({[](ScriptedConnection& c) {
        c.ReadRequest();
        c.Send("HTTP/1.1 100 Continue\r\n\r\n" + LengthResponse("posted", "200 OK", "Set-Cookie: k=v\r\n"));
        c.WaitForClose();
    }});
    HttpConnPool pool;
    HttpRequest request;
    request.SetPath("/form");
    request.AddParam("a", "1");
    request.SetFormPost();
    control.cookieDir.SetString("memory");
    ASSERT_TRUE(pool.SendRequest("127.0.0.1", server.Port(), false, request, control, result, body, log))
        << LogText(log);
    pool.CloseAll();
    EXPECT_EQ(result.header.GetStatusCode(), 200);
    EXPECT_EQ(AsString(body), "posted");
    EXPECT_NE(LogText(log).find("Received HTTP 100 response."), std::string::npos);
    ASSERT_EQ(server.Requests().size(), 1u);
    const std::string sent = server.Requests()[0];
    EXPECT_EQ(sent.rfind("POST /form HTTP/1.1\r\n", 0), 0u) << sent;
    EXPECT_NE(sent.find("Host: 127.0.0.1:" + std::to_string(server.Port()) + "\r\n"), std::string::npos) << sent;
    EXPECT_EQ(sent.substr(sent.size() - 3), "a=1");
    EXPECT_EQ(control.cookieMap.Count(), 1u);   // the 200's cookie was kept
}

} // namespace
} // namespace plentor
