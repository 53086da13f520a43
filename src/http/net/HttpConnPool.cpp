#include "http/net/HttpConnPool.h"

#include "base/LogBase.h"
#include "http/HttpControl.h"
#include "http/HttpResult.h"
#include "http/ZentrelUrl.h"
#include "text/DataBuffer.h"

#include <algorithm>

namespace plentor {

HttpClient& HttpConnPool::GetConnection(const char* host, int port, LogBase& /*log*/)
{
    const char* wanted = host != nullptr ? host : "";
    auto match = std::find_if(connections_.begin(), connections_.end(), [&](const auto& client) {
        return client->GetPort() == port && client->GetHost().EqualsNoCase(wanted);
    });
    if (match != connections_.end()) {
        if (maxConnections_ == 0) return **match;
        std::unique_ptr<HttpClient> client = std::move(*match);
        connections_.erase(match);
        connections_.push_back(std::move(client));
        return *connections_.back();
    }
    if (maxConnections_ != 0 && static_cast<int>(connections_.size()) >= maxConnections_)
        connections_.erase(connections_.begin());   // destroying the client closes its socket
    connections_.push_back(std::make_unique<HttpClient>());
    connections_.back()->SetServer(wanted, port);
    return *connections_.back();
}

bool HttpConnPool::Split(const char* url)
{
    if (!split_.url.IsEmpty() && split_.url.Equals(url)) return true;
    split_.url.Clear();
    StringBuffer path, query, fragment;
    if (!ZentrelUrl::CrackUrl(url, split_.host, split_.port, split_.login, split_.password, path, query, fragment))
        return false;
    split_.url.SetString(url);
    return true;
}

HttpClient* HttpConnPool::ClientForUrl(const char* url, HttpControl& control, LogBase& log)
{
    if (url == nullptr || !Split(url)) {
        log.LogError("Failed to parse URL");
        log.LogData("url", url != nullptr ? url : "");
        return nullptr;
    }
    if (!split_.login.IsEmpty() && !split_.password.IsEmpty()) {
        control.login = split_.login;
        control.password = split_.password;
    }
    // A connection is keyed by the server it talks to, also through a proxy.
    return &GetConnection(split_.host.GetString(), split_.port, log);
}

bool HttpConnPool::QuickGet(const char* url, HttpControl& control, DataBuffer& body, HttpResult& result,
                            LogBase& log)
{
    HttpClient* client = ClientForUrl(url, control, log);
    return client != nullptr && client->Get(url, control, body, result, log);
}

bool HttpConnPool::QuickGet(const char* url, HttpControl& control, BodySink& sink, HttpResult& result,
                            LogBase& log)
{
    HttpClient* client = ClientForUrl(url, control, log);
    return client != nullptr && client->Get(url, control, sink, result, log);
}

bool HttpConnPool::SendRequest(const char* domain, int port, bool useTls, HttpRequest& request,
                               HttpControl& control, HttpResult& result, DataBuffer& body, LogBase& log)
{
    if (domain == nullptr) {
        log.LogError("No domain");
        return false;
    }
    if (port == 0) port = ZentrelUrl::kHttpPort;
    HttpClient& client = GetConnection(domain, port, log);
    if (!client.Connect(control, domain, port, useTls, log)) return false;
    return client.SendAndRead(control, useTls, request, result, body, log);
}

} // namespace plentor
