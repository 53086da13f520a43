#include "http/ZentrelUrl.h"
#include "text/AsciiChars.h"
#include "text/HexDigits.h"

#include "platform/UrlCombine.h"
#include "text/DataBuffer.h"
#include "text/StringBuffer.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string>
#include <string_view>

namespace plentor {

namespace {

constexpr std::string_view kWhite = " \t\r\n";
// A host is cut at the first of each of these in turn: what follows belongs
// to a port, an escape or a query that leaked into the host part.
constexpr char kHostCuts[] = ":%&? =";
constexpr int kMaxPort = 65535;
// Bytes written to the output at once by the encoder.
constexpr size_t kEncodeChunk = 4096;

struct SchemePrefix {
    std::string_view text;
    int port;
};

// Tried in this order; every other scheme is treated as part of the host.
constexpr std::array<SchemePrefix, 4> kSchemes = {{
    {"http://", ZentrelUrl::kHttpPort},
    {"https://", ZentrelUrl::kHttpsPort},
    {"file:///", ZentrelUrl::kHttpPort},
    {"ftp://", ZentrelUrl::kHttpPort},
}};

// Endings under which a name is registered directly below the ending.
constexpr std::array<std::string_view, 11> kGenericEndings = {
    "com", "org", "edu", "net", "mil", "biz", "info", "coop", "name", "aero", "museum"};

// Second-level labels under which country endings register names one level down.
constexpr std::array<std::string_view, 5> kSecondLevels = {"co", "com", "edu", "org", "net"};

// The parts of a URL as slices of the working copy.
struct UrlParts {
    std::string_view host;
    std::string_view login;
    std::string_view password;
    std::string_view path;
    std::string_view query;
    std::string_view fragment;
    int port = ZentrelUrl::kHttpPort;
};

char LowerByte(char c)
{
    unsigned char u = static_cast<unsigned char>(c);
    if ((u >= 'A' && u <= 'Z') || (u >= 0xC0 && u <= 0xDF))
        return static_cast<char>(u + 0x20);
    return c;
}

// Trim, cut at each of kHostCuts in turn, trim again.
std::string_view CleanHostName(std::string_view s)
{
    s = AsciiChars::Trim(s);
    for (const char* c = kHostCuts; *c; ++c)
        s = s.substr(0, s.find(*c));
    return AsciiChars::Trim(s);
}

void Assign(StringBuffer& out, std::string_view s)
{
    out.Clear();
    out.AppendBytes(s.data(), static_cast<int>(s.size()));
}

std::string_view StripScheme(std::string_view rest, int& port)
{
    for (const SchemePrefix& scheme : kSchemes) {
        if (AsciiChars::StartsWithNoCase(rest, scheme.text)) {
            port = scheme.port;
            return rest.substr(scheme.text.size());
        }
    }
    return rest;
}

// User information counts only when its "@" stands inside the authority,
// before any "/", "?" or "#": an "@" in a path or query never moves the host.
std::string_view SplitUserInfo(std::string_view rest, UrlParts& parts)
{
    size_t at = rest.find('@');
    if (at == std::string_view::npos || at > rest.find_first_of("/?#"))
        return rest;
    std::string_view userInfo = rest.substr(0, at);
    size_t colon = userInfo.find(':');
    if (colon != std::string_view::npos) {
        parts.login = userInfo.substr(0, colon);
        parts.password = userInfo.substr(colon + 1);
    }
    return rest.substr(at + 1);
}

// "%d"-style reading: optional white space and sign, then digits. A text that
// holds no number, or one that is no TCP port, leaves port unchanged.
void ReadPort(std::string_view text, int& port)
{
    text = text.substr(std::min(text.size(), text.find_first_not_of(kWhite)));
    if (!text.empty() && text[0] == '+')
        text.remove_prefix(1);
    int value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    (void)end;
    if (error == std::errc() && value > 0 && value <= kMaxPort)
        port = value;
}

void SplitAuthority(std::string_view authority, UrlParts& parts)
{
    size_t colon = authority.find(':');
    if (colon == std::string_view::npos) {
        parts.host = authority;
        return;
    }
    // A colon right after the first character is a drive letter
    // (file:///c:/dir), not a port separator.
    if (colon == 1)
        return;
    parts.host = authority.substr(0, colon);
    ReadPort(authority.substr(colon + 1), parts.port);
}

// rest starts at the "/", "?" or "#" that ended the authority (or is empty).
// A "?" starts the query unless a "#" came first; the fragment is split at
// the last "#" of the query, or of the path when there is no "?" at all. A
// "?" after a "#" belongs to the fragment, which then starts at the first "#".
void SplitPathQueryFragment(std::string_view rest, UrlParts& parts)
{
    size_t question = rest.find('?');
    size_t hash = rest.find('#');
    std::string_view path = rest;
    if (question != std::string_view::npos && (hash == std::string_view::npos || question < hash)) {
        path = rest.substr(0, question);
        std::string_view query = rest.substr(question + 1);
        size_t last = query.rfind('#');
        parts.query = query.substr(0, last);
        if (last != std::string_view::npos)
            parts.fragment = query.substr(last + 1);
    } else if (hash != std::string_view::npos) {
        size_t at = question == std::string_view::npos ? rest.rfind('#') : hash;
        path = rest.substr(0, at);
        parts.fragment = rest.substr(at + 1);
    }
    parts.path = AsciiChars::Trim(path);
    if (parts.path.empty())
        parts.path = "/";
}

UrlParts Crack(std::string_view url)
{
    UrlParts parts;
    std::string_view rest = StripScheme(AsciiChars::Trim(url), parts.port);
    rest = SplitUserInfo(rest, parts);
    size_t authorityEnd = std::min(rest.size(), rest.find_first_of("/?#"));
    SplitAuthority(rest.substr(0, authorityEnd), parts);
    SplitPathQueryFragment(rest.substr(authorityEnd), parts);
    return parts;
}

void ClearAll(std::initializer_list<StringBuffer*> outputs)
{
    for (StringBuffer* out : outputs)
        out->Clear();
}

bool Contains(const auto& list, std::string_view word)
{
    for (std::string_view entry : list)
        if (entry == word)
            return true;
    return false;
}

std::string Join(std::initializer_list<std::string_view> labels)
{
    std::string out;
    bool first = true;
    for (std::string_view label : labels) {
        if (!first)
            out += '.';
        out.append(label);
        first = false;
    }
    return out;
}

// The label before position end (exclusive) and the position of the "."
// before it (npos when it is the first label).
std::string_view LabelBefore(std::string_view h, size_t end, size_t& dot)
{
    dot = end == 0 ? std::string_view::npos : h.rfind('.', end - 1);
    size_t start = dot == std::string_view::npos ? 0 : dot + 1;
    return h.substr(start, end - start);
}

std::string RegistrableDomain(std::string_view h)
{
    size_t lastDot = h.rfind('.');
    if (lastDot == std::string_view::npos)
        return std::string(h);
    std::string_view last = h.substr(lastDot + 1);
    size_t secondDot = std::string_view::npos;
    std::string_view second = LabelBefore(h, lastDot, secondDot);
    bool twoLabels = secondDot == std::string_view::npos;
    if (twoLabels || Contains(kGenericEndings, last))
        return Join({second, last});
    size_t thirdDot = std::string_view::npos;
    std::string_view third = LabelBefore(h, secondDot, thirdDot);
    if (last == "us") {
        // US locality names (ci.town.ma.us) keep every label.
        if (second.size() == 2 || second == "dni" || second == "fed")
            return std::string(h.substr(0, 4) == "www." ? h.substr(4) : h);
        return Join({second, last});
    }
    bool oneDeeper = Contains(kSecondLevels, second) || (second == "gov" && last.size() == 2 && !third.empty());
    return oneDeeper ? Join({third, second, last}) : Join({second, last});
}

bool IsFormSafe(unsigned char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}


} // namespace

bool ZentrelUrl::CrackUrl(const char* url, StringBuffer& host, int& port, StringBuffer& login,
                          StringBuffer& password, StringBuffer& path, StringBuffer& query,
                          StringBuffer& fragment)
{
    ClearAll({&host, &login, &password, &path, &query, &fragment});
    port = kHttpPort;
    if (!url)
        return false;
    size_t length = strnlen(url, static_cast<size_t>(kMaxUrlLength) + 1);
    if (length > static_cast<size_t>(kMaxUrlLength))
        return false;
    std::string copy(url, length);
    for (char& c : copy)
        if (c == '\\')
            c = '/';
    UrlParts parts = Crack(copy);
    std::string lowerHost(parts.host);
    for (char& c : lowerHost)
        c = LowerByte(c);
    Assign(host, CleanHostName(lowerHost));
    port = parts.port;
    Assign(login, parts.login);
    Assign(password, parts.password);
    Assign(path, parts.path);
    Assign(query, parts.query);
    Assign(fragment, parts.fragment);
    return true;
}

bool ZentrelUrl::GetUrlHost(const char* url, StringBuffer& host)
{
    StringBuffer login, password, path, query, fragment;
    int port = kHttpPort;
    return CrackUrl(url, host, port, login, password, path, query, fragment);
}

bool ZentrelUrl::GetDomain(const char* url, StringBuffer& domain)
{
    domain.Clear();
    StringBuffer host;
    if (!GetUrlHost(url, host))
        return false;
    GetDomainFromHost(host.GetString(), domain);
    return true;
}

void ZentrelUrl::GetDomainFromHost(const char* host, StringBuffer& domain)
{
    domain.Clear();
    if (!host)
        return;
    std::string domainText = RegistrableDomain(CleanHostName(host));
    Assign(domain, domainText);
}

bool ZentrelUrl::CombineUrl(const char* base, const char* relative, StringBuffer& result)
{
    result.Clear();
    if (!relative)
        return false;
    if (!base || !*base || AsciiChars::StartsWithNoCase(relative, "http:") || AsciiChars::StartsWithNoCase(relative, "https:")) {
        result.Append(relative);
        return true;
    }
    std::string combined;
    if (!platform::CombineUrl(base, relative, combined))
        return false;
    Assign(result, combined);
    return true;
}

void ZentrelUrl::UrlEncode(const DataBuffer& bytes, StringBuffer& out)
{
    const uint8_t* data = bytes.Data();
    unsigned n = bytes.Size();
    std::string chunk;
    chunk.reserve(kEncodeChunk + 3);
    for (unsigned i = 0; i < n; ++i) {
        uint8_t c = data[i];
        if (IsFormSafe(c)) {
            chunk += static_cast<char>(c);
        } else if (c == ' ') {
            chunk += '+';
        } else {
            chunk += '%';
            chunk += HexDigits::kUpper[c >> 4];
            chunk += HexDigits::kUpper[c & 0x0F];
        }
        if (chunk.size() >= kEncodeChunk) {
            out.Append(chunk);
            chunk.clear();
        }
    }
    out.Append(chunk);
}

void ZentrelUrl::UrlEncodeInPlace(StringBuffer& text)
{
    DataBuffer bytes(text.GetString(), static_cast<unsigned>(text.GetLength()));
    text.Clear();
    UrlEncode(bytes, text);
}

StringBuffer ZentrelUrl::UrlEncoded(const char* text)
{
    StringBuffer value(text);
    UrlEncodeInPlace(value);
    return value;
}

void ZentrelUrl::UrlDecode(const StringBuffer& text, DataBuffer& out)
{
    const char* s = text.GetString();
    size_t n = static_cast<size_t>(text.GetLength());
    std::string decoded;
    decoded.reserve(n);
    for (size_t i = 0; i < n; ++i) {
        char c = s[i];
        if (c == '+') {
            decoded += ' ';
        } else if (c != '%') {
            decoded += c;
        } else if (n - i < 3) {
            break;   // an escape cut short ends the text
        } else if (HexDigits::Value(s[i + 1]) >= 0 && HexDigits::Value(s[i + 2]) >= 0) {
            decoded += static_cast<char>(HexDigits::Value(s[i + 1]) * 16 + HexDigits::Value(s[i + 2]));
            i += 2;
        } else {
            decoded += c;   // not an escape: keep the "%" as written
        }
    }
    out.AppendBytes(decoded.data(), static_cast<unsigned>(decoded.size()));
}

} // namespace plentor
