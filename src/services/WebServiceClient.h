#pragma once

#include "services/BookmarkService.h"
#include "services/BrowserClient.h"
#include "services/FormField.h"

namespace plentor {

class StringBuffer;

// The client of five services: Shadows and Simpy through their published
// request interfaces (an authenticated GET per bookmark), Netvouz, Spurl
// and Blogmarks through their web forms like a browser (a login that sets
// cookies, then the site's form for adding a bookmark). Each flow is a table
// of fields. One object serves one service; its facade's cookie store is the
// only login state. All text arguments are bytes in the active ANSI code page.
class WebServiceClient : public BrowserClient {
public:
    WebServiceClient() = default;

    // A request-interface service (Shadows, Simpy): the bookmark's url,
    // title, extended and tags go out as one GET with the account as its
    // authentication. True when the reply's status is below 400.
    bool SubmitWithAccount(BookmarkService service, const char* login, const char* password,
                           const FormField::Values& bookmark);

    // A form site's login (Netvouz, Spurl, Blogmarks): true when the site
    // answered 200 or 302 and set a cookie (a site that does not take the
    // password answers with its login page again and sets none).
    bool FormLogin(BookmarkService service, const char* username, const char* password);
    // A form site's form for adding a bookmark, with the cookies of the
    // login: true on 200 or 302.
    bool FormSubmit(BookmarkService service, const FormField::Values& bookmark);

    // The same, one service each.
    bool ShadowsSubmit(const char* login, const char* password, const char* url, const char* title,
                       const char* extended, const char* tags)
    {
        return SubmitWithAccount(BookmarkService::Shadows, login, password,
                                 FormField::Bookmark(url, title, extended, tags));
    }
    bool SimpySubmit(const char* login, const char* password, const char* url, const char* title,
                     const char* tags)
    {
        return SubmitWithAccount(BookmarkService::Simpy, login, password,
                                 FormField::Bookmark(url, title, nullptr, tags));
    }
    bool NetvouzLogin(const char* username, const char* password)
    {
        return FormLogin(BookmarkService::Netvouz, username, password);
    }
    bool SpurlLogin(const char* username, const char* password)
    {
        return FormLogin(BookmarkService::Spurl, username, password);
    }
    bool BlogmarksLogin(const char* username, const char* password)
    {
        return FormLogin(BookmarkService::Blogmarks, username, password);
    }
    bool NetvouzSubmit(const char* url, const char* title, const char* extended, const char* tags)
    {
        return FormSubmit(BookmarkService::Netvouz, FormField::Bookmark(url, title, extended, tags));
    }
    bool SpurlSubmit(const char* url, const char* title, const char* extended, const char* tags)
    {
        return FormSubmit(BookmarkService::Spurl, FormField::Bookmark(url, title, extended, tags));
    }
    bool BlogmarksSubmit(const char* url, const char* title, const char* extended, const char* tags)
    {
        return FormSubmit(BookmarkService::Blogmarks, FormField::Bookmark(url, title, extended, tags));
    }

private:
    void SetAccount(const char* login, const char* password);
    // GETs a request-interface URL: true when the status is below 400.
    bool SubmitByGet(const StringBuffer& url);
};

} // namespace plentor
