#include "platform/UrlCombine.h"

#include <windows.h>
#include <wininet.h>

namespace plentor::platform {

bool CombineUrl(const char* base, const char* relative, std::string& out)
{
    out.clear();
    if (!base || !relative)
        return false;
    // One byte more than the declared capacity, so a result that fills the
    // capacity still has its terminator inside the buffer.
    char buffer[kUrlCombineCapacity + 1] = {};
    DWORD length = kUrlCombineCapacity;
    if (!InternetCombineUrlA(base, relative, buffer, &length, 0))
        return false;
    if (length > static_cast<DWORD>(kUrlCombineCapacity))
        return false;
    out.assign(buffer, length);
    return true;
}

} // namespace plentor::platform
