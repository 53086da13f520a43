#pragma once

#include "services/BrowserClient.h"

namespace plentor {

class StringBuffer;

// The Furl client: logs in through the site's form and stores pages through
// the site's store page, like a browser. Its facade's cookie store is the
// only login state. Text arguments are bytes in the active ANSI code page.
class FurlClient : public BrowserClient {
public:
    FurlClient() = default;

    // True when the site answered 200 and set a cookie.
    bool Login(const char* username, const char* password);
    // Stores the page under the given title (note the order: title first).
    // True when the store page answered below 400.
    bool QuickSubmit2(const char* title, const char* url);
    // Fetches the page for its title, then stores it as QuickSubmit2 does.
    bool QuickSubmit1(const char* url);

    // The store request's date value: "Mon Jan 02 2006 15:04:05 +0100",
    // form-encoded, with spaces as "%20" and ":" and "-" left readable.
    static void EncodeDate(const char* date, StringBuffer& out);
    // The page title as one line: white space runs become one space, ends trimmed.
    static void CleanTitle(StringBuffer& title);
};

} // namespace plentor
