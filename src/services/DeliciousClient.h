#pragma once

#include "log/Logger.h"
#include "services/EndpointOverride.h"
#include "text/StringBuffer.h"

namespace plentor {

// The Delicious client: submits bookmarks through the service's published
// request interface, one authenticated GET per bookmark. Every submission
// uses a facade of its own, so no cookie or connection outlives it.
class DeliciousClient {
public:
    // Each submission waits this long to connect and this long for the reply.
    static constexpr int kConnectTimeoutSec = 30;
    static constexpr int kReadTimeoutSec = 30;

    DeliciousClient() = default;
    DeliciousClient(const DeliciousClient&) = delete;
    DeliciousClient& operator=(const DeliciousClient&) = delete;

    // The account, as bytes in the active ANSI code page; read and written directly.
    StringBuffer& Login() { return login_; }
    StringBuffer& Password() { return password_; }

    // Submits one bookmark with the stored account. All values are bytes in
    // the active ANSI code page; the tags are separated by spaces or commas.
    // True when the service answered below 400 with code="done" in the reply.
    bool SubmitExplicit(const char* url, const char* title, const char* extended, const char* tags);

    // An explicit "scheme://host[:port]" for the service (null or "" to drop
    // it); false, logged, when it does not parse.
    bool SetEndpoint(const char* base) { return endpoint_.Set(base, log_); }

    // The client's own lines (address overrides); not cleared by submissions.
    Logger& GetLog() { return log_; }
    // The text of the log of the last submission's HTTP facade.
    const StringBuffer& GetLastHttpLog() const { return lastHttpLog_; }

private:
    StringBuffer login_;
    StringBuffer password_;
    EndpointOverride endpoint_;
    Logger log_;
    StringBuffer lastHttpLog_;
};

} // namespace plentor
