#include "platform/SystemError.h"

#include <cerrno>
#include <cstring>

namespace plentor::platform {

std::string SystemErrorText(int code)
{
    char buf[256] = {};
    // GNU strerror_r may return a static string instead of filling buf.
    const char* text = strerror_r(code, buf, sizeof buf);
    std::string s = text ? text : "";
    while (!s.empty() && (s.back() == ' ' || s.back() == '\n' || s.back() == '\r' || s.back() == '\t'))
        s.pop_back();
    return s;
}

int LastErrorCode() { return errno; }

} // namespace plentor::platform
