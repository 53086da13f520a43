#pragma once

namespace plentor {

class DataBuffer;
class StringBuffer;

// Stateless URL utility: splits URLs into their parts, derives the
// registrable domain of a host, resolves relative links and does the
// URL (form) encoding of query strings. All text is single-byte.
class ZentrelUrl {
public:
    static constexpr int kHttpPort = 80;
    static constexpr int kHttpsPort = 443;
    // A URL longer than this is refused by CrackUrl: the HTTP engine already
    // rejects anything over 2000 bytes, so only garbage gets this far.
    static constexpr int kMaxUrlLength = 64 * 1024;

    virtual ~ZentrelUrl() = default;

    // Splits url into its parts. Every output is emptied first and port starts
    // at 80 (443 for https). Nothing is percent-decoded; the host is
    // lower-cased and cleaned. False only for a null or over-long url:
    // malformed text yields empty or partial parts.
    static bool CrackUrl(const char* url, StringBuffer& host, int& port, StringBuffer& login,
                         StringBuffer& password, StringBuffer& path, StringBuffer& query,
                         StringBuffer& fragment);

    // CrackUrl delivering only the host.
    static bool GetUrlHost(const char* url, StringBuffer& host);

    // The registrable domain of the URL's host (GetDomainFromHost).
    static bool GetDomain(const char* url, StringBuffer& domain);

    // The registrable domain of a host name ("www.example.co.uk" gives
    // "example.co.uk"). Empty only when the host is empty.
    static void GetDomainFromHost(const char* host, StringBuffer& domain);

    // Resolves relative against base. An empty base or an absolute http(s)
    // link gives the link unchanged; otherwise the platform's URL combination
    // decides. False, with result empty, when that fails or does not fit.
    static bool CombineUrl(const char* base, const char* relative, StringBuffer& result);

    // Appends the form encoding of the bytes: letters and digits stay, a space
    // becomes "+", every other byte "%XX" (upper-case hex).
    static void UrlEncode(const DataBuffer& bytes, StringBuffer& out);

    // Replaces the text by its form encoding.
    static void UrlEncodeInPlace(StringBuffer& text);
    // The form encoding of a C string; null reads as empty.
    static StringBuffer UrlEncoded(const char* text);

    // Appends the bytes a form-encoded text stands for: "+" is a space, "%XX"
    // a byte. A "%" with fewer than two characters after it ends the text; a
    // "%" followed by something other than two hex digits is kept as it is.
    static void UrlDecode(const StringBuffer& text, DataBuffer& out);
};

} // namespace plentor
