#include "http/HttpMan.h"

#include "http/ClsHttpRequest.h"
#include "http/ClsHttpResponse.h"
#include "support/CommandLineTool.h"
#include "support/LogText.h"
#include "support/NginxServer.h"
#include "support/ScriptedServer.h"
#include "text/DataBuffer.h"
#include "text/StringBuffer.h"
#include "text/XString.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace plentor {
namespace {

using testsupport::LengthResponse;
using testsupport::ScriptedConnection;
using testsupport::ScriptedServer;
using testsupport::LogText;
using testsupport::NginxServer;

std::string UrlOf(int port, const std::string& path = "/")
{
    return "http://127.0.0.1:" + std::to_string(port) + path;
}

std::string AsString(const DataBuffer& data)
{
    return std::string(reinterpret_cast<const char*>(data.Data()), data.Size());
}

// Answers each request of one connection with the given response, then
// waits for the client to hang up.
ScriptedServer::Script ReplyAll(std::vector<std::string> responses)
{
    return [responses](ScriptedConnection& c) {
        for (const std::string& response : responses) {
            if (c.ReadRequest().empty()) return;
            c.Send(response);
        }
        c.WaitForClose();
    };
}

const std::string kMetaWindows1252 =
    "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1252\"></head>";

struct CharsetCase {
    const char* name;
    std::string contentType;
    std::string body;
    std::string expected;
};

TEST(HttpManTest, QuickGetHtmlDeliversUtf8ByTheDeclaredCharset)
{
    const CharsetCase cases[] = {
        {"Content-Type charset", "text/html; charset=windows-1252", "caf\xE9 \x80", "caf\xC3\xA9 \xE2\x82\xAC"},
        {"quoted Latin-1 charset", "text/plain; charset=\"ISO-8859-1\"", "\xE9t\xE9", "\xC3\xA9t\xC3\xA9"},
        {"meta tag only", "text/html", kMetaWindows1252 + "caf\xE9", kMetaWindows1252 + "caf\xC3\xA9"},
        {"short meta charset", "text/html", "<meta charset=\"windows-1251\">\xE4\xE0", "<meta charset=\"windows-1251\">\xD0\xB4\xD0\xB0"},
        // The markup is only consulted for HTML.
        {"meta tag in plain text", "text/plain", kMetaWindows1252 + "caf\xE9", kMetaWindows1252 + "caf\xE9"},
        {"UTF-8 passes through", "text/html; charset=utf-8", "caf\xC3\xA9", "caf\xC3\xA9"},
        {"no charset, ASCII", "text/html", "<p>plain</p>", "<p>plain</p>"},
        {"unknown charset", "text/html; charset=x-no-such", "caf\xE9", "caf\xE9"},
    };
    for (const CharsetCase& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedServer server({ReplyAll({LengthResponse(c.body, "200 OK", "Content-Type: " + c.contentType + "\r\n")})});
        HttpMan http;
        StringBuffer out;
        out.SetString("stale");
        ASSERT_TRUE(http.QuickGetHtml(UrlOf(server.Port()).c_str(), out)) << LogText(http.GetLog());
        EXPECT_EQ(out.ToStdString(), c.expected);
    }
}

TEST(HttpManTest, ErrorStatusIsFalseWithStatusKept)
{
    ScriptedServer server({ReplyAll({LengthResponse("<p>gone</p>", "404 Not Found", "Content-Type: text/html\r\n"),
                                     LengthResponse("oops", "500 Internal Server Error")})});
    HttpMan http;
    StringBuffer text;
    EXPECT_FALSE(http.QuickGetHtml(UrlOf(server.Port()).c_str(), text));
    EXPECT_EQ(http.GetResult().header.GetStatusCode(), 404);
    DataBuffer bytes;
    EXPECT_FALSE(http.QuickGetBytes(UrlOf(server.Port()).c_str(), bytes));
    EXPECT_EQ(http.GetResult().header.GetStatusCode(), 500);
    EXPECT_EQ(AsString(bytes), "oops");   // the body of an error reply is still handed over
}

TEST(HttpManTest, BasicCredentialsAreSentAndUrlCredentialsStay)
{
    ScriptedServer server({ReplyAll({LengthResponse("a"), LengthResponse("b"), LengthResponse("c")})});
    HttpMan http;
    XString login, password;
    login.SetAnsi("user");
    password.SetAnsi("secret");
    http.SetLogin(login);
    http.SetPassword(password);
    DataBuffer body;
    ASSERT_TRUE(http.QuickGetBytes(UrlOf(server.Port()).c_str(), body)) << LogText(http.GetLog());
    // Credentials in a URL replace the configured ones for later requests too.
    const std::string withCredentials = "http://alice:pw@127.0.0.1:" + std::to_string(server.Port()) + "/";
    ASSERT_TRUE(http.QuickGetBytes(withCredentials.c_str(), body)) << LogText(http.GetLog());
    ASSERT_TRUE(http.QuickGetBytes(("  " + UrlOf(server.Port()) + "\r\n").c_str(), body))
        << LogText(http.GetLog());
    const std::vector<std::string> requests = server.Requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_NE(requests[0].find("\r\nAuthorization: Basic dXNlcjpzZWNyZXQ=\r\n"), std::string::npos) << requests[0];
    EXPECT_NE(requests[1].find("\r\nAuthorization: Basic YWxpY2U6cHc=\r\n"), std::string::npos) << requests[1];
    EXPECT_NE(requests[2].find("\r\nAuthorization: Basic YWxpY2U6cHc=\r\n"), std::string::npos) << requests[2];
}

TEST(HttpManTest, MemoryCookiesAreSentOnTheNextRequestOnlyWhenEnabled)
{
    for (bool cookiesOn : {true, false}) {
        SCOPED_TRACE(cookiesOn ? "memory cookies" : "no cookie location");
        ScriptedServer server(
            {ReplyAll({LengthResponse("in", "200 OK", "Set-Cookie: sid=abc123; path=/\r\n"), LengthResponse("again")})});
        HttpMan http;
        if (cookiesOn) {
            http.SetCookieDir("memory");
            http.SetSendCookies(true);
            http.SetSaveCookies(true);
        }
        DataBuffer body;
        ASSERT_TRUE(http.QuickGetBytes(UrlOf(server.Port(), "/login").c_str(), body)) << LogText(http.GetLog());
        ASSERT_TRUE(http.QuickGetBytes(UrlOf(server.Port(), "/next").c_str(), body)) << LogText(http.GetLog());
        const std::vector<std::string> requests = server.Requests();
        ASSERT_EQ(requests.size(), 2u);
        EXPECT_EQ(requests[0].find("Cookie:"), std::string::npos);
        EXPECT_EQ(requests[1].find("\r\nCookie: sid=abc123\r\n") != std::string::npos, cookiesOn) << requests[1];
    }
}

TEST(HttpManTest, QuickGetHtmlClearsTheLogAndOpensItsContext)
{
    ScriptedServer server({ReplyAll({LengthResponse("ok")})});   // outlives the client's kept-alive connection
    HttpMan http;
    StringBuffer out;
    EXPECT_FALSE(http.QuickGetHtml(nullptr, out));
    const std::string first = LogText(http.GetLog());
    EXPECT_NE(first.find("QuickGetHtml"), std::string::npos) << first;
    EXPECT_NE(first.find("Failed to parse URL"), std::string::npos) << first;

    ASSERT_TRUE(http.QuickGetHtml(UrlOf(server.Port()).c_str(), out)) << LogText(http.GetLog());
    const std::string second = LogText(http.GetLog());
    EXPECT_EQ(second.find("Failed to parse URL"), std::string::npos) << second;
    EXPECT_NE(second.find("QuickGetHtml"), std::string::npos) << second;
    EXPECT_EQ(out.ToStdString(), "ok");
}

TEST(HttpManTest, SetMimicFirefoxSwitchesTheIeSetOff)
{
    HttpMan http;
    http.GetControl().mimicIe = true;
    http.SetMimicFirefox(false);
    EXPECT_TRUE(http.GetControl().mimicIe);
    http.SetMimicFirefox(true);
    EXPECT_TRUE(http.GetControl().mimicFirefox);
    EXPECT_FALSE(http.GetControl().mimicIe);
}

TEST(HttpManTest, SendRequestPostsAFormAndDecodesTheReply)
{
    ScriptedServer server({ReplyAll({LengthResponse("r\xE9sum\xE9", "200 OK", "Content-Type: text/plain\r\n"),
                                     LengthResponse("caf\xC3\xA9", "403 Forbidden",
                                                    "Content-Type: text/plain; charset=UTF-8\r\n")})});
    HttpMan http;
    ClsHttpRequest request;
    ASSERT_TRUE(request.SetFromUrl("http://ignored.example/add?a=1&flag"));
    request.AddParam(" ti tle\t", "x y");
    request.AddParam("a", "2");
    request.SetFormPost();
    request.SetBrowserHeaders();

    std::unique_ptr<ClsHttpResponse> response(http.SendRequest("127.0.0.1", server.Port(), false, request));
    ASSERT_NE(response, nullptr) << LogText(http.GetLog());
    EXPECT_EQ(response->StatusCode(), 200);
    EXPECT_EQ(response->GetDomain().ToStdString(), "127.0.0.1");
    XString text;
    response->GetBodyText(text);   // no charset: ISO-8859-1
    EXPECT_STREQ(text.GetUtf8(), "r\xC3\xA9sum\xC3\xA9");

    const std::string sent = server.Requests().at(0);
    EXPECT_EQ(sent.rfind("POST /add HTTP/1.1\r\n", 0), 0u) << sent;
    EXPECT_NE(sent.find("\r\n\r\na=2&flag=&title=x+y"), std::string::npos) << sent;
    EXPECT_NE(sent.find("Firefox/1.0.4"), std::string::npos) << sent;

    // The status is the caller's to judge.
    std::unique_ptr<ClsHttpResponse> refused(http.SendRequest("127.0.0.1", server.Port(), false, request));
    ASSERT_NE(refused, nullptr) << LogText(http.GetLog());
    EXPECT_EQ(refused->StatusCode(), 403);
    refused->GetBodyText(text);
    EXPECT_STREQ(text.GetUtf8(), "caf\xC3\xA9");
}

TEST(HttpManTest, SendRequestWithoutDomainIsNull)
{
    HttpMan http;
    ClsHttpRequest request;
    EXPECT_EQ(http.SendRequest(nullptr, 0, false, request), nullptr);
    EXPECT_NE(LogText(http.GetLog()).find("No domain"), std::string::npos);
}

class HttpManNginxTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!NginxServer::Available()) GTEST_SKIP() << NginxServer::kMissingMessage;
        ASSERT_TRUE(nginx.WriteDocFile("page.html", "<html><body>hello</body></html>"));
        ASSERT_TRUE(nginx.WriteDocFile("blob.bin", kBinary));
        ASSERT_TRUE(nginx.Start()) << nginx.Error();
    }

    const std::string kBinary = std::string("\x00\x01\xFF\xE9\r\n\x80 end", 10);
    NginxServer nginx;
};

