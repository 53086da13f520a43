#pragma once

#include "http/HttpResponseHeader.h"
#include "text/StringBuffer.h"

namespace plentor {

// What the last exchange of an HTTP client produced besides the body.
class HttpResult {
public:
    // Clears every field and empties the header.
    void Reset();

    bool wasRedirected = false;            // the GET ended on a 301/302 (followed or not)
    StringBuffer finalUrl;                 // absolute URL of the last redirect target
    bool redirectFromCacheFailed = false;
    int cacheState = 0;                    // 0 nothing, 1 entry found, 2 negative entry
    bool fromCache = false;
    bool connectionLost = false;           // writing the request failed
    HttpResponseHeader header;
};

} // namespace plentor
