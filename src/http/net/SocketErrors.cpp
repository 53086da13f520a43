#include "http/net/SocketErrors.h"

#include "base/LogBase.h"

#include <cstdio>

namespace plentor {

namespace {

constexpr const char* kAntiVirusHint = "This is commonly caused by anti-virus programs that may be running.";
constexpr const char* kPortFilterHint = "Check Mcafee's port filtering. If enabled, add your app to the exclusion list.";

constexpr SocketErrorInfo kSocketErrors[] = {
    {10024, "WSAEMFILE", "No more socket descriptors are available.", nullptr, nullptr},
    {10035, "WSAEWOULDBLOCK", "The socket would block.",
     "Check to make sure the port is not blocked by a firewall.", nullptr},
    {10036, "WSAEINPROGRESS",
     "A blocking Windows Sockets 1.1 call is in progress, or the service provider is still processing a "
     "callback function.",
     nullptr, nullptr},
    {10041, "WSAEPROTOTYPE", "The specified protocol is the wrong type for this socket.", nullptr, nullptr},
    {10043, "WSAEPROTONOSUPPORT", "The specified protocol is not supported.", nullptr, nullptr},
    {10044, "WSAESOCKTNOSUPPORT", "The specified socket type is not supported in this address family.", nullptr,
     nullptr},
    {10047, "WSAEAFNOSUPPORT", "The specified address family is not supported.", nullptr, nullptr},
    {10050, "WSAENETDOWN", "The network subsystem or the associated service provider has failed.", nullptr, nullptr},
    {10051, "WSAENETUNREACH", "A socket operation was attempted to an unreachable network.", nullptr, nullptr},
    {10053, "WSAECONNABORTED", "An established connection was aborted by the software in your host machine.",
     kAntiVirusHint, kPortFilterHint},
    {10055, "WSAENOBUFS", "No buffer space is available. The socket cannot be created.", nullptr, nullptr},
    {10060, "WSAETIMEDOUT",
     "A connection attempt failed because the connected party did not properly respond after a period of time, "
     "or established connection failed because connected host has failed to respond.",
     nullptr, nullptr},
    {10061, "WSAECONNREFUSED", "No connection could be made because the target machine actively refused it.",
     nullptr, nullptr},
    {10093, "WSANOTINITIALISED", "A successful WSAStartup must occur before using this function.", nullptr,
     nullptr},
};

constexpr const char* kUnknownCodeHint =
    "Check to make sure the connection is not blocked by a firewall or anti-virus port filtering.";

// Start-up failures carry texts of their own.
struct StartUpError {
    int code;
    const char* text;
};

constexpr StartUpError kStartUpErrors[] = {
    {10091, "The underlying network subsystem is not ready for network communication."},
    {10092, "The version of Windows Sockets support requested is not provided by this particular Windows Sockets "
            "implementation."},
    {10036, "A blocking Windows Sockets 1.1 operation is in progress."},
    {10067, "Limit on the number of tasks supported by the Windows Sockets implementation has been reached."},
    {10014, "The lpWSAData is not a valid pointer."},
};

} // namespace

const SocketErrorInfo* FindSocketError(int code)
{
    for (const SocketErrorInfo& row : kSocketErrors)
        if (row.code == code) return &row;
    return nullptr;
}

void LogSocketError(int code, LogBase& log)
{
    const SocketErrorInfo* row = FindSocketError(code);
    if (row == nullptr) {
        char text[32];
        std::snprintf(text, sizeof text, "Error %x", static_cast<unsigned>(code));
        log.LogData("SocketError", text);
        log.LogError(kUnknownCodeHint);
        return;
    }
    char text[320];
    std::snprintf(text, sizeof text, "%s %s", row->name, row->text);
    log.LogData("SocketError", text);
    if (row->hint1 != nullptr) log.LogError(row->hint1);
    if (row->hint2 != nullptr) log.LogError(row->hint2);
}

void LogStartUpError(int code, LogBase& log)
{
    for (const StartUpError& row : kStartUpErrors) {
        if (row.code == code) {
            log.LogError(row.text);
            return;
        }
    }
    char text[48];
    std::snprintf(text, sizeof text, "WSAStartup error: 0x%x", static_cast<unsigned>(code));
    log.LogError(text);
}

} // namespace plentor
