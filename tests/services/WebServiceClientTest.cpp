#include "services/WebServiceClient.h"

#include "services/ServiceWire.h"
#include "support/LogText.h"
#include "support/ScriptedServer.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace plentor {
namespace {

using testsupport::BrowserPost;
using testsupport::FirefoxGet;
using testsupport::MaskTokens;
using testsupport::ScopedEnv;

constexpr const char* kDemoAuth = "Authorization: Basic ZGVtbzpkZW1v\r\n";
constexpr const char* kWrongAuth = "Authorization: Basic ZGVtbzp3cm9uZw==\r\n";

// One call and the one request it must send ("{base}" stands for the
// emulator's address, "{token}" for a session token).
struct Step {
    std::function<bool(WebServiceClient&)> call;
    bool result;
    std::string request;
};

struct FlowCase {
    const char* name;
    std::vector<Step> steps;
};

const std::string kNetvouzLogin =
    BrowserPost("/action/logon", "{base}/action/logon",
                "username=demo&password=demo&uri=002f&doNotRememberMe=off&type=p&submit=+Log+in");
const std::string kSpurlLogin = BrowserPost("/login.php", "{base}/", "username=demo&password=demo");
const std::string kBlogmarksLogin = BrowserPost("/", "{base}/", "login=demo&pwd=demo&remind=1&connect=1");

std::vector<FlowCase> FlowCases()
{
    return {
        {"shadows: commas in tags become spaces, nothing is collapsed",
         {{[](WebServiceClient& c) {
               return c.ShadowsSubmit("demo", "demo", "http://example.org/", "A/B: c", "more  text", "web, news");
           },
           true,
           FirefoxGet("/api/posts/add?url=http%3A%2F%2Fexample%2Eorg%2F&description=A%2FB%3A+c&extended=more++text"
                      "&tags=web++news",
                      kDemoAuth)}}},
        {"shadows: placeholders in values stay values",
         {{[](WebServiceClient& c) {
               return c.ShadowsSubmit("demo", "demo", "http://example.org/THE_TAGS", "THE_URL", "", "THE_TITLE");
           },
           true,
           FirefoxGet("/api/posts/add?url=http%3A%2F%2Fexample%2Eorg%2FTHE%5FTAGS&description=THE%5FURL&extended="
                      "&tags=THE%5FTITLE",
                      kDemoAuth)}}},
        {"simpy: plain page",
         {{[](WebServiceClient& c) { return c.SimpySubmit("demo", "demo", "http://example.org/", "Example Page", "a b"); },
           true,
           FirefoxGet("/simpy/api/rest/SaveLink.do?title=Example+Page&href=http%3A%2F%2Fexample%2Eorg%2F&accessType=1"
                      "&tags=a+b",
                      kDemoAuth)}}},
        {"simpy: commas travel encoded",
         {{[](WebServiceClient& c) { return c.SimpySubmit("demo", "demo", "http://example.org/", "A/B: c", "web,news"); },
           true,
           FirefoxGet("/simpy/api/rest/SaveLink.do?title=A%2FB%3A+c&href=http%3A%2F%2Fexample%2Eorg%2F&accessType=1"
                      "&tags=web%2Cnews",
                      kDemoAuth)}}},
        {"simpy: wrong password",
         {{[](WebServiceClient& c) { return c.SimpySubmit("demo", "wrong", "http://example.org/", "t", ""); },
           false,
           FirefoxGet("/simpy/api/rest/SaveLink.do?title=t&href=http%3A%2F%2Fexample%2Eorg%2F&accessType=1&tags=",
                      kWrongAuth)}}},
        {"netvouz: login, then the add form with the session cookie",
         {{[](WebServiceClient& c) { return c.NetvouzLogin("demo", "demo"); }, true, kNetvouzLogin},
          {[](WebServiceClient& c) {
               return c.NetvouzSubmit("http://example.org/", "Example Page", "", "");
           },
           true,
           BrowserPost("/action/addBookmark", "{base}/action/addBookmark",
                       "url=http%3A%2F%2Fexample%2Eorg%2F&name=Example+Page&description=&tags=&privat=false"
                       "&category=0&rating=2&hotpick=0&intranet=off&note=&notePrivat=&submit=Create+bookmark",
                       "NVSESSIONID={token}")}}},
        {"netvouz: values with line breaks and bytes beyond ASCII",
         {{[](WebServiceClient& c) { return c.NetvouzLogin("demo", "demo"); }, true, kNetvouzLogin},
          {[](WebServiceClient& c) {
               return c.NetvouzSubmit("http://example.org/", "Caf\xC3\xA9", "one\ntwo", "a,b");
           },
           true,
           BrowserPost("/action/addBookmark", "{base}/action/addBookmark",
                       "url=http%3A%2F%2Fexample%2Eorg%2F&name=Caf%C3%A9&description=one%0D%0Atwo&tags=a%2Cb"
                       "&privat=false&category=0&rating=2&hotpick=0&intranet=off&note=&notePrivat="
                       "&submit=Create+bookmark",
                       "NVSESSIONID={token}")}}},
        {"netvouz: a refused login sets no cookie; the add is then refused",
         {{[](WebServiceClient& c) { return c.NetvouzLogin("demo", "wrong"); },
           false,
           BrowserPost("/action/logon", "{base}/action/logon",
                       "username=demo&password=wrong&uri=002f&doNotRememberMe=off&type=p&submit=+Log+in")},
          {[](WebServiceClient& c) { return c.NetvouzSubmit("http://example.org/", "t", "", ""); },
           false,
           BrowserPost("/action/addBookmark", "{base}/action/addBookmark",
                       "url=http%3A%2F%2Fexample%2Eorg%2F&name=t&description=&tags=&privat=false&category=0"
                       "&rating=2&hotpick=0&intranet=off&note=&notePrivat=&submit=Create+bookmark")}}},
        {"spurl: keywords with spaces, Referer of the bookmarklet page",
         {{[](WebServiceClient& c) { return c.SpurlLogin("demo", "demo"); }, true, kSpurlLogin},
          {[](WebServiceClient& c) {
               return c.SpurlSubmit("http://example.org/a?b=1", "A/B: c", "About it", "web,news");
           },
           true,
           BrowserPost("/submit.php",
                       "{base}/spurl.php/v=3&title=A%2FB%3A+c&url=http%3A%2F%2Fexample%2Eorg%2Fa%3Fb%3D1&blocked=",
                       "link_href=http%3A%2F%2Fexample%2Eorg%2Fa%3Fb%3D1&link_title=A%2FB%3A+c&title=A%2FB%3A+c"
                       "&description=About+it&keywords=web+news&redir=&newcategory=&snip=&explicit=0"
                       "&usercomment=&store=1&language=en&category=%2D1",
                       "PHPSESSID={token}")}}},
        {"blogmarks: login at the root, add form with both cookies",
         {{[](WebServiceClient& c) { return c.BlogmarksLogin("demo", "demo"); }, true, kBlogmarksLogin},
          {[](WebServiceClient& c) {
               return c.BlogmarksSubmit("http://example.org/", "Example Page", "Notes", "web, news");
           },
           true,
           BrowserPost("/my/marks,new", "{base}/my/marks,new",
                       "title=Example+Page&url=http%3A%2F%2Fexample%2Eorg%2F&public-tags=web%2C+news&content=Notes"
                       "&private-tags=&via=&referer=http%3A%2F%2F",
                       "BMSESSID={token}; bm_remind=1")}}},
        {"blogmarks: an add without login carries no cookie and is refused",
         {{[](WebServiceClient& c) { return c.BlogmarksSubmit("http://example.org/", "t", "", ""); },
           false,
           BrowserPost("/my/marks,new", "{base}/my/marks,new",
                       "title=t&url=http%3A%2F%2Fexample%2Eorg%2F&public-tags=&content=&private-tags=&via="
                       "&referer=http%3A%2F%2F")}}},
    };
}

class WebServiceClientTest : public testsupport::EmulatorSuite {};

TEST_F(WebServiceClientTest, SendsEveryRequestAsTheSitesExpect)
{
    for (const FlowCase& c : FlowCases()) {
        SCOPED_TRACE(c.name);
        WebServiceClient client;
        ASSERT_TRUE(client.SetEndpoint(Base().c_str()));
        for (size_t i = 0; i < c.steps.size(); ++i) {
            SCOPED_TRACE("step " + std::to_string(i + 1));
            const size_t mark = emulator_->Journal().size();
            EXPECT_EQ(c.steps[i].call(client), c.steps[i].result);
            const auto entries = emulator_->JournalSince(mark);
            ASSERT_EQ(entries.size(), 1u);
            EXPECT_EQ(MaskTokens(entries[0].raw), Expected(c.steps[i].request));
        }
    }
}

TEST_F(WebServiceClientTest, EnvironmentVariableMovesFormsAndReferers)
{
    ScopedEnv env("PLENTOR_SPURL_URL", Base().c_str());
    WebServiceClient client;
    EXPECT_TRUE(client.SpurlLogin("demo", "demo"));
    const auto entries = NewEntries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].raw, Expected(kSpurlLogin));
}

