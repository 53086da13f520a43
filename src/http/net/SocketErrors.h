#pragma once

namespace plentor {

class LogBase;

// One Windows Sockets error number with the name and text the log shows,
// and up to two hints written as error lines after it.
struct SocketErrorInfo {
    int code;
    const char* name;
    const char* text;
    const char* hint1;
    const char* hint2;
};

// The row for a code, or null when the code has no row of its own.
const SocketErrorInfo* FindSocketError(int code);

// Logs the code under "SocketError" as "NAME text" (or "Error %x" for a
// code without a row) followed by its hint lines.
void LogSocketError(int code, LogBase& log);

// Logs why starting the socket layer failed.
void LogStartUpError(int code, LogBase& log);

} // namespace plentor
