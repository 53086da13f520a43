#pragma once

#include "module/HostString.h"
#include "services/WebServiceClient.h"
#include "text/StringBuffer.h"

#include <string>

namespace plentor {

// The Simpy object: keeps the account itself and hands it to the client
// with every submission, which goes out as one authenticated GET.
class Simpy {
public:
    Simpy() = default;
    Simpy(const Simpy&) = delete;
    Simpy& operator=(const Simpy&) = delete;

    // The account name and password, in the active ANSI code page inside.
    std::u16string GetLogin() const;
    void SetLogin(HostString login);
    std::u16string GetPassword() const;
    void SetPassword(HostString password);

    // Saves one bookmark with the stored account: 1 when the service took it, else 0.
    long Submit(HostString url, HostString title, HostString tags);

    // Sends the service's requests to base ("scheme://host[:port]"); null
    // or "" returns to the usual address. False, logged, when it does not parse.
    bool SetEndpoint(const char* base) { return client_.SetEndpoint(base); }
    WebServiceClient& Client() { return client_; }

private:
    StringBuffer login_;
    StringBuffer password_;
    WebServiceClient client_;
};

} // namespace plentor
