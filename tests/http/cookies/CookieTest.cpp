#include "http/cookies/Cookie.h"
#include "http/cookies/CookieJar.h"
#include "support/LogText.h"

#include "log/Logger.h"
#include "text/StringBuffer.h"

#include <gtest/gtest.h>

#include <string>

namespace plentor {
namespace {

using testsupport::LogText;

// The items of a cookie as "name=value|name=value".
std::string PairsOf(const Cookie& cookie)
{
    std::string out;
    for (const Cookie::Pair& pair : cookie.Pairs()) {
        if (!out.empty())
            out += '|';
        out += pair.name.ToStdString() + "=" + pair.value.ToStdString();
    }
    return out;
}

struct ParseCase {
    const char* value;
    const char* pairs;
    const char* domain;
    const char* path;
    const char* expire;
    int version;
    int maxAge;
    bool secure;
    bool discard;
};

TEST(CookieTest, ParseSetCookieReadsItemsAndAttributes)
{
    const ParseCase cases[] = {
        {"id=abc; Path=/; Domain=.example.com", "id=abc", ".example.com", "/", "", 0, 0, false, false},
        {"name=\"a b\"; secure", "name=a b", "", "", "", 0, 0, true, false},
        {"q=\"x;y\"; path=/p", "q=x;y", "", "/p", "", 0, 0, false, false},
        {"a=1; b = 2 ; Max-Age=60; Version=1; discard; expires=Wed, 09 Jun 2021 10:18:14 GMT", "a=1|b=2", "", "", "Wed, 09 Jun 2021 10:18:14 GMT", 1, 60, false, true},
        {"A=1; a=2; flag", "A=2|flag=", "", "", "", 0, 0, false, false},
        {"x=1; version=7; port=80; comment=hi; commentUrl=u", "x=1", "", "", "", 0, 0, false, false},
        {"x=1; =orphan; ;  ; Secure", "x=1", "", "", "", 0, 0, true, false},
        {"e=a\\\"b", "e=a\\\"b", "", "", "", 0, 0, false, false},
    };
    for (const ParseCase& c : cases) {
        SCOPED_TRACE(c.value);
        Logger log;
        Cookie cookie;
        ASSERT_TRUE(cookie.ParseSetCookie(c.value, Cookie::FieldKind::SetCookie, log));
        EXPECT_EQ(PairsOf(cookie), c.pairs);
        EXPECT_EQ(cookie.Domain().ToStdString(), c.domain);
        EXPECT_EQ(cookie.Path().ToStdString(), c.path);
        EXPECT_EQ(cookie.Expire().ToStdString(), c.expire);
        EXPECT_EQ(cookie.Version(), c.version);
        EXPECT_EQ(cookie.MaxAge(), c.maxAge);
        EXPECT_EQ(cookie.IsSecure(), c.secure);
        EXPECT_EQ(cookie.IsDiscard(), c.discard);
    }
}

TEST(CookieTest, ParseSetCookieResetsEarlierContent)
{
    Logger log;
    Cookie cookie;
    ASSERT_TRUE(cookie.ParseSetCookie("a=1; domain=x.com; secure; max-age=5", Cookie::FieldKind::SetCookie, log));
    ASSERT_TRUE(cookie.ParseSetCookie("b=2", Cookie::FieldKind::SetCookie, log));
    EXPECT_EQ(PairsOf(cookie), "b=2");
    EXPECT_TRUE(cookie.Domain().IsEmpty());
    EXPECT_FALSE(cookie.IsSecure());
    EXPECT_EQ(cookie.MaxAge(), 0);
}

TEST(CookieTest, MalformedValuesFailWithALogLine)
{
    const std::string overLong = "a=" + std::string(Cookie::kMaxFieldBytes, 'x');
    struct Case {
        const char* value;
        const char* logged;
    };
    const Case cases[] = {
        {nullptr, "Set-Cookie value is missing"},
        {"", "Set-Cookie value holds no cookie"},
        {" ; ; ", "Set-Cookie value holds no cookie"},
        {"secure; path=/; domain=example.com", "Set-Cookie value holds no cookie"},
        {"=abc", "Set-Cookie value holds no cookie"},
        {overLong.c_str(), "Set-Cookie value is too long"},
        {"bad<name>=1", "Cookie name cannot be stored"},
        {"two words=1", "Cookie name cannot be stored"},
        {"x=a\r\nSet-Cookie: y=1", "control character"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value ? c.value : "(null)");
        Logger log;
        Cookie cookie;
        EXPECT_FALSE(cookie.ParseSetCookie(c.value, Cookie::FieldKind::SetCookie, log));
        EXPECT_TRUE(cookie.Pairs().empty());
        EXPECT_NE(LogText(log).find(c.logged), std::string::npos) << LogText(log);
    }
}

TEST(CookieTest, UnstorableItemsAreDroppedButTheRestIsKept)
{
    Logger log;
    Cookie cookie;
    ASSERT_TRUE(cookie.ParseSetCookie("a/b=1; ok=2; nl=x\ny; \"q\"=3", Cookie::FieldKind::SetCookie, log));
    EXPECT_EQ(PairsOf(cookie), "ok=2");
    EXPECT_NE(LogText(log).find("item dropped"), std::string::npos);
}

TEST(CookieTest, ItemCountIsBounded)
{
    std::string value;
    for (int i = 0; i < Cookie::kMaxPairs + 10; ++i)
        value += "n" + std::to_string(i) + "=v; ";
    Logger log;
    Cookie cookie;
    ASSERT_TRUE(cookie.ParseSetCookie(value.c_str(), Cookie::FieldKind::SetCookie, log));
    EXPECT_EQ(cookie.Pairs().size(), static_cast<size_t>(Cookie::kMaxPairs));
    cookie.SetPair("N0", "replaced");   // an existing name is still replaced
    EXPECT_EQ(cookie.Pairs().front().value.ToStdString(), "replaced");
}

TEST(CookieTest, FromResponseFieldAppliesFieldKindAndDefaultDomain)
{
    struct Case {
        const char* field;
        const char* value;
        const char* defaultDomain;
        bool made;
        int version;
        const char* domain;
    };
    const Case cases[] = {
        {"Set-Cookie", "a=1", ".example.com", true, 0, ".example.com"},
        {"set-cookie", "a=1; domain= .shop.example.com ", ".example.com", true, 0, ".shop.example.com"},
        {"Set-Cookie2", "a=1", ".example.com", true, 1, ".example.com"},
        {"Set-Cookie2", "a=1; Version=0", ".example.com", true, 0, ".example.com"},
        {"Set-Cookie", "a=1; version=1", ".example.com", true, 1, ".example.com"},
        {"Set-Cookie", "a=1", nullptr, false, 0, ""},
        {"Set-Cookie", "a=1", "", false, 0, ""},
        {"Set-Cookie", "a=1; domain=  ", nullptr, false, 0, ""},
        {"Set-Cookie3", "a=1", ".example.com", false, 0, ""},
        {"X-Set-Cookie", "a=1", ".example.com", false, 0, ""},
        {"Set-Cookie", "secure", ".example.com", false, 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.field) + ": " + c.value);
        Logger log;
        auto cookie = Cookie::FromResponseField(c.field, c.value, c.defaultDomain, log);
        ASSERT_EQ(cookie != nullptr, c.made);
        if (!cookie)
            continue;
        EXPECT_EQ(cookie->Version(), c.version);
        EXPECT_EQ(cookie->Domain().ToStdString(), c.domain);
    }
}

TEST(CookieTest, MatchesRequestByDomainAndPathPrefix)
{
    struct Case {
        const char* cookieDomain;
        const char* cookiePath;
        const char* host;
        const char* path;
        bool matches;
    };
    const Case cases[] = {
        {".example.com", "/", "www.example.com", "/x", true},
        {".example.com", "", "a.b.example.com", "/x", true},
        {".example.com", "", "example.com", "/", true},          // the domain itself
        {".example.com", "", "badexample.com", "/", false},      // no "." boundary
        {"example.com", "", "badexample.com", "/", false},
        {"b.example.com", "", "ab.example.com", "/", false},
        {".example.com", "", "www.example.org", "/", false},
        {".Example.COM", "", "WWW.example.com", "/", true},
        {"", "", "anything.net", "/", true},
        {".example.com", "/a", "www.example.com", "/b", false},
        {".example.com", "/a", "www.example.com", "/a/b", true},
        {".example.com", "/a", "www.example.com", "/abc", true},
        {".example.com", "/a", "www.example.com", "/A", false},
        {".example.com", "/a", "www.example.com", nullptr, true},
        {".example.com", "/a", "www.example.com", "", true},
        {".example.com", "/a", nullptr, "/a", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.cookieDomain) + c.cookiePath + " vs " + (c.host ? c.host : "(null)") +
                     (c.path ? c.path : "(null)"));
        Cookie cookie;
        cookie.SetDomain(c.cookieDomain);
        cookie.SetPath(c.cookiePath);
        EXPECT_EQ(cookie.MatchesRequest(c.host, c.path), c.matches);
    }
}

