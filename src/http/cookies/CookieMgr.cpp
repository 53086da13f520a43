#include "http/cookies/CookieMgr.h"

#include "base/LogBase.h"
#include "http/ZentrelUrl.h"
#include "http/cookies/Cookie.h"
#include "http/cookies/CookieJar.h"
#include "http/cookies/CookieStore.h"
#include "markup/ClsXml.h"
#include "platform/Files.h"
#include "text/AsciiChars.h"
#include "text/DataBuffer.h"
#include "text/StringBuffer.h"

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace plentor {

namespace {

constexpr const char* kMemoryLocation = "memory";
constexpr const char* kRootTag = "cookies";
constexpr const char* kCookieTag = "cookie";

std::string_view View(const StringBuffer& s) { return {s.GetString(), static_cast<size_t>(s.GetLength())}; }

// The domain trimmed, lower-cased and without one leading ".".
std::string NormalDomain(const char* domain)
{
    std::string_view s = AsciiChars::Trim(domain ? domain : "");
    if (!s.empty() && s.front() == '.')
        s.remove_prefix(1);
    std::string out(s);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c + 32);
    }
    return out;
}

bool IsDomainChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '_';
}

bool IsIpv4(std::string_view host)
{
    int labels = 0;
    size_t start = 0;
    while (start <= host.size()) {
        size_t end = host.find('.', start);
        if (end == std::string_view::npos)
            end = host.size();
        const size_t n = end - start;
        if (n == 0 || n > 3)
            return false;
        for (size_t i = start; i < end; ++i) {
            if (host[i] < '0' || host[i] > '9')
                return false;
        }
        ++labels;
        start = end + 1;
    }
    return labels == 4;
}

// Names the Windows file system opens as devices whatever the extension.
bool IsReservedDeviceName(std::string_view name)
{
    static constexpr std::array<std::string_view, 6> kPlain = {"con", "prn", "aux", "nul", "clock$", "conin$"};
    for (std::string_view reserved : kPlain) {
        if (name == reserved)
            return true;
    }
    return name.size() == 4 && (name.starts_with("com") || name.starts_with("lpt")) && name[3] >= '0' &&
           name[3] <= '9';
}

// The content writer keeps "&" before an entity name, which the reader would
// then decode: writing every "&" as "&amp;" brings the value back unchanged.
std::string EscapeAmpersands(const StringBuffer& value)
{
    std::string out;
    out.reserve(static_cast<size_t>(value.GetLength()));
    for (char c : View(value)) {
        if (c == '&')
            out += "&amp;";
        else
            out += c;
    }
    return out;
}

bool HasControlByte(std::string_view s)
{
    for (char c : s) {
        const auto b = static_cast<unsigned char>(c);
        if ((b < 0x20 && b != '\t') || b == 0x7F)
            return true;
    }
    return false;
}

// The items of one stored cookie: each child element is a name and value.
void ReadPairs(const ClsXml& element, Cookie& cookie, LogBase& log)
{
    for (auto child = element.FirstChild(); child; ) {
        const StringBuffer name = child->TagName();
        const StringBuffer value = child->Content();
        if (Cookie::IsStorableName(View(name)) && !HasControlByte(View(value))) {
            cookie.SetPair(name.GetString(), value.GetString());
        } else {
            log.LogError("Stored cookie item is malformed; skipped");
            log.LogData("name", name.GetString());
        }
        if (!child->MoveToNextSibling())
            break;
    }
}

// The cookie of one "cookie" element, or null when its key is malformed.
std::unique_ptr<Cookie> ReadCookie(const ClsXml& element, LogBase& log)
{
    StringBuffer key;
    element.AttrValue("key", key);
    const std::string_view keyText = View(key);
    const size_t comma = keyText.find(',');
    if (comma == std::string_view::npos || comma == 0) {
        log.LogError("Stored cookie has a malformed key; skipped");
        log.LogData("key", key.GetString());
        return nullptr;
    }
    auto cookie = std::make_unique<Cookie>();
    cookie->SetDomain(std::string(keyText.substr(0, comma)).c_str());
    cookie->SetPath(std::string(keyText.substr(comma + 1)).c_str());
    StringBuffer text;
    if (element.AttrValue("expire", text) && !text.IsEmpty())
        cookie->SetExpire(text.GetString());
    const int version = element.AttrValueInt("v");
    if (version != 0)
        cookie->SetVersion(version);
    cookie->SetSecure(element.HasAttrValue("secure", "yes"));
    if (version == 1) {
        cookie->SetMaxAge(element.AttrValueInt("maxAge"));
        cookie->SetDiscard(element.HasAttrValue("discard", "yes"));
    }
    ReadPairs(element, *cookie, log);
    return cookie;
}

