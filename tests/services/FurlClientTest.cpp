#include "services/FurlClient.h"

#include "services/ServiceWire.h"
#include "support/LogText.h"
#include "support/ScriptedServer.h"

#include <gtest/gtest.h>

#include <ctime>
#include <regex>
#include <string>

namespace plentor {
namespace {

using testsupport::BrowserPost;
using testsupport::CookieLine;
using testsupport::FirefoxGet;
using testsupport::MaskTokens;
using testsupport::ScopedEnv;

const std::string kLogin =
    BrowserPost("/user/login", "{base}/index.jsp",
                "username=demo&password=demo&submit.x=25&submit.y=7&submit=LOG+IN");
constexpr const char* kSession = "JSESSIONID={token}";

// The date value of a store request becomes "{date}" once it has the
// expected shape: "Mon%20Jan%2002%202006%2015:04:05%20%2B0100".
std::string MaskDate(const std::string& raw)
{
    static const std::regex kDate(
        "&d=[A-Z][a-z]{2}%20[A-Z][a-z]{2}%20[0-9]{2}%20[0-9]{4}%20[0-9]{2}:[0-9]{2}:[0-9]{2}%20(%2B|-)[0-9]{4}&");
    return std::regex_replace(raw, kDate, "&d={date}&");
}

std::string StoreTarget(const std::string& title, const std::string& url)
{
    return "/store?s=f&to=0&ti=" + title + "&u=" + url + "&r=&d={date}&c=";
}

class FurlClientTest : public testsupport::EmulatorSuite {
protected:
    // A client pointed at the emulator and logged in.
    void LogIn(FurlClient& client)
    {
        ASSERT_TRUE(client.SetEndpoint(Base().c_str()));
        ASSERT_TRUE(client.Login("demo", "demo"));
    }

    // The requests since mark, tokens and dates masked.
    std::vector<std::string> Requests(size_t mark) const
    {
        std::vector<std::string> out;
        for (const auto& entry : emulator_->JournalSince(mark))
            out.push_back(MaskDate(MaskTokens(entry.raw)));
        return out;
    }

