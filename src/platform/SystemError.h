#pragma once

#include <string>

namespace plentor::platform {

// The platform's message text for an error code, trimmed of trailing white space.
std::string SystemErrorText(int code);

// The calling thread's last error code (GetLastError / errno).
int LastErrorCode();

} // namespace plentor::platform
