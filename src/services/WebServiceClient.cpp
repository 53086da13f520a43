#include "services/WebServiceClient.h"

#include "http/ZentrelUrl.h"
#include "services/ServiceForm.h"
#include "text/DataBuffer.h"
#include "text/XString.h"

namespace plentor {

namespace {

constexpr int kStatusOk = 200;
constexpr int kStatusFound = 302;   // the form sites redirect after a post that worked

StringBuffer Encoded(const char* text)
{
    StringBuffer value(text);
    ZentrelUrl::UrlEncodeInPlace(value);
    return value;
}

StringBuffer CommasToSpaces(const char* text)
{
    StringBuffer value(text);
    value.ReplaceChar(',', ' ');
    return value;
}

} // namespace

WebServiceClient::WebServiceClient()
{
    http_.SetCookieDir("memory");
    http_.SetSaveCookies(true);
    http_.SetSendCookies(true);
    http_.SetUpdateCache(false);
    http_.SetFetchFromCache(false);
    http_.SetMimicFirefox(true);
}

ServiceEndpoint WebServiceClient::Endpoint(BookmarkService service)
{
    return endpoint_.Resolve(service, log_);
}

void WebServiceClient::SetAccount(const char* login, const char* password)
{
    XString text;
    text.SetAnsi(password);
    http_.SetPassword(text);
    text.SetAnsi(login);
    http_.SetLogin(text);
}

bool WebServiceClient::SubmitByGet(const StringBuffer& url)
{
    DataBuffer reply;
    return http_.QuickGetBytes(url.GetString(), reply);
}

bool WebServiceClient::ShadowsSubmit(const char* login, const char* password, const char* url, const char* title,
                                     const char* extended, const char* tags)
{
    SetAccount(login, password);
    StringBuffer request;
    Endpoint(BookmarkService::Shadows)
        .BuildUrl("/api/posts/add?url=THE_URL&description=THE_TITLE&extended=THE_DESCRIP&tags=THE_TAGS", request);
    const StringBuffer preparedTags = CommasToSpaces(tags);
    request.ReplaceFirst("THE_TITLE", Encoded(title).GetString());
    request.ReplaceFirst("THE_URL", Encoded(url).GetString());
    request.ReplaceFirst("THE_TAGS", Encoded(preparedTags.GetString()).GetString());
    request.ReplaceFirst("THE_DESCRIP", Encoded(extended).GetString());
    return SubmitByGet(request);
}

bool WebServiceClient::SimpySubmit(const char* login, const char* password, const char* url, const char* title,
                                   const char* tags)
{
    SetAccount(login, password);
    StringBuffer request;
    Endpoint(BookmarkService::Simpy)
        .BuildUrl("/simpy/api/rest/SaveLink.do?title=THE_TITLE&href=THE_URL&accessType=1&tags=THE_TAGS", request);
    // Simpy takes the tags as they are: commas travel encoded.
    request.ReplaceFirst("THE_TITLE", Encoded(title).GetString());
    request.ReplaceFirst("THE_URL", Encoded(url).GetString());
    request.ReplaceFirst("THE_TAGS", Encoded(tags).GetString());
    return SubmitByGet(request);
}

bool WebServiceClient::PostForm(ServiceForm& form, const StringBuffer& referer)
{
    form.ImitateBrowser(referer.GetString());
    const int status = form.Post(http_).status;
    return status == kStatusOk || status == kStatusFound;
}

bool WebServiceClient::PostLogin(ServiceForm& form, const StringBuffer& referer)
{
    form.ImitateBrowser(referer.GetString());
    const ServiceForm::Reply reply = form.Post(http_);
    if (reply.status != kStatusOk && reply.status != kStatusFound) return false;
    if (!reply.setsCookie) {
        log_.LogError("The login reply set no cookie: the site did not accept the login.");
        return false;
    }
    return true;
}

bool WebServiceClient::NetvouzLogin(const char* username, const char* password)
{
    const ServiceEndpoint endpoint = Endpoint(BookmarkService::Netvouz);
    ServiceForm form(endpoint, "/action/logon", log_);
    form.Add("username", username);
    form.Add("password", password);
    form.Add("uri", "002f");
    form.Add("doNotRememberMe", "off");
    form.Add("type", "p");
    form.Add("submit", " Log in");
    StringBuffer referer;
    endpoint.BuildUrl("/action/logon", referer);
    return PostLogin(form, referer);
}

bool WebServiceClient::NetvouzSubmit(const char* url, const char* title, const char* extended, const char* tags)
{
    const ServiceEndpoint endpoint = Endpoint(BookmarkService::Netvouz);
    ServiceForm form(endpoint, "/action/addBookmark", log_);
    form.Add("url", url);
    form.Add("name", title);
    form.Add("description", extended);
    form.Add("tags", tags);
    form.Add("privat", "false");
    form.Add("category", "0");
    form.Add("rating", "2");
    form.Add("hotpick", "0");
    form.Add("intranet", "off");
    form.Add("note", "");
    form.Add("notePrivat", "");
    form.Add("submit", "Create bookmark");
    StringBuffer referer;
    endpoint.BuildUrl("/action/addBookmark", referer);
    return PostForm(form, referer);
}

bool WebServiceClient::SpurlLogin(const char* username, const char* password)
{
    const ServiceEndpoint endpoint = Endpoint(BookmarkService::Spurl);
    ServiceForm form(endpoint, "/login.php", log_);
    form.Add("username", username);
    form.Add("password", password);
    StringBuffer referer;
    endpoint.BuildUrl("/", referer);
    return PostLogin(form, referer);
}

bool WebServiceClient::SpurlSubmit(const char* url, const char* title, const char* extended, const char* tags)
{
    const ServiceEndpoint endpoint = Endpoint(BookmarkService::Spurl);
    ServiceForm form(endpoint, "/submit.php", log_);
    form.Add("link_href", url);
    form.Add("link_title", title);
    form.Add("title", title);
    form.Add("description", extended);
    form.Add("keywords", CommasToSpaces(tags).GetString());
    form.Add("redir", "");
    form.Add("newcategory", "");
    form.Add("snip", "");
    form.Add("explicit", "0");
    form.Add("usercomment", "");
    form.Add("store", "1");
    form.Add("language", "en");
    form.Add("category", "-1");
    // The page the site's bookmarklet opens; a slash, not a "?", before "v=3".
    StringBuffer referer;
    endpoint.BuildUrl("/spurl.php/v=3&title=THE_TITLE&url=THE_URL&blocked=", referer);
    referer.ReplaceFirst("THE_TITLE", Encoded(title).GetString());
    referer.ReplaceFirst("THE_URL", Encoded(url).GetString());
    return PostForm(form, referer);
}

bool WebServiceClient::BlogmarksLogin(const char* username, const char* password)
{
    const ServiceEndpoint endpoint = Endpoint(BookmarkService::Blogmarks);
    ServiceForm form(endpoint, "/", log_);
    form.Add("login", username);
    form.Add("pwd", password);
    form.Add("remind", "1");
    form.Add("connect", "1");
    StringBuffer referer;
    endpoint.BuildUrl("/", referer);
    return PostLogin(form, referer);
}

bool WebServiceClient::BlogmarksSubmit(const char* url, const char* title, const char* extended, const char* tags)
{
    const ServiceEndpoint endpoint = Endpoint(BookmarkService::Blogmarks);
    ServiceForm form(endpoint, "/my/marks,new", log_);
    form.Add("title", title);
    form.Add("url", url);
    form.Add("public-tags", tags);
    form.Add("content", extended);
    form.Add("private-tags", "");
    form.Add("via", "");
    form.Add("referer", "http://");
    StringBuffer referer;
    endpoint.BuildUrl("/my/marks,new", referer);
    return PostForm(form, referer);
}

} // namespace plentor
