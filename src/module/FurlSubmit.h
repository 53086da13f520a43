#pragma once

#include "module/HostString.h"
#include "services/FurlClient.h"

namespace plentor {

// The Furl object: logs in through the site's form once; the login cookie in
// the client's cookie store carries the session to every later store. The
// object keeps no credentials of its own.
class FurlSubmit {
public:
    FurlSubmit() = default;
    FurlSubmit(const FurlSubmit&) = delete;
    FurlSubmit& operator=(const FurlSubmit&) = delete;

    // Posts the login form: 1 when the site took the account, else 0.
    long Login(HostString username, HostString password);
    // Stores the page under the given title (title first, then the URL):
    // 1 when the site took it, else 0.
    long QuickSubmit2(HostString title, HostString url);
    // Fetches the page for its title, then stores it: 1 or 0 as QuickSubmit2.
    long QuickSubmit1(HostString url);

    // Sends the site's requests to base ("scheme://host[:port]"); null or ""
    // returns to the usual address. False, logged, when it does not parse.
    bool SetEndpoint(const char* base) { return client_.SetEndpoint(base); }
    FurlClient& Client() { return client_; }

private:
    FurlClient client_;
};

} // namespace plentor