TEST_F(WebServiceClientTest, BadExplicitBaseIsRefusedAndLogged)
{
    WebServiceClient client;
    ASSERT_TRUE(client.SetEndpoint(Base().c_str()));
    EXPECT_FALSE(client.SetEndpoint("http://127.0.0.1:0"));
    EXPECT_NE(testsupport::LogText(client.GetLog()).find("Invalid service endpoint"), std::string::npos);
    // The base set before still holds.
    EXPECT_TRUE(client.BlogmarksLogin("demo", "demo"));
    EXPECT_EQ(NewEntries().size(), 1u);
}

TEST_F(WebServiceClientTest, ServiceWithoutSuchAFlowIsRefusedWithoutARequest)
{
    const FormField::Values bookmark = FormField::Bookmark("http://example.org/", "t", "", "");
    const std::pair<const char*, std::function<bool(WebServiceClient&)>> calls[] = {
        {"login form of a request-interface service",
         [](WebServiceClient& c) { return c.FormLogin(BookmarkService::Shadows, "demo", "demo"); }},
        {"add form of a service this client does not serve",
         [&](WebServiceClient& c) { return c.FormSubmit(BookmarkService::Delicious, bookmark); }},
        {"request interface of a form site",
         [&](WebServiceClient& c) { return c.SubmitWithAccount(BookmarkService::Netvouz, "demo", "demo", bookmark); }},
    };
    for (const auto& [name, call] : calls) {
        SCOPED_TRACE(name);
        WebServiceClient client;
        ASSERT_TRUE(client.SetEndpoint(Base().c_str()));
        EXPECT_FALSE(call(client));
        EXPECT_TRUE(NewEntries().empty());
        EXPECT_NE(testsupport::LogText(client.GetLog()).find("does not serve"), std::string::npos);
    }
}

