#include "http/cookies/Cookie.h"

#include "base/LogBase.h"
#include "text/AsciiChars.h"

#include <cstring>

namespace plentor {

namespace {

bool EndsWithNoCase(std::string_view text, std::string_view tail)
{
    return text.size() >= tail.size() && AsciiChars::EqualsNoCase(text.substr(text.size() - tail.size()), tail);
}

std::string_view TrimView(std::string_view s) { return AsciiChars::Trim(s); }

// A byte that must never reach a request header or the cookie document.
bool IsControl(unsigned char c) { return (c < 0x20 && c != '\t') || c == 0x7F; }

bool HasControlByte(std::string_view s)
{
    for (char c : s) {
        if (IsControl(static_cast<unsigned char>(c)))
            return true;
    }
    return false;
}

// The value after "=": leading white space and one opening quote skipped,
// trailing white space and one closing quote removed.
std::string_view UnquoteValue(std::string_view v)
{
    v = AsciiChars::Trim(v);
    if (!v.empty() && v.front() == '"')
        v.remove_prefix(1);
    if (!v.empty() && v.back() == '"')
        v.remove_suffix(1);
    return v;
}

StringBuffer ToBuffer(std::string_view s) { return StringBuffer(s.data(), static_cast<int>(s.size())); }

struct NameTable {
    bool ok[256] = {};
    constexpr NameTable()
    {
        for (int c = 'a'; c <= 'z'; ++c)
            ok[c] = ok[c - 32] = true;
        for (int c = '0'; c <= '9'; ++c)
            ok[c] = true;
        for (const char* p = "#$%*+-.^_`|~"; *p; ++p)
            ok[static_cast<unsigned char>(*p)] = true;
    }
};
constexpr NameTable kNameChars;

} // namespace

Cookie::~Cookie() = default;

void Cookie::Reset()
{
    pairs_.clear();
    domain_.Clear();
    path_.Clear();
    expire_.Clear();
    version_ = 0;
    secure_ = false;
    discard_ = false;
    maxAge_ = 0;
}

bool Cookie::IsStorableName(std::string_view name)
{
    if (name.empty())
        return false;
    for (char c : name) {
        if (!kNameChars.ok[static_cast<unsigned char>(c)])
            return false;
    }
    return true;
}

bool Cookie::ParseSetCookie(const char* value, FieldKind kind, LogBase& log)
{
    Reset();
    if (!value) {
        log.LogError("Set-Cookie value is missing");
        return false;
    }
    const size_t length = std::strlen(value);
    if (length > static_cast<size_t>(kMaxFieldBytes)) {
        log.LogError("Set-Cookie value is too long");
        log.LogDataLong("length", static_cast<int64_t>(length));
        return false;
    }
    std::vector<StringBuffer> pieces;
    StringBuffer(value).Split(pieces, ';', StringBuffer::SplitGuard::QuotesAndBackslash);
    bool versionSeen = false;
    for (StringBuffer& piece : pieces) {
        piece.Trim();
        if (!piece.IsEmpty())
            ApplyPiece(piece, versionSeen, log);
    }
    if (kind == FieldKind::SetCookie2 && !versionSeen)
        version_ = 1;
    if (pairs_.empty()) {
        log.LogError("Set-Cookie value holds no cookie");
        log.LogData("setCookie", value);
        return false;
    }
    return true;
}

void Cookie::ApplyPiece(const StringBuffer& piece, bool& versionSeen, LogBase& log)
{
    const std::string_view text(piece.GetString(), static_cast<size_t>(piece.GetLength()));
    const size_t eq = text.find('=');
    if (eq == std::string_view::npos) {
        if (AsciiChars::EqualsNoCase(text, "secure"))
            secure_ = true;
        else if (AsciiChars::EqualsNoCase(text, "discard"))
            discard_ = true;
        else if (IsStorableName(text))
            SetPair(piece.GetString(), "");
        else
            log.LogError("Cookie name cannot be stored; item dropped");
        return;
    }
    ApplyAttribute(ToBuffer(TrimView(text.substr(0, eq))), ToBuffer(UnquoteValue(text.substr(eq + 1))), versionSeen,
                   log);
}

void Cookie::ApplyAttribute(const StringBuffer& name, const StringBuffer& value, bool& versionSeen, LogBase& log)
{
    if (name.EqualsNoCase("domain")) {
        domain_.SetFromBuffer(value);
    } else if (name.EqualsNoCase("path")) {
        path_.SetFromBuffer(value);
    } else if (name.EqualsNoCase("expires")) {
        expire_.SetFromBuffer(value);
    } else if (name.EqualsNoCase("port") || name.EqualsNoCase("comment") || name.EqualsNoCase("commentUrl")) {
        // Not used by this client.
    } else if (name.EqualsNoCase("version")) {
        const int v = value.ParseInt();
        if (v == 0 || v == 1) {
            version_ = v;
            versionSeen = true;
        }
    } else if (name.EqualsNoCase("max-age")) {
        maxAge_ = value.ParseInt();
    } else if (name.IsEmpty()) {
        // "=value" names nothing.
    } else if (!IsStorableName(std::string_view(name.GetString(), static_cast<size_t>(name.GetLength())))) {
        log.LogError("Cookie name cannot be stored; item dropped");
        log.LogData("name", name.GetString());
    } else if (HasControlByte(std::string_view(value.GetString(), static_cast<size_t>(value.GetLength())))) {
        log.LogError("Cookie value holds a control character; item dropped");
        log.LogData("name", name.GetString());
    } else {
        SetPair(name.GetString(), value.GetString());
    }
}

std::unique_ptr<Cookie> Cookie::FromResponseField(const char* fieldName, const char* value, const char* defaultDomain,
                                                  LogBase& log)
{
    if (!fieldName)
        return nullptr;
    FieldKind kind;
    if (AsciiChars::EqualsNoCase(fieldName, "Set-Cookie"))
        kind = FieldKind::SetCookie;
    else if (AsciiChars::EqualsNoCase(fieldName, "Set-Cookie2"))
        kind = FieldKind::SetCookie2;
    else
        return nullptr;
    auto cookie = std::make_unique<Cookie>();
    if (!cookie->ParseSetCookie(value, kind, log))
        return nullptr;
    cookie->domain_.Trim();
    if (!cookie->domain_.IsEmpty())
        return cookie;
    if (!defaultDomain || !*defaultDomain) {
        log.LogInfo("Cookie without a domain dropped");
        return nullptr;
    }
    cookie->domain_.SetString(defaultDomain);
    return cookie;
}

bool Cookie::MatchesRequest(const char* domain, const char* path) const
{
    std::string_view cookieDomain = TrimView(std::string_view(domain_.GetString(), static_cast<size_t>(domain_.GetLength())));
    if (!cookieDomain.empty() && cookieDomain.front() == '.')
        cookieDomain.remove_prefix(1);
    if (!cookieDomain.empty()) {
        const std::string_view host = TrimView(domain ? domain : "");
        const bool sameHost = AsciiChars::EqualsNoCase(host, cookieDomain);
        const bool subHost = host.size() > cookieDomain.size() && EndsWithNoCase(host, cookieDomain) &&
                             host[host.size() - cookieDomain.size() - 1] == '.';
        if (!sameHost && !subHost)
            return false;
    }
    if (!path || !*path || path_.IsEmpty() || path_.Equals("/"))
        return true;
    return std::string_view(path).starts_with(std::string_view(path_.GetString(), static_cast<size_t>(path_.GetLength())));
}

void Cookie::SetPair(const char* name, const char* value)
{
    for (Pair& pair : pairs_) {
        if (pair.name.EqualsNoCase(name)) {
            pair.value.SetString(value);
            return;
        }
    }
    if (pairs_.size() >= static_cast<size_t>(kMaxPairs))
        return;
    pairs_.push_back(Pair{StringBuffer(name), StringBuffer(value)});
}

} // namespace plentor
