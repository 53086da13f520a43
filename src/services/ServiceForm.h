#pragma once

#include "http/ClsHttpRequest.h"
#include "services/FormField.h"
#include "services/ServiceEndpoint.h"

#include <memory>
#include <span>

namespace plentor {

class ClsHttpResponse;
class HttpMan;
class LogBase;

// One form post to a service, built in the order a browser on the service's
// own page would send it: form URL, fields in order, then (for the sites
// driven like a browser) the Referer and the browser header set.
class ServiceForm {
public:
    // What a post came back with; status 0 when no reply arrived.
    struct Reply {
        int status = 0;
        bool setsCookie = false;   // the reply carried a Set-Cookie field
    };

    // A form POST to the endpoint's URL for path (a path without query).
    ServiceForm(const ServiceEndpoint& endpoint, const char* path, LogBase& log);

    // Appends a field; null counts as empty.
    void Add(const char* name, const char* value);
    // Appends the table's fields in order, each with its value for the caller's values.
    void AddFields(std::span<const FormField> fields, const FormField::Values& values);
    // The Referer and the header fields of a desktop browser.
    void ImitateBrowser(const char* referer);

    // Sends the form; the reply (the caller's), or null when none came back.
    std::unique_ptr<ClsHttpResponse> Send(HttpMan& http);
    // Sends the form and keeps only the status and whether cookies were set.
    Reply Post(HttpMan& http);

private:
    ServiceEndpoint endpoint_;
    ClsHttpRequest request_;
};

} // namespace plentor