// A scripted site: answers every request on a connection with reply.
testsupport::ScriptedServer::Script Answer(const std::string& reply)
{
    return [reply](testsupport::ScriptedConnection& c) {
        while (!c.ReadRequest().empty())
            c.Send(reply);
    };
}

std::string Base(const testsupport::ScriptedServer& server)
{
    return "http://127.0.0.1:" + std::to_string(server.Port());
}

struct StatusCase {
    const char* status;
    bool accepted;
};

TEST(WebServiceClientStatusTest, FormPostsAccept200And302Only)
{
    const StatusCase cases[] = {
        {"200 OK", true},         {"302 Found", true},     {"301 Moved Permanently", false},
        {"303 See Other", false}, {"404 Not Found", false}, {"500 Internal Server Error", false},
    };
    using Submit = bool (WebServiceClient::*)(const char*, const char*, const char*, const char*);
    const std::pair<const char*, Submit> submits[] = {
        {"netvouz", &WebServiceClient::NetvouzSubmit},
        {"spurl", &WebServiceClient::SpurlSubmit},
        {"blogmarks", &WebServiceClient::BlogmarksSubmit},
    };
    for (const auto& [service, submit] : submits) {
        for (const StatusCase& c : cases) {
            SCOPED_TRACE(std::string(service) + " " + c.status);
            testsupport::ScriptedServer server({Answer(testsupport::LengthResponse("<p>ok</p>", c.status,
                                                                           "Location: /elsewhere\r\n"))});
            WebServiceClient client;
            ASSERT_TRUE(client.SetEndpoint(Base(server).c_str()));
            EXPECT_EQ((client.*submit)("http://example.org/", "t", "", ""), c.accepted);
            EXPECT_EQ(server.Connections(), 1);   // the redirect is not followed
        }
    }
}

