#pragma once

#include "module/HostString.h"
#include "services/WebServiceClient.h"

namespace plentor {

// The Blogmarks object: logs in through the site's form once; the login cookie in
// the client's cookie store carries the session to every later submission.
// The object keeps no credentials of its own.
class Blogmarks {
public:
    Blogmarks() = default;
    Blogmarks(const Blogmarks&) = delete;
    Blogmarks& operator=(const Blogmarks&) = delete;

    // Posts the login form: 1 when the site took the account, else 0.
    long Login(HostString username, HostString password);
    // Posts the form for adding a bookmark: 1 when the site took it, else 0.
    long Submit(HostString url, HostString title, HostString extended, HostString tags);

    // Sends the site's requests to base ("scheme://host[:port]"); null or ""
    // returns to the usual address. False, logged, when it does not parse.
    bool SetEndpoint(const char* base) { return client_.SetEndpoint(base); }
    WebServiceClient& Client() { return client_; }

private:
    WebServiceClient client_;
};

} // namespace plentor
