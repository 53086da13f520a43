#include "services/DeliciousClient.h"

#include "services/ServiceWire.h"
#include "support/LogText.h"
#include "support/ScriptedServer.h"

#include <gtest/gtest.h>

#include <string>

namespace plentor {
namespace {

using testsupport::BookmarkEmulator;
using testsupport::FirefoxGet;
using testsupport::ScopedEnv;

// "demo:demo" and "demo:wrong" in Base64.
constexpr const char* kDemoAuth = "Authorization: Basic ZGVtbzpkZW1v\r\n";
constexpr const char* kWrongAuth = "Authorization: Basic ZGVtbzp3cm9uZw==\r\n";

class DeliciousClientTest : public testsupport::EmulatorSuite {
protected:
    // A client pointed at the emulator with the given account.
    void Prepare(DeliciousClient& client, const char* password = "demo")
    {
        ASSERT_TRUE(client.SetEndpoint(Base().c_str()));
        client.Login().SetString("demo");
        client.Password().SetString(password);
    }
};

struct SubmitCase {
    const char* name;
    const char* url;
    const char* title;
    const char* extended;
    const char* tags;
    const char* query;   // after "/v1/posts/add?"
    bool accepted;
};

TEST_F(DeliciousClientTest, SendsOneAuthenticatedGetPerBookmark)
{
    const SubmitCase cases[] = {
        {"plain page", "http://example.org/", "Example Page", "", "a,b",
         "url=http%3A%2F%2Fexample%2Eorg%2F&description=Example+Page&extended=&tags=a+b", true},
        {"commas and runs of spaces in tags", "http://example.org/", "t", "", "web, news,,tools",
         "url=http%3A%2F%2Fexample%2Eorg%2F&description=t&extended=&tags=web+news+tools", true},
        {"a leading comma leaves one space", "http://example.org/", "t", "", ",web",
         "url=http%3A%2F%2Fexample%2Eorg%2F&description=t&extended=&tags=+web", true},
        {"tabs and line ends in tags", "http://example.org/", "t", "", "a\t\tb\r\nc ",
         "url=http%3A%2F%2Fexample%2Eorg%2F&description=t&extended=&tags=a+b+c+", true},
        {"title and description keep their spaces and commas", "http://example.org/?q=1&r=2", " A/B: c ",
         "one, two\tthree", "x",
         "url=http%3A%2F%2Fexample%2Eorg%2F%3Fq%3D1%26r%3D2&description=+A%2FB%3A+c+&extended=one%2C+two%09three"
         "&tags=x",
         true},
        {"bytes beyond ASCII and marks", "http://example.org/caf\xC3\xA9", "Caf\xC3\xA9 _-.~*", "", "",
         "url=http%3A%2F%2Fexample%2Eorg%2Fcaf%C3%A9&description=Caf%C3%A9+%5F%2D%2E%7E%2A&extended=&tags=", true},
        // The request still goes out; the service refuses a bookmark without URL.
        {"everything empty", "", "", "", "", "url=&description=&extended=&tags=", false},
    };
    for (const SubmitCase& c : cases) {
        SCOPED_TRACE(c.name);
        const size_t mark = emulator_->Journal().size();
        DeliciousClient client;
        Prepare(client);
        EXPECT_EQ(client.SubmitExplicit(c.url, c.title, c.extended, c.tags), c.accepted);
        const auto entries = emulator_->JournalSince(mark);
        ASSERT_EQ(entries.size(), 1u);
        EXPECT_EQ(entries[0].service, "delicious");
        EXPECT_EQ(entries[0].raw, Expected(FirefoxGet(std::string("/v1/posts/add?") + c.query, kDemoAuth)));
    }
}

TEST_F(DeliciousClientTest, WrongPasswordIsRefused)
{
    DeliciousClient client;
    Prepare(client, "wrong");
    EXPECT_FALSE(client.SubmitExplicit("http://example.org/", "Example", "", "a"));
    const auto entries = NewEntries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].status, 401);
    EXPECT_EQ(entries[0].raw, Expected(FirefoxGet(
                                  "/v1/posts/add?url=http%3A%2F%2Fexample%2Eorg%2F&description=Example&extended=&tags=a",
                                  kWrongAuth)));
    // The facade's account of the exchange is kept for the caller.
    EXPECT_FALSE(client.GetLastHttpLog().IsEmpty());
}