std::unique_ptr<ClsXml> FindByKey(const ClsXml& root, const StringBuffer& key)
{
    for (auto child = root.FirstChild(); child; ) {
        StringBuffer value;
        if (child->TagName().Equals(kCookieTag) && child->AttrValue("key", value) && value == key)
            return child;
        if (!child->MoveToNextSibling())
            break;
    }
    return nullptr;
}

void WriteAttributes(ClsXml& element, const Cookie& cookie)
{
    element.ReplaceAttrInt("v", cookie.Version());
    if (!cookie.Expire().IsEmpty())
        element.ReplaceAttr("expire", cookie.Expire().GetString());
    if (cookie.MaxAge() != 0)
        element.ReplaceAttrInt("maxAge", cookie.MaxAge());
    if (cookie.IsSecure())
        element.ReplaceAttr("secure", "yes");
    if (cookie.IsDiscard())
        element.ReplaceAttr("discard", "yes");
}

void WritePairs(ClsXml& element, const Cookie& cookie, LogBase& log)
{
    for (const Cookie::Pair& pair : cookie.Pairs()) {
        if (!Cookie::IsStorableName(View(pair.name)) || HasControlByte(View(pair.value))) {
            log.LogError("Cookie item cannot be stored; skipped");
            log.LogData("name", pair.name.GetString());
            continue;
        }
        const std::string content = EscapeAmpersands(pair.value);
        if (auto child = element.FindChild(pair.name.GetString()))
            child->SetContent(content.c_str());
        else if (element.NumChildren() < Cookie::kMaxPairs)
            element.AppendChild(pair.name.GetString(), content.c_str());
    }
}

} // namespace

CookieMgr::Where CookieMgr::LocationOf(const char* location, const CookieStore* store)
{
    const bool memoryName = !location || !*location || StringBuffer(location).EqualsNoCase(kMemoryLocation);
    if (memoryName)
        return store ? Where::Memory : Where::Nowhere;
    return Where::Directory;
}

void CookieMgr::GetRegistrableDomain(const char* host, StringBuffer& out)
{
    out.Clear();
    const std::string h = NormalDomain(host);
    if (IsIpv4(h))
        out.Append(h);
    else
        ZentrelUrl::GetDomainFromHost(h.c_str(), out);
}

void CookieMgr::GetDefaultDomain(const char* host, StringBuffer& out)
{
    out.Clear();
    const std::string h = NormalDomain(host);
    if (IsIpv4(h)) {
        out.Append(h);
        return;
    }
    StringBuffer domain;
    ZentrelUrl::GetDomainFromHost(h.c_str(), domain);
    if (domain.IsEmpty())
        return;
    out.AppendChar('.');
    out.AppendBuffer(domain);
}

bool CookieMgr::GetCookieFileName(const char* domain, StringBuffer& out)
{
    out.Clear();
    const std::string d = NormalDomain(domain);
    if (d.empty() || d.size() > static_cast<size_t>(kMaxDomainLength))
        return false;
    for (char c : d) {
        if (!IsDomainChar(c))
            return false;
    }
    if (d.front() == '.' || d.back() == '.' || d.find("..") != std::string::npos)
        return false;   // an empty label names no host
    StringBuffer site;
    GetRegistrableDomain(d.c_str(), site);
    if (site.IsEmpty() || IsReservedDeviceName(View(site)))
        return false;
    site.ReplaceChar('.', '_');
    out.AppendBuffer(site);
    out.Append(".xml");
    return true;
}

void CookieMgr::JoinPath(const char* directory, const StringBuffer& fileName, StringBuffer& out)
{
    out.SetString(directory);
    if (!out.IsEmpty() && out.LastChar() != '/' && out.LastChar() != '\\')
        out.AppendChar('/');
    out.AppendBuffer(fileName);
}

CookieMgr::Opened CookieMgr::OpenDocument(Where where, const char* location, const CookieStore* store,
                                          const StringBuffer& fileName, ClsXml& xml, LogBase& log)
{
    bool loaded = false;
    if (where == Where::Memory) {
        const std::string* text = store->Find(View(fileName));
        if (!text)
            return Opened::Absent;
        loaded = xml.LoadXml(text->c_str());
    } else {
        StringBuffer path;
        JoinPath(location, fileName, path);
        if (!platform::FileExists(path.GetString()))
            return Opened::Absent;
        std::vector<uint8_t> bytes;
        platform::FileError err;
        if (!platform::ReadWholeFileUpTo(path.GetString(), kMaxFileBytes, bytes, err)) {
            log.LogError("Failed to read cookie file");
            log.LogData("path", path.GetString());
            log.LogData("error", err.message.c_str());
            return Opened::Bad;
        }
        loaded = xml.LoadXmlBytes(bytes.data(), bytes.size(), XmlParser::TextMode::Trim);
    }
    if (!loaded || !xml.TagName().Equals(kRootTag)) {
        log.LogError("Stored cookies are not a cookie document");
        log.LogData("name", fileName.GetString());
        return Opened::Bad;
    }
    return Opened::Loaded;
}

