#pragma once

#include "log/Logger.h"
#include "services/ClsStringArray.h"
#include "services/EndpointOverride.h"
#include "services/WordList.h"
#include "text/StringBuffer.h"

#include <array>
#include <string_view>

namespace plentor {

// The Delicious client: submits bookmarks through the service's published
// request interface, one authenticated GET per bookmark, and derives a
// bookmark's title, description and tags from the page itself. Every
// submission and page fetch uses a facade of its own, so no cookie or
// connection outlives it. The client keeps the list of links that its page
// fetches found to the fetched pages' own sites.
class DeliciousClient {
public:
    // Each submission waits this long to connect and this long for the reply.
    static constexpr int kConnectTimeoutSec = 30;
    static constexpr int kReadTimeoutSec = 30;
    // Tags suggested for a fetched page.
    static constexpr int kMaxTags = 10;
    // Sites whose page titles read "two words - Site name": for pages there
    // the site name is cut off and the words capitalised. Registrable
    // domains, compared byte for byte.
    static constexpr std::array<std::string_view, 4> kSpecialDomains = {
        "dictionary.com",
        "thesaurus.com",
        "wiktionary.org",
        "urbandictionary.com",
    };

    // How a page title is tidied.
    enum class TitleStyle {
        AsWritten,   // white space collapsed and trimmed
        SiteTitle,   // also cut at its first "-" and each word capitalised
    };

    // Builds the stop list of tag suggestion; the link list starts empty
    // and keeps each distinct URL once.
    DeliciousClient();
    DeliciousClient(const DeliciousClient&) = delete;
    DeliciousClient& operator=(const DeliciousClient&) = delete;

    // The account, as bytes in the active ANSI code page; read and written directly.
    StringBuffer& Login() { return login_; }
    StringBuffer& Password() { return password_; }

    // Submits one bookmark with the stored account. All values are bytes in
    // the active ANSI code page; the tags are separated by spaces or commas.
    // True when the service answered below 400 with code="done" in the reply.
    bool SubmitExplicit(const char* url, const char* title, const char* extended, const char* tags);

    // Fetches the page and sets title, extended and tags (UTF-8) from it:
    // the title element, the description meta tag and up to kMaxTags
    // suggested tags. The page's links to its own site are added to the
    // link list. False, with all three empty, when the page could not be
    // fetched or answered with status 400 or above.
    bool FetchPageInfo(const char* url, StringBuffer& title, StringBuffer& extended, StringBuffer& tags);

    // FetchPageInfo, then SubmitExplicit of url with the three values. When
    // the fetch fails nothing is sent to the service. The three values keep
    // what the page gave, whatever the submission's outcome.
    bool SubmitUrl(const char* url, StringBuffer& title, StringBuffer& extended, StringBuffer& tags);

    // The links gathered by page fetches (and whatever the owner loads).
    ClsStringArray& Links() { return links_; }
    const ClsStringArray& Links() const { return links_; }
    // The stop list of tag suggestion; never changes after construction.
    const WordList& StopList() const { return stopList_; }

    // Whether the URL's registrable domain is one of kSpecialDomains.
    static bool IsSpecialDomain(const char* url);
    // Tidies a raw page title in place (see TitleStyle). Only ASCII letters
    // are capitalised, so UTF-8 text stays valid.
    static void TidyTitle(StringBuffer& title, TitleStyle style);

    // An explicit "scheme://host[:port]" for the service (null or "" to drop
    // it); false, logged, when it does not parse. Page fetches go to the
    // page's own address.
    bool SetEndpoint(const char* base) { return endpoint_.Set(base, log_); }

    // The client's own lines (address overrides); not cleared by submissions.
    Logger& GetLog() { return log_; }
    // The text of the log of the last operation's HTTP facade (for SubmitUrl,
    // the page fetch's followed by the submission's).
    const StringBuffer& GetLastHttpLog() const { return lastHttpLog_; }
    // The status of the last page fetch's reply; 0 when none arrived.
    int GetLastFetchStatus() const { return lastFetchStatus_; }
    // Whether the last page fetch succeeded (what FetchPageInfo returned).
    bool LastFetchWorked() const { return lastFetchWorked_; }

private:
    StringBuffer login_;
    StringBuffer password_;
    EndpointOverride endpoint_;
    Logger log_;
    StringBuffer lastHttpLog_;
    int lastFetchStatus_ = 0;
    bool lastFetchWorked_ = false;
    ClsStringArray links_;   // distinct URLs, in the order first added
    WordList stopList_;      // filled once by the constructor
};

} // namespace plentor
