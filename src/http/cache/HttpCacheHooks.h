#pragma once

#include "http/HttpResponseHeader.h"
#include "platform/Clock.h"
#include "text/DataBuffer.h"
#include "text/StringBuffer.h"

#include <cstdint>

namespace plentor {

class HttpControl;
class HttpResult;
class LogBase;
struct CacheControl;

// The cache side of one URL GET: looks the URL up in the store the settings
// select (the resource cache `cache`, or `httpCache` when useCacheStore is
// set), keeps an expired entry for a conditional request, stores responses
// and negative entries, and keeps the domain-name marks of `httpCache`. A
// store without roots counts as not in use. Times are seconds since
// 1 January 1970, UTC.
class HttpCacheHooks {
public:
    // What the lookup found for the URL.
    enum class Hit {
        None,      // nothing usable: ask the server
        Fresh,     // the stored response is the answer (in the result and body)
        Stale,     // ask the server conditionally; a 304 brings the stored response back
        Redirect,  // a stored 301/302 (in the result) is to be followed at once
    };

    // How a connect attempt ended, for the domain-name marks.
    enum class ConnectOutcome { Connected, NameNotFound, Failed };

    // The longest freshness any rule gives: the largest delta-seconds value
    // HTTP caches must understand (2^31 seconds, about 68 years).
    static constexpr int64_t kMaxFreshnessSecs = int64_t {1} << 31;
    // A response that states no freshness stays fresh at least this long.
    static constexpr int64_t kMinDefaultFreshnessSecs = 600;
    // A stored record is at least its 4-byte offset plus a status line; anything
    // this short or shorter is junk.
    static constexpr unsigned kMinRecordBytes = 20;
    // The body text (and auxiliary text) of an entry that records a failed fetch.
    static constexpr const char* kNegativeText = "Nothing";

    HttpCacheHooks(HttpControl& control, const StringBuffer& url);
    HttpCacheHooks(const HttpCacheHooks&) = delete;
    HttpCacheHooks& operator=(const HttpCacheHooks&) = delete;

    // Consults the store before any network work; sets cacheState (and for a
    // fresh hit the header, body and fromCache).
    Hit Lookup(HttpResult& result, DataBuffer& body, LogBase& log);

    // True (logged) when the GET must fail because the store marks host invalid.
    bool RejectsDomain(const StringBuffer& host, LogBase& log);

    // The "If-None-Match" or "If-Modified-Since" line (with CR LF) of a
    // conditional request; nothing unless the lookup found a stale entry.
    void AppendConditionalLine(StringBuffer& out) const;

    // Stores a response the server sent, when the policy and the response allow it.
    void Update(const HttpResponseHeader& header, const DataBuffer& body, LogBase& log);

    // After a 304: puts the kept response back into the result and body with
    // fromCache set and records its new expiry. False when nothing was kept.
    bool Revalidate(HttpResult& result, DataBuffer& body, LogBase& log);

    // Records that no response could be obtained for the URL. An entry already
    // stored for it is kept.
    void StoreNegative(LogBase& log);

    // Marks a host invalid after its name lookup failed, and valid again after
    // any other outcome, when the store is in use and updated.
    static void NoteConnect(HttpControl& control, const char* host, ConnectOutcome outcome, LogBase& log);

    // When a response fetched at now stops being fresh.
    static int64_t ComputeExpiry(const HttpResponseHeader& header, const CacheControl& policy, int64_t now);

    // The current time, and conversions between seconds and broken-down time.
    static int64_t NowSeconds();
    static int64_t SecondsOf(const platform::CalendarTime& utc);
    static platform::CalendarTime LocalTimeOf(int64_t seconds);

private:
    // A stored response kept aside for a conditional request.
    struct Kept {
        bool present = false;
        HttpResponseHeader header;
        DataBuffer body;
        StringBuffer etag;
        bool hasExpiry = false;
        int64_t expiry = 0;
    };

    bool UsesHttpCache() const;
    bool UsesObjectCache() const;
    static bool HttpCacheInUse(const HttpControl& control);

    Hit LookupObjectCache(HttpResult& result, DataBuffer& body, LogBase& log);
    Hit LookupHttpCache(HttpResult& result, DataBuffer& body, LogBase& log);
    void NoteNegative(HttpResult& result, LogBase& log) const;
    Hit Found(Kept& entry, bool expired, HttpResult& result, DataBuffer& body, LogBase& log);
    bool MayStore(const HttpResponseHeader& header, LogBase& log) const;
    bool WriteHttpCacheEntry(const StringBuffer& headerText, const DataBuffer& body, LogBase& log);
    bool WriteObjectCacheEntry(const StringBuffer& headerText, const DataBuffer& body, int64_t expiry,
                               const StringBuffer& etag, LogBase& log);

    HttpControl& control_;
    const CacheControl& policy_;
    StringBuffer url_;
    Kept kept_;
};

} // namespace plentor
