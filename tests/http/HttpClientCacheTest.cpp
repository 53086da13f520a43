#include "http/cache/HttpCacheHooks.h"
#include "support/LogText.h"

#include "http/HttpClient.h"
#include "http/HttpControl.h"
#include "http/HttpResult.h"
#include "log/Logger.h"
#include "support/NginxServer.h"
#include "support/ScriptedServer.h"
#include "text/DataBuffer.h"
#include "text/DateParser.h"
#include "text/StringBuffer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace plentor {
namespace {

using testsupport::LengthResponse;
using testsupport::ReplyOnce;
using testsupport::ScriptedConnection;
using testsupport::ScriptedServer;
using testsupport::UrlOf;
using testsupport::LogText;
using testsupport::NginxServer;

constexpr const char* kPastExpiry = "Sun, 06 Nov 1994 08:49:37 GMT";
constexpr const char* kFarExpiry = "Fri, 31 Dec 2099 23:59:59 GMT";

std::string AsString(const DataBuffer& data)
{
    return std::string(reinterpret_cast<const char*>(data.Data()), data.Size());
}

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// The request line's target ("/new").
std::string TargetOf(const std::string& request)
{
    const size_t start = request.find(' ') + 1;
    return request.substr(start, request.find(' ', start) - start);
}

// Answers each request on the connection by its target until the client closes.
ScriptedServer::Script Routes(std::map<std::string, std::string> routes)
{
    return [routes](ScriptedConnection& c) {
        for (std::string request; !(request = c.ReadRequest()).empty();) {
            const auto route = routes.find(TargetOf(request));
            c.Send(route != routes.end() ? route->second : LengthResponse("no route", "404 Not Found"));
        }
    };
}

enum class Store { Object, Http };

const char* NameOf(Store store) { return store == Store::Object ? "resource cache" : "HttpCache store"; }

class HttpClientCacheTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::random_device rd;
        dir_ = std::filesystem::temp_directory_path() /
               ("plentor_getcache_" + std::to_string(rd()) + "_" + std::to_string(rd()));
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    // New settings whose store is empty; its root does not exist yet, so
    // storing must create it.
    void Use(Store store)
    {
        settings_ = std::make_unique<HttpControl>();
        settings_->readTimeoutSec = 5;
        const std::filesystem::path root = dir_ / std::to_string(++stores_);
        if (store == Store::Object) {
            settings_->cache.AddRoot(root.string().c_str());
        } else {
            settings_->useCacheStore = true;
            settings_->httpCache.AddRoot((root.string() + "/").c_str());
        }
    }

    HttpControl& Control() { return *settings_; }

    // One GET on a client of its own; the log then holds only this GET.
    bool Get(const std::string& url)
    {
        HttpClient client;
        body_.Clear();
        log_.ClearLog();
        const bool ok = client.Get(url.c_str(), Control(), body_, result_, log_);
        client.Close();
        return ok;
    }

    // Whether the store holds a response (not a negative entry) for url.
    bool Stored(const std::string& url)
    {
        if (!Control().useCacheStore) return Control().cache.IsCached(url.c_str());
        bool negative = false;
        Logger quiet;
        return Control().httpCache.GetEntry(url.c_str(), negative, quiet) != nullptr;
    }

    bool Negative(const std::string& url)
    {
        bool negative = false;
        Logger quiet;
        Control().httpCache.GetEntry(url.c_str(), negative, quiet);
        return negative;
    }

    bool MarkedInvalid(const char* host)
    {
        bool found = false;
        bool invalid = false;
        Logger quiet;
        Control().httpCache.IsDomainMarkedInvalid(host, found, invalid, quiet);
        return invalid;
    }

    std::string Log() { return LogText(log_); }

    std::filesystem::path dir_;
    int stores_ = 0;
    std::unique_ptr<HttpControl> settings_;
    HttpResult result_;
    DataBuffer body_;
    Logger log_;
};

// ---------------------------------------------------------------- expiry

