#include "platform/CodePage.h"

#include <windows.h>

namespace plentor::platform {

int ActiveAnsiCodePage() { return static_cast<int>(GetACP()); }
int OemCodePage() { return static_cast<int>(GetOEMCP()); }

} // namespace plentor::platform
