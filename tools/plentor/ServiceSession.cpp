#include "ServiceSession.h"
#include "StandardIo.h"

#include "base/LogNull.h"
#include "module/Blogmarks.h"
#include "module/BoundaryText.h"
#include "module/DeliciousSubmit.h"
#include "module/FurlSubmit.h"
#include "module/Netvouz.h"
#include "module/QuorlaneSubmit.h"
#include "module/Shadows.h"
#include "module/Simpy.h"
#include "module/Spurl.h"
#include "services/EndpointOverride.h"
#include "text/StringBuffer.h"
#include "text/XString.h"

#include <cstdio>
#include <type_traits>

namespace plentor::cli {

namespace {

// The values of a bookmark as the objects take them: UTF-16.
struct HostValues {
    std::u16string url, title, extended, tags, category, tag;
    bool titled, oneTag;
};

std::u16string Wide(const std::string& utf8)
{
    return BoundaryText::FromUtf8(StringBuffer(utf8.data(), static_cast<int>(utf8.size())));
}

HostValues ToHost(const BookmarkValues& b)
{
    return {Wide(b.url), Wide(b.title), Wide(b.extended), Wide(b.tags), Wide(b.category), Wide(b.tag),
            b.titled, b.oneTag};
}

// The client's own lines (when it wrote any), then the HTTP facade's log.
void WriteLogs(Logger& own, const StringBuffer& httpLog)
{
    StringBuffer text;
    if (!own.Tree().Root().children.empty()) own.GetText(text);
    text.AppendBuffer(httpLog);
    WriteMessage(text);
}

// One object and the call that saves a bookmark with it.
template <typename Object>
class ObjectSession final : public ServiceSession {
public:
    using SubmitCall = long (*)(Object&, const HostValues&);

    explicit ObjectSession(SubmitCall submit) : submit_(submit) {}

    bool Point(const std::string& endpoint) { return endpoint.empty() || object_.SetEndpoint(endpoint.c_str()); }

    bool LogIn(const std::string& login, const std::string& password) override
    {
        const std::u16string user = Wide(login), secret = Wide(password);
        if constexpr (requires(Object& o) { o.Login(user, secret); }) {
            return object_.Login(user, secret) == 1;
        } else {
            object_.SetLogin(user);
            object_.SetPassword(secret);
            return true;
        }
    }

    bool Submit(const BookmarkValues& bookmark) override { return submit_(object_, ToHost(bookmark)) == 1; }

    void WriteLog() override
    {
        if constexpr (std::is_same_v<Object, DeliciousSubmit>) {
            WriteLogs(object_.Client().GetLog(), object_.Client().GetLastHttpLog());
        } else {
            StringBuffer httpLog;
            object_.Client().GetHttp().GetLog().GetText(httpLog);
            WriteLogs(object_.Client().GetLog(), httpLog);
        }
    }

private:
    Object object_;
    SubmitCall submit_;
};

long SubmitDelicious(DeliciousSubmit& o, const HostValues& v) { return o.SubmitExplicit(v.url, v.title, v.extended, v.tags); }

// The Submit of Shadows, Netvouz, Spurl and Blogmarks.
template <typename Object>
long SubmitFour(Object& o, const HostValues& v)
{
    return o.Submit(v.url, v.title, v.extended, v.tags);
}

long SubmitSimpy(Simpy& o, const HostValues& v) { return o.Submit(v.url, v.title, v.tags); }

long SubmitFurl(FurlSubmit& o, const HostValues& v)
{
    return v.titled ? o.QuickSubmit2(v.title, v.url) : o.QuickSubmit1(v.url);
}

long SubmitQuorlane(QuorlaneSubmit& o, const HostValues& v)
{
    return v.oneTag ? o.Submit1(v.category, v.tag, v.url, v.title, v.extended)
                    : o.Submit(v.category, v.url, v.title, v.extended, v.tags);
}

template <typename Object>
std::unique_ptr<ServiceSession> Make(typename ObjectSession<Object>::SubmitCall submit, const std::string& endpoint)
{
    auto session = std::make_unique<ObjectSession<Object>>(submit);
    if (!session->Point(endpoint)) return nullptr;
    return session;
}

} // namespace

std::unique_ptr<ServiceSession> ServiceSession::Open(BookmarkService service, const std::string& endpoint)
{
    switch (service) {
    case BookmarkService::Delicious: return Make<DeliciousSubmit>(SubmitDelicious, endpoint);
    case BookmarkService::Shadows: return Make<Shadows>(SubmitFour<Shadows>, endpoint);
    case BookmarkService::Simpy: return Make<Simpy>(SubmitSimpy, endpoint);
    case BookmarkService::Furl: return Make<FurlSubmit>(SubmitFurl, endpoint);
    case BookmarkService::Netvouz: return Make<Netvouz>(SubmitFour<Netvouz>, endpoint);
    case BookmarkService::Spurl: return Make<Spurl>(SubmitFour<Spurl>, endpoint);
    case BookmarkService::Blogmarks: return Make<Blogmarks>(SubmitFour<Blogmarks>, endpoint);
    case BookmarkService::Quorlane: return Make<QuorlaneSubmit>(SubmitQuorlane, endpoint);
    }
    return nullptr;
}

std::string ServiceSession::FindHost(BookmarkService service, const std::string& endpoint, std::string& host)
{
    EndpointOverride where;
    LogNull quiet;   // a malformed variable is logged again by the client that uses it
    if (!endpoint.empty() && !where.Set(endpoint.c_str(), quiet))
        return "--endpoint wants scheme://host[:port], not " + endpoint;
    host = where.Resolve(service, quiet).Host();
    return std::string();
}

unsigned ServiceSession::AcceptedFields(BookmarkService service)
{
    switch (service) {
    case BookmarkService::Simpy: return kTitle | kTags;
    case BookmarkService::Furl: return kTitle;
    case BookmarkService::Quorlane: return kTitle | kExtended | kTags | kCategory | kTag;
    default: return kTitle | kExtended | kTags;
    }
}

bool ServiceSession::Fits(BookmarkService service, const std::string& utf8)
{
    if (service == BookmarkService::Quorlane) return true;
    XString text;
    text.SetUtf8(utf8.c_str());
    return text.IsAnsiExact();
}

} // namespace plentor::cli
