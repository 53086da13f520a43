#include "services/BrowserClient.h"

#include "services/ServiceForm.h"
#include "text/StringBuffer.h"

namespace plentor {

namespace {

constexpr int kStatusOk = 200;
constexpr int kStatusFound = 302;

bool Accepted(const ServiceForm::Reply& reply, BrowserClient::Acceptance acceptance, LogBase& log)
{
    using Acceptance = BrowserClient::Acceptance;
    const bool found = reply.status == kStatusFound && acceptance != Acceptance::OkWithCookie;
    if (reply.status != kStatusOk && !found) return false;
    if (acceptance == Acceptance::OkOrFound || reply.setsCookie) return true;
    log.LogError("The login reply set no cookie: the site did not accept the login.");
    return false;
}

} // namespace

BrowserClient::BrowserClient()
{
    SetUpBrowser(http_);
}

void BrowserClient::SetUpBrowser(HttpMan& http)
{
    http.SetCookieDir("memory");
    http.SetSaveCookies(true);
    http.SetSendCookies(true);
    http.SetUpdateCache(false);
    http.SetFetchFromCache(false);
    http.SetMimicFirefox(true);
    // A service answers with a small page; one without end is no answer.
    http.SetMaxContentLength(HttpControl::kPageFetchMaxContent);
}

ServiceEndpoint BrowserClient::Endpoint(BookmarkService service)
{
    return endpoint_.Resolve(service, log_);
}

bool BrowserClient::Post(BookmarkService service, const FormPost& post, const FormField::Values& values)
{
    const ServiceEndpoint endpoint = Endpoint(service);
    ServiceForm form(endpoint, post.path, log_);
    form.AddFields(post.fields, values);
    StringBuffer page(post.refererPath);
    FormField::AppendQuery(post.refererQuery, values, page);
    StringBuffer referer;
    endpoint.BuildUrl(page.GetString(), referer);
    form.ImitateBrowser(referer.GetString());
    return Accepted(form.Post(http_), post.acceptance, log_);
}

} // namespace plentor
