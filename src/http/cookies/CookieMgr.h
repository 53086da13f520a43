#pragma once

#include <cstddef>
#include <memory>

namespace plentor {

class ClsXml;
class Cookie;
class CookieJar;
class CookieStore;
class LogBase;
class StringBuffer;

// Loads and saves cookies, one XML document per registrable domain, either
// in a CookieStore (the location "memory") or as files in a directory.
// Holds no state.
class CookieMgr {
public:
    // A domain's cookies come from few responses; a document past this size
    // is not one this program wrote.
    static constexpr size_t kMaxFileBytes = 4u * 1024 * 1024;
    // Browsers keep about 180 cookies per domain; a server that sets more is
    // filling the store, not logging in.
    static constexpr int kMaxCookiesPerDomain = 200;
    // The longest host name DNS allows; also keeps file names short.
    static constexpr int kMaxDomainLength = 253;

    enum class Where {
        Nowhere,     // no cookie work at all
        Memory,      // the CookieStore
        Directory,   // files in the directory named by the location
    };

    // The memory store serves an empty location or "memory" (any case) when
    // a store is given; any other location is a directory.
    static Where LocationOf(const char* location, const CookieStore* store);

    // The registrable domain of a host ("www.example.co.uk" gives
    // "example.co.uk"); an IPv4 address is its own registrable domain.
    static void GetRegistrableDomain(const char* host, StringBuffer& out);

    // The domain a response from host gives a cookie that names none:
    // "." + its registrable domain, or the address itself for an IPv4 host.
    static void GetDefaultDomain(const char* host, StringBuffer& out);

    // out = the file name of a domain's cookie document ("example_co_uk.xml").
    // False, with out empty, for an empty or over-long domain, one holding a
    // byte other than a letter, digit, ".", "-" or "_", an empty label, or
    // one whose registrable domain is a reserved device name: the name never
    // leaves the cookie directory.
    static bool GetCookieFileName(const char* domain, StringBuffer& out);

    // The cookies stored for the registrable domain of the request host, or
    // null (with a log line when something is wrong) when there are none.
    static std::unique_ptr<CookieJar> LoadJar(const char* location, const CookieStore* store, const char* domain,
                                              LogBase& log);

    // Stores a cookie received in a response from requestHost. Refused, with
    // a log line, when the cookie's domain lies outside the request host's
    // registrable domain or does not cover the host, when an existing cookie
    // file does not read as a cookie document (it is left as it was), or
    // when the domain already holds kMaxCookiesPerDomain cookies.
    static bool SaveCookie(const char* location, CookieStore* store, const char* requestHost, const Cookie& cookie,
                           LogBase& log);

private:
    enum class Opened {
        Loaded,   // the stored document
        Absent,   // nothing stored yet
        Bad,      // stored but unreadable
    };

    static Opened OpenDocument(Where where, const char* location, const CookieStore* store,
                               const StringBuffer& fileName, ClsXml& xml, LogBase& log);
    static bool WriteDocument(Where where, const char* location, CookieStore* store, const StringBuffer& fileName,
                              ClsXml& xml, LogBase& log);
    static bool MaySet(const char* requestHost, const Cookie& cookie, LogBase& log);
    static void JoinPath(const char* directory, const StringBuffer& fileName, StringBuffer& out);
};

} // namespace plentor
