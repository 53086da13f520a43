#pragma once

#include "http/HttpMan.h"
#include "log/Logger.h"
#include "services/EndpointOverride.h"

namespace plentor {

class ServiceForm;

// The client of five services: Shadows and Simpy through their published
// request interfaces (an authenticated GET per bookmark), Netvouz, Spurl
// and Blogmarks through their web forms like a browser (a login that sets
// cookies, then the site's form for adding a bookmark). One object serves
// one service; its facade's cookie store is the only login state.
// All text arguments are bytes in the active ANSI code page.
class WebServiceClient {
public:
    WebServiceClient();
    WebServiceClient(const WebServiceClient&) = delete;
    WebServiceClient& operator=(const WebServiceClient&) = delete;

    // Request-interface services: true when the reply's status is below 400.
    bool ShadowsSubmit(const char* login, const char* password, const char* url, const char* title,
                       const char* extended, const char* tags);
    bool SimpySubmit(const char* login, const char* password, const char* url, const char* title,
                     const char* tags);

    // Form logins: true when the site answered 200 or 302 and set a cookie
    // (a site that does not take the password answers with its login page
    // again and sets none).
    bool NetvouzLogin(const char* username, const char* password);
    bool SpurlLogin(const char* username, const char* password);
    bool BlogmarksLogin(const char* username, const char* password);

    // Form submissions with the cookies of the login: true on 200 or 302.
    bool NetvouzSubmit(const char* url, const char* title, const char* extended, const char* tags);
    bool SpurlSubmit(const char* url, const char* title, const char* extended, const char* tags);
    bool BlogmarksSubmit(const char* url, const char* title, const char* extended, const char* tags);

    // An explicit "scheme://host[:port]" for every request of this client
    // (null or "" to drop it); false, logged, when it does not parse.
    bool SetEndpoint(const char* base) { return endpoint_.Set(base, log_); }

    // The client's own lines (address overrides, refused logins).
    Logger& GetLog() { return log_; }
    HttpMan& GetHttp() { return http_; }

private:
    void SetAccount(const char* login, const char* password);
    // GETs a request-interface URL: true when the status is below 400.
    bool SubmitByGet(const StringBuffer& url);
    ServiceEndpoint Endpoint(BookmarkService service);
    // Sends a form as a browser would: true when the site answered 200 or 302.
    bool PostForm(ServiceForm& form, const StringBuffer& referer);
    // As PostForm, and the reply must set a cookie.
    bool PostLogin(ServiceForm& form, const StringBuffer& referer);

    HttpMan http_;
    EndpointOverride endpoint_;
    Logger log_;
};

} // namespace plentor
