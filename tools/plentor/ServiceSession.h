#pragma once

#include "services/BookmarkService.h"

#include <memory>
#include <string>

namespace plentor::cli {

// The optional values of a bookmark; each service takes only some of them.
enum BookmarkField : unsigned {
    kTitle = 1u << 0,
    kExtended = 1u << 1,
    kTags = 1u << 2,
    kCategory = 1u << 3,
    kTag = 1u << 4,
};

// One bookmark as the commands hand it to a service: UTF-8 text.
struct BookmarkValues {
    std::string url, title, extended, tags;
    std::string category, tag;   // quorlane only
    bool titled = false;         // furl: send the title (else the service reads it from the page)
    bool oneTag = false;         // quorlane: file under tag instead of tags
};

// One service's scriptable object, given the account once and then saving
// any number of bookmarks: plentor submit saves one, plentor submit-list
// one per page. The services with a login form log in once, and the login
// cookie carries the session to every later bookmark.
class ServiceSession {
public:
    virtual ~ServiceSession() = default;

    // The session of service, its requests sent to endpoint when that is not
    // empty (else to PLENTOR_<SERVICE>_URL or the service's own address).
    // Null when endpoint does not parse.
    static std::unique_ptr<ServiceSession> Open(BookmarkService service, const std::string& endpoint);

    // Sets host to the host the service's requests go to, as Open would
    // send them. Empty when it could, else the usage message about endpoint.
    static std::string FindHost(BookmarkService service, const std::string& endpoint, std::string& host);

    // The BookmarkField bits of the values the service's requests carry.
    static unsigned AcceptedFields(BookmarkService service);

    // Whether the text fits the form in which the service's object hands
    // text to its client: quorlane takes any, the others the active ANSI code page.
    static bool Fits(BookmarkService service, const std::string& utf8);

    // Hands the account to the object; the services with a login form log
    // in now. False when the login was refused.
    virtual bool LogIn(const std::string& login, const std::string& password) = 0;

    // Saves one bookmark; false when the service did not take it.
    virtual bool Submit(const BookmarkValues& bookmark) = 0;

    // Writes the client's own lines (when it wrote any) and the HTTP client's
    // log to standard error.
    virtual void WriteLog() = 0;
};

} // namespace plentor::cli