TEST(HttpCacheHooksTest, ExpiryOfAStoredResponse)
{
    struct Case {
        const char* name;
        std::string fields;
        int factorPercent;
        int algorithm;
        int defaultMinutes;
        int64_t freshness;   // expected expiry minus now
    };
    constexpr int64_t kWeek = 7 * 86400;
    auto secondsOf = [](int year, int month, int day) {
        platform::CalendarTime t;
        t.year = year;
        t.month = month;
        t.day = day;
        return HttpCacheHooks::SecondsOf(t);
    };
    const int64_t now = secondsOf(2026, 1, 1);
    const std::vector<Case> cases = {
        {"Expires wins over max-age", "Expires: Thu, 01 Jan 2026 01:00:00 GMT\r\nCache-Control: max-age=60", 25, 1,
         10080, 3600},
        {"Expires in the past", "Expires: Wed, 31 Dec 2025 00:00:00 GMT", 25, 1, 10080, -86400},
        // The resource cache cannot hold dates past year 9999 in any time zone.
        {"Expires at the end of time", "Expires: Fri, 31 Dec 9999 23:59:59 GMT", 25, 1, 10080,
         secondsOf(9999, 12, 30) - now},
        {"unreadable Expires falls to max-age", "Expires: 0\r\nCache-Control: public, max-age=120", 25, 1, 10080,
         120},
        {"max-age with spaces", "Cache-Control: private, max-age = 300", 25, 1, 10080, 300},
        {"huge max-age is capped", "Cache-Control: max-age=99999999999999999999999", 25, 1, 10080,
         HttpCacheHooks::kMaxFreshnessSecs},
        {"max-age that is no number", "Cache-Control: max-age=soon", 25, 1, 10080, kWeek},
        {"quarter of the document's age", "Last-Modified: Sat, 22 Nov 2025 00:00:00 GMT", 25, 1, 10080, 864000},
        {"half of the document's age", "Last-Modified: Sat, 22 Nov 2025 00:00:00 GMT", 50, 1, 10080, 1728000},
        {"Last-Modified in the future", "Last-Modified: Sun, 01 Feb 2026 00:00:00 GMT", 25, 1, 10080, kWeek},
        {"Last-Modified ignored by algorithm 0", "Last-Modified: Sat, 22 Nov 2025 00:00:00 GMT", 25, 0, 10080,
         kWeek},
        {"default freshness", "Content-Type: text/html", 25, 1, 30, 1800},
        {"default below the floor", "Content-Type: text/html", 25, 1, 1, 600},
        {"negative default", "Content-Type: text/html", 25, 1, -5, 600},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string text = "HTTP/1.1 200 OK\r\n" + c.fields + "\r\n\r\n";
        Logger log;
        HttpResponseHeader header;
        ASSERT_TRUE(header.Parse(text.data(), static_cast<unsigned>(text.size()), log));
        CacheControl policy;
        policy.lastModifiedFactorPercent = c.factorPercent;
        policy.freshnessAlgorithm = c.algorithm;
        policy.defaultFreshnessMinutes = c.defaultMinutes;
        EXPECT_EQ(HttpCacheHooks::ComputeExpiry(header, policy, now) - now, c.freshness);
    }
}

// ---------------------------------------------------------------- hits

TEST_F(HttpClientCacheTest, FreshEntryIsServedWithoutAskingTheServer)
{
    for (Store store : {Store::Object, Store::Http}) {
        SCOPED_TRACE(NameOf(store));
        Use(store);
        // One answer only: a second request would find nobody replying.
        ScriptedServer server({ReplyOnce(LengthResponse("cached page", "200 OK", "Content-Type: text/plain\r\n"))});
        const std::string url = UrlOf(server, store == Store::Object ? "/object" : "/http");
        ASSERT_TRUE(Get(url)) << Log();
        EXPECT_FALSE(result_.fromCache);
        EXPECT_TRUE(Has(Log(), "Cache updated.")) << Log();

        ASSERT_TRUE(Get(url)) << Log();
        EXPECT_TRUE(result_.fromCache);
        EXPECT_EQ(result_.cacheState, 1);
        EXPECT_EQ(result_.header.GetStatusCode(), 200);
        StringBuffer type;
        result_.header.GetField("Content-Type", type);
        EXPECT_EQ(type.ToStdString(), "text/plain");
        EXPECT_EQ(AsString(body_), "cached page");
        EXPECT_TRUE(Has(Log(), "Cache hit."));
        EXPECT_EQ(server.Requests().size(), 1u);
    }
}

