#pragma once

#include "http/HttpClient.h"

#include <memory>
#include <vector>

namespace plentor {

class BodySink;
class DataBuffer;
class HttpControl;
class HttpRequest;
class HttpResult;
class LogBase;

// Up to ten open HTTP connections keyed by host and port, least recently
// used first, so that consecutive requests to one server share one TCP
// connection.
class HttpConnPool {
public:
    // A page fetch touches a handful of servers; more idle sockets only hold
    // server resources.
    static constexpr int kDefaultMaxConnections = 10;

    HttpConnPool() = default;
    HttpConnPool(const HttpConnPool&) = delete;
    HttpConnPool& operator=(const HttpConnPool&) = delete;

    // The client for host:port, made most recently used; a new one (evicting
    // the least recently used when full) when none matches.
    HttpClient& GetConnection(const char* host, int port, LogBase& log);

    // GET of a URL over the pooled connection for its server. A login and
    // password in the URL replace those of the settings.
    bool QuickGet(const char* url, HttpControl& control, DataBuffer& body, HttpResult& result, LogBase& log);
    // The same GET with the body streamed to sink (see HttpClient::Get).
    bool QuickGet(const char* url, HttpControl& control, BodySink& sink, HttpResult& result, LogBase& log);

    // Sends a built request to domain:port (0 means 80) and reads the reply.
    bool SendRequest(const char* domain, int port, bool useTls, HttpRequest& request, HttpControl& control,
                     HttpResult& result, DataBuffer& body, LogBase& log);

    // 0 means unlimited (and no reordering).
    void SetMaxConnections(int n) { maxConnections_ = n < 0 ? 0 : n; }
    int GetMaxConnections() const { return maxConnections_; }
    int GetCount() const { return static_cast<int>(connections_.size()); }
    void CloseAll() { connections_.clear(); }

private:
    // The pooled client for the URL's server, with the URL's credentials
    // put into the settings; null (logged) when the URL does not parse.
    HttpClient* ClientForUrl(const char* url, HttpControl& control, LogBase& log);

    // The parts of the last URL that split, kept because the next request
    // usually names the same URL and splitting it is a good part of a
    // kept-alive GET's own work.
    struct SplitUrl {
        StringBuffer url;   // empty: nothing kept
        StringBuffer host;
        int port = 0;
        StringBuffer login;
        StringBuffer password;
    };
    bool Split(const char* url);

    SplitUrl split_;
    int maxConnections_ = kDefaultMaxConnections;
    std::vector<std::unique_ptr<HttpClient>> connections_;   // least recently used first
};

} // namespace plentor
