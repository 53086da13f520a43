// Stand-in for the Windows URL combination: RFC 3986 reference resolution
// followed by the escaping that the system function applies by default.
// Where the system departs from RFC 3986 the stand-in departs with it:
//  - a reference without a path (empty, or only a query) replaces the last
//    segment of the base path like a relative path does: "?y" against
//    http://a/b/c/d;p?q gives http://a/b/c/?y, "" gives http://a/b/c/;
//  - a reference that starts with a drive letter ("c:", one letter) names a
//    local file: file:///c:...;
//  - a path whose first segment after the host is "." or ".." keeps all its
//    dot segments (http://a/./g stays as it is);
//  - tab, CR and LF are dropped wherever they are, and control characters
//    and spaces at either end of the URL are trimmed.
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
bool IsControlOrSpace(char c) { return static_cast<unsigned char>(c) <= 0x20; }

// "c:" and the like: a single letter before the colon is a drive, not a scheme.
bool IsDriveSpec(std::string_view s) { return s.size() >= 2 && IsAsciiLetter(s[0]) && s[1] == ':'; }

enum class Trim { End, BothEnds };

// The text without tab, CR and LF, and without control characters and
// spaces at its end (and its start, for BothEnds).
std::string Cleaned(const char* text, Trim trim)
{
    std::string_view in(text);
    while (trim == Trim::BothEnds && !in.empty() && IsControlOrSpace(in.front()))
        in.remove_prefix(1);
    while (!in.empty() && IsControlOrSpace(in.back()))
        in.remove_suffix(1);
    std::string out;
    out.reserve(in.size());
    for (char c : in) {
        if (c != '\t' && c != '\r' && c != '\n')
            out += c;
    }
    return out;
}

// Browsers read a backslash in the path as a slash; the query and fragment
// keep theirs (they are escaped later).
std::string SlashesInPath(std::string s)
{
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

bool StartsWithDotSegment(std::string_view path)
{
    return path == "/." || path == "/.." || path.substr(0, 3) == "/./" || path.substr(0, 4) == "/../";
}

// The dot segments of a path below a host resolved as the system does it:
// as RFC 3986 says, except that a path whose first segment is "." or ".."
// is left as it is. In a file URL a drive letter is the root that ".." does
// not climb above.
std::string NormalizeHostPath(std::string_view path, bool fileScheme)
{
    std::string out;
    if (fileScheme && path.size() >= 3 && path[0] == '/' && IsDriveSpec(path.substr(1))) {
        out.assign(path.substr(0, 3));
        path.remove_prefix(3);
    }
    if (StartsWithDotSegment(path) || (!path.empty() && path[0] != '/'))
        out.append(path);
    else
        out.append(RemoveDotSegments(path));
    return out;
}

bool IsFileScheme(std::string_view scheme)
{
    constexpr std::string_view kFile = "file";
    if (scheme.size() != kFile.size())
        return false;
    for (size_t i = 0; i < kFile.size(); ++i) {
        if ((scheme[i] | 0x20) != kFile[i])
            return false;
    }
    return true;
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

// A reference without scheme and authority (RFC 3986 section 5.2.2), with
// the system's reading of one without a path: only a fragment keeps the
// base path and query; anything else (an empty reference, a query) goes to
// the base path's last "/" like a relative path.
void ResolveOnBasePath(const Reference& base, const Reference& rel, Reference& t, std::string& pathStore)
{
    t.authority = base.authority;
    t.hasAuthority = base.hasAuthority;
    if (rel.path.empty() && !rel.hasQuery && rel.hasFragment) {
        pathStore = std::string(base.path);
        t.query = base.query;
        t.hasQuery = base.hasQuery;
        return;
    }
    pathStore = !rel.path.empty() && rel.path[0] == '/' ? std::string(rel.path) : Merge(base, rel.path);
    t.query = rel.query;
    t.hasQuery = rel.hasQuery;
}

// RFC 3986 section 5.2.2 (strict: a scheme in the reference is always
// taken), then the dot segments of the target path.
Reference Resolve(const Reference& base, const Reference& rel, std::string& pathStore)
{
    Reference t;
    if (rel.hasScheme) {
        t = rel;
        pathStore = std::string(rel.path);
    } else {
        t.scheme = base.scheme;
        t.hasScheme = true;
        t.fragment = rel.fragment;
        t.hasFragment = rel.hasFragment;
        if (rel.hasAuthority) {
            t.authority = rel.authority;
            t.hasAuthority = true;
            pathStore = std::string(rel.path);
            t.query = rel.query;
            t.hasQuery = rel.hasQuery;
        } else {
            ResolveOnBasePath(base, rel, t, pathStore);
        }
    }
    pathStore = t.hasAuthority ? NormalizeHostPath(pathStore, IsFileScheme(t.scheme)) : RemoveDotSegments(pathStore);
    t.path = pathStore;
    return t;
}

// Spaces, control bytes, bytes from 0x7F and the characters that may not
// appear in a URL unescaped.
bool IsUnsafe(unsigned char c)
{
    return c <= 0x20 || c >= 0x7F || std::strchr("\"<>\\^`{|}[]", c) != nullptr;
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
    std::string baseText = SlashesInPath(Cleaned(base, Trim::BothEnds));
    std::string relativeText = Cleaned(relative, Trim::End);
    if (IsDriveSpec(relativeText))
        relativeText.insert(0, "file:///");
    relativeText = SlashesInPath(std::move(relativeText));
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
