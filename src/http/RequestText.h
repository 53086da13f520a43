#pragma once

#include "text/StringBuffer.h"

namespace plentor {

class HttpCacheHooks;
class HttpControl;
class LogBase;

// The resource a GET asks for, split from its URL.
struct RequestTarget {
    StringBuffer url;
    StringBuffer host;
    int port = 80;
    StringBuffer path;
    StringBuffer query;
    bool tls = false;   // an "https:" URL
};

// The text of the engine's requests: the request line and header fields of
// a GET in the field set the settings choose (their own, or a browser's),
// and the pieces built requests share (Host, Authorization, Cookie).
class RequestText {
public:
    // The whole GET request, ending with its blank line. sendAuth: the
    // target is the server the credentials were given for.
    static void BuildGet(const RequestTarget& target, bool sendAuth, HttpControl& control,
                         const HttpCacheHooks& cache, StringBuffer& out, LogBase& log);
    // Appends the Host field's value: the port is named when it is not the
    // scheme's own, since a server on another port may route or build its
    // redirects by it.
    static void HostFieldValue(const StringBuffer& host, int port, bool tls, StringBuffer& out);
    // "Basic ..." for the settings' credentials; empty without them.
    static void BasicAuthorization(const HttpControl& control, StringBuffer& out);
    // The Cookie field's value for host and path from the settings' store;
    // empty when cookies are not sent.
    static void CookieValue(HttpControl& control, const char* host, const char* path, StringBuffer& out,
                            LogBase& log);

private:
    static void AppendDefaultSet(const RequestTarget& target, const StringBuffer& cookie, const StringBuffer& auth,
                                 HttpControl& control, const HttpCacheHooks& cache, StringBuffer& out);
    static void AppendIeSet(const RequestTarget& target, const StringBuffer& cookie, const StringBuffer& auth,
                            HttpControl& control, StringBuffer& out);
    static void AppendFirefoxSet(const RequestTarget& target, const StringBuffer& cookie, const StringBuffer& auth,
                                 HttpControl& control, StringBuffer& out);
};

} // namespace plentor