struct LoginCase {
    const char* name;
    const char* status;
    const char* fields;
    bool accepted;
};

TEST(WebServiceClientStatusTest, LoginNeedsAnAcceptedStatusAndACookie)
{
    const LoginCase cases[] = {
        {"302 with cookie", "302 Found", "Set-Cookie: sid=abc; Path=/\r\nLocation: /home\r\n", true},
        {"200 with cookie", "200 OK", "Set-Cookie: sid=abc; Path=/\r\n", true},
        {"200 with the login page again", "200 OK", "", false},
        {"301 with cookie", "301 Moved Permanently", "Set-Cookie: sid=abc; Path=/\r\nLocation: /\r\n", false},
        {"403 with cookie", "403 Forbidden", "Set-Cookie: sid=abc; Path=/\r\n", false},
    };
    using Login = bool (WebServiceClient::*)(const char*, const char*);
    const std::pair<const char*, Login> logins[] = {
        {"netvouz", &WebServiceClient::NetvouzLogin},
        {"spurl", &WebServiceClient::SpurlLogin},
        {"blogmarks", &WebServiceClient::BlogmarksLogin},
    };
    for (const auto& [service, login] : logins) {
        for (const LoginCase& c : cases) {
            SCOPED_TRACE(std::string(service) + ": " + c.name);
            testsupport::ScriptedServer server({Answer(testsupport::LengthResponse("<p>page</p>", c.status, c.fields))});
            WebServiceClient client;
            ASSERT_TRUE(client.SetEndpoint(Base(server).c_str()));
            EXPECT_EQ((client.*login)("demo", "demo"), c.accepted);
        }
    }
}

TEST(WebServiceClientStatusTest, ApiSubmissionsAcceptAnyStatusBelow400)
{
    const StatusCase cases[] = {
        {"200 OK", true}, {"204 No Content", true}, {"304 Not Modified", true},
        {"401 Unauthorized", false}, {"404 Not Found", false}, {"500 Internal Server Error", false},
    };
    for (const StatusCase& c : cases) {
        SCOPED_TRACE(c.status);
        const std::string reply = "HTTP/1.1 " + std::string(c.status) + "\r\nContent-Length: 0\r\n\r\n";
        testsupport::ScriptedServer server({Answer(reply), Answer(reply)});
        WebServiceClient client;
        ASSERT_TRUE(client.SetEndpoint(Base(server).c_str()));
        EXPECT_EQ(client.ShadowsSubmit("u", "p", "http://example.org/", "t", "", ""), c.accepted);
        EXPECT_EQ(client.SimpySubmit("u", "p", "http://example.org/", "t", ""), c.accepted);
    }
}

TEST(WebServiceClientStatusTest, LoginCookiesGoWithTheSubmission)
{
    testsupport::ScriptedServer server({[](testsupport::ScriptedConnection& c) {
        c.ReadRequest();
        c.Send(testsupport::LengthResponse("", "302 Found", "Set-Cookie: sid=abc123; Path=/\r\nLocation: /\r\n"));
        c.ReadRequest();
        c.Send(testsupport::LengthResponse("", "302 Found"));
        c.WaitForClose();
    }});
    WebServiceClient client;
    ASSERT_TRUE(client.SetEndpoint(Base(server).c_str()));
    EXPECT_TRUE(client.NetvouzLogin("demo", "demo"));
    EXPECT_TRUE(client.NetvouzSubmit("http://example.org/", "t", "", ""));
    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].find("Cookie:"), std::string::npos);
    EXPECT_NE(requests[1].find("\r\nCookie: sid=abc123\r\n"), std::string::npos) << requests[1];
}

TEST(WebServiceClientTlsTest, HttpsBaseMakesTheFormPostUseTls)
{
    testsupport::FirstBytesListener listener;
    WebServiceClient client;
    ASSERT_TRUE(client.SetEndpoint(("https://127.0.0.1:" + std::to_string(listener.Port())).c_str()));
    EXPECT_FALSE(client.BlogmarksLogin("demo", "demo"));
    testsupport::ExpectTlsAttempt(listener, testsupport::LogText(client.GetHttp().GetLog()));
}

} // namespace
} // namespace plentor
