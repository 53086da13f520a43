#include "services/ClsQuorlane.h"

#include "services/ServiceWire.h"
#include "support/LogText.h"
#include "support/ScriptedServer.h"
#include "text/XString.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace plentor {
namespace {

using testsupport::MaskTokens;
using testsupport::PlainPost;
using testsupport::ScopedEnv;

XString Utf8(const char* text)
{
    XString value;
    value.SetUtf8(text);
    return value;
}

XString Utf16(const char16_t* text)
{
    XString value;
    value.SetUtf16z(text);
    return value;
}

const std::string kLogin = PlainPost("/tapp/db.exe", "c=login&api=1&l=demo&p=demo");
constexpr const char* kSession = "QSESSION={token}";

struct Step {
    std::function<bool(ClsQuorlane&)> call;
    bool result;
    std::string request;
};

struct FlowCase {
    const char* name;
    std::vector<Step> steps;
};

bool LogInDemo(ClsQuorlane& q) { return q.Login(Utf8("demo"), Utf8("demo")); }

std::vector<FlowCase> FlowCases()
{
    return {
        {"login, then tags with the search mark cut from the URL",
         {{LogInDemo, true, kLogin},
          {[](ClsQuorlane& q) {
               return q.AddToTags(Utf8("Reading"), Utf8("web, news"), Utf8("http://example.org/page?x=1&s=tqpsrch&y=2"),
                                  Utf8("A/B: c"), Utf8(""));
           },
           true,
           PlainPost("/tapp/db.exe",
                     "c=addToTags&api=1&bt=Reading&t=web%2C+news&url=http%3A%2F%2Fexample%2Eorg%2Fpage%3Fx%3D1"
                     "&et=A%2FB%3A+c&etx=",
                     kSession)}}},
        {"one tag; Unicode text goes as UTF-8",
         {{LogInDemo, true, kLogin},
          {[](ClsQuorlane& q) {
               return q.AddEntry(Utf16(u"Caf\u00e9"), Utf8("one"), Utf8("http://example.org/"),
                                 Utf16(u"\u65e5\u672c \u00e9"), Utf8("line1\nline2"));
           },
           true,
           PlainPost("/tapp/db.exe",
                     "c=addEntry&api=1&bt=Caf%C3%A9&t=one&url=http%3A%2F%2Fexample%2Eorg%2F"
                     "&et=%E6%97%A5%E6%9C%AC+%C3%A9&etx=line1%0D%0Aline2",
                     kSession)}}},
        {"an add without login is refused",
         {{[](ClsQuorlane& q) {
               return q.AddEntry(Utf8("c"), Utf8("t"), Utf8("http://example.org/"), Utf8("T"), Utf8("E"));
           },
           false,
           PlainPost("/tapp/db.exe",
                     "c=addEntry&api=1&bt=c&t=t&url=http%3A%2F%2Fexample%2Eorg%2F&et=T&etx=E")}}},
        {"a wrong password",
         {{[](ClsQuorlane& q) { return q.Login(Utf8("demo"), Utf8("p w&d")); },
           false,
           PlainPost("/tapp/db.exe", "c=login&api=1&l=demo&p=p+w%26d")}}},
    };
}

class ClsQuorlaneTest : public testsupport::EmulatorSuite {};

TEST_F(ClsQuorlaneTest, PostsEachCommandToTheServerProgram)
{
    for (const FlowCase& c : FlowCases()) {
        SCOPED_TRACE(c.name);
        ClsQuorlane client;
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

TEST_F(ClsQuorlaneTest, EnvironmentVariableMovesTheService)
{
    ScopedEnv env("PLENTOR_QUORLANE_URL", (Base() + "/").c_str());
    ClsQuorlane client;
    EXPECT_TRUE(LogInDemo(client));
    const auto entries = NewEntries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].raw, Expected(kLogin));
}

struct MarkCase {
    const char* url;
    const char* sent;
};

TEST(ClsQuorlaneUrlTest, SearchMarkIsCutAtItsFirstOccurrence)
{
    const MarkCase cases[] = {
        {"http://example.org/page?x=1&s=tqpsrch&y=2", "http://example.org/page?x=1"},
        {"http://example.org/page?x=1", "http://example.org/page?x=1"},
        {"&s=tqpsrch", ""},
        {"a&s=tqpsrch&s=tqpsrch", "a"},
        {"a&s=tqpsrc", "a&s=tqpsrc"},
        {"", ""},
    };
    for (const MarkCase& c : cases) {
        StringBuffer url(c.url);
        ClsQuorlane::StripSearchMark(url);
        EXPECT_EQ(url.ToStdString(), c.sent) << c.url;
    }
}

struct ReplyCase {
    const char* name;
    std::string reply;
    bool accepted;
};

std::string Reply(const std::string& status, const std::string& body, const std::string& fields = "")
{
    return testsupport::LengthResponse(body, status, fields);
}

TEST(ClsQuorlaneReplyTest, OnlyTheExactOkDocumentWith200IsSuccess)
{
    using namespace std::string_literals;
    const ReplyCase cases[] = {
        {"exact", Reply("200 OK", "<status>OK</status>"), true},
        {"exact, UTF-8 declared", Reply("200 OK", "<status>OK</status>", "Content-Type: text/xml; charset=utf-8\r\n"),
         true},
        {"line end after it", Reply("200 OK", "<status>OK</status>\r\n"), false},
        {"space before it", Reply("200 OK", " <status>OK</status>"), false},
        {"inside a document", Reply("200 OK", "<?xml version=\"1.0\"?><status>OK</status>"), false},
        {"lower case", Reply("200 OK", "<status>ok</status>"), false},
        {"an error status text", Reply("200 OK", "<status>ERROR: not logged in</status>"), false},
        {"zero byte and more after it", Reply("200 OK", "<status>OK</status>\0trailing"s), false},
        {"empty", Reply("200 OK", ""), false},
        {"redirect with the OK body", Reply("302 Found", "<status>OK</status>", "Location: /\r\n"), false},
        {"server error with the OK body", Reply("500 Internal Server Error", "<status>OK</status>"), false},
    };
    for (const ReplyCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string reply = c.reply;
        testsupport::ScriptedServer server({[reply](testsupport::ScriptedConnection& connection) {
            while (!connection.ReadRequest().empty())
                connection.Send(reply);
        }});
        ClsQuorlane client;
        ASSERT_TRUE(client.SetEndpoint(("http://127.0.0.1:" + std::to_string(server.Port())).c_str()));
        EXPECT_EQ(client.Login(Utf8("demo"), Utf8("demo")), c.accepted);
        EXPECT_EQ(client.AddToTags(Utf8("c"), Utf8("t"), Utf8("http://example.org/"), Utf8("T"), Utf8("")),
                  c.accepted);
        EXPECT_EQ(server.Connections(), 1);   // neither a redirect nor a retry
    }
}

TEST(ClsQuorlaneReplyTest, LoginCookieGoesWithTheAddCommand)
{
    testsupport::ScriptedServer server({[](testsupport::ScriptedConnection& c) {
        c.ReadRequest();
        c.Send(testsupport::LengthResponse("<status>OK</status>", "200 OK", "Set-Cookie: Q=42; Path=/tapp\r\n"));
        c.ReadRequest();
        c.Send(testsupport::LengthResponse("<status>OK</status>"));
        c.WaitForClose();
    }});
    ClsQuorlane client;
    ASSERT_TRUE(client.SetEndpoint(("http://127.0.0.1:" + std::to_string(server.Port())).c_str()));
    EXPECT_TRUE(client.Login(Utf8("demo"), Utf8("demo")));
    EXPECT_TRUE(client.AddEntry(Utf8("c"), Utf8("t"), Utf8("http://example.org/"), Utf8("T"), Utf8("")));
    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_NE(requests[1].find("\r\nCookie: Q=42\r\n"), std::string::npos) << requests[1];
}

TEST(ClsQuorlaneTlsTest, HttpsBaseIsReachedOverTls)
{
    testsupport::FirstBytesListener listener;
    ClsQuorlane client;
    ASSERT_TRUE(client.SetEndpoint(("https://127.0.0.1:" + std::to_string(listener.Port())).c_str()));
    EXPECT_FALSE(client.Login(Utf8("demo"), Utf8("demo")));
    testsupport::ExpectTlsAttempt(listener, testsupport::LogText(client.GetHttp().GetLog()));
}

TEST(ClsQuorlaneEndpointTest, BadBaseIsLoggedInTheObjectsLog)
{
    ClsQuorlane client;
    EXPECT_FALSE(client.SetEndpoint("quorlane.example.org"));
    EXPECT_NE(testsupport::LogText(client.GetLog()).find("Invalid service endpoint"), std::string::npos);
}

} // namespace
} // namespace plentor
