#include "platform/Sockets.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

namespace plentor::platform {

namespace {

// errno values and the Windows Sockets numbers the rest of the library uses.
struct ErrnoCode {
    int errnoValue;
    int code;
};

constexpr ErrnoCode kErrnoCodes[] = {
    {EINTR, 10004},        {EBADF, 10009},           {EACCES, 10013},
    {EFAULT, 10014},       {EINVAL, 10022},          {EMFILE, 10024},
    {ENFILE, 10024},       {EWOULDBLOCK, 10035},     {EINPROGRESS, 10035},
    {EALREADY, 10037},     {ENOTSOCK, 10038},        {EDESTADDRREQ, 10039},
    {EMSGSIZE, 10040},     {EPROTOTYPE, 10041},      {ENOPROTOOPT, 10042},
    {EPROTONOSUPPORT, 10043}, {ESOCKTNOSUPPORT, 10044}, {EOPNOTSUPP, 10045},
    {EPFNOSUPPORT, 10046}, {EAFNOSUPPORT, 10047},    {EADDRINUSE, 10048},
    {EADDRNOTAVAIL, 10049}, {ENETDOWN, 10050},       {ENETUNREACH, 10051},
    {ENETRESET, 10052},    {ECONNABORTED, 10053},    {ECONNRESET, 10054},
    {EPIPE, 10054},        {ENOBUFS, 10055},         {ENOMEM, 10055},
    {EISCONN, 10056},      {ENOTCONN, 10057},        {ESHUTDOWN, 10058},
    {ETIMEDOUT, 10060},    {ECONNREFUSED, 10061},    {EHOSTDOWN, 10064},
    {EHOSTUNREACH, 10065},
};

// An errno without a Windows Sockets counterpart is passed on unchanged.
int ToSocketCode(int errnoValue)
{
    if (errnoValue == EAGAIN) errnoValue = EWOULDBLOCK;
    for (const ErrnoCode& entry : kErrnoCodes)
        if (entry.errnoValue == errnoValue) return entry.code;
    return errnoValue;
}

int ToErrno(int code)
{
    for (const ErrnoCode& entry : kErrnoCodes)
        if (entry.code == code) return entry.errnoValue;
    return code;
}

int LastSocketCode() { return ToSocketCode(errno); }

int Fd(SocketHandle socket) { return static_cast<int>(socket); }

WaitResult Wait(SocketHandle socket, short events, uint32_t seconds, uint32_t microseconds)
{
    if (socket == kInvalidSocket) return WaitResult::Failed;
    uint64_t ms = static_cast<uint64_t>(seconds) * 1000 + microseconds / 1000;
    int timeout = ms > 0x7fffffff ? 0x7fffffff : static_cast<int>(ms);
    pollfd entry{Fd(socket), events, 0};
    int n;
    do {
        n = ::poll(&entry, 1, timeout);
    } while (n < 0 && errno == EINTR);
    if (n < 0) return WaitResult::Failed;
    if (n == 0) return WaitResult::TimedOut;
    if (entry.revents & POLLNVAL) return WaitResult::Failed;
    return WaitResult::Ready;   // error and hang-up states are reported by the next call
}

} // namespace

int StartUp(uint16_t version, int& major, int& minor)
{
    // Nothing to start on POSIX; report the version asked for.
    major = version & 0xff;
    minor = version >> 8;
    return 0;
}

ResolveResult Resolve(const char* name, uint32_t& address)
{
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* list = nullptr;
    if (::getaddrinfo(name, nullptr, &hints, &list) != 0 || list == nullptr) return ResolveResult::NotFound;
    ResolveResult result = ResolveResult::NoAddress;
    for (addrinfo* entry = list; entry != nullptr; entry = entry->ai_next) {
        if (entry->ai_family != AF_INET || entry->ai_addr == nullptr) continue;
        address = reinterpret_cast<const sockaddr_in*>(entry->ai_addr)->sin_addr.s_addr;
        result = ResolveResult::Found;
        break;
    }
    ::freeaddrinfo(list);
    return result;
}

bool ParseDottedQuad(const char* text, uint32_t& address)
{
    in_addr parsed{};
    if (::inet_pton(AF_INET, text, &parsed) != 1) return false;
    address = parsed.s_addr;
    return true;
}

SocketHandle CreateTcpSocket(int& error)
{
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
    if (fd < 0) {
        error = LastSocketCode();
        return kInvalidSocket;
    }
    error = 0;
    return static_cast<SocketHandle>(fd);
}

bool SetBlockingMode(SocketHandle socket, BlockingMode mode)
{
    int flags = ::fcntl(Fd(socket), F_GETFL, 0);
    if (flags < 0) return false;
    flags = mode == BlockingMode::NonBlocking ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK);
    return ::fcntl(Fd(socket), F_SETFL, flags) == 0;
}