TEST_F(HttpClientCacheTest, ResourceCacheRecordHoldsHeaderThenBody)
{
    Use(Store::Object);
    ScriptedServer server({ReplyOnce(LengthResponse("the body", "200 OK", "ETag: \"e1\"\r\n"))});
    const std::string url = UrlOf(server, "/record");
    ASSERT_TRUE(Get(url)) << Log();
    DataBuffer record;
    ASSERT_TRUE(Control().cache.FetchFromCache(url.c_str(), record, log_));
    const std::string bytes = AsString(record);
    ASSERT_GT(bytes.size(), 4u);
    const uint32_t offset = static_cast<uint8_t>(bytes[0]) | (static_cast<uint8_t>(bytes[1]) << 8) |
                            (static_cast<uint8_t>(bytes[2]) << 16) | (static_cast<uint32_t>(bytes[3]) << 24);
    ASSERT_LE(offset, bytes.size() - 4);
    const std::string header = bytes.substr(4, offset);
    EXPECT_EQ(header.rfind("HTTP/1.1 200 OK\r\n", 0), 0u) << header;
    EXPECT_TRUE(Has(header, "ETag: \"e1\"\r\n"));
    EXPECT_EQ(bytes.substr(4 + offset), "the body");
    StringBuffer etag;
    Control().cache.GetEtag(etag);
    EXPECT_EQ(etag.ToStdString(), "\"e1\"");
}

// ---------------------------------------------------------------- revalidation

TEST_F(HttpClientCacheTest, ExpiredEntryIsRevalidatedWithTheServer)
{
    struct Case {
        const char* name;
        std::string fields;   // of the first answer, which expired long ago
        std::string line;     // the conditional line of the second request
    };
    const std::vector<Case> cases = {
        {"entity tag", "ETag: \"v1\"\r\nLast-Modified: Sat, 05 Nov 1994 08:49:37 GMT\r\nExpires: " +
                           std::string(kPastExpiry) + "\r\n",
         "If-None-Match: \"v1\"\r\n"},
        {"modification time", "Last-Modified: Sat, 05 Nov 1994 08:49:37 GMT\r\nExpires: " + std::string(kPastExpiry) +
                                  "\r\n",
         "If-Modified-Since: Sat, 05 Nov 1994 08:49:37 GMT\r\n"},
        {"expiry time alone", "Expires: " + std::string(kPastExpiry) + "\r\n", ""},
    };
    platform::CalendarTime past;
    ASSERT_TRUE(DateParser::ParseDate(kPastExpiry, past));
    StringBuffer pastText;
    DateParser::FormatRfc822(HttpCacheHooks::LocalTimeOf(HttpCacheHooks::SecondsOf(past)), pastText);
    for (Store store : {Store::Object, Store::Http}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(NameOf(store)) + ": " + c.name);
            Use(store);
            // The 304 brings a new expiry, after which the entry is fresh again.
            ScriptedServer server({ReplyOnce(LengthResponse("original", "200 OK", c.fields)),
                                   ReplyOnce(LengthResponse("", "304 Not Modified",
                                                            "Expires: " + std::string(kFarExpiry) + "\r\n"))});
            const std::string url = UrlOf(server, "/page");
            ASSERT_TRUE(Get(url)) << Log();
            ASSERT_TRUE(Get(url)) << Log();
            EXPECT_TRUE(Has(Log(), "Cache entry expired.")) << Log();
            EXPECT_TRUE(Has(Log(), "Updating cache entry with new expiration."));
            EXPECT_TRUE(Has(Log(), "NewExpiration"));
            EXPECT_TRUE(result_.fromCache);
            EXPECT_EQ(result_.header.GetStatusCode(), 200);
            EXPECT_EQ(AsString(body_), "original");
            const std::vector<std::string> requests = server.Requests();
            ASSERT_EQ(requests.size(), 2u);
            const std::string line =
                c.line.empty() ? "If-Modified-Since: " + pastText.ToStdString() + "\r\n" : c.line;
            EXPECT_TRUE(Has(requests[1], line)) << requests[1];
            EXPECT_FALSE(Has(requests[0], "If-"));
            // The conditional line comes first among the header fields.
            EXPECT_EQ(requests[1].find("\r\n") + 2, requests[1].find("If-"));

            ASSERT_TRUE(Get(url)) << Log();
            EXPECT_TRUE(result_.fromCache);
            EXPECT_EQ(AsString(body_), "original");
            EXPECT_EQ(server.Requests().size(), 2u);
        }
    }
}

