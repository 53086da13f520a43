#include "http/cookies/CookieMgr.h"
#include "support/LogText.h"

#include "http/HttpResponseHeader.h"
#include "http/cookies/Cookie.h"
#include "http/cookies/CookieJar.h"
#include "http/cookies/CookieStore.h"
#include "log/Logger.h"
#include "text/StringBuffer.h"

#include "support/TempDirectory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <string>
#include <vector>

namespace plentor {
namespace {

namespace fs = std::filesystem;

using testsupport::LogText;

// A fresh directory for one test's files, removed afterwards.
class TempDir : public testsupport::TempDirectory {
public:
    TempDir() : TempDirectory("plentor-cookie-") {}
};

void WriteBytes(const std::string& path, std::string_view bytes)
{
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::string> FilesIn(const fs::path& dir)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(dir))
        names.push_back(fs::relative(entry.path(), dir).generic_string());
    std::sort(names.begin(), names.end());
    return names;
}

enum class StoreKind { Memory, Directory };

const char* StoreName(StoreKind kind) { return kind == StoreKind::Memory ? "Memory" : "Directory"; }

void PrintTo(StoreKind kind, std::ostream* os) { *os << StoreName(kind); }

// One cookie location, in memory or in a temporary directory, with the
// engine's two steps: store what a response set, build the next request's
// Cookie value.
class CookieLocation {
public:
    explicit CookieLocation(StoreKind kind) : kind_(kind) {}

    const char* Location() const { return kind_ == StoreKind::Memory ? "memory" : dirText_.c_str(); }
    CookieStore* Store() { return kind_ == StoreKind::Memory ? &store_ : nullptr; }
    const TempDir& Dir() const { return dir_; }

    // Saves the cookies of the Set-Cookie values of a response from host;
    // returns how many were stored.
    int Receive(const char* host, std::initializer_list<const char*> setCookies, Logger& log)
    {
        StringBuffer defaultDomain;
        CookieMgr::GetDefaultDomain(host, defaultDomain);
        int stored = 0;
        for (const char* value : setCookies) {
            auto cookie = Cookie::FromResponseField("Set-Cookie", value, defaultDomain.GetString(), log);
            if (cookie && CookieMgr::SaveCookie(Location(), Store(), host, *cookie, log))
                ++stored;
        }
        return stored;
    }

