#include "http/cache/HttpCacheHooks.h"

#include "base/LogBase.h"
#include "http/HttpControl.h"
#include "http/HttpResult.h"
#include "http/cache/CacheEntry.h"
#include "text/Charset.h"
#include "text/DateParser.h"
#include "text/LittleEndian.h"

#include <algorithm>
#include <vector>

namespace plentor {

namespace {

constexpr int64_t kSecsPerDay = 86400;
constexpr int kUtf8CodePage = 65001;
// Expiry times are kept between 1 January 1970 and 30 December 9999: the
// resource cache's date format ends with year 9999, and a day to spare keeps
// the local time of the latest expiry inside it in every time zone.
constexpr int64_t kEarliestExpiry = 0;
constexpr int64_t kLatestExpiry = 253402128000;

// Cache-Control directives (spaces removed, lower case) under which a
// response is not stored.
constexpr const char* kNoStoreDirectives[] = {"no-cache", "no-store", "max-age=0", "s-maxage=0"};
constexpr const char* kNoCachePragma[] = {"no-cache"};

// Fields a 304 answer may carry that replace those of the stored response.
constexpr const char* kRefreshedFields[] = {"Date", "Expires", "Cache-Control", "Last-Modified", "ETag"};

platform::CalendarTime CalendarOf(int64_t seconds)
{
    int64_t days = seconds / kSecsPerDay;
    int64_t rest = seconds % kSecsPerDay;
    if (rest < 0) {
        rest += kSecsPerDay;
        --days;
    }
    platform::CalendarTime t;
    DateParser::CivilFromDays(days, t.year, t.month, t.day);
    t.hour = static_cast<int>(rest / 3600);
    t.minute = static_cast<int>(rest / 60 % 60);
    t.second = static_cast<int>(rest % 60);
    t.dayOfWeek = DateParser::DayOfWeek(t.year, t.month, t.day);
    return t;
}

int64_t BiasSeconds() { return int64_t {platform::TimeZoneBiasMinutes()} * 60; }

void FormatTime(int64_t seconds, StringBuffer& out)
{
    DateParser::FormatRfc822(HttpCacheHooks::LocalTimeOf(seconds), out);
}

void LogTime(LogBase& log, const char* tag, int64_t seconds)
{
    StringBuffer text;
    FormatTime(seconds, text);
    log.LogData(tag, text.GetString());
}

// The directives of a Cache-Control or Pragma value, spaces removed, lower case.
void Directives(const HttpResponseHeader& header, const char* field, std::vector<StringBuffer>& out)
{
    StringBuffer value;
    if (!header.GetField(field, value)) return;
    value.Split(out, ',', StringBuffer::SplitGuard::Quotes);
    for (StringBuffer& d : out) {
        d.RemoveChar(' ');
        d.RemoveChar('\t');
        d.ToLower();
    }
}

template <size_t N>
bool HasDirective(const HttpResponseHeader& header, const char* field, const char* const (&names)[N])
{
    std::vector<StringBuffer> list;
    Directives(header, field, list);
    for (const StringBuffer& d : list) {
        for (const char* name : names) {
            if (d.Equals(name)) return true;
        }
    }
    return false;
}

// The "max-age" directive of Cache-Control; false when absent or not a number.
bool MaxAge(const HttpResponseHeader& header, int64_t& seconds)
{
    std::vector<StringBuffer> list;
    Directives(header, "Cache-Control", list);
    for (StringBuffer& d : list) {
        if (!d.BeginsWith("max-age=")) continue;
        d.EraseRange(0, 8);
        d.RemoveChar('"');
        if (d.IsEmpty()) return false;
        seconds = 0;
        for (int i = 0; i < d.GetLength(); ++i) {
            const char c = d.CharAt(i);
            if (c < '0' || c > '9') return false;
            seconds = std::min(seconds * 10 + (c - '0'), HttpCacheHooks::kMaxFreshnessSecs);
        }
        return true;
    }
    return false;
}

bool DateField(const HttpResponseHeader& header, const char* field, int64_t& seconds)
{
    StringBuffer text;
    if (!header.GetField(field, text)) return false;
    text.Trim();
    platform::CalendarTime t;
    if (!DateParser::ParseDate(text.GetString(), t)) return false;
    seconds = HttpCacheHooks::SecondsOf(t);
    return true;
}

// A field value that may be copied into a request line.
bool IsSingleLine(const StringBuffer& value) { return !value.HasChar('\r') && !value.HasChar('\n'); }

// The header text a store keeps: status line, fields, blank line, written in
// the response's charset (UTF-8 when it names none).
void HeaderText(const HttpResponseHeader& header, StringBuffer& out)
{
    StringBuffer name;
    Charset charset;
    if (header.GetCharset(name)) charset.SetByName(name.GetString());
    const int codePage = charset.GetCodePage() != 0 ? charset.GetCodePage() : kUtf8CodePage;
    header.WriteWithStatusLine(out, codePage);
    out.Append("\r\n\r\n");
}

// The time an HttpCache entry was stored (its stamp keeps the hour); false
// for a stamp that names no real hour.
bool StampSeconds(const uint8_t stamp[4], int64_t& seconds)
{
    if (stamp[1] < 1 || stamp[1] > 12 || stamp[2] < 1 || stamp[2] > 31 || stamp[3] > 23) return false;
    platform::CalendarTime t;
    t.year = 2000 + stamp[0];
    t.month = stamp[1];
    t.day = stamp[2];
    t.hour = stamp[3];
    seconds = HttpCacheHooks::SecondsOf(t);
    return true;
}

} // namespace

HttpCacheHooks::HttpCacheHooks(HttpControl& control, const StringBuffer& url)
    : control_(control), policy_(control.cacheControl), url_(url)
{
}

// ---------------------------------------------------------------- time

int64_t HttpCacheHooks::NowSeconds() { return SecondsOf(platform::SystemTime()); }

int64_t HttpCacheHooks::SecondsOf(const platform::CalendarTime& time)
{
    return DateParser::DaysFromCivil(time.year, time.month, time.day) * kSecsPerDay + int64_t {time.hour} * 3600 +
           int64_t {time.minute} * 60 + time.second;
}

platform::CalendarTime HttpCacheHooks::LocalTimeOf(int64_t seconds) { return CalendarOf(seconds - BiasSeconds()); }

int64_t HttpCacheHooks::ComputeExpiry(const HttpResponseHeader& header, const CacheControl& policy, int64_t now)
{
    int64_t expiry = 0;
    int64_t maxAge = 0;
    int64_t modified = 0;
    if (DateField(header, "Expires", expiry)) {
        // as stated
    } else if (MaxAge(header, maxAge)) {
        expiry = now + maxAge;
    } else if (policy.freshnessAlgorithm == 1 && DateField(header, "Last-Modified", modified) && modified < now) {
        const double share = static_cast<double>(std::max(policy.lastModifiedFactorPercent, 0)) / 100.0;
        const double freshness = std::min(share * static_cast<double>(now - modified),
                                          static_cast<double>(kMaxFreshnessSecs));
        expiry = now + static_cast<int64_t>(freshness);
    } else {
        const int64_t freshness = std::clamp(int64_t {policy.defaultFreshnessMinutes} * 60,
                                             kMinDefaultFreshnessSecs, kMaxFreshnessSecs);
        expiry = now + freshness;
    }
    return std::clamp(expiry, kEarliestExpiry, kLatestExpiry);
}

// ---------------------------------------------------------------- stores in use

bool HttpCacheHooks::HttpCacheInUse(const HttpControl& control)
{
    return control.useCacheStore && control.httpCache.GetNumRoots() > 0;
}

bool HttpCacheHooks::UsesHttpCache() const { return HttpCacheInUse(control_); }

bool HttpCacheHooks::UsesObjectCache() const { return !control_.useCacheStore && control_.cache.GetNumRoots() > 0; }

// ---------------------------------------------------------------- lookup

HttpCacheHooks::Hit HttpCacheHooks::Lookup(HttpResult& result, DataBuffer& body, LogBase& log)
{
    if (UsesHttpCache()) return LookupHttpCache(result, body, log);
    if (UsesObjectCache() && policy_.fetchFromCache) return LookupObjectCache(result, body, log);
    return Hit::None;
}

// The resource cache keeps a record per URL: a 4-byte offset B, the header
// text, and from B (counted after the offset field) the body.
HttpCacheHooks::Hit HttpCacheHooks::LookupObjectCache(HttpResult& result, DataBuffer& body, LogBase& log)
{
    ClsCache2& cache = control_.cache;
    // Asking first keeps a plain miss out of the error log.
    if (!cache.IsCached(url_.GetString())) return Hit::None;
    DataBuffer record;
    if (!cache.FetchFromCache(url_.GetString(), record, log) || record.Size() <= kMinRecordBytes) return Hit::None;
    const int64_t offset = static_cast<int32_t>(LittleEndian::Get32(record.Data()));
    if (offset < 0 || offset > static_cast<int64_t>(record.Size()) - 4) {
        log.LogError("Bad offset in cache file");
        log.LogDataLong("offset", offset);
        log.LogDataLong("dbSize", record.Size());
        return Hit::None;
    }
    const auto headerEnd = static_cast<unsigned>(4 + offset);
    Kept entry;
    entry.header.Parse(reinterpret_cast<const char*>(record.Data()) + 4, static_cast<unsigned>(offset), log);
    if (entry.header.GetStatusCode() == 0) {
        log.LogError("Cached header is not readable");
        return Hit::None;
    }
    entry.body.AppendBytes(record.Data() + headerEnd, record.Size() - headerEnd);
    cache.GetEtag(entry.etag);
    platform::CalendarTime local;
    if (cache.GetExpiration(local)) {
        entry.hasExpiry = true;
        entry.expiry = SecondsOf(local) + BiasSeconds();
    }
    return Found(entry, cache.IsExpired(), result, body, log);
}

HttpCacheHooks::Hit HttpCacheHooks::LookupHttpCache(HttpResult& result, DataBuffer& body, LogBase& log)
{
    HttpCache& cache = control_.httpCache;
    if (!policy_.fetchFromCache) {
        // Only what kind of entry there is, for cacheState.
        bool found = false;
        CacheEntry::Fixed fixed;
        if (!policy_.updateCache || !cache.LookupEntry(url_.GetString(), found, fixed, log) || !found)
            return Hit::None;
        if (fixed.negative != 0)
            NoteNegative(result, log);
        else
            result.cacheState = 1;
        return Hit::None;
    }
    bool negative = false;
    std::unique_ptr<CacheEntry> stored = cache.GetEntry(url_.GetString(), negative, log);
    if (negative) {
        NoteNegative(result, log);
        return Hit::None;
    }
    // The store matches keys by CRC only; another URL's entry is no hit.
    if (!stored || !stored->key.Equals(url_.GetString())) return Hit::None;
    Kept entry;
    entry.header.Parse(stored->header.GetString(), static_cast<unsigned>(stored->header.GetLength()), log);
    const int status = entry.header.GetStatusCode();
    result.cacheState = 1;
    int64_t storedAt = 0;
    if (status == 0 || !StampSeconds(stored->fixed.storedAt, storedAt)) return Hit::None;
    entry.hasExpiry = true;
    entry.expiry = ComputeExpiry(entry.header, policy_, storedAt);
    const bool expired = NowSeconds() >= entry.expiry;
    if (status == 301 || status == 302) {
        if (expired) return Hit::None;
        log.LogInfo("Cache hit.");
        result.header.CopyFrom(entry.header);
        body.TakeFrom(stored->body);
        result.fromCache = true;
        return Hit::Redirect;
    }
    if (status != 200) return Hit::None;
    entry.body.TakeFrom(stored->body);
    entry.header.GetField("ETag", entry.etag);
    entry.etag.Trim();
    return Found(entry, expired, result, body, log);
}

void HttpCacheHooks::NoteNegative(HttpResult& result, LogBase& log) const
{
    result.cacheState = 2;
    if (policy_.ignoreNegativeEntries) return;
    log.LogInfo("Found negative cache entry.");
    log.LogData("url", url_.GetString());
}

// A stored 200 response: the answer itself while fresh, else kept for a
// conditional request.
HttpCacheHooks::Hit HttpCacheHooks::Found(Kept& entry, bool expired, HttpResult& result, DataBuffer& body,
                                          LogBase& log)
{
    result.cacheState = 1;
    log.LogInfo("Cache hit.");
    if (!expired) {
        result.header.CopyFrom(entry.header);
        body.TakeFrom(entry.body);
        result.fromCache = true;
        return Hit::Fresh;
    }
    log.LogInfo("Cache entry expired.");
    log.LogData("ExpiredEtag", entry.etag.GetString());
    if (entry.hasExpiry) LogTime(log, "ExpiredDateTime", entry.expiry);
    kept_.present = true;
    kept_.header.CopyFrom(entry.header);
    kept_.body.TakeFrom(entry.body);
    kept_.etag = entry.etag;
    kept_.hasExpiry = entry.hasExpiry;
    kept_.expiry = entry.expiry;
    return Hit::Stale;
}

// ---------------------------------------------------------------- domains

bool HttpCacheHooks::RejectsDomain(const StringBuffer& host, LogBase& log)
{
    if (!UsesHttpCache() || !policy_.rejectInvalidDomains) return false;
    bool found = false;
    bool invalid = false;
    control_.httpCache.IsDomainMarkedInvalid(host.GetString(), found, invalid, log);
    if (!invalid) return false;
    log.LogError("Domain name is marked as invalid in the cache.");
    log.LogData("domain", host.GetString());
    return true;
}

void HttpCacheHooks::NoteConnect(HttpControl& control, const char* host, ConnectOutcome outcome, LogBase& log)
{
    // Through a proxy the proxy's name is looked up, which says nothing about the host.
    if (!HttpCacheInUse(control) || !control.cacheControl.updateCache || control.HasProxy()) return;
    if (host == nullptr || *host == '\0') return;
    if (outcome == ConnectOutcome::NameNotFound) {
        control.httpCache.MarkDomainInvalid(host, log);
        return;
    }
    // A host without a mark counts as valid; only an invalid mark is rewritten.
    bool found = false;
    bool invalid = false;
    control.httpCache.IsDomainMarkedInvalid(host, found, invalid, log);
    if (invalid) control.httpCache.MarkDomainValid(host, log);
}

// ---------------------------------------------------------------- request

void HttpCacheHooks::AppendConditionalLine(StringBuffer& out) const
{
    if (!kept_.present) return;
    if (!kept_.etag.IsEmpty() && IsSingleLine(kept_.etag)) {
        out.Append("If-None-Match: ");
        out.AppendBuffer(kept_.etag);
        out.Append("\r\n");
        return;
    }
    // The document's own modification time is what the server compares
    // against; the expiry time stands in only when the response gave none.
    StringBuffer modified;
    kept_.header.GetField("Last-Modified", modified);
    modified.Trim();
    if (!modified.IsEmpty() && IsSingleLine(modified)) {
        out.Append("If-Modified-Since: ");
        out.AppendBuffer(modified);
        out.Append("\r\n");
    } else if (kept_.hasExpiry) {
        out.Append("If-Modified-Since: ");
        FormatTime(kept_.expiry, out);
        out.Append("\r\n");
    }
}

// ---------------------------------------------------------------- storing

bool HttpCacheHooks::MayStore(const HttpResponseHeader& header, LogBase& log) const
{
    // Cookies belong to one session; replaying them from the cache would be wrong.
    if (header.HasField("Set-Cookie") || header.HasField("Set-Cookie2")) {
        log.LogInfo("Not updating cache because the response sets cookies");
        return false;
    }
    if (policy_.ignoreNoCacheDirectives) return true;
    if (HasDirective(header, "Cache-Control", kNoStoreDirectives)) {
        log.LogInfo("Not updating cache because of cache-control directive");
        return false;
    }
    if (HasDirective(header, "Pragma", kNoCachePragma)) {
        log.LogInfo("Not updating cache because of no-cache pragma");
        return false;
    }
    StringBuffer expires;
    header.GetField("Expires", expires);
    expires.Trim();
    if (expires.Equals("0")) {
        log.LogInfo("Not updating cache because of Expires=0 header");
        return false;
    }
    return true;
}

void HttpCacheHooks::Update(const HttpResponseHeader& header, const DataBuffer& body, LogBase& log)
{
    const bool httpCache = UsesHttpCache();
    if (!policy_.updateCache || (!httpCache && !UsesObjectCache())) return;
    const int status = header.GetStatusCode();
    // Interim answers carry nothing to keep; a 304 is handled by Revalidate.
    if (status < 200 || status == 304) return;
    if (httpCache ? status > 499 : status != 200) {
        log.LogInfo(httpCache ? "Not updating cache because of the status code"
                              : "Not updating cache because status code != 200");
        log.LogDataLong("statusCode", status);
        return;
    }
    if (!MayStore(header, log)) return;

    const int64_t expiry = ComputeExpiry(header, policy_, NowSeconds());
    StringBuffer etag;
    header.GetField("ETag", etag);
    etag.Trim();
    log.LogData("UrlToCache", url_.GetString());
    LogTime(log, "NewExpireTime", expiry);
    log.LogData("Etag", etag.GetString());
    StringBuffer text;
    HeaderText(header, text);
    const bool ok = httpCache ? WriteHttpCacheEntry(text, body, log)
                              : WriteObjectCacheEntry(text, body, expiry, etag, log);
    if (ok)
        log.LogInfo("Cache updated.");
    else
        log.LogError("Cache not updated.");
}

// An entry already stored for the URL is replaced: lookups find the first
// entry of a key, so an appended one would stay hidden behind it.
bool HttpCacheHooks::WriteHttpCacheEntry(const StringBuffer& headerText, const DataBuffer& body, LogBase& log)
{
    HttpCache& cache = control_.httpCache;
    bool found = false;
    CacheEntry::Fixed fixed;
    if (!cache.LookupEntry(url_.GetString(), found, fixed, log)) return false;
    if (found)
        return cache.RewriteEntry(url_.GetString(), headerText, body, HttpCache::EntryKind::Response, 0, 0,
                                  CacheEntry::kFlagCompressed, kNegativeText, log);
    return cache.CreateEntry(url_.GetString(), headerText, body, HttpCache::EntryKind::Response, 0, 0,
                             CacheEntry::kFlagCompressed, kNegativeText, log);
}

bool HttpCacheHooks::WriteObjectCacheEntry(const StringBuffer& headerText, const DataBuffer& body, int64_t expiry,
                                           const StringBuffer& etag, LogBase& log)
{
    DataBuffer record;
    uint8_t offset[4];
    LittleEndian::Put32(offset, static_cast<uint32_t>(headerText.GetLength()));
    record.Reserve(4 + static_cast<unsigned>(headerText.GetLength()) + body.Size());
    record.AppendBytes(offset, 4);
    record.AppendText(headerText);
    record.AppendBuffer(body);
    return control_.cache.SaveToCache(url_.GetString(), LocalTimeOf(expiry), etag.GetString(), record, log);
}

bool HttpCacheHooks::Revalidate(HttpResult& result, DataBuffer& body, LogBase& log)
{
    if (!kept_.present) return false;
    log.LogInfo("Updating cache entry with new expiration.");
    // The 304 may carry new validity fields; they replace the stored ones.
    HttpResponseHeader refreshed;
    refreshed.CopyFrom(kept_.header);
    for (const char* name : kRefreshedFields) {
        StringBuffer value;
        if (result.header.GetField(name, value)) refreshed.GetFields().SetField(name, value.GetString());
    }
    const int64_t expiry = ComputeExpiry(refreshed, policy_, NowSeconds());
    if (policy_.updateCache) {
        if (UsesHttpCache()) {
            StringBuffer text;
            HeaderText(refreshed, text);
            WriteHttpCacheEntry(text, kept_.body, log);
        } else if (UsesObjectCache()) {
            control_.cache.UpdateExpiration(url_.GetString(), LocalTimeOf(expiry), log);
        }
    }
    LogTime(log, "NewExpiration", expiry);
    result.header.CopyFrom(refreshed);
    body.Clear();
    body.AppendBuffer(kept_.body);
    result.fromCache = true;
    return true;
}

void HttpCacheHooks::StoreNegative(LogBase& log)
{
    if (!UsesHttpCache() || !policy_.updateCache) return;
    HttpCache& cache = control_.httpCache;
    bool found = false;
    CacheEntry::Fixed fixed;
    if (!cache.LookupEntry(url_.GetString(), found, fixed, log) || found) return;
    StringBuffer noHeader;
    const StringBuffer text(kNegativeText);
    DataBuffer nothing;
    nothing.AppendText(text);
    if (cache.CreateEntry(url_.GetString(), noHeader, nothing, HttpCache::EntryKind::Negative, 0, 0,
                          CacheEntry::kFlagCompressed, kNegativeText, log))
        log.LogInfo("Stored negative cache entry.");
}

} // namespace plentor
