// The engine over HTTPS: nginx with a certificate from a CA made at run
// time, trusted through PLENTOR_CA_FILE.
#include "http/HttpClient.h"
#include "support/CommandLineTool.h"
#include "support/LogText.h"
#include "support/NginxServer.h"
#include "support/ScopedEnv.h"

#include "http/ClsHttpRequest.h"
#include "http/ClsHttpResponse.h"
#include "http/HttpControl.h"
#include "http/HttpMan.h"
#include "http/HttpResult.h"
#include "log/Logger.h"
#include "text/DataBuffer.h"
#include "text/StringBuffer.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace plentor {
namespace {

using testsupport::CertFiles;
using testsupport::LogText;
using testsupport::NginxServer;

std::string AsString(const DataBuffer& data)
{
    return std::string(reinterpret_cast<const char*>(data.Data()), data.Size());
}

size_t Occurrences(const std::string& text, const std::string& what)
{
    size_t count = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++count;
    return count;
}

std::string Page()
{
    std::string page = "<html><body>";
    for (int i = 0; i < 3000; ++i) page += "secure line " + std::to_string(i) + "\n";
    return page + "</body></html>";
}

class HttpClientTlsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!NginxServer::Available()) GTEST_SKIP() << NginxServer::kMissingMessage;
        ASSERT_TRUE(nginx.WriteDocFile("page.html", Page()));
        ASSERT_TRUE(nginx.WriteDocFile("c/page.html", Page()));
        ASSERT_TRUE(nginx.WriteDocFile("small.txt", "tiny"));
        nginx.AddLocation(NginxServer::ChunkedLocation("/c/"));
        nginx.AddLocation(NginxServer::GzipLocation("/z/"));
        nginx.AddLocation(NginxServer::RedirectLocation("/moved", 302, "/small.txt"));
        nginx.AddLocation("location = /form { return 200 \"accepted\"; }");
        ASSERT_TRUE(nginx.EnableHttps()) << nginx.Error();
        ASSERT_TRUE(nginx.Start()) << nginx.Error();
        caFile_ = std::make_unique<testsupport::ScopedEnv>("PLENTOR_CA_FILE", nginx.CaFile().c_str());
    }

    void TearDown() override { caFile_.reset(); }

    std::string Url(const std::string& path) const
    {
        return "https://127.0.0.1:" + std::to_string(nginx.HttpsPort()) + path;
    }

    NginxServer nginx;
    std::unique_ptr<testsupport::ScopedEnv> caFile_;
};

TEST_F(HttpClientTlsTest, FramingsOverOneKeptAliveTlsConnection)
{
    struct Case {
        const char* path;
        int status;
        std::string body;
    };
    const Case cases[] = {
        {"/page.html", 200, Page()},      // length-framed, many records
        {"/c/page.html", 200, Page()},    // chunked
        {"/small.txt", 200, "tiny"},
        {"/moved", 200, "tiny"},          // redirect on the same connection
        {"/missing", 404, ""},
    };
    HttpControl control;
    control.readTimeoutSec = 5;
    HttpClient client;
    Logger log;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        HttpResult result;
        DataBuffer body;
        ASSERT_TRUE(client.Get(Url(c.path).c_str(), control, body, result, log)) << LogText(log);
        EXPECT_EQ(result.header.GetStatusCode(), c.status);
        if (c.status == 200) {
            EXPECT_EQ(AsString(body), c.body);
        }
    }
    // Every GET went over the first session.
    EXPECT_EQ(Occurrences(LogText(log), "Secure Channel Established."), 1u) << LogText(log);
    EXPECT_NE(LogText(log).find("Using HTTPS."), std::string::npos);
}

TEST_F(HttpClientTlsTest, UnverifiedCertificateFailsUnlessAccepted)
{
    CertFiles wrongName;
    ASSERT_TRUE(nginx.Certificates().MakeWrongName(wrongName));
    NginxServer other;
    ASSERT_TRUE(other.WriteDocFile("page.html", "other"));
    ASSERT_TRUE(other.EnableHttps(wrongName)) << other.Error();
    ASSERT_TRUE(other.Start()) << other.Error();
    const std::string url = "https://127.0.0.1:" + std::to_string(other.HttpsPort()) + "/page.html";
    for (bool accept : {false, true}) {
        SCOPED_TRACE(accept);
        HttpMan http;
        http.SetAcceptUnverifiedCert(accept);
        StringBuffer text;
        EXPECT_EQ(http.QuickGetHtml(url.c_str(), text), accept) << LogText(http.GetLog());
        const std::string logged = LogText(http.GetLog());
        EXPECT_NE(logged.find("CERT_E_CN_NO_MATCH"), std::string::npos) << logged;
        EXPECT_NE(logged.find("Error authenticating server credentials."), std::string::npos);
        if (accept) {
            EXPECT_EQ(text.ToStdString(), "other");
        }
    }
}

TEST_F(HttpClientTlsTest, BuiltRequestWithALargeBodyOverTls)
{
    HttpMan http;
    ClsHttpRequest request;
    ASSERT_TRUE(request.SetFromUrl(Url("/form").c_str()));
    request.AddParam("big", std::string(40000, 'q').c_str());
    request.SetFormPost();
    ClsHttpResponse* response = http.SendRequest("127.0.0.1", nginx.HttpsPort(), true, request);
    ASSERT_NE(response, nullptr) << LogText(http.GetLog());
    EXPECT_EQ(response->StatusCode(), 200);
    delete response;
}

TEST_F(HttpClientTlsTest, CommandLineGetOverHttps)
{
    const testsupport::CommandLineTool::Result run = testsupport::CommandLineTool::Run({"get", Url("/small.txt")});
    EXPECT_EQ(run.exitStatus, 0);
    EXPECT_EQ(run.out, "tiny");
}

} // namespace
} // namespace plentor
