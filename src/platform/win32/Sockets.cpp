#include "platform/Sockets.h"

#include <winsock2.h>
#include <windows.h>

#include <cstring>

namespace plentor::platform {

namespace {

SOCKET Sock(SocketHandle socket) { return static_cast<SOCKET>(socket); }

timeval MakeTimeval(uint32_t seconds, uint32_t microseconds)
{
    timeval limit{};
    limit.tv_sec = static_cast<long>(seconds);
    limit.tv_usec = static_cast<long>(microseconds);
    return limit;
}

} // namespace

int StartUp(uint16_t version, int& major, int& minor)
{
    WSADATA data{};
    int rc = ::WSAStartup(version, &data);
    major = data.wVersion & 0xff;
    minor = data.wVersion >> 8;
    return rc;
}

ResolveResult Resolve(const char* name, uint32_t& address)
{
    const hostent* entry = ::gethostbyname(name);
    if (entry == nullptr) return ResolveResult::NotFound;
    if (entry->h_addr_list == nullptr || entry->h_addr_list[0] == nullptr || entry->h_length != 4)
        return ResolveResult::NoAddress;
    std::memcpy(&address, entry->h_addr_list[0], 4);
    return ResolveResult::Found;
}

bool ParseDottedQuad(const char* text, uint32_t& address)
{
    unsigned long parsed = ::inet_addr(text);
    // inet_addr answers INADDR_NONE both for bad text and for the broadcast address.
    if (parsed == INADDR_NONE && std::strcmp(text, "255.255.255.255") != 0) return false;
    address = static_cast<uint32_t>(parsed);
    return true;
}

SocketHandle CreateTcpSocket(int& error)
{
    SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) {
        error = ::WSAGetLastError();
        return kInvalidSocket;
    }
    error = 0;
    return static_cast<SocketHandle>(s);
}

bool SetBlockingMode(SocketHandle socket, BlockingMode mode)
{
    u_long nonBlocking = mode == BlockingMode::NonBlocking ? 1 : 0;
    return ::ioctlsocket(Sock(socket), static_cast<long>(FIONBIO), &nonBlocking) == 0;
}

int Connect(SocketHandle socket, uint32_t address, uint16_t port)
{
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = htons(port);
    target.sin_addr.s_addr = address;
    if (::connect(Sock(socket), reinterpret_cast<const sockaddr*>(&target), sizeof target) == 0) return 0;
    return ::WSAGetLastError();
}

WaitResult WaitWritable(SocketHandle socket, uint32_t seconds, uint32_t microseconds)
{
    if (socket == kInvalidSocket) return WaitResult::Failed;
    fd_set writable;
    fd_set failed;
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    FD_SET(Sock(socket), &writable);
    FD_SET(Sock(socket), &failed);   // a refused connect shows here, not as writable
    timeval limit = MakeTimeval(seconds, microseconds);
    int n = ::select(0, nullptr, &writable, &failed, &limit);
    if (n == SOCKET_ERROR) return WaitResult::Failed;
    return n == 0 ? WaitResult::TimedOut : WaitResult::Ready;
}

WaitResult WaitReadable(SocketHandle socket, uint32_t seconds, uint32_t microseconds)
{
    if (socket == kInvalidSocket) return WaitResult::Failed;
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(Sock(socket), &readable);
    timeval limit = MakeTimeval(seconds, microseconds);
    int n = ::select(0, &readable, nullptr, nullptr, &limit);
    if (n == SOCKET_ERROR) return WaitResult::Failed;
    return n == 0 ? WaitResult::TimedOut : WaitResult::Ready;
}

int PendingError(SocketHandle socket)
{
    int value = 0;
    int size = sizeof value;
    if (::getsockopt(Sock(socket), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&value), &size) != 0)
        return ::WSAGetLastError();
    return value;
}

int Send(SocketHandle socket, const void* bytes, int length, int& moved)
{
    moved = 0;
    int n = ::send(Sock(socket), static_cast<const char*>(bytes), length, 0);
    if (n == SOCKET_ERROR) return ::WSAGetLastError();
    moved = n;
    return 0;
}

int SendNoWait(SocketHandle /*socket*/, const void* /*bytes*/, int /*length*/, int& moved)
{
    // A blocking socket here has no per-call way not to wait.
    moved = 0;
    return kSockWouldBlock;
}

bool SetReceiveTimeout(SocketHandle /*socket*/, uint32_t /*ms*/)
{
    // A receive that runs out of time leaves a Windows socket in an
    // undefined state, so waits stay with select.
    return false;
}

int Receive(SocketHandle socket, void* bytes, int length, int& moved)
{
    moved = 0;
    int n = ::recv(Sock(socket), static_cast<char*>(bytes), length, 0);
    if (n == SOCKET_ERROR) return ::WSAGetLastError();
    moved = n;
    return 0;
}

void ShutdownBoth(SocketHandle socket)
{
    if (socket != kInvalidSocket) ::shutdown(Sock(socket), SD_BOTH);
}

void CloseSocket(SocketHandle socket)
{
    if (socket != kInvalidSocket) ::closesocket(Sock(socket));
}

void SocketErrorMessage(int code, char* out, int outSize)
{
    if (outSize <= 0) return;
    out[0] = '\0';
    DWORD n = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                               static_cast<DWORD>(code), MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), out,
                               static_cast<DWORD>(outSize), nullptr);
    while (n > 0 && (out[n - 1] == '\r' || out[n - 1] == '\n' || out[n - 1] == ' ' || out[n - 1] == '\t'))
        out[--n] = '\0';
}

} // namespace plentor::platform