TEST_F(HttpManNginxTest, QuickGetBytesDeliversTheBytesUnchanged)
{
    HttpMan http;
    DataBuffer body;
    ASSERT_TRUE(http.QuickGetBytes(UrlOf(nginx.Port(), "/blob.bin").c_str(), body)) << LogText(http.GetLog());
    EXPECT_EQ(AsString(body), kBinary);
    StringBuffer text;
    EXPECT_FALSE(http.QuickGetHtml(UrlOf(nginx.Port(), "/missing.html").c_str(), text));
    EXPECT_EQ(http.GetResult().header.GetStatusCode(), 404);
}

TEST_F(HttpManNginxTest, CommandLineGet)
{
    struct Case {
        std::string arguments;
        int exitCode;
        std::string out;
    };
    const std::string base = "http://127.0.0.1:" + std::to_string(nginx.Port());
    const Case cases[] = {
        {"get " + base + "/page.html", 0, "<html><body>hello</body></html>"},
        {"get --firefox --cookies memory --login u --password p " + base + "/page.html", 0,
         "<html><body>hello</body></html>"},
        {"get --bytes " + base + "/blob.bin", 0, kBinary},
        {"get --log " + base + "/missing.html", 1, ""},
        {"get --no-such-flag " + base + "/page.html", 2, ""},
        {"get --login u " + base + "/page.html", 2, ""},
        {"get", 2, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments);
        const testsupport::CommandLineTool::Result run = testsupport::CommandLineTool::Run(c.arguments);
        EXPECT_EQ(run.exitStatus, c.exitCode);
        if (c.exitCode == 0) {
            EXPECT_EQ(run.out, c.out);
        }
    }
}

} // namespace
} // namespace plentor