int Connect(SocketHandle socket, uint32_t address, uint16_t port)
{
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = htons(port);
    target.sin_addr.s_addr = address;
    if (::connect(Fd(socket), reinterpret_cast<const sockaddr*>(&target), sizeof target) == 0) return 0;
    return LastSocketCode();
}

WaitResult WaitWritable(SocketHandle socket, uint32_t seconds, uint32_t microseconds)
{
    return Wait(socket, POLLOUT, seconds, microseconds);
}

WaitResult WaitReadable(SocketHandle socket, uint32_t seconds, uint32_t microseconds)
{
    return Wait(socket, POLLIN, seconds, microseconds);
}

int PendingError(SocketHandle socket)
{
    int value = 0;
    socklen_t size = sizeof value;
    if (::getsockopt(Fd(socket), SOL_SOCKET, SO_ERROR, &value, &size) != 0) return LastSocketCode();
    return value == 0 ? 0 : ToSocketCode(value);
}

int Send(SocketHandle socket, const void* bytes, int length, int& moved)
{
    moved = 0;
    ssize_t n;
    do {
        n = ::send(Fd(socket), bytes, static_cast<size_t>(length), MSG_NOSIGNAL);
    } while (n < 0 && errno == EINTR);
    if (n < 0) return LastSocketCode();
    moved = static_cast<int>(n);
    return 0;
}

int Receive(SocketHandle socket, void* bytes, int length, int& moved)
{
    moved = 0;
    ssize_t n;
    do {
        n = ::recv(Fd(socket), bytes, static_cast<size_t>(length), 0);
    } while (n < 0 && errno == EINTR);
    if (n < 0) return LastSocketCode();
    moved = static_cast<int>(n);
    return 0;
}

int SendNoWait(SocketHandle socket, const void* bytes, int length, int& moved)
{
    moved = 0;
    ssize_t n;
    do {
        n = ::send(Fd(socket), bytes, static_cast<size_t>(length), MSG_NOSIGNAL | MSG_DONTWAIT);
    } while (n < 0 && errno == EINTR);
    if (n < 0) return LastSocketCode();
    moved = static_cast<int>(n);
    return 0;
}

bool SetReceiveTimeout(SocketHandle socket, uint32_t ms)
{
    timeval limit{};
    limit.tv_sec = static_cast<time_t>(ms / 1000);
    limit.tv_usec = static_cast<suseconds_t>((ms % 1000) * 1000);
    if (ms == 0) limit.tv_usec = 1000;   // a zero bound would mean no bound at all
    return ::setsockopt(Fd(socket), SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit) == 0;
}

void ShutdownBoth(SocketHandle socket)
{
    if (socket != kInvalidSocket) ::shutdown(Fd(socket), SHUT_RDWR);
}

void CloseSocket(SocketHandle socket)
{
    if (socket != kInvalidSocket) ::close(Fd(socket));
}

void SocketErrorMessage(int code, char* out, int outSize)
{
    if (outSize <= 0) return;
    std::snprintf(out, static_cast<size_t>(outSize), "%s", std::strerror(ToErrno(code)));
}

} // namespace plentor::platform
