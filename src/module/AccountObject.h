#pragma once

#include "module/HostString.h"
#include "services/BookmarkService.h"
#include "services/WebServiceClient.h"
#include "text/StringBuffer.h"

#include <string>

namespace plentor {

// The base of the objects of the services with a request interface (Shadows,
// Simpy): they keep the account themselves and hand it to the client with
// every submission, which goes out as one authenticated GET.
class AccountObject {
public:
    // The account name and password, in the active ANSI code page inside.
    std::u16string GetLogin() const;
    void SetLogin(HostString login);
    std::u16string GetPassword() const;
    void SetPassword(HostString password);

    // Sends the service's requests to base ("scheme://host[:port]"); null
    // or "" returns to the usual address. False, logged, when it does not parse.
    bool SetEndpoint(const char* base) { return client_.SetEndpoint(base); }
    WebServiceClient& Client() { return client_; }

protected:
    explicit AccountObject(BookmarkService service) : service_(service) {}
    ~AccountObject() = default;

    // Saves one bookmark with the stored account: 1 when the service took
    // it, else 0. A value the service does not take is not sent.
    long SubmitBookmark(HostString url, HostString title, HostString extended, HostString tags);

private:
    BookmarkService service_;
    StringBuffer login_;
    StringBuffer password_;
    WebServiceClient client_;
};

} // namespace plentor
