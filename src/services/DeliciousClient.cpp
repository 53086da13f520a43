#include "services/DeliciousClient.h"

#include "http/HttpMan.h"
#include "http/ZentrelUrl.h"
#include "markup/HtmlHelp.h"
#include "services/BrowserClient.h"
#include "services/ClsHtmlUtil.h"
#include "services/KeywordExtractor.h"
#include "services/StopWords.h"
#include "text/XString.h"

namespace plentor {

namespace {

// What the service writes into a reply that stored the bookmark.
constexpr const char* kDoneMarker = "code=\"done\"";

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
    BrowserClient::SetUpBrowser(http);
}

void SetAccount(HttpMan& http, const StringBuffer& login, const StringBuffer& password)
{
    XString text;
    text.SetAnsi(login.GetString());
    http.SetLogin(text);
    text.SetAnsi(password.GetString());
    http.SetPassword(text);
}

// A page fetch reads the page as it is now and leaves no trace in the cache;
// no cookie is sent or kept.
void ConfigurePageFetch(HttpMan& http)
{
    http.SetFetchFromCache(false);
    http.SetUpdateCache(false);
    http.SetMimicFirefox(true);
    http.SetMaxContentLength(HttpControl::kPageFetchMaxContent);
}

std::string_view View(const StringBuffer& text)
{
    return std::string_view(text.GetString(), static_cast<size_t>(text.GetLength()));
}

bool IsAsciiLower(char c)
{
    return c >= 'a' && c <= 'z';
}

// Upper-cases the ASCII letter at the start of the text and after every
// space, tab, LF and "-".
void CapitaliseWords(StringBuffer& text)
{
    StringBuffer out;
    out.Reserve(text.GetLength());
    char previous = ' ';
    const char* s = text.GetString();
    for (int i = 0; i < text.GetLength(); ++i) {
        char c = s[i];
        const bool wordStart = previous == ' ' || previous == '\t' || previous == '\n' || previous == '-';
        if (wordStart && IsAsciiLower(c))
            c = static_cast<char>(c - 'a' + 'A');
        out.AppendChar(c);
        previous = s[i];
    }
    text = std::move(out);
}

// White space runs (tabs and line ends included) become one space; the ends are trimmed.
void TidyText(StringBuffer& text)
{
    text.CollapseWhitespace();
    text.Trim();
}

} // namespace

DeliciousClient::DeliciousClient()
{
    links_.SetUnique(true);
    // Unpacking writes its steps to a log; only a failure concerns the client's.
    const StopWords stopWords;
    if (!stopWords.Unpacked())
        log_.LogError("Failed to unpack the stop-word list");
    stopWords.AddTo(stopList_);
}

bool DeliciousClient::IsSpecialDomain(const char* url)
{
    StringBuffer domain;
    if (url == nullptr || !ZentrelUrl::GetDomain(url, domain))
        return false;
    for (std::string_view special : kSpecialDomains) {
        if (View(domain) == special)
            return true;
    }
    return false;
}

void DeliciousClient::TidyTitle(StringBuffer& title, TitleStyle style)
{
    TidyText(title);
    if (style == TitleStyle::AsWritten)
        return;
    title.TruncateAt('-');
    title.Trim();
    CapitaliseWords(title);
}

bool DeliciousClient::FetchPageInfo(const char* url, StringBuffer& title, StringBuffer& extended, StringBuffer& tags)
{
    title.Clear();
    extended.Clear();
    tags.Clear();
    lastFetchStatus_ = 0;
    lastFetchWorked_ = false;
    const char* pageUrl = url != nullptr ? url : "";
    const TitleStyle style = IsSpecialDomain(pageUrl) ? TitleStyle::SiteTitle : TitleStyle::AsWritten;

    HttpMan http;
    ConfigurePageFetch(http);
    StringBuffer page;
    const bool fetched = http.QuickGetHtml(pageUrl, page);
    lastFetchStatus_ = http.GetResult().header.GetStatusCode();
    lastFetchWorked_ = fetched;
    if (fetched) {
        const std::string_view html = View(page);
        HtmlHelp::GetTitle(html, title);
        TidyTitle(title, style);
        HtmlHelp::GetMetaContent(html, "description", extended);
        TidyText(extended);
        KeywordExtractor::SuggestTagsFromHtml(html, stopList_, kMaxTags, tags, http.GetLog());
        StringBuffer host, siteDomain;
        ZentrelUrl::GetUrlHost(pageUrl, host);
        ZentrelUrl::GetDomainFromHost(host.GetString(), siteDomain);
        ClsHtmlUtil::ExtractPageLinks(pageUrl, html, links_, siteDomain.GetString());
    }
    lastHttpLog_.Clear();
    http.GetLog().GetText(lastHttpLog_);
    return fetched;
}

bool DeliciousClient::SubmitUrl(const char* url, StringBuffer& title, StringBuffer& extended, StringBuffer& tags)
{
    if (!FetchPageInfo(url, title, extended, tags))
        return false;
    const StringBuffer fetchLog = lastHttpLog_;
    const bool ok = SubmitExplicit(url, title.GetString(), extended.GetString(), tags.GetString());
    lastHttpLog_.Prepend(fetchLog.GetString());
    return ok;
}

bool DeliciousClient::SubmitExplicit(const char* url, const char* title, const char* extended, const char* tags)
{
    const ServiceEndpoint endpoint = endpoint_.Resolve(BookmarkService::Delicious, log_);
    StringBuffer request;
    endpoint.BuildUrl("/v1/posts/add?url=", request);
    request.AppendBuffer(ZentrelUrl::UrlEncoded(url));
    request.Append("&description=");
    request.AppendBuffer(ZentrelUrl::UrlEncoded(title));
    request.Append("&extended=");
    request.AppendBuffer(ZentrelUrl::UrlEncoded(extended));
    request.Append("&tags=");
    const StringBuffer preparedTags = PreparedTags(tags);
    request.AppendBuffer(ZentrelUrl::UrlEncoded(preparedTags.GetString()));

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