TEST_F(HttpClientCacheTest, NginxAnswersTheEntityTagWith304)
{
    if (!NginxServer::Available()) GTEST_SKIP() << NginxServer::kMissingMessage;
    NginxServer nginx;
    nginx.AddLocation("location /old/ { add_header Expires \"Thu, 01 Jan 1970 00:00:01 GMT\"; }");
    ASSERT_TRUE(nginx.WriteDocFile("old/page.html", "<html>static page</html>\n"));
    ASSERT_TRUE(nginx.Start()) << nginx.Error();
    const std::string url = "http://127.0.0.1:" + std::to_string(nginx.Port()) + "/old/page.html";
    for (Store store : {Store::Object, Store::Http}) {
        SCOPED_TRACE(NameOf(store));
        Use(store);
        ASSERT_TRUE(Get(url)) << Log();
        EXPECT_FALSE(result_.fromCache);
        ASSERT_TRUE(Stored(url));
        ASSERT_TRUE(Get(url)) << Log();
        EXPECT_TRUE(result_.fromCache);
        EXPECT_EQ(result_.header.GetStatusCode(), 200);
        EXPECT_EQ(AsString(body_), "<html>static page</html>\n");
        EXPECT_TRUE(Has(Log(), "Updating cache entry with new expiration.")) << Log();
    }
    nginx.Stop();
    std::ifstream access(nginx.Dir() + "/access.log");
    const std::string lines((std::istreambuf_iterator<char>(access)), std::istreambuf_iterator<char>());
    EXPECT_TRUE(Has(lines, "\" 304 ")) << lines;
}

// ---------------------------------------------------------------- what is stored

TEST_F(HttpClientCacheTest, WhatIsStoredAndWhatIsNot)
{
    struct Case {
        Store store;
        std::string status;
        std::string fields;
        bool ignoreDirectives;
        bool stored;
        const char* logged;
    };
    const char* kDirective = "Not updating cache because of cache-control directive";
    const std::vector<Case> cases = {
        {Store::Object, "200 OK", "Cache-Control: no-store\r\n", false, false, kDirective},
        {Store::Object, "200 OK", "Cache-Control: No-Cache\r\n", false, false, kDirective},
        {Store::Object, "200 OK", "Cache-Control: max-age = 0\r\n", false, false, kDirective},
        {Store::Object, "200 OK", "Cache-Control: s-maxage=0\r\n", false, false, kDirective},
        {Store::Object, "200 OK", "Cache-Control: private, no-store\r\n", false, false, kDirective},
        {Store::Object, "200 OK", "Pragma: no-cache\r\n", false, false,
         "Not updating cache because of no-cache pragma"},
        {Store::Object, "200 OK", "Expires: 0\r\n", false, false, "Not updating cache because of Expires=0 header"},
        {Store::Object, "200 OK", "Set-Cookie: sid=1; path=/\r\n", false, false,
         "Not updating cache because the response sets cookies"},
        {Store::Object, "200 OK", "Set-Cookie: sid=1; path=/\r\n", true, false,
         "Not updating cache because the response sets cookies"},
        {Store::Object, "404 Not Found", "", false, false, "Not updating cache because status code != 200"},
        {Store::Object, "201 Created", "", false, false, "Not updating cache because status code != 200"},
        {Store::Object, "200 OK", "Cache-Control: no-store\r\n", true, true, "Cache updated."},
        {Store::Object, "200 OK", "Cache-Control: max-age=60\r\n", false, true, "Cache updated."},
        {Store::Object, "200 OK", "Expires: " + std::string(kPastExpiry) + "\r\n", false, true, "Cache updated."},
        {Store::Http, "200 OK", "Cache-Control: no-store\r\n", false, false, kDirective},
        {Store::Http, "404 Not Found", "", false, true, "Cache updated."},
        {Store::Http, "500 Internal Server Error", "", false, false,
         "Not updating cache because of the status code"},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(NameOf(c.store)) + ": " + c.status + " " + c.fields);
        Use(c.store);
        Control().cacheControl.ignoreNoCacheDirectives = c.ignoreDirectives;
        ScriptedServer server({ReplyOnce(LengthResponse("body", c.status, c.fields))});
        const std::string url = UrlOf(server, "/case" + std::to_string(n++));
        Get(url);
        EXPECT_EQ(Stored(url), c.stored) << Log();
        EXPECT_TRUE(Has(Log(), c.logged)) << Log();
    }
}

