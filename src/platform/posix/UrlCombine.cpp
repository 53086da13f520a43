// Stand-in for the Windows URL combination: RFC 3986 reference resolution
// followed by the escaping that the system function applies by default.
#include "platform/UrlCombine.h"

#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>

namespace plentor::platform {

namespace {

// Inputs longer than this are refused without looking at them further. The
// result must stay below kUrlCombineCapacity, which only "." and ".." tricks
// could reach from a longer input; no page or server writes links like that.
constexpr size_t kMaxInputLength = 16 * 1024;

constexpr char kHexDigits[] = "0123456789ABCDEF";

// The parts of a URI reference (RFC 3986 section 3). An absent part and an
// empty one differ, hence the flags.
struct Reference {
    std::string_view scheme;
    std::string_view authority;
    std::string_view path;
    std::string_view query;
    std::string_view fragment;
    bool hasScheme = false;
    bool hasAuthority = false;
    bool hasQuery = false;
    bool hasFragment = false;
};

bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsAsciiDigit(char c) { return c >= '0' && c <= '9'; }
bool IsSchemeChar(char c) { return IsAsciiLetter(c) || IsAsciiDigit(c) || c == '+' || c == '-' || c == '.'; }

// Browsers read a backslash in the path as a slash; the query and fragment
// keep theirs (they are escaped later).
std::string SlashesInPath(const char* text)
{
    std::string s(text);
    for (char& c : s) {
        if (c == '?' || c == '#')
            break;
        if (c == '\\')
            c = '/';
    }
    return s;
}

void SplitScheme(std::string_view& rest, Reference& r)
{
    if (rest.empty() || !IsAsciiLetter(rest[0]))
        return;
    size_t i = 1;
    while (i < rest.size() && IsSchemeChar(rest[i]))
        ++i;
    if (i < rest.size() && rest[i] == ':') {
        r.scheme = rest.substr(0, i);
        r.hasScheme = true;
        rest.remove_prefix(i + 1);
    }
}

Reference Split(std::string_view rest)
{
    Reference r;
    SplitScheme(rest, r);
    size_t hash = rest.find('#');
    if (hash != std::string_view::npos) {
        r.fragment = rest.substr(hash + 1);
        r.hasFragment = true;
        rest = rest.substr(0, hash);
    }
    size_t question = rest.find('?');
    if (question != std::string_view::npos) {
        r.query = rest.substr(question + 1);
        r.hasQuery = true;
        rest = rest.substr(0, question);
    }
    if (rest.substr(0, 2) == "//") {
        rest.remove_prefix(2);
        size_t slash = rest.find('/');
        r.authority = rest.substr(0, slash);
        r.hasAuthority = true;
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash);
    }
    r.path = rest;
    return r;
}

// Drops the last segment of out together with the "/" before it.
void PopLastSegment(std::string& out)
{
    size_t slash = out.rfind('/');
    out.resize(slash == std::string::npos ? 0 : slash);
}

// RFC 3986 section 5.2.4. Each input byte is looked at a constant number of
// times, and PopLastSegment only scans bytes that it then removes.
std::string RemoveDotSegments(std::string_view in)
{
    std::string out;
    out.reserve(in.size());
    size_t i = 0;
    while (i < in.size()) {
        std::string_view rest = in.substr(i);
        if (rest.substr(0, 3) == "../") {
            i += 3;
        } else if (rest.substr(0, 2) == "./") {
            i += 2;
        } else if (rest.substr(0, 3) == "/./") {
            i += 2;
        } else if (rest == "/.") {
            out += '/';
            break;
        } else if (rest.substr(0, 4) == "/../") {
            i += 3;
            PopLastSegment(out);
        } else if (rest == "/..") {
            PopLastSegment(out);
            out += '/';
            break;
        } else if (rest == "." || rest == "..") {
            break;
        } else {
            size_t next = in.find('/', in[i] == '/' ? i + 1 : i);
            if (next == std::string_view::npos)
                next = in.size();
            out.append(in.substr(i, next - i));
            i = next;
        }
    }
    return out;
}

// RFC 3986 section 5.2.3.
std::string Merge(const Reference& base, std::string_view relativePath)
{
    if (base.hasAuthority && base.path.empty()) {
        std::string rooted(1, '/');
        rooted.append(relativePath);
        return rooted;
    }
    size_t slash = base.path.rfind('/');
    std::string merged(slash == std::string_view::npos ? std::string_view() : base.path.substr(0, slash + 1));
    merged.append(relativePath);
    return merged;
}

// RFC 3986 section 5.2.2 (strict: a scheme in the reference is always taken).
Reference Resolve(const Reference& base, const Reference& rel, std::string& pathStore)
{
    Reference t;
    t.fragment = rel.fragment;
    t.hasFragment = rel.hasFragment;
    if (rel.hasScheme) {
        t = rel;
        pathStore = RemoveDotSegments(rel.path);
        t.path = pathStore;
        return t;
    }
    t.scheme = base.scheme;
    t.hasScheme = true;
    if (rel.hasAuthority) {
        t.authority = rel.authority;
        t.hasAuthority = true;
        pathStore = RemoveDotSegments(rel.path);
        t.query = rel.query;
        t.hasQuery = rel.hasQuery;
    } else {
        t.authority = base.authority;
        t.hasAuthority = base.hasAuthority;
        if (rel.path.empty()) {
            pathStore = std::string(base.path);
            t.query = rel.hasQuery ? rel.query : base.query;
            t.hasQuery = rel.hasQuery || base.hasQuery;
        } else {
            pathStore = RemoveDotSegments(rel.path[0] == '/' ? std::string(rel.path) : Merge(base, rel.path));
            t.query = rel.query;
            t.hasQuery = rel.hasQuery;
        }
    }
    t.path = pathStore;
    return t;
}

// Spaces, control bytes, bytes from 0x7F and the characters that may not
// appear in a URL unescaped.
bool IsUnsafe(unsigned char c)
{
    return c <= 0x20 || c >= 0x7F || std::strchr("\"<>\\^`{|}", c) != nullptr;
}

void AppendEscaped(std::string& out, std::string_view text)
{
    for (char ch : text) {
        unsigned char c = static_cast<unsigned char>(ch);
        if (IsUnsafe(c)) {
            out += '%';
            out += kHexDigits[c >> 4];
            out += kHexDigits[c & 0x0F];
        } else {
            out += ch;
        }
    }
}

std::string Recompose(const Reference& t)
{
    std::string out;
    for (char c : t.scheme)
        out += (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c;
    out += ':';
    if (t.hasAuthority) {
        out += "//";
        AppendEscaped(out, t.authority);
        if (t.path.empty())
            out += '/';   // an http URL with an authority always has a path
    }
    AppendEscaped(out, t.path);
    if (t.hasQuery) {
        out += '?';
        AppendEscaped(out, t.query);
    }
    if (t.hasFragment) {
        out += '#';
        AppendEscaped(out, t.fragment);
    }
    return out;
}

} // namespace

bool CombineUrl(const char* base, const char* relative, std::string& out)
{
    out.clear();
    if (!base || !relative)
        return false;
    if (std::strlen(base) > kMaxInputLength || std::strlen(relative) > kMaxInputLength)
        return false;
    std::string baseText = SlashesInPath(base);
    std::string relativeText = SlashesInPath(relative);
    Reference b = Split(baseText);
    if (!b.hasScheme)
        return false;   // nothing absolute to resolve against
    std::string pathStore;
    std::string combined = Recompose(Resolve(b, Split(relativeText), pathStore));
    if (combined.size() >= static_cast<size_t>(kUrlCombineCapacity))
        return false;
    out = std::move(combined);
    return true;
}

} // namespace plentor::platform
