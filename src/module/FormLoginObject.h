#pragma once

#include "module/HostString.h"
#include "services/BookmarkService.h"
#include "services/WebServiceClient.h"

namespace plentor {

// The base of the objects of the sites driven through their web forms
// (Netvouz, Spurl, Blogmarks): they log in through the site's form once; the
// login cookie in the client's cookie store carries the session to every
// later submission. The object keeps no credentials of its own.
class FormLoginObject {
public:
    // Posts the login form: 1 when the site took the account, else 0.
    long Login(HostString username, HostString password);
    // Posts the form for adding a bookmark: 1 when the site took it, else 0.
    long Submit(HostString url, HostString title, HostString extended, HostString tags);

    // Sends the site's requests to base ("scheme://host[:port]"); null or ""
    // returns to the usual address. False, logged, when it does not parse.
    bool SetEndpoint(const char* base) { return client_.SetEndpoint(base); }
    WebServiceClient& Client() { return client_; }

protected:
    explicit FormLoginObject(BookmarkService service) : service_(service) {}
    ~FormLoginObject() = default;

private:
    BookmarkService service_;
    WebServiceClient client_;
};

} // namespace plentor
