#pragma once

#include "module/HostString.h"
#include "services/DeliciousClient.h"
#include "text/StringBuffer.h"

#include <string>

namespace plentor {

// The Delicious object: submits bookmarks with the account kept in its
// client, derives a page's title, description and tags from the page itself,
// and keeps the client's list of links for a script to walk.
class DeliciousSubmit {
public:
    DeliciousSubmit() = default;
    DeliciousSubmit(const DeliciousSubmit&) = delete;
    DeliciousSubmit& operator=(const DeliciousSubmit&) = delete;

    // The account, held by the client in the active ANSI code page.
    std::u16string GetLogin();
    void SetLogin(HostString login);
    std::u16string GetPassword();
    void SetPassword(HostString password);

    // Saves one bookmark: 1 when the service took it, else 0. Leaves the
    // Last* values alone.
    long SubmitExplicit(HostString url, HostString title, HostString extended, HostString tags);
    // Derives title, description and tags from the page into the Last*
    // values, then saves the bookmark with them: 1 when both steps worked.
    long SubmitUrl(HostString url);
    // Clears the Last* values and fills them from the page: 1 when the page
    // could be fetched, else 0 (and the values stay empty).
    long FetchPageInfo(HostString url);

    // What the last FetchPageInfo or SubmitUrl derived. The page step
    // writes UTF-8, so these are read as UTF-8.
    std::u16string GetLastTitle() const;
    std::u16string GetLastExtended() const;
    std::u16string GetLastTags() const;

    // The link list: its size, entry index (from 0; empty when there is no
    // such entry), emptying it, and adding the lines of a text file to it
    // (1 when the file was read, 0 with the list unchanged when not).
    long GetNumLinks();
    std::u16string GetLink(long index);
    void ClearLinks();
    long LoadUrls(HostString filename);

    // Blocks the calling thread for seconds x 1000 ms. A negative count or
    // one too large for the platform's millisecond count returns at once,
    // with a line in the client's log.
    void SleepSec(long seconds);

    // Sends the service's requests to base ("scheme://host[:port]"); null
    // or "" returns to the usual address. False, logged, when it does not parse.
    bool SetEndpoint(const char* base) { return client_.SetEndpoint(base); }
    DeliciousClient& Client() { return client_; }

private:
    DeliciousClient client_;
    StringBuffer lastTitle_;
    StringBuffer lastExtended_;
    StringBuffer lastTags_;
};

} // namespace plentor
