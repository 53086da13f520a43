#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

namespace plentor::platform {

// The longest line ReadHiddenLine keeps: far beyond any password; the rest
// of a longer line is read and dropped.
constexpr size_t kMaxHiddenLine = 4096;

// Whether a standard stream (stdin, stdout or stderr) is a terminal: a tty
// on POSIX, a console on Windows (a file, a pipe or the null device is not).
bool IsTerminal(FILE* stream);

// Asks for one line at the terminal that is standard input and reads it
// with the terminal's echo turned off, so the text never shows: the echo
// goes off (and what was typed ahead is dropped), then prompt goes to
// stderr, then the line is read and a line end written after it, since the
// user's own was not echoed. The echo comes back before it returns, also
// when the read ends with an interrupt. The line end is not kept; Windows
// consoles give UTF-16, returned as UTF-8. False when standard input is not
// a terminal, at end of input before a line end, and on a read error.
bool ReadHiddenLine(const std::string& prompt, std::string& line);

} // namespace plentor::platform
