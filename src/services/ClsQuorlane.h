#pragma once

#include "http/HttpMan.h"
#include "log/ClsBase.h"
#include "services/EndpointOverride.h"

namespace plentor {

class ServiceForm;
class XString;

// The Quorlane client: commands posted as forms to the service's one server
// program, each answered by a status document. Text arrives as Unicode and
// is sent as UTF-8. The facade's cookie store is the only login state.
class ClsQuorlane : public ClsBase {
public:
    ClsQuorlane();

    // Each is true only when the service answered 200 with exactly
    // "<status>OK</status>".
    bool Login(const XString& login, const XString& password);
    // Adds a bookmark under one tag.
    bool AddEntry(const XString& category, const XString& tag, const XString& url, const XString& title,
                  const XString& extended);
    // Adds a bookmark under several tags.
    bool AddToTags(const XString& category, const XString& tags, const XString& url, const XString& title,
                   const XString& extended);

    // An explicit "scheme://host[:port]" for the service (null or "" to
    // drop it); false, logged in this object's log, when it does not parse.
    bool SetEndpoint(const char* base) { return endpoint_.Set(base, log_); }

    HttpMan& GetHttp() { return http_; }

    // The URL as sent: cut before the first "&s=tqpsrch", the mark the
    // service's own search pages add to the URLs they link to.
    static void StripSearchMark(StringBuffer& url);

private:
    bool Add(const char* command, const XString& category, const XString& tags, const XString& url,
             const XString& title, const XString& extended);
    // Sends the command; true when the reply is exactly the OK document.
    bool SendCommand(ServiceForm& form);

    HttpMan http_;
    EndpointOverride endpoint_;
};

} // namespace plentor
