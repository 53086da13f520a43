#include "services/DeliciousClient.h"

#include "http/HttpMan.h"
#include "http/ZentrelUrl.h"
#include "text/XString.h"

namespace plentor {

namespace {

// What the service writes into a reply that stored the bookmark.
constexpr const char* kDoneMarker = "code=\"done\"";

StringBuffer Encoded(const char* text)
{
    StringBuffer value(text);
    ZentrelUrl::UrlEncodeInPlace(value);
    return value;
}

// Commas become spaces, then runs of white space shrink to one space.
StringBuffer PreparedTags(const char* tags)
{
    StringBuffer value(tags);
    value.ReplaceChar(',', ' ');
    value.CollapseWhitespace();
    return value;
}

void Configure(HttpMan& http)
{
    http.SetConnectTimeout(DeliciousClient::kConnectTimeoutSec);
    http.SetReadTimeout(DeliciousClient::kReadTimeoutSec);
    http.SetCookieDir("memory");
    http.SetSaveCookies(true);
    http.SetSendCookies(true);
    http.SetUpdateCache(false);
    http.SetFetchFromCache(false);
    http.SetMimicFirefox(true);
}

void SetAccount(HttpMan& http, const StringBuffer& login, const StringBuffer& password)
{
    XString text;
    text.SetAnsi(login.GetString());
    http.SetLogin(text);
    text.SetAnsi(password.GetString());
    http.SetPassword(text);
}

} // namespace

bool DeliciousClient::SubmitExplicit(const char* url, const char* title, const char* extended, const char* tags)
{
    const ServiceEndpoint endpoint = endpoint_.Resolve(BookmarkService::Delicious, log_);
    StringBuffer request;
    endpoint.BuildUrl("/v1/posts/add?url=", request);
    request.AppendBuffer(Encoded(url));
    request.Append("&description=");
    request.AppendBuffer(Encoded(title));
    request.Append("&extended=");
    request.AppendBuffer(Encoded(extended));
    request.Append("&tags=");
    const StringBuffer preparedTags = PreparedTags(tags);
    request.AppendBuffer(Encoded(preparedTags.GetString()));

    HttpMan http;
    Configure(http);
    SetAccount(http, login_, password_);
    StringBuffer reply;
    const bool ok = http.QuickGetHtml(request.GetString(), reply) && reply.Contains(kDoneMarker);
    lastHttpLog_.Clear();
    http.GetLog().GetText(lastHttpLog_);
    return ok;
}

} // namespace plentor
