#include "services/WebServiceClient.h"

#include "text/DataBuffer.h"
#include "text/StringBuffer.h"
#include "text/XString.h"

#include <span>

namespace plentor {

namespace {

using Source = FormField::Source;
using Encoding = FormField::Encoding;
using Acceptance = BrowserClient::Acceptance;
constexpr auto Constant = FormField::Constant;

// ---- request interfaces: one GET per bookmark ----

struct AccountService {
    BookmarkService service;
    const char* path;                    // up to and including the "?" of the query
    std::span<const FormField> query;
};

constexpr FormField kShadowsQuery[] = {
    {"url", Source::Url, Encoding::Url},
    {"description", Source::Title, Encoding::Url},
    {"extended", Source::Extended, Encoding::Url},
    {"tags", Source::Tags, Encoding::UrlCommasAsSpaces},
};

// Simpy takes the tags as they are: commas travel encoded.
constexpr FormField kSimpyQuery[] = {
    {"title", Source::Title, Encoding::Url},
    {"href", Source::Url, Encoding::Url},
    Constant("accessType", "1"),
    {"tags", Source::Tags, Encoding::Url},
};

constexpr AccountService kAccountServices[] = {
    {BookmarkService::Shadows, "/api/posts/add?", kShadowsQuery},
    {BookmarkService::Simpy, "/simpy/api/rest/SaveLink.do?", kSimpyQuery},
};

// ---- form sites: a login form, then the form for adding a bookmark ----

struct FormSite {
    BookmarkService service;
    BrowserClient::FormPost login;
    BrowserClient::FormPost add;
};

constexpr FormField kNetvouzLogin[] = {
    {"username", Source::Username},  {"password", Source::Password}, Constant("uri", "002f"),
    Constant("doNotRememberMe", "off"), Constant("type", "p"),       Constant("submit", " Log in"),
};

constexpr FormField kNetvouzAdd[] = {
    {"url", Source::Url},          {"name", Source::Title},          {"description", Source::Extended},
    {"tags", Source::Tags},        Constant("privat", "false"),      Constant("category", "0"),
    Constant("rating", "2"),       Constant("hotpick", "0"),         Constant("intranet", "off"),
    Constant("note", ""),          Constant("notePrivat", ""),       Constant("submit", "Create bookmark"),
};

constexpr FormField kSpurlLogin[] = {
    {"username", Source::Username},
    {"password", Source::Password},
};

constexpr FormField kSpurlAdd[] = {
    {"link_href", Source::Url},     {"link_title", Source::Title},
    {"title", Source::Title},       {"description", Source::Extended},
    {"keywords", Source::Tags, Encoding::CommasAsSpaces},
    Constant("redir", ""),          Constant("newcategory", ""),
    Constant("snip", ""),           Constant("explicit", "0"),
    Constant("usercomment", ""),    Constant("store", "1"),
    Constant("language", "en"),     Constant("category", "-1"),
};

// The query of the page the site's bookmarklet opens, after "/spurl.php/v=3&"
// (a slash, not a "?", before "v=3").
constexpr FormField kSpurlAddPage[] = {
    {"title", Source::Title, Encoding::Url},
    {"url", Source::Url, Encoding::Url},
    Constant("blocked", ""),
};

constexpr FormField kBlogmarksLogin[] = {
    {"login", Source::Username},
    {"pwd", Source::Password},
    Constant("remind", "1"),
    Constant("connect", "1"),
};

constexpr FormField kBlogmarksAdd[] = {
    {"title", Source::Title},       {"url", Source::Url},     {"public-tags", Source::Tags},
    {"content", Source::Extended},  Constant("private-tags", ""), Constant("via", ""),
    Constant("referer", "http://"),
};

constexpr FormSite kFormSites[] = {
    {BookmarkService::Netvouz,
     {"/action/logon", kNetvouzLogin, "/action/logon", {}, Acceptance::OkOrFoundWithCookie},
     {"/action/addBookmark", kNetvouzAdd, "/action/addBookmark", {}, Acceptance::OkOrFound}},
    {BookmarkService::Spurl,
     {"/login.php", kSpurlLogin, "/", {}, Acceptance::OkOrFoundWithCookie},
     {"/submit.php", kSpurlAdd, "/spurl.php/v=3&", kSpurlAddPage, Acceptance::OkOrFound}},
    {BookmarkService::Blogmarks,
     {"/", kBlogmarksLogin, "/", {}, Acceptance::OkOrFoundWithCookie},
     {"/my/marks,new", kBlogmarksAdd, "/my/marks,new", {}, Acceptance::OkOrFound}},
};

// The table row of a service, or null (with a log line) when the table has none.
template <typename Row, size_t N>
const Row* Find(const Row (&rows)[N], BookmarkService service, LogBase& log)
{
    for (const Row& row : rows) {
        if (row.service == service) return &row;
    }
    log.LogError("This client does not serve the service this way");
    log.LogData("service", BookmarkServices::Name(service));
    return nullptr;
}

} // namespace

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

bool WebServiceClient::SubmitWithAccount(BookmarkService service, const char* login, const char* password,
                                         const FormField::Values& bookmark)
{
    const AccountService* row = Find(kAccountServices, service, log_);
    if (row == nullptr) return false;
    SetAccount(login, password);
    StringBuffer path(row->path);
    FormField::AppendQuery(row->query, bookmark, path);
    StringBuffer request;
    Endpoint(service).BuildUrl(path.GetString(), request);
    return SubmitByGet(request);
}

bool WebServiceClient::FormLogin(BookmarkService service, const char* username, const char* password)
{
    const FormSite* site = Find(kFormSites, service, log_);
    return site != nullptr && Post(service, site->login, {.username = username, .password = password});
}

bool WebServiceClient::FormSubmit(BookmarkService service, const FormField::Values& bookmark)
{
    const FormSite* site = Find(kFormSites, service, log_);
    return site != nullptr && Post(service, site->add, bookmark);
}

} // namespace plentor