std::unique_ptr<CookieJar> CookieMgr::LoadJar(const char* location, const CookieStore* store, const char* domain,
                                              LogBase& log)
{
    const Where where = LocationOf(location, store);
    if (where == Where::Nowhere)
        return nullptr;
    StringBuffer fileName;
    if (!GetCookieFileName(domain, fileName)) {
        log.LogInfo("No cookie file name for this domain");
        log.LogData("domain", domain ? domain : "");
        return nullptr;
    }
    ClsXml xml;
    if (OpenDocument(where, location, store, fileName, xml, log) != Opened::Loaded)
        return nullptr;
    auto jar = std::make_unique<CookieJar>();
    for (auto child = xml.FirstChild(); child && jar->Count() < kMaxCookiesPerDomain; ) {
        jar->Add(ReadCookie(*child, log));
        if (!child->MoveToNextSibling())
            break;
    }
    if (jar->Count() == 0)
        return nullptr;
    return jar;
}

bool CookieMgr::MaySet(const char* requestHost, const Cookie& cookie, LogBase& log)
{
    StringBuffer hostSite, cookieSite;
    GetRegistrableDomain(requestHost, hostSite);
    GetRegistrableDomain(cookie.Domain().GetString(), cookieSite);
    if (!hostSite.IsEmpty() && hostSite == cookieSite && cookie.MatchesRequest(requestHost, nullptr))
        return true;
    log.LogError("Cookie domain does not belong to the responding host; cookie refused");
    log.LogData("host", requestHost ? requestHost : "");
    log.LogData("domain", cookie.Domain().GetString());
    return false;
}

bool CookieMgr::WriteDocument(Where where, const char* location, CookieStore* store, const StringBuffer& fileName,
                              ClsXml& xml, LogBase& log)
{
    if (where == Where::Memory) {
        StringBuffer text;
        xml.GetXmlText(text);
        store->Remove(View(fileName));
        store->Set(View(fileName), text.ToStdString());
        return true;
    }
    platform::FileError err;
    StringBuffer path;
    JoinPath(location, fileName, path);
    DataBuffer bytes;
    if (!platform::CreateDirectoryIfMissing(location, err) || !xml.GetXmlBytes(bytes) ||
        !platform::WriteWholeFile(path.GetString(), bytes.Data(), bytes.Size(), err)) {
        log.LogError("Failed to write cookie file");
        log.LogData("path", path.GetString());
        log.LogData("error", err.message.c_str());
        return false;
    }
    return true;
}

bool CookieMgr::SaveCookie(const char* location, CookieStore* store, const char* requestHost, const Cookie& cookie,
                           LogBase& log)
{
    const Where where = LocationOf(location, store);
    if (where == Where::Nowhere) {
        log.LogError("No cookie location");
        return false;
    }
    if (!MaySet(requestHost, cookie, log))
        return false;
    StringBuffer fileName;
    if (!GetCookieFileName(cookie.Domain().GetString(), fileName)) {
        log.LogError("No cookie file name for this domain");
        log.LogData("domain", cookie.Domain().GetString());
        return false;
    }
    ClsXml xml;
    const Opened opened = OpenDocument(where, location, store, fileName, xml, log);
    if (opened == Opened::Bad && where == Where::Directory)
        return false;   // keep a file we cannot read rather than overwrite it
    if (opened != Opened::Loaded) {
        xml.LoadXml("<cookies></cookies>");
    }
    StringBuffer key(cookie.Domain());
    key.AppendChar(',');
    key.AppendBuffer(cookie.Path());
    std::unique_ptr<ClsXml> element = FindByKey(xml, key);
    if (!element) {
        if (xml.NumChildren() >= kMaxCookiesPerDomain) {
            log.LogError("Too many cookies for this domain; cookie refused");
            log.LogData("name", fileName.GetString());
            return false;
        }
        element = xml.NewChild(kCookieTag, nullptr);
        element->SetAttr("key", key.GetString());
    }
    WriteAttributes(*element, cookie);
    WritePairs(*element, cookie, log);
    return WriteDocument(where, location, store, fileName, xml, log);
}

} // namespace plentor
