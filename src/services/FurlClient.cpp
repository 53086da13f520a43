#include "services/FurlClient.h"

#include "http/ZentrelUrl.h"
#include "markup/HtmlHelp.h"
#include "text/DateParser.h"
#include "text/StringBuffer.h"
#include "text/XString.h"

#include <string_view>

namespace plentor {

namespace {

using Source = FormField::Source;

constexpr FormField kLoginFields[] = {
    {"username", Source::Username},
    {"password", Source::Password},
    FormField::Constant("submit.x", "25"),
    FormField::Constant("submit.y", "7"),
    FormField::Constant("submit", "LOG IN"),
};

// The site answers a login it takes with 200 and its session cookie.
constexpr BrowserClient::FormPost kLogin = {"/user/login", kLoginFields, "/index.jsp", {},
                                            BrowserClient::Acceptance::OkWithCookie};

} // namespace

bool FurlClient::Login(const char* username, const char* password)
{
    return Post(BookmarkService::Furl, kLogin, {.username = username, .password = password});
}

void FurlClient::EncodeDate(const char* date, StringBuffer& out)
{
    out = ZentrelUrl::UrlEncoded(date);
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

    StringBuffer encodedTitle = ZentrelUrl::UrlEncoded(title);
    encodedTitle.ReplaceAll("+", "%20");
    StringBuffer encodedUrl = ZentrelUrl::UrlEncoded(url);
    encodedUrl.ReplaceAll("+", "%20");
    encodedUrl.ReplaceAll("%2F", "/");
    encodedUrl.ReplaceAll("%2E", ".");
    StringBuffer encodedDate;
    EncodeDate(now.GetString(), encodedDate);

    StringBuffer request;
    Endpoint(BookmarkService::Furl)
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
    // Only the title is wanted: the page fetch has a body limit; the
    // service's own requests keep the client's setting.
    const int maxContent = http_.GetControl().maxContentLength;
    http_.SetMaxContentLength(HttpControl::kPageFetchMaxContent);
    if (!http_.QuickGetHtml(url, page)) page.Clear();
    http_.SetMaxContentLength(maxContent);
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