// ---------------------------------------------------------------- HttpCache store

TEST_F(HttpClientCacheTest, StoredRedirectIsFollowedAtOnce)
{
    Use(Store::Http);
    const std::map<std::string, std::string> routes = {
        {"/old", LengthResponse("", "301 Moved Permanently", "Location: /new\r\n")},
        {"/new", LengthResponse("target", "200 OK", "Cache-Control: no-store\r\n")},
    };
    ScriptedServer server({Routes(routes), Routes(routes)});
    ASSERT_TRUE(Get(UrlOf(server, "/old"))) << Log();
    ASSERT_TRUE(Get(UrlOf(server, "/old"))) << Log();
    EXPECT_EQ(AsString(body_), "target");
    EXPECT_TRUE(result_.wasRedirected);
    EXPECT_EQ(result_.finalUrl.ToStdString(), UrlOf(server, "/new"));
    EXPECT_FALSE(result_.redirectFromCacheFailed);
    std::vector<std::string> targets;
    for (const std::string& request : server.Requests()) targets.push_back(TargetOf(request));
    EXPECT_EQ(targets, (std::vector<std::string>{"/old", "/new", "/new"}));

    // Without following, the stored 301 itself is the answer.
    Control().followRedirects = false;
    ASSERT_TRUE(Get(UrlOf(server, "/old"))) << Log();
    EXPECT_EQ(result_.header.GetStatusCode(), 301);
    EXPECT_TRUE(result_.fromCache);
    EXPECT_EQ(server.Requests().size(), 3u);
}

TEST_F(HttpClientCacheTest, StoredRedirectThatFailsAsksTheServer)
{
    Use(Store::Http);
    ScriptedServer server(
        {ReplyOnce(LengthResponse("", "302 Found", "Location: http://127.0.0.1:1/gone\r\n")),
         ReplyOnce(LengthResponse("answered by the server"))});
    const std::string url = UrlOf(server, "/moved");
    EXPECT_FALSE(Get(url));   // the target refuses connections
    ASSERT_TRUE(Stored(url));
    ASSERT_TRUE(Get(url)) << Log();
    EXPECT_TRUE(result_.redirectFromCacheFailed);
    EXPECT_FALSE(result_.wasRedirected);
    EXPECT_EQ(AsString(body_), "answered by the server");
    EXPECT_EQ(server.Requests().size(), 2u);
}

TEST_F(HttpClientCacheTest, FailedGetLeavesANegativeEntry)
{
    struct Case {
        bool ignoreNegative;
        bool fetchFromCache;
    };
    for (const Case c : {Case{false, true}, Case{true, true}, Case{false, false}}) {
        SCOPED_TRACE(std::to_string(c.ignoreNegative) + std::to_string(c.fetchFromCache));
        Use(Store::Http);
        Control().cacheControl.ignoreNegativeEntries = c.ignoreNegative;
        Control().cacheControl.fetchFromCache = c.fetchFromCache;
        ScriptedServer server({[](ScriptedConnection& conn) { conn.ReadRequest(); },
                               ReplyOnce(LengthResponse("back again")), ReplyOnce(LengthResponse("third"))});
        const std::string url =
            UrlOf(server, "/flaky" + std::to_string(c.ignoreNegative) + std::to_string(c.fetchFromCache));
        EXPECT_FALSE(Get(url));
        EXPECT_TRUE(Has(Log(), "Failed to get response header"));
        EXPECT_TRUE(Negative(url));

        ASSERT_TRUE(Get(url)) << Log();
        EXPECT_EQ(result_.cacheState, 2);
        EXPECT_EQ(Has(Log(), "Found negative cache entry."), !c.ignoreNegative) << Log();
        EXPECT_EQ(AsString(body_), "back again");

        // The answer replaced the negative entry.
        ASSERT_TRUE(Get(url)) << Log();
        EXPECT_EQ(result_.cacheState, 1);
        EXPECT_EQ(result_.fromCache, c.fetchFromCache);
        EXPECT_EQ(AsString(body_), c.fetchFromCache ? "back again" : "third");
    }
}