    // The Cookie value of the next request to host and path.
    std::string Send(const char* host, const char* path, Logger& log)
    {
        auto jar = CookieMgr::LoadJar(Location(), Store(), host, log);
        if (!jar)
            return "";
        StringBuffer value;
        jar->BuildCookieHeader(host, path, value);
        return value.ToStdString();
    }

private:
    StoreKind kind_;
    TempDir dir_;
    std::string dirText_ = dir_.Path();
    CookieStore store_;
};

class CookieStoresTest : public ::testing::TestWithParam<StoreKind> {
protected:
    CookieLocation where_{GetParam()};
    Logger log_;
};

INSTANTIATE_TEST_SUITE_P(BothStores, CookieStoresTest, ::testing::Values(StoreKind::Memory, StoreKind::Directory),
                         [](const auto& info) { return std::string(StoreName(info.param)); });

TEST_P(CookieStoresTest, CookiesSetByOneResponseGoWithTheNextRequest)
{
    EXPECT_EQ(where_.Receive("www.example.com", {"id=abc; Path=/; Domain=.example.com", "lang=en"}, log_), 2);
    EXPECT_EQ(where_.Send("www.example.com", "/x", log_), "id=abc; lang=en");
    EXPECT_EQ(where_.Send("a.example.com", "/", log_), "id=abc; lang=en");
    EXPECT_EQ(where_.Send("www.example.org", "/", log_), "");

    // A later response replaces a value and adds a path-bound cookie.
    EXPECT_EQ(where_.Receive("www.example.com", {"id=xyz; Domain=.example.com; Path=/", "adm=1; path=/admin"}, log_), 2);
    EXPECT_EQ(where_.Send("www.example.com", "/admin/users", log_), "id=xyz; lang=en; adm=1");
    EXPECT_EQ(where_.Send("www.example.com", "/blog", log_), "id=xyz; lang=en");
}

TEST_P(CookieStoresTest, ValuesSurviveTheDocumentUnchanged)
{
    const char* tricky[] = {"plain", "a b", "a&amp;b", "x&#65;y", "<tag>", "it's", "50%", "&", "\\\\"};
    for (const char* value : tricky) {
        SCOPED_TRACE(value);
        Cookie cookie;
        cookie.SetDomain(".example.com");
        cookie.SetPath("/p&amp;q,r");
        cookie.SetPair("v", value);
        ASSERT_TRUE(CookieMgr::SaveCookie(where_.Location(), where_.Store(), "example.com", cookie, log_));
        auto jar = CookieMgr::LoadJar(where_.Location(), where_.Store(), "example.com", log_);
        ASSERT_TRUE(jar);
        ASSERT_EQ(jar->Count(), 1);
        EXPECT_EQ(jar->At(0).Path().ToStdString(), "/p&amp;q,r");
        ASSERT_EQ(jar->At(0).Pairs().size(), 1u);
        EXPECT_EQ(jar->At(0).Pairs()[0].value.ToStdString(), value);
    }
}

TEST_P(CookieStoresTest, AttributesSurviveASaveAndReload)
{
    Logger log;
    auto v1 = Cookie::FromResponseField("Set-Cookie2", "s=1; Max-Age=3600; Discard; secure; expires=Thu, 01 Jan 1970 00:00:00 GMT",
                                        ".example.com", log);
    auto v0 = Cookie::FromResponseField("Set-Cookie", "t=2; Max-Age=3600; Discard; path=/t", ".example.com", log);
    ASSERT_TRUE(v1 && v0);
    ASSERT_TRUE(CookieMgr::SaveCookie(where_.Location(), where_.Store(), "www.example.com", *v1, log));
    ASSERT_TRUE(CookieMgr::SaveCookie(where_.Location(), where_.Store(), "www.example.com", *v0, log));

    auto jar = CookieMgr::LoadJar(where_.Location(), where_.Store(), "www.example.com", log);
    ASSERT_TRUE(jar);
    ASSERT_EQ(jar->Count(), 2);
    const Cookie& a = jar->At(0);
    EXPECT_EQ(a.Version(), 1);
    EXPECT_EQ(a.MaxAge(), 3600);
    EXPECT_TRUE(a.IsDiscard());
    EXPECT_TRUE(a.IsSecure());
    EXPECT_EQ(a.Expire().ToStdString(), "Thu, 01 Jan 1970 00:00:00 GMT");
    const Cookie& b = jar->At(1);
    EXPECT_EQ(b.Version(), 0);
    EXPECT_EQ(b.MaxAge(), 0);   // kept only for version 1 cookies
    EXPECT_FALSE(b.IsDiscard());
    EXPECT_EQ(b.Path().ToStdString(), "/t");
    // An expired cookie is still sent.
    EXPECT_EQ(where_.Send("www.example.com", "/t", log), "s=1; t=2");
}

TEST_P(CookieStoresTest, ResponseCannotSetCookiesForAnotherSite)
{
    struct Case {
        const char* host;
        const char* setCookie;
    };
    const Case refused[] = {
        {"evil.com", "x=1; domain=.example.com"},
        {"www.example.com", "x=1; domain=.com"},
        {"www.example.co.uk", "x=1; domain=.co.uk"},
        {"www.example.com", "x=1; domain=shop.example.com"},   // does not cover the host
        {"www.example.com", "x=1; domain=ample.com"},
        {"10.0.1.10", "x=1; domain=.1.10"},
        {"www.example.com", "x=1; domain=example.com/../../etc"},
    };
    for (const Case& c : refused) {
        SCOPED_TRACE(std::string(c.host) + " " + c.setCookie);
        Logger log;
        EXPECT_EQ(where_.Receive(c.host, {c.setCookie}, log), 0);
        EXPECT_NE(LogText(log).find("cookie refused"), std::string::npos) << LogText(log);
    }
    EXPECT_EQ(where_.Send("www.example.com", "/", log_), "");
    EXPECT_EQ(where_.Send("192.168.1.10", "/", log_), "");
    if (GetParam() == StoreKind::Directory) {
        EXPECT_TRUE(FilesIn(where_.Dir().Path()).empty());
        EXPECT_FALSE(fs::exists(fs::path(where_.Dir().Path()).parent_path() / "etc"));
    }
}

TEST_P(CookieStoresTest, AddressHostsKeepTheirCookiesToThemselves)
{
    EXPECT_EQ(where_.Receive("192.168.1.10", {"sid=1"}, log_), 1);
    EXPECT_EQ(where_.Send("192.168.1.10", "/", log_), "sid=1");
    EXPECT_EQ(where_.Send("10.0.1.10", "/", log_), "");
    EXPECT_EQ(where_.Receive("localhost", {"dev=1"}, log_), 1);
    EXPECT_EQ(where_.Send("localhost", "/", log_), "dev=1");
}

TEST_P(CookieStoresTest, CookieCountPerDomainIsBounded)
{
    Cookie cookie;
    cookie.SetDomain(".example.com");
    cookie.SetPair("n", "v");
    for (int i = 0; i < CookieMgr::kMaxCookiesPerDomain; ++i) {
        cookie.SetPath(("/p" + std::to_string(i)).c_str());
        ASSERT_TRUE(CookieMgr::SaveCookie(where_.Location(), where_.Store(), "example.com", cookie, log_)) << i;
    }
    cookie.SetPath("/one-more");
    EXPECT_FALSE(CookieMgr::SaveCookie(where_.Location(), where_.Store(), "example.com", cookie, log_));
    EXPECT_NE(LogText(log_).find("Too many cookies"), std::string::npos);
    cookie.SetPath("/p0");   // an existing cookie can still be updated
    EXPECT_TRUE(CookieMgr::SaveCookie(where_.Location(), where_.Store(), "example.com", cookie, log_));
}

TEST_P(CookieStoresTest, ResponseHeaderCookiesReachTheNextRequest)
{
    const std::string response =
        "HTTP/1.1 302 Found\r\n"
        "Location: /home\r\n"
        "Set-Cookie: session=\"s 1\"; Path=/\r\n"
        "Set-Cookie2: pref=dark; Max-Age=60; Discard\r\n"
        "Set-Cookie: bad<name>=x\r\n"
        "Set-Cookie: track=1; Domain=.tracker.net\r\n"
        "Content-Length: 0\r\n\r\n";
    HttpResponseHeader header;
    header.Parse(response.data(), static_cast<unsigned>(response.size()), log_);
    StringBuffer defaultDomain;
    CookieMgr::GetDefaultDomain("www.example.com", defaultDomain);
    std::vector<std::unique_ptr<Cookie>> cookies;
    header.CollectResponseCookies(cookies, defaultDomain.GetString(), log_);
    ASSERT_EQ(cookies.size(), 3u);
    int stored = 0;
    for (const auto& cookie : cookies)
        stored += CookieMgr::SaveCookie(where_.Location(), where_.Store(), "www.example.com", *cookie, log_) ? 1 : 0;
    EXPECT_EQ(stored, 2);   // the tracker's cookie is refused
    EXPECT_EQ(where_.Send("www.example.com", "/home", log_), "session=\"s 1\"; pref=dark");
    EXPECT_EQ(where_.Send("www.tracker.net", "/", log_), "");
}

TEST(CookieMgrTest, DocumentWrittenToADirectoryIsReadBackByAFreshStore)
{
    TempDir dir;
    const std::string cookieDir = dir.File("cookies");   // created on first save
    Logger log;
    auto cookie = Cookie::FromResponseField("Set-Cookie", "sid=42; path=/; expires=Fri, 01 Jan 2038 00:00:00 GMT",
                                            ".example.co.uk", log);
    ASSERT_TRUE(cookie);
    ASSERT_TRUE(CookieMgr::SaveCookie(cookieDir.c_str(), nullptr, "www.example.co.uk", *cookie, log)) << LogText(log);

    EXPECT_EQ(FilesIn(cookieDir), std::vector<std::string>{"example_co_uk.xml"});
    const std::string text = ReadBytes(cookieDir + "/example_co_uk.xml");
    EXPECT_NE(text.find("<cookies>"), std::string::npos) << text;
    EXPECT_NE(text.find("key=\".example.co.uk,/\""), std::string::npos) << text;
    EXPECT_NE(text.find("<sid>42</sid>"), std::string::npos) << text;

    // A memory store alongside plays no part for a directory location.
    CookieStore unused;
    Logger freshLog;
    auto jar = CookieMgr::LoadJar((cookieDir + "/").c_str(), &unused, "shop.example.co.uk", freshLog);
    ASSERT_TRUE(jar);
    StringBuffer header;
    jar->BuildCookieHeader("shop.example.co.uk", "/basket", header);
    EXPECT_EQ(header.ToStdString(), "sid=42");
    EXPECT_EQ(unused.Count(), 0u);
}

TEST(CookieMgrTest, MemoryStoreHoldsOneDocumentPerSite)
{
    CookieLocation where(StoreKind::Memory);
    Logger log;
    where.Receive("www.example.com", {"a=1"}, log);
    where.Receive("api.example.com", {"b=2"}, log);
    where.Receive("www.example.org", {"c=3"}, log);
    CookieStore& store = *where.Store();
    EXPECT_EQ(store.Count(), 2u);
    ASSERT_TRUE(store.Find("example_com.xml"));
    EXPECT_NE(store.Find("example_com.xml")->find("<b>2</b>"), std::string::npos);
    EXPECT_TRUE(FilesIn(where.Dir().Path()).empty());
}

TEST(CookieMgrTest, CorruptCookieFilesFailCleanlyAndAreKept)
{
    const char* corrupt[] = {
        "",
        "not xml at all",
        "\xEF\xBB\xBF<<<>>>&&&",
        "<other><cookie key=\".example.com,/\"><a>1</a></cookie></other>",
    };
    for (const char* bytes : corrupt) {
        SCOPED_TRACE(bytes);
        TempDir dir;
        const std::string file = dir.File("example_com.xml");
        WriteBytes(file, bytes);
        Logger log;
        EXPECT_FALSE(CookieMgr::LoadJar(dir.Path().c_str(), nullptr, "www.example.com", log));
        EXPECT_NE(LogText(log).find("not a cookie document"), std::string::npos) << LogText(log);

        Cookie cookie;
        cookie.SetDomain(".example.com");
        cookie.SetPair("a", "2");
        EXPECT_FALSE(CookieMgr::SaveCookie(dir.Path().c_str(), nullptr, "www.example.com", cookie, log));
        EXPECT_EQ(ReadBytes(file), bytes);
    }
}

TEST(CookieMgrTest, MalformedEntriesInAFileAreSkipped)
{
    TempDir dir;
    WriteBytes(dir.File("example_com.xml"),
               "<cookies>"
               "<cookie key=\"no-comma\"><a>1</a></cookie>"
               "<cookie key=\",/\"><b>2</b></cookie>"
               "<cookie><c>3</c></cookie>"
               "<cookie key=\".example.com,/\"><good>4</good><x>line\nbreak</x></cookie>"
               "</cookies>");
    Logger log;
    auto jar = CookieMgr::LoadJar(dir.Path().c_str(), nullptr, "example.com", log);
    ASSERT_TRUE(jar);
    StringBuffer header;
    jar->BuildCookieHeader("example.com", "/", header);
    EXPECT_EQ(header.ToStdString(), "good=4");
    EXPECT_NE(LogText(log).find("malformed key"), std::string::npos);
    EXPECT_NE(LogText(log).find("Stored cookie item is malformed"), std::string::npos);
}

TEST(CookieMgrTest, OversizedCookieFileIsRefused)
{
    TempDir dir;
    std::string big = "<cookies><cookie key=\".example.com,/\"><a>";
    big.append(CookieMgr::kMaxFileBytes, 'x');
    big += "</a></cookie></cookies>";
    WriteBytes(dir.File("example_com.xml"), big);
    Logger log;
    EXPECT_FALSE(CookieMgr::LoadJar(dir.Path().c_str(), nullptr, "example.com", log));
    EXPECT_NE(LogText(log).find("Failed to read cookie file"), std::string::npos) << LogText(log);
}

TEST(CookieMgrTest, NothingStoredGivesNoJar)
{
    TempDir dir;
    CookieStore store;
    Logger log;
    EXPECT_FALSE(CookieMgr::LoadJar("memory", &store, "example.com", log));
    EXPECT_FALSE(CookieMgr::LoadJar(dir.Path().c_str(), nullptr, "example.com", log));
    EXPECT_FALSE(CookieMgr::LoadJar(dir.File("missing").c_str(), nullptr, "example.com", log));
    WriteBytes(dir.File("example_com.xml"), "<cookies></cookies>");
    EXPECT_FALSE(CookieMgr::LoadJar(dir.Path().c_str(), nullptr, "example.com", log));
}

TEST(CookieMgrTest, CookieFileNames)
{
    struct Case {
        const char* domain;
        const char* name;   // null: no file name
    };
    const Case cases[] = {
        {"www.example.co.uk", "example_co_uk.xml"},
        {" .Example.COM ", "example_com.xml"},
        {".a.b.example.com", "example_com.xml"},
        {"localhost", "localhost.xml"},
        {"192.168.1.10", "192_168_1_10.xml"},
        {"my_host-1.example.net", "example_net.xml"},
        {"", nullptr},
        {".", nullptr},
        {"..", nullptr},
        {"...example.com", nullptr},
        {"example..com", nullptr},
        {"example.com.", nullptr},
        {"example.com/../../x", nullptr},
        {"..\\..\\x.com", nullptr},
        {"a/b", nullptr},
        {"ex ample.com", nullptr},
        {"example.com:8080", nullptr},
        {"con", nullptr},
        {"lpt1", nullptr},
        {"www.nul", "www_nul.xml"},
        {"caf\xC3\xA9.fr", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.domain);
        StringBuffer name("stale");
        EXPECT_EQ(CookieMgr::GetCookieFileName(c.domain, name), c.name != nullptr);
        EXPECT_EQ(name.ToStdString(), c.name ? c.name : "");
    }
    StringBuffer name;
    EXPECT_FALSE(CookieMgr::GetCookieFileName(nullptr, name));
    const std::string longHost = std::string(CookieMgr::kMaxDomainLength, 'a') + ".com";
    EXPECT_FALSE(CookieMgr::GetCookieFileName(longHost.c_str(), name));
}

TEST(CookieMgrTest, LocationChoosesTheStore)
{
    CookieStore store;
    using Where = CookieMgr::Where;
    EXPECT_EQ(CookieMgr::LocationOf("memory", &store), Where::Memory);
    EXPECT_EQ(CookieMgr::LocationOf("MeMoRy", &store), Where::Memory);
    EXPECT_EQ(CookieMgr::LocationOf("", &store), Where::Memory);
    EXPECT_EQ(CookieMgr::LocationOf(nullptr, &store), Where::Memory);
    EXPECT_EQ(CookieMgr::LocationOf("memory", nullptr), Where::Nowhere);
    EXPECT_EQ(CookieMgr::LocationOf("", nullptr), Where::Nowhere);
    EXPECT_EQ(CookieMgr::LocationOf("cookies", &store), Where::Directory);
    EXPECT_EQ(CookieMgr::LocationOf("memory2", nullptr), Where::Directory);

    Cookie cookie;
    cookie.SetDomain(".example.com");
    cookie.SetPair("a", "1");
    Logger log;
    EXPECT_FALSE(CookieMgr::SaveCookie("memory", nullptr, "example.com", cookie, log));
    EXPECT_NE(LogText(log).find("No cookie location"), std::string::npos);
    EXPECT_FALSE(CookieMgr::LoadJar("memory", nullptr, "example.com", log));
}

TEST(CookieMgrTest, DefaultDomains)
{
    const std::pair<const char*, const char*> cases[] = {
        {"www.example.com", ".example.com"},
        {"WWW.Example.co.uk", ".example.co.uk"},
        {"localhost", ".localhost"},
        {"127.0.0.1", "127.0.0.1"},
        {"", ""},
    };
    for (const auto& [host, expected] : cases) {
        StringBuffer out("stale");
        CookieMgr::GetDefaultDomain(host, out);
        EXPECT_EQ(out.ToStdString(), expected) << host;
    }
}

TEST(CookieStoreTest, SetFindRemove)
{
    CookieStore store;
    EXPECT_EQ(store.Find("a.xml"), nullptr);
    store.Set("a.xml", "one");
    store.Set("b.xml", "two");
    store.Set("a.xml", "three");
    EXPECT_EQ(store.Count(), 2u);
    ASSERT_TRUE(store.Find("a.xml"));
    EXPECT_EQ(*store.Find("a.xml"), "three");
    EXPECT_EQ(store.Find("A.xml"), nullptr);
    EXPECT_TRUE(store.Remove("a.xml"));
    EXPECT_FALSE(store.Remove("a.xml"));
    EXPECT_EQ(store.Count(), 1u);
    store.Clear();
    EXPECT_EQ(store.Count(), 0u);
    EXPECT_EQ(store.Find("b.xml"), nullptr);
}

} // namespace
} // namespace plentor
