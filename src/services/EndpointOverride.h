#pragma once

#include "services/BookmarkService.h"
#include "services/ServiceEndpoint.h"
#include "text/StringBuffer.h"

namespace plentor {

class LogBase;

// Where one client sends a service's requests. An explicit base address set
// by the caller wins; otherwise the service's environment variable
// (PLENTOR_<SERVICE>_URL) when it is set; otherwise the built-in address.
class EndpointOverride {
public:
    // Sets the explicit base ("http://127.0.0.1:8080"); null or "" removes
    // it. False, logged, with the previous base kept, when it does not parse.
    bool Set(const char* base, LogBase& log);
    const StringBuffer& Get() const { return base_; }

    // The endpoint for a request made now. The environment is read on every
    // call; a value that does not parse is logged and the built-in address
    // is used.
    ServiceEndpoint Resolve(BookmarkService service, LogBase& log) const;

private:
    StringBuffer base_;   // empty: no explicit base
};

} // namespace plentor
