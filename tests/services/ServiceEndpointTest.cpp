#include "services/BookmarkService.h"
#include "services/EndpointOverride.h"
#include "services/ServiceEndpoint.h"

#include "log/Logger.h"
#include "services/ServiceWire.h"
#include "support/LogText.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>

namespace plentor {
namespace {

using testsupport::LogText;
using testsupport::ScopedEnv;

struct GoodBase {
    const char* text;
    const char* base;   // as the endpoint writes it back
    const char* host;
    int port;
    bool useTls;
};

TEST(ServiceEndpointTest, ParsesBaseAddresses)
{
    const GoodBase cases[] = {
        {"http://127.0.0.1:8080", "http://127.0.0.1:8080", "127.0.0.1", 8080, false},
        {"http://127.0.0.1:8080/", "http://127.0.0.1:8080", "127.0.0.1", 8080, false},
        {"https://api.example.net", "https://api.example.net", "api.example.net", 443, true},
        {"https://api.example.net/", "https://api.example.net", "api.example.net", 443, true},
        // Scheme and host are case-insensitive; the scheme's own port is not written.
        {"HTTP://Bookmarks.Example.ORG:80/", "http://bookmarks.example.org", "bookmarks.example.org", 80, false},
        {"https://h:80", "https://h:80", "h", 80, true},
        {"http://my_host-1.lan:65535", "http://my_host-1.lan:65535", "my_host-1.lan", 65535, false},
    };
    for (const GoodBase& c : cases) {
        SCOPED_TRACE(c.text);
        ServiceEndpoint endpoint(BookmarkService::Furl);
        ASSERT_TRUE(endpoint.Parse(c.text));
        EXPECT_EQ(endpoint.Base().ToStdString(), c.base);
        EXPECT_STREQ(endpoint.Host(), c.host);
        EXPECT_EQ(endpoint.Port(), c.port);
        EXPECT_EQ(endpoint.UseTls(), c.useTls);
        StringBuffer url;
        endpoint.BuildUrl("/store?x=1", url);
        EXPECT_EQ(url.ToStdString(), std::string(c.base) + "/store?x=1");
    }
}

TEST(ServiceEndpointTest, RefusesAnythingButSchemeHostAndPort)
{
    const std::string longHost = "http://" + std::string(ServiceEndpoint::kMaxBaseLength, 'a');
    const char* const cases[] = {
        "",
        "127.0.0.1:8080",              // no scheme
        "ftp://example.org",
        "http:/example.org",
        "http://",                      // no host
        "http://:8080",
        "http://example.org/path",
        "http://example.org//",
        "http://example.org?x=1",
        "http://example.org#top",
        "http://user@example.org",
        "http://user:pw@example.org",
        "http://example.org:",          // colon without a port
        "http://example.org:0",
        "http://example.org:65536",
        "http://example.org:123456",
        "http://example.org:80x",
        "http://example.org:-1",
        " http://example.org",
        "http://example.org ",
        "http://[::1]:8080",
        "http://exa mple.org",
        longHost.c_str(),
    };
    for (const char* text : cases) {
        SCOPED_TRACE(text);
        ServiceEndpoint endpoint(BookmarkService::Spurl);
        EXPECT_FALSE(endpoint.Parse(text));
        // The endpoint keeps what it had.
        EXPECT_EQ(endpoint.Base().ToStdString(), "http://www.spurl.net");
        EXPECT_EQ(endpoint.Port(), 80);
    }
    ServiceEndpoint endpoint(BookmarkService::Spurl);
    EXPECT_FALSE(endpoint.Parse(nullptr));
}

TEST(ServiceEndpointTest, EveryServiceHasItsNameVariableAndAddress)
{
    const BookmarkService all[] = {BookmarkService::Delicious, BookmarkService::Shadows, BookmarkService::Simpy,
                                   BookmarkService::Furl,      BookmarkService::Netvouz, BookmarkService::Spurl,
                                   BookmarkService::Blogmarks, BookmarkService::Quorlane};
    for (BookmarkService service : all) {
        const std::string name = BookmarkServices::Name(service);
        SCOPED_TRACE(name);
        std::string upper;
        for (char c : name) upper.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
        EXPECT_EQ(BookmarkServices::EnvironmentVariable(service), "PLENTOR_" + upper + "_URL");

        BookmarkService found = BookmarkService::Delicious;
        ASSERT_TRUE(BookmarkServices::FromName(upper.c_str(), found));
        EXPECT_EQ(found, service);

        // The built-in address parses and is what a fresh endpoint holds.
        ServiceEndpoint parsed(BookmarkService::Delicious);
        ASSERT_TRUE(parsed.Parse(BookmarkServices::BuiltInBase(service)));
        const ServiceEndpoint builtIn(service);
        EXPECT_EQ(builtIn.Base().ToStdString(), parsed.Base().ToStdString());
        // Only the Delicious interface is reached over TLS.
        EXPECT_EQ(builtIn.UseTls(), service == BookmarkService::Delicious);
        EXPECT_EQ(builtIn.Port(), service == BookmarkService::Delicious ? 443 : 80);
    }
    EXPECT_STREQ(ServiceEndpoint(BookmarkService::Delicious).Host(), "api.del.icio.us");
    EXPECT_STREQ(ServiceEndpoint(BookmarkService::Simpy).Host(), "www.simpy.com");
    EXPECT_STREQ(ServiceEndpoint(BookmarkService::Blogmarks).Host(), "blogmarks.net");

    BookmarkService unused = BookmarkService::Delicious;
    for (const char* name : {"", "del.icio.us", "furl ", "mag.nolia"}) {
        EXPECT_FALSE(BookmarkServices::FromName(name, unused)) << name;
    }
    EXPECT_FALSE(BookmarkServices::FromName(nullptr, unused));
}

struct ResolveCase {
    const char* name;
    const char* explicitBase;   // null: none set
    const char* variable;       // null: unset
    const char* expected;
    bool logsRejection;
};

TEST(ServiceEndpointTest, ExplicitBaseWinsOverEnvironmentOverBuiltIn)
{
    const ResolveCase cases[] = {
        {"nothing set", nullptr, nullptr, "http://www.netvouz.com", false},
        {"variable", nullptr, "http://127.0.0.1:9000/", "http://127.0.0.1:9000", false},
        {"empty variable", nullptr, "", "http://www.netvouz.com", false},
        {"explicit over variable", "https://api.example.net", "http://127.0.0.1:9000", "https://api.example.net", false},
        {"bad variable", nullptr, "http://127.0.0.1:9000/netvouz", "http://www.netvouz.com", true},
        {"explicit hides a bad variable", "http://127.0.0.1:7", "localhost", "http://127.0.0.1:7", false},
    };
    for (const ResolveCase& c : cases) {
        SCOPED_TRACE(c.name);
        ScopedEnv env("PLENTOR_NETVOUZ_URL", c.variable);
        Logger log;
        EndpointOverride choice;
        if (c.explicitBase != nullptr) {
            ASSERT_TRUE(choice.Set(c.explicitBase, log));
        }
        const ServiceEndpoint endpoint = choice.Resolve(BookmarkService::Netvouz, log);
        EXPECT_EQ(endpoint.Base().ToStdString(), c.expected);
        const std::string text = LogText(log);
        EXPECT_EQ(text.find("Invalid service endpoint") != std::string::npos, c.logsRejection) << text;
        if (c.logsRejection) {
            EXPECT_NE(text.find("PLENTOR_NETVOUZ_URL"), std::string::npos) << text;
        }
    }
}

TEST(ServiceEndpointTest, VariablesAreReadPerService)
{
    ScopedEnv simpy("PLENTOR_SIMPY_URL", "http://127.0.0.1:1234");
    ScopedEnv shadows("PLENTOR_SHADOWS_URL", nullptr);
    Logger log;
    EndpointOverride choice;
    EXPECT_EQ(choice.Resolve(BookmarkService::Simpy, log).Base().ToStdString(), "http://127.0.0.1:1234");
    EXPECT_EQ(choice.Resolve(BookmarkService::Shadows, log).Base().ToStdString(), "http://www.shadows.com");
}

TEST(ServiceEndpointTest, BadExplicitBaseIsLoggedAndTheOldOneKept)
{
    ScopedEnv env("PLENTOR_QUORLANE_URL", nullptr);
    Logger log;
    EndpointOverride choice;
    ASSERT_TRUE(choice.Set("http://127.0.0.1:8080", log));
    EXPECT_FALSE(choice.Set("http://127.0.0.1:8080/tapp/db.exe", log));
    EXPECT_NE(LogText(log).find("Invalid service endpoint"), std::string::npos);
    EXPECT_EQ(choice.Resolve(BookmarkService::Quorlane, log).Base().ToStdString(), "http://127.0.0.1:8080");

    // An empty base removes the explicit choice.
    EXPECT_TRUE(choice.Set("", log));
    EXPECT_EQ(choice.Resolve(BookmarkService::Quorlane, log).Base().ToStdString(), "http://quorlane.plentor.org");
    EXPECT_TRUE(choice.Set(nullptr, log));
}

} // namespace
} // namespace plentor