TEST_F(DeliciousClientTest, NoCookieOutlivesASubmission)
{
    // Each submission has a facade of its own: a cookie set by one reply is
    // not sent with the next request.
    testsupport::ScriptedServer server({
        [](testsupport::ScriptedConnection& c) {
            c.ReadRequest();
            c.Send(testsupport::LengthResponse("<result code=\"done\" />", "200 OK", "Set-Cookie: s=1; Path=/\r\n"));
            c.WaitForClose();
        },
        [](testsupport::ScriptedConnection& c) {
            c.ReadRequest();
            c.Send(testsupport::LengthResponse("<result code=\"done\" />"));
            c.WaitForClose();
        },
    });
    DeliciousClient client;
    ASSERT_TRUE(client.SetEndpoint(("http://127.0.0.1:" + std::to_string(server.Port())).c_str()));
    client.Login().SetString("demo");
    client.Password().SetString("demo");
    EXPECT_TRUE(client.SubmitExplicit("http://a.example/", "A", "", ""));
    EXPECT_TRUE(client.SubmitExplicit("http://b.example/", "B", "", ""));
    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[1].find("Cookie:"), std::string::npos) << requests[1];
    EXPECT_EQ(server.Connections(), 2);
}

struct ReplyCase {
    const char* status;
    const char* body;
    bool accepted;
};

TEST(DeliciousClientReplyTest, OnlyADoneCodeBelow400IsSuccess)
{
    const ReplyCase cases[] = {
        {"200 OK", "<?xml version=\"1.0\"?>\n<result code=\"done\" />\n", true},
        {"200 OK", "code=\"done\"", true},
        {"200 OK", "<result code=\"something went wrong\" />", false},
        {"200 OK", "<result code='done' />", false},
        {"200 OK", "<result CODE=\"DONE\" />", false},
        {"200 OK", "", false},
        {"401 Unauthorized", "<result code=\"done\" />", false},
        {"503 Service Unavailable", "<result code=\"done\" />", false},
    };
    for (const ReplyCase& c : cases) {
        SCOPED_TRACE(std::string(c.status) + " " + c.body);
        const std::string status = c.status;
        const std::string body = c.body;
        testsupport::ScriptedServer server({[&](testsupport::ScriptedConnection& connection) {
            connection.ReadRequest();
            connection.Send(testsupport::LengthResponse(body, status));
            connection.WaitForClose();
        }});
        DeliciousClient client;
        ASSERT_TRUE(client.SetEndpoint(("http://127.0.0.1:" + std::to_string(server.Port())).c_str()));
        client.Login().SetString("demo");
        client.Password().SetString("demo");
        EXPECT_EQ(client.SubmitExplicit("http://example.org/", "t", "", ""), c.accepted);
    }
}

TEST_F(DeliciousClientTest, EnvironmentVariablePointsTheClientElsewhere)
{
    ScopedEnv env("PLENTOR_DELICIOUS_URL", (Base() + "/").c_str());
    DeliciousClient client;
    client.Login().SetString("demo");
    client.Password().SetString("demo");
    EXPECT_TRUE(client.SubmitExplicit("http://example.org/", "Env", "", ""));
    const auto entries = NewEntries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].requestLine,
              "GET /v1/posts/add?url=http%3A%2F%2Fexample%2Eorg%2F&description=Env&extended=&tags= HTTP/1.1");
}

TEST_F(DeliciousClientTest, BadExplicitBaseKeepsThePreviousOne)
{
    DeliciousClient client;
    Prepare(client);
    EXPECT_FALSE(client.SetEndpoint("api.example.net"));
    EXPECT_NE(testsupport::LogText(client.GetLog()).find("Invalid service endpoint"), std::string::npos);
    EXPECT_TRUE(client.SubmitExplicit("http://example.org/", "Kept", "", ""));
    EXPECT_EQ(NewEntries().size(), 1u);
}

TEST(DeliciousClientTlsTest, HttpsBaseIsReachedOverTls)
{
    testsupport::FirstBytesListener listener;
    DeliciousClient client;
    ASSERT_TRUE(client.SetEndpoint(("https://127.0.0.1:" + std::to_string(listener.Port())).c_str()));
    EXPECT_FALSE(client.SubmitExplicit("http://example.org/", "t", "", ""));
    testsupport::ExpectTlsAttempt(listener, client.GetLastHttpLog().ToStdString());
}

} // namespace
} // namespace plentor
