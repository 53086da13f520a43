#include "services/FurlClient.h"

#include "http/ZentrelUrl.h"
#include "markup/HtmlHelp.h"
#include "services/ServiceForm.h"
#include "text/DateParser.h"
#include "text/StringBuffer.h"
#include "text/XString.h"

#include <string_view>

namespace plentor {

namespace {

constexpr int kStatusOk = 200;

StringBuffer Encoded(const char* text)
{
    StringBuffer value(text);
    ZentrelUrl::UrlEncodeInPlace(value);
    return value;
}

} // namespace

FurlClient::FurlClient()
{
    http_.SetCookieDir("memory");
    http_.SetSaveCookies(true);
    http_.SetSendCookies(true);
    http_.SetUpdateCache(false);
    http_.SetFetchFromCache(false);
    http_.SetMimicFirefox(true);
}

bool FurlClient::Login(const char* username, const char* password)
{
    const ServiceEndpoint endpoint = endpoint_.Resolve(BookmarkService::Furl, log_);
    ServiceForm form(endpoint, "/user/login", log_);
    form.Add("username", username);
    form.Add("password", password);
    form.Add("submit.x", "25");
    form.Add("submit.y", "7");
    form.Add("submit", "LOG IN");
    StringBuffer referer;
    endpoint.BuildUrl("/index.jsp", referer);
    form.ImitateBrowser(referer.GetString());
    const ServiceForm::Reply reply = form.Post(http_);
    if (reply.status != kStatusOk) return false;
    if (!reply.setsCookie) {
        log_.LogError("The login reply set no cookie: the site did not accept the login.");
        return false;
    }
    return true;
}

void FurlClient::EncodeDate(const char* date, StringBuffer& out)
{
    out = Encoded(date);
    out.ReplaceAll("+", "%20");
    out.ReplaceAll("%3A", ":");
    out.ReplaceAll("%2D", "-");
}

bool FurlClient::QuickSubmit2(const char* title, const char* url)
{
    if (url == nullptr) url = "";
    // The store request carries the page being saved as its Referer.
    http_.SetReferer(url);
    StringBuffer now;
    DateParser::FormatLocalNow(now);

    StringBuffer encodedTitle = Encoded(title);
    encodedTitle.ReplaceAll("+", "%20");
    StringBuffer encodedUrl = Encoded(url);
    encodedUrl.ReplaceAll("+", "%20");
    encodedUrl.ReplaceAll("%2F", "/");
    encodedUrl.ReplaceAll("%2E", ".");
    StringBuffer encodedDate;
    EncodeDate(now.GetString(), encodedDate);

    StringBuffer request;
    endpoint_.Resolve(BookmarkService::Furl, log_)
        .BuildUrl("/store?s=f&to=0&ti=33_TITLE&u=34_URL&r=&d=36_DATE&c=", request);
    request.ReplaceFirst("36_DATE", encodedDate.GetString());
    request.ReplaceFirst("34_URL", encodedUrl.GetString());
    request.ReplaceFirst("33_TITLE", encodedTitle.GetString());

    StringBuffer reply;
    const bool ok = http_.QuickGetHtml(request.GetString(), reply);
    http_.SetReferer("");
    return ok;
}

void FurlClient::CleanTitle(StringBuffer& title)
{
    title.CollapseWhitespace();   // TAB, CR and LF count as spaces
    title.Trim();
}

bool FurlClient::QuickSubmit1(const char* url)
{
    if (url == nullptr) url = "";
    StringBuffer page;
    // A page that cannot be fetched gives an empty title; so does an error
    // status, whose body is the server's error page, not the page's.
    if (!http_.QuickGetHtml(url, page)) page.Clear();
    StringBuffer title;
    HtmlHelp::GetTitle(std::string_view(page.GetString(), static_cast<size_t>(page.GetLength())), title);
    CleanTitle(title);
    // The page arrives as UTF-8; the store request, like every caller's
    // text, takes the active ANSI code page.
    XString text;
    text.SetUtf8(title.GetString());
    return QuickSubmit2(text.GetAnsi(), url);
}

} // namespace plentor
