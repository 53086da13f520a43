#include "http/HttpResult.h"

namespace plentor {

void HttpResult::Reset()
{
    wasRedirected = false;
    finalUrl.Clear();
    redirectFromCacheFailed = false;
    cacheState = 0;
    fromCache = false;
    connectionLost = false;
    header.Clear();
}

} // namespace plentor
