#pragma once

#include <cstdio>

namespace plentor::platform {

// Makes one of the standard streams (stdin, stdout, stderr) carry bytes
// unchanged. The Windows C runtime opens them in text mode, where writing
// turns LF into CR LF and reading turns CR LF into LF and stops at ^Z; POSIX
// streams are always binary, so there it does nothing. Call it before the
// first read or write of the stream. False when the mode cannot be set.
bool SetBinaryMode(FILE* stream);

} // namespace plentor::platform
