// The engine against a real server: nginx on loopback with the framings and
// statuses it chooses itself.
#include "http/HttpClient.h"
#include "support/LogText.h"
#include "support/NginxServer.h"

#include "http/HttpControl.h"
#include "http/HttpResult.h"
#include "log/Logger.h"
#include "text/DataBuffer.h"
#include "text/StringBuffer.h"

#include <gtest/gtest.h>

#include <string>

namespace plentor {
namespace {

using testsupport::LogText;
using testsupport::NginxServer;

std::string AsString(const DataBuffer& data)
{
    return std::string(reinterpret_cast<const char*>(data.Data()), data.Size());
}

// Text long enough that gzip and chunking have something to do.
std::string Page()
{
    std::string page = "<html><body>";
    for (int i = 0; i < 2000; ++i) page += "line " + std::to_string(i) + " of the page\n";
    return page + "</body></html>";
}

class HttpClientNginxTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!NginxServer::Available()) GTEST_SKIP() << NginxServer::kMissingMessage;
        ASSERT_TRUE(nginx.WriteDocFile("page.html", Page()));
        ASSERT_TRUE(nginx.WriteDocFile("z/page.html", Page()));
        ASSERT_TRUE(nginx.WriteDocFile("c/page.html", Page()));
        ASSERT_TRUE(nginx.WriteDocFile("empty.txt", ""));
        nginx.AddLocation(NginxServer::GzipLocation("/z/"));
        nginx.AddLocation(NginxServer::ChunkedLocation("/c/"));
        nginx.AddLocation(NginxServer::RedirectLocation("/moved", 301, "/page.html"));
        nginx.AddLocation(NginxServer::RedirectLocation("/found", 302, "/c/page.html"));
        nginx.AddLocation(NginxServer::RedirectLocation("/loop", 302, "/loop"));
        nginx.AddLocation(NginxServer::StatusLocation("/gone", 410, "gone for good"));
        ASSERT_TRUE(nginx.Start()) << nginx.Error();
    }

    std::string Url(const std::string& path) const
    {
        return "http://127.0.0.1:" + std::to_string(nginx.Port()) + path;
    }

    NginxServer nginx;
};

TEST_F(HttpClientNginxTest, EveryFramingOverOneKeptAliveConnection)
{
    struct Case {
        const char* path;
        bool firefox;       // the browser set asks for gzip
        bool ok;
        int status;
        std::string body;
        bool redirected;
    };
    const Case cases[] = {
        {"/page.html", false, true, 200, Page(), false},
        {"/z/page.html", true, true, 200, Page(), false},   // gzip + chunked, inflated
        {"/z/page.html", false, true, 200, Page(), false},  // no Accept-Encoding: plain
        {"/c/page.html", false, true, 200, Page(), false},
        {"/empty.txt", false, true, 200, "", false},
        {"/moved", false, true, 200, Page(), true},
        {"/found", true, true, 200, Page(), true},
        {"/gone", false, true, 410, "gone for good", false},
        {"/missing", false, true, 404, "", false},
        {"/loop", false, false, 302, "", true},
    };
    HttpControl control;
    control.readTimeoutSec = 5;
    HttpClient client;
    HttpResult result;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        control.mimicFirefox = c.firefox;
        Logger log;
        DataBuffer body;
        EXPECT_EQ(client.Get(Url(c.path).c_str(), control, body, result, log), c.ok) << LogText(log);
        EXPECT_EQ(result.header.GetStatusCode(), c.status);
        EXPECT_EQ(result.wasRedirected, c.redirected);
        if (c.ok && c.status != 404) {
            EXPECT_EQ(AsString(body), c.body);
        }
        if (!c.ok) {
            EXPECT_NE(LogText(log).find("Aborted to avoid infinite redirects."), std::string::npos);
        }
        result.wasRedirected = false;
    }
}

TEST_F(HttpClientNginxTest, RedirectNotFollowedWhenSwitchedOff)
{
    HttpControl control;
    control.followRedirects = false;
    HttpClient client;
    HttpResult result;
    Logger log;
    DataBuffer body;
    ASSERT_TRUE(client.Get(Url("/moved").c_str(), control, body, result, log)) << LogText(log);
    EXPECT_EQ(result.header.GetStatusCode(), 301);
    EXPECT_TRUE(result.wasRedirected);
    EXPECT_EQ(result.finalUrl.ToStdString(), Url("/page.html"));
}

TEST_F(HttpClientNginxTest, HttpsUrlThroughAProxyIsRefused)
{
    HttpControl control;
    control.proxyDomain.SetString("127.0.0.1");
    control.proxyPort = nginx.Port();
    HttpClient client;
    HttpResult result;
    Logger log;
    DataBuffer body;
    EXPECT_FALSE(client.Get("https://127.0.0.1/page.html", control, body, result, log));
    EXPECT_NE(LogText(log).find("Proxies for SSL are not yet supported."), std::string::npos) << LogText(log);
}

} // namespace
} // namespace plentor
