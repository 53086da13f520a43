#pragma once

#include "http/HttpMan.h"
#include "log/Logger.h"
#include "services/EndpointOverride.h"
#include "services/FormField.h"

#include <span>

namespace plentor {

// The base of the clients that drive a service's web forms like a browser:
// one HTTP facade whose in-memory cookie store is the only login state, the
// service's address and the client's own log.
class BrowserClient {
public:
    // What a reply must show for a form post to count as taken.
    enum class Acceptance {
        OkOrFound,             // status 200, or 302 (the form sites redirect after a post that worked)
        OkOrFoundWithCookie,   // as OkOrFound, and the reply sets a cookie: a login
        OkWithCookie,          // status 200 alone, and the reply sets a cookie
    };

    // One form post as a table row.
    struct FormPost {
        const char* path;                          // the form's action
        std::span<const FormField> fields;         // in the order they are sent
        const char* refererPath;                   // the page the form is on
        std::span<const FormField> refererQuery;   // appended to refererPath, when there are any
        Acceptance acceptance;
    };

    BrowserClient(const BrowserClient&) = delete;
    BrowserClient& operator=(const BrowserClient&) = delete;

    // Sets a facade up as the service clients use it: cookies kept in memory
    // and sent back, no cache, and the header set of a desktop browser.
    static void SetUpBrowser(HttpMan& http);

    // An explicit "scheme://host[:port]" for every request of this client
    // (null or "" to drop it); false, logged, when it does not parse.
    bool SetEndpoint(const char* base) { return endpoint_.Set(base, log_); }

    // The client's own lines (address overrides, refused logins).
    Logger& GetLog() { return log_; }
    HttpMan& GetHttp() { return http_; }

protected:
    BrowserClient();
    ~BrowserClient() = default;

    // Where the service's requests go now.
    ServiceEndpoint Endpoint(BookmarkService service);
    // Sends the form as a browser on the service's page would: true when
    // the reply shows what post.acceptance asks.
    bool Post(BookmarkService service, const FormPost& post, const FormField::Values& values);

    HttpMan http_;
    EndpointOverride endpoint_;
    Logger log_;
};

} // namespace plentor
