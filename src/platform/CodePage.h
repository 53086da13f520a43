#pragma once

#include <string>
#include <string_view>

namespace plentor::platform {

// The system's active ANSI code page: GetACP on Windows; on POSIX the number in
// the environment variable PLENTOR_ACP when set, otherwise 65001.
int ActiveAnsiCodePage();

// The system's OEM code page: GetOEMCP on Windows; on POSIX the number in
// PLENTOR_OEMCP when set, otherwise 437.
int OemCodePage();

// The system's own conversions between UTF-16 and the active ANSI code page
// (WideCharToMultiByte and MultiByteToWideChar on Windows, with the system's
// default replacement characters). False where the system offers none, as on
// POSIX: the caller then converts through the built-in tables.
bool SystemUtf16ToAnsi(std::u16string_view text, std::string& out);
bool SystemAnsiToUtf16(std::string_view text, std::u16string& out);

} // namespace plentor::platform
