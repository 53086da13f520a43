#pragma once

#include "services/BookmarkService.h"
#include "text/StringBuffer.h"

namespace plentor {

// Scheme, host and port that a service's requests go to, and the full URLs
// built on them: request URLs, form URLs and Referer values alike.
class ServiceEndpoint {
public:
    // Longest base address accepted: a scheme, a host name (DNS names stop
    // at 253 bytes) and a port fit with room to spare.
    static constexpr int kMaxBaseLength = 300;

    // The service's built-in address.
    explicit ServiceEndpoint(BookmarkService service);

    // Reads a base address "http://host[:port]" or "https://host[:port]",
    // optionally ending in "/". False, leaving the endpoint unchanged, for
    // anything else (a path, a query, user information, a bad port).
    bool Parse(const char* base);

    // out = scheme "://" host [":" port] followed by path.
    void BuildUrl(const char* path, StringBuffer& out) const;

    // "scheme://host[:port]" without a trailing slash; the port is written
    // only when it is not the scheme's own.
    const StringBuffer& Base() const { return base_; }
    const char* Host() const { return host_.GetString(); }
    int Port() const { return port_; }
    bool UseTls() const { return useTls_; }

private:
    StringBuffer base_;
    StringBuffer host_;   // lower case
    int port_ = 80;
    bool useTls_ = false;
};

} // namespace plentor
