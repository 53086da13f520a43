#pragma once

#include <string>
#include <vector>

namespace plentor::platform {

// The program's arguments after its name, in UTF-8. POSIX hands main() the
// bytes as typed, taken to be UTF-8; Windows hands it the arguments in the
// active code page, where characters outside that page are already lost, so
// there they are read again from the UTF-16 command line.
std::vector<std::string> Utf8Arguments(int argc, char** argv);

// A file name taken from Utf8Arguments in the form the narrow file functions
// (platform/Files.h) open: the same bytes on POSIX, the active code page on
// Windows.
std::string FileNameFromUtf8(const std::string& utf8);

} // namespace plentor::platform
