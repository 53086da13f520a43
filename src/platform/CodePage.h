#pragma once

namespace plentor::platform {

// The system's active ANSI code page: GetACP on Windows; on POSIX the number in
// the environment variable PLENTOR_ACP when set, otherwise 65001.
int ActiveAnsiCodePage();

// The system's OEM code page: GetOEMCP on Windows; on POSIX the number in
// PLENTOR_OEMCP when set, otherwise 437.
int OemCodePage();

} // namespace plentor::platform
