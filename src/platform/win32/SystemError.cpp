#include "platform/SystemError.h"

#include <windows.h>

#include <string>

namespace plentor::platform {

std::string SystemErrorText(int code)
{
    char buf[512] = {};
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                             static_cast<DWORD>(code), 0, buf, sizeof buf, nullptr);
    std::string s(buf, n);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\n' || s.back() == '\r' || s.back() == '\t'))
        s.pop_back();
    // A system without a text for the code (Wine has none for several file
    // errors) still gets a message that names it.
    if (s.empty())
        s = "system error " + std::to_string(code);
    return s;
}

int LastErrorCode() { return static_cast<int>(GetLastError()); }

} // namespace plentor::platform