TEST_F(HttpClientCacheTest, DomainWhoseNameLookupFailsIsMarkedInvalid)
{
    Use(Store::Http);
    const char* kMarked = "Domain name is marked as invalid in the cache.";
    EXPECT_FALSE(Get("http://nohost.invalid/page"));
    EXPECT_TRUE(Has(Log(), "Domain name lookup failed.")) << Log();
    EXPECT_TRUE(MarkedInvalid("nohost.invalid"));

    EXPECT_FALSE(Get("http://NoHost.invalid/other"));
    EXPECT_TRUE(Has(Log(), kMarked)) << Log();
    EXPECT_FALSE(Has(Log(), "Domain name lookup failed."));

    Control().cacheControl.rejectInvalidDomains = false;
    EXPECT_FALSE(Get("http://nohost.invalid/page"));
    EXPECT_FALSE(Has(Log(), kMarked));
    EXPECT_TRUE(Has(Log(), "Domain name lookup failed."));

    // The re-open path marks as well.
    HttpClient client;
    EXPECT_FALSE(client.OpenConnection(Control(), "reopen.invalid", 80, log_));
    EXPECT_TRUE(MarkedInvalid("reopen.invalid"));

    // Nothing is marked when the cache is not updated.
    Control().cacheControl.updateCache = false;
    EXPECT_FALSE(Get("http://unmarked.invalid/"));
    EXPECT_FALSE(MarkedInvalid("unmarked.invalid"));
}

TEST_F(HttpClientCacheTest, SuccessfulConnectClearsAnInvalidMark)
{
    Use(Store::Http);
    ScriptedServer server({ReplyOnce(LengthResponse("reachable"))});
    ASSERT_TRUE(Control().httpCache.MarkDomainInvalid("127.0.0.1", log_));

    EXPECT_FALSE(Get(UrlOf(server, "/a")));
    EXPECT_TRUE(Has(Log(), "Domain name is marked as invalid in the cache."));
    EXPECT_EQ(server.Connections(), 0);

    Control().cacheControl.rejectInvalidDomains = false;
    ASSERT_TRUE(Get(UrlOf(server, "/a"))) << Log();
    EXPECT_FALSE(MarkedInvalid("127.0.0.1"));
}

// ---------------------------------------------------------------- damaged records

TEST_F(HttpClientCacheTest, DamagedResourceCacheRecordsAreIgnored)
{
    struct Case {
        const char* name;
        std::string record;
        const char* logged;   // or null
    };
    const std::string header = "HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\n";
    auto withOffset = [](uint32_t offset, const std::string& rest) {
        std::string bytes(4, '\0');
        for (int i = 0; i < 4; ++i) bytes[static_cast<size_t>(i)] = static_cast<char>(offset >> (8 * i));
        return bytes + rest;
    };
    const std::vector<Case> cases = {
        {"too short", withOffset(4, "HTTP/1.1 200"), nullptr},
        {"offset past the end", withOffset(0x7FFFFFF0, header + "body"), "Bad offset in cache file"},
        {"negative offset", withOffset(0xFFFFFFFF, header + "body"), "Bad offset in cache file"},
        {"no status line", withOffset(20, "garbage garbage garbage"), "Cached header is not readable"},
    };
    Use(Store::Object);
    platform::CalendarTime later;
    later.year = 2099;
    later.month = 1;
    later.day = 1;
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedServer server({ReplyOnce(LengthResponse("from the server"))});
        const std::string url = UrlOf(server, "/damaged" + std::to_string(n++));
        DataBuffer record(c.record.data(), static_cast<unsigned>(c.record.size()));
        ASSERT_TRUE(Control().cache.SaveToCache(url.c_str(), later, "", record, log_));
        ASSERT_TRUE(Get(url)) << Log();
        EXPECT_FALSE(result_.fromCache);
        EXPECT_EQ(AsString(body_), "from the server");
        if (c.logged != nullptr) {
            EXPECT_TRUE(Has(Log(), c.logged)) << Log();
        }
    }
}

} // namespace
} // namespace plentor