std::unique_ptr<Cookie> MakeCookie(const char* domain, const char* path, const char* setCookie)
{
    Logger log;
    auto cookie = std::make_unique<Cookie>();
    EXPECT_TRUE(cookie->ParseSetCookie(setCookie, Cookie::FieldKind::SetCookie, log));
    cookie->SetDomain(domain);
    cookie->SetPath(path);
    return cookie;
}

TEST(CookieJarTest, BuildCookieHeaderWritesFirstOfEachNameInOrder)
{
    CookieJar jar;
    jar.Add(MakeCookie(".example.com", "/", "id=abc; lang=en"));
    jar.Add(MakeCookie(".example.com", "/admin", "admin=1"));
    jar.Add(MakeCookie(".example.com", "/", "id=second; note=hello world"));
    jar.Add(MakeCookie(".other.com", "/", "leak=1"));
    jar.Add(nullptr);
    EXPECT_EQ(jar.Count(), 4);

    StringBuffer header("stale");
    jar.BuildCookieHeader("www.example.com", "/x", header);
    EXPECT_EQ(header.ToStdString(), "id=abc; lang=en; note=\"hello world\"");
    jar.BuildCookieHeader("www.example.com", "/admin/page", header);
    EXPECT_EQ(header.ToStdString(), "id=abc; lang=en; admin=1; note=\"hello world\"");
    jar.BuildCookieHeader("www.example.net", "/", header);
    EXPECT_TRUE(header.IsEmpty());
}

TEST(CookieJarTest, NameDeduplicationIsCaseSensitive)
{
    CookieJar jar;
    jar.Add(MakeCookie(".example.com", "/", "ID=1"));
    jar.Add(MakeCookie(".example.com", "/", "id=2"));
    jar.Add(MakeCookie(".example.com", "/", "ID=3"));
    StringBuffer header;
    jar.BuildCookieHeader("example.com", "/", header);
    EXPECT_EQ(header.ToStdString(), "ID=1; id=2");
}

} // namespace
} // namespace plentor