    void ExpectRequests(size_t mark, const std::vector<std::string>& expected) const
    {
        const auto actual = Requests(mark);
        ASSERT_EQ(actual.size(), expected.size());
        for (size_t i = 0; i < actual.size(); ++i)
            EXPECT_EQ(actual[i], Expected(expected[i])) << "request " << i + 1;
    }
};

TEST_F(FurlClientTest, LoginPostsTheSiteForm)
{
    FurlClient client;
    LogIn(client);
    ExpectRequests(mark_, {kLogin});
}

struct StoreCase {
    const char* name;
    const char* title;
    const char* url;
    const char* target;   // with "{date}"
    const char* referer;
};

TEST_F(FurlClientTest, QuickSubmit2StoresThroughTheStorePage)
{
    const StoreCase cases[] = {
        {"ampersand and spaces", "News & Views", "http://example.org/a b",
         "/store?s=f&to=0&ti=News%20%26%20Views&u=http%3A//example.org/a%20b&r=&d={date}&c=", "http://example.org/a b"},
        {"query and bytes beyond ASCII", "Caf\xC3\xA9 + 1", "http://example.org/p?q=1&r=x.y",
         "/store?s=f&to=0&ti=Caf%C3%A9%20%2B%201&u=http%3A//example.org/p%3Fq%3D1%26r%3Dx.y&r=&d={date}&c=",
         "http://example.org/p?q=1&r=x.y"},
        {"placeholders in values stay values", "36_DATE", "http://example.org/33_TITLE",
         "/store?s=f&to=0&ti=36%5FDATE&u=http%3A//example.org/33%5FTITLE&r=&d={date}&c=",
         "http://example.org/33_TITLE"},
    };
    for (const StoreCase& c : cases) {
        SCOPED_TRACE(c.name);
        FurlClient client;
        LogIn(client);
        const size_t mark = emulator_->Journal().size();
        EXPECT_TRUE(client.QuickSubmit2(c.title, c.url));
        ExpectRequests(mark, {FirefoxGet(c.target, "Referer: " + std::string(c.referer) + "\r\n" +
                                                       CookieLine(kSession))});
    }
}

TEST_F(FurlClientTest, QuickSubmit1TakesTheTitleFromThePage)
{
    FurlClient client;
    LogIn(client);
    const size_t mark = emulator_->Journal().size();
    const std::string page = Base() + "/pages/spread.html";
    EXPECT_TRUE(client.QuickSubmit2("First", "http://example.org/first"));
    // The page fetch after a store request carries no Referer.
    EXPECT_TRUE(client.QuickSubmit1(page.c_str()));
    ExpectRequests(mark, {
        FirefoxGet(StoreTarget("First", "http%3A//example.org/first"),
                   "Referer: http://example.org/first\r\n" + CookieLine(kSession)),
        FirefoxGet("/pages/spread.html", CookieLine(kSession)),
        FirefoxGet(StoreTarget("A%20Title%20Spread%20over%20Lines", "http%3A//127.0.0.1%3A" +
                                                                          std::to_string(emulator_->Port()) +
                                                                          "/pages/spread.html"),
                   "Referer: " + page + "\r\n" + CookieLine(kSession)),
    });
}

TEST_F(FurlClientTest, QuickSubmit1OnAMissingPageStoresAnEmptyTitle)
{
    FurlClient client;
    LogIn(client);
    const size_t mark = emulator_->Journal().size();
    const std::string page = Base() + "/pages/missing.html";
    EXPECT_TRUE(client.QuickSubmit1(page.c_str()));
    const auto requests = Requests(mark);
    ASSERT_EQ(requests.size(), 2u);
    // The 404 page's own title is not the page's.
    EXPECT_EQ(requests[1], Expected(FirefoxGet(StoreTarget("", "http%3A//127.0.0.1%3A" +
                                                                   std::to_string(emulator_->Port()) +
                                                                   "/pages/missing.html"),
                                               "Referer: " + page + "\r\n" + CookieLine(kSession))));
}

TEST_F(FurlClientTest, RefusedLoginLeavesTheStoreRefused)
{
    FurlClient client;
    ASSERT_TRUE(client.SetEndpoint(Base().c_str()));
    EXPECT_FALSE(client.Login("demo", "wrong"));
    EXPECT_NE(testsupport::LogText(client.GetLog()).find("set no cookie"), std::string::npos);
    EXPECT_FALSE(client.QuickSubmit2("t", "http://example.org/"));
    const auto entries = NewEntries();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[1].status, 403);
    EXPECT_EQ(entries[1].raw.find("Cookie:"), std::string::npos);
}

TEST_F(FurlClientTest, EnvironmentVariableMovesTheSite)
{
    ScopedEnv env("PLENTOR_FURL_URL", Base().c_str());
    FurlClient client;
    EXPECT_TRUE(client.Login("demo", "demo"));
    ExpectRequests(mark_, {kLogin});
}

struct DateCase {
    const char* date;
    const char* encoded;
};

TEST(FurlClientDateTest, DateKeepsColonsAndMinusReadable)
{
    const DateCase cases[] = {
        {"Mon Jan 02 2006 15:04:05 +0100", "Mon%20Jan%2002%202006%2015:04:05%20%2B0100"},
        {"Mon Jan 02 2006 15:04:05 -0530", "Mon%20Jan%2002%202006%2015:04:05%20-0530"},
        {"", ""},
    };
    for (const DateCase& c : cases) {
        StringBuffer out;
        FurlClient::EncodeDate(c.date, out);
        EXPECT_EQ(out.ToStdString(), c.encoded) << c.date;
    }
}

struct ZoneCase {
    const char* tz;
    const char* suffix;   // the end of the date value
};

TEST_F(FurlClientTest, StoreDateCarriesTheZoneOffset)
{
    const ZoneCase cases[] = {
        {"<+0100>-1", "%20%2B0100&c="},
        {"<-0530>5:30", "%20-0530&c="},
        {"UTC0", "%20%2B0000&c="},
    };
    FurlClient client;
    LogIn(client);
    for (const ZoneCase& c : cases) {
        SCOPED_TRACE(c.tz);
        const size_t mark = emulator_->Journal().size();
        {
            ScopedEnv zone("TZ", c.tz);
            ::tzset();   // the C library reads TZ only when asked to
            EXPECT_TRUE(client.QuickSubmit2("t", "http://example.org/"));
        }
        ::tzset();
        const auto entries = emulator_->JournalSince(mark);
        ASSERT_EQ(entries.size(), 1u);
        const std::string& line = entries[0].requestLine;
        const std::string tail = std::string(c.suffix) + " HTTP/1.1";
        ASSERT_GE(line.size(), tail.size());
        EXPECT_EQ(line.substr(line.size() - tail.size()), tail) << line;
    }
}

struct FurlStatusCase {
    const char* status;
    const char* fields;
    bool accepted;
};

TEST(FurlClientStatusTest, LoginAcceptsOnly200WithACookie)
{
    const FurlStatusCase cases[] = {
        {"200 OK", "Set-Cookie: JSESSIONID=1; Path=/\r\n", true},
        {"302 Found", "Set-Cookie: JSESSIONID=1; Path=/\r\nLocation: /\r\n", false},
        {"200 OK", "", false},
        {"500 Internal Server Error", "Set-Cookie: JSESSIONID=1; Path=/\r\n", false},
    };
    for (const FurlStatusCase& c : cases) {
        SCOPED_TRACE(std::string(c.status) + " " + c.fields);
        const std::string reply = testsupport::LengthResponse("<p>x</p>", c.status, c.fields);
        testsupport::ScriptedServer server({[reply](testsupport::ScriptedConnection& connection) {
            while (!connection.ReadRequest().empty())
                connection.Send(reply);
        }});
        FurlClient client;
        ASSERT_TRUE(client.SetEndpoint(("http://127.0.0.1:" + std::to_string(server.Port())).c_str()));
        EXPECT_EQ(client.Login("demo", "demo"), c.accepted);
        EXPECT_EQ(server.Connections(), 1);
    }
}

struct TitleCase {
    const char* raw;
    const char* clean;
};

TEST(FurlClientTitleTest, TitleBecomesOneLine)
{
    const TitleCase cases[] = {
        {"\n   A  Title\r\n\tSpread over\n  Lines  \n", "A Title Spread over Lines"},
        {"Plain", "Plain"},
        {" \t\r\n ", ""},
        {"", ""},
    };
    for (const TitleCase& c : cases) {
        StringBuffer title(c.raw);
        FurlClient::CleanTitle(title);
        EXPECT_EQ(title.ToStdString(), c.clean) << c.raw;
    }
}

} // namespace
} // namespace plentor
