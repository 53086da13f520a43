#pragma once

#include "http/cache/ClsCache2.h"
#include "http/cache/HttpCache.h"
#include "http/cookies/CookieStore.h"
#include "http/mime/MimeHeader.h"
#include "text/StringBuffer.h"

namespace plentor {

// The cache policy of an HTTP client.
struct CacheControl {
    bool rejectInvalidDomains = true;      // a GET to a domain marked invalid fails at once
    bool ignoreNegativeEntries = false;    // a negative entry is not reported
    bool updateCache = true;               // responses are written to the cache
    bool fetchFromCache = true;            // GETs are answered from the cache when possible
    bool ignoreNoCacheDirectives = false;  // "no-cache"-style fields do not prevent storing
    int defaultFreshnessMinutes = 10080;   // freshness of a response that states none (one week)
    int freshnessAlgorithm = 1;            // 1 = derive freshness from "Last-Modified"
    int lastModifiedFactorPercent = 25;    // share of the document's age used as freshness
};

// The settings an HTTP client reads on every request. One record per
// facade; it also owns the in-memory cookie store, so cookies live exactly as
// long as the facade.
class HttpControl {
public:
    static constexpr const char* kMemoryCookies = "memory";
    // The body limit of the fetches that only read a page for its title,
    // description and tags: a page larger than this is refused, not read
    // without end.
    static constexpr int kPageFetchMaxContent = 32 * 1024 * 1024;

    HttpControl() = default;
    HttpControl(const HttpControl&) = delete;
    HttpControl& operator=(const HttpControl&) = delete;

    CacheControl cacheControl;
    bool useCacheStore = false;       // true: httpCache, false: cache
    ClsCache2 cache;
    HttpCache httpCache;
    CookieStore cookieMap;            // the cookies when cookieDir is "memory"
    bool sendHost = true;
    StringBuffer userAgent = "Zentrel/1.0.0 (+http://www.plentor.org/agent.html)";
    StringBuffer referer;
    StringBuffer accept = "*/*";
    StringBuffer connection = "Keep-Alive";
    StringBuffer acceptCharset = "ISO-8859-1,utf-8;q=0.7,*;q=0.7";
    StringBuffer acceptLanguage = "en-us,en;q=0.5";
    MimeHeader extraHeaders;
    bool mimicIe = false;
    bool mimicFirefox = false;
    bool allowGzip = true;
    StringBuffer login;
    StringBuffer password;
    int proxyPort = 80;
    StringBuffer proxyDomain;         // empty: no proxy
    StringBuffer cookieDir;           // "memory", a directory, or empty for no cookies
    bool sendCookies = true;
    bool saveCookies = true;
    int maxUrlLen = 2000;
    int maxContentLength = 0;         // 0: no limit
    int connectTimeoutSec = 10;
    int readTimeoutSec = 20;          // the longest wait for any one read
    // Whole-transfer limits, so a peer that drips bytes cannot hold a call
    // for ever: the time from the request to the end of the response header,
    // and to the end of the whole response. 0: none.
    int headerTimeoutSec = 60;
    int responseTimeoutSec = 300;
    bool followRedirects = true;
    // An HTTPS server whose certificate does not verify is used anyway. Off:
    // credentials would otherwise go to whoever answers.
    bool acceptUnverifiedCert = false;

    bool HasProxy() const { return !proxyDomain.IsEmpty(); }
    bool HasCredentials() const { return !login.IsEmpty() && !password.IsEmpty(); }
};

} // namespace plentor
