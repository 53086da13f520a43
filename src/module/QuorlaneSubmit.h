#pragma once

#include "module/HostString.h"
#include "services/ClsQuorlane.h"

namespace plentor {

// The Quorlane object: logs in once, the login cookie carrying the session
// to every later command. Unlike the other objects it keeps the host's text
// as Unicode: the service takes UTF-8, so no character is lost to the active
// ANSI code page. The object keeps no credentials of its own.
class QuorlaneSubmit {
public:
    QuorlaneSubmit() = default;
    QuorlaneSubmit(const QuorlaneSubmit&) = delete;
    QuorlaneSubmit& operator=(const QuorlaneSubmit&) = delete;

    // 1 when the service took the account, else 0.
    long Login(HostString username, HostString password);
    // Files a bookmark under one tag: 1 when the service took it, else 0.
    long Submit1(HostString category, HostString tag, HostString url, HostString title, HostString extended);
    // Files a bookmark under several tags: 1 when the service took it, else 0.
    long Submit(HostString category, HostString url, HostString title, HostString extended, HostString tags);

    // Sends the service's requests to base ("scheme://host[:port]"); null or
    // "" returns to the usual address. False, logged, when it does not parse.
    bool SetEndpoint(const char* base) { return client_.SetEndpoint(base); }
    ClsQuorlane& Client() { return client_; }

private:
    ClsQuorlane client_;
};

} // namespace plentor
