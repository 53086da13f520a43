#include "support/LoopbackSocket.h"

#include <algorithm>
#include <chrono>

// The BSD socket calls are the same on both systems; only these differ.
#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>

namespace {

using Native = SOCKET;
using Length = int;
constexpr int kShutBoth = SD_BOTH;
constexpr int kSendFlags = 0;

// Winsock needs its start-up once per process before the first call.
bool StartSockets()
{
    static const bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return started;
}

void CloseNative(Native s) { ::closesocket(s); }

} // namespace
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using Native = int;
using Length = socklen_t;
constexpr int kShutBoth = SHUT_RDWR;
// A peer that went away must fail the send, not raise SIGPIPE.
constexpr int kSendFlags = MSG_NOSIGNAL;

bool StartSockets() { return true; }

void CloseNative(Native s) { ::close(s); }

} // namespace
#endif

namespace plentor::testsupport {
namespace {

// How often a blocking wait looks whether the socket was shut down.
constexpr int kSliceMs = 20;
constexpr std::intptr_t kInvalid = -1;

Native ToNative(std::intptr_t handle) { return static_cast<Native>(handle); }

sockaddr_in LoopbackAddress(int port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

std::intptr_t NewSocket()
{
    if (!StartSockets()) return kInvalid;
    const Native s = ::socket(AF_INET, SOCK_STREAM, 0);
    return s == static_cast<Native>(kInvalid) ? kInvalid : static_cast<std::intptr_t>(s);
}

} // namespace

LoopbackSocket::~LoopbackSocket() { Close(); }

int LoopbackSocket::FreePort()
{
    LoopbackSocket probe;
    probe.handle_ = NewSocket();
    if (!probe.Valid()) return 0;
    const sockaddr_in address = LoopbackAddress(0);
    if (::bind(ToNative(probe.handle_), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) return 0;
    return probe.Port();
}

bool LoopbackSocket::Listen(int backlog)
{
    Close();
    handle_ = NewSocket();
    if (!Valid()) return false;
    const sockaddr_in address = LoopbackAddress(0);
    if (::bind(ToNative(handle_), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
        ::listen(ToNative(handle_), backlog) == 0)
        return true;
    Close();
    return false;
}

bool LoopbackSocket::Accept(LoopbackSocket& listener, int timeoutMs)
{
    Close();
    if (!listener.WaitReadable(timeoutMs)) return false;
    const Native s = ::accept(ToNative(listener.handle_), nullptr, nullptr);
    if (s == static_cast<Native>(kInvalid)) return false;
    handle_ = static_cast<std::intptr_t>(s);
    return true;
}

bool LoopbackSocket::Connect(int port)
{
    Close();
    handle_ = NewSocket();
    if (!Valid()) return false;
    const sockaddr_in address = LoopbackAddress(port);
    if (::connect(ToNative(handle_), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) return true;
    Close();
    return false;
}

bool LoopbackSocket::Valid() const { return handle_ != kInvalid; }

int LoopbackSocket::Port() const
{
    sockaddr_in address{};
    Length size = sizeof address;
    if (!Valid() || ::getsockname(ToNative(handle_), reinterpret_cast<sockaddr*>(&address), &size) != 0) return 0;
    return ntohs(address.sin_port);
}

void LoopbackSocket::SetNoDelay()
{
    int one = 1;
    ::setsockopt(ToNative(handle_), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one), sizeof one);
}

bool LoopbackSocket::SendAll(const std::string& bytes)
{
    size_t sent = 0;
    while (sent < bytes.size()) {
        const int chunk = static_cast<int>(std::min<size_t>(bytes.size() - sent, 1 << 20));
        const auto n = ::send(ToNative(handle_), bytes.data() + sent, chunk, kSendFlags);
        if (n <= 0) return false;
        sent += static_cast<size_t>(n);
    }
    return true;
}

long LoopbackSocket::Receive(char* buffer, size_t size, int timeoutMs)
{
    if (!WaitReadable(timeoutMs)) return shut_ ? 0 : -1;
    const int chunk = static_cast<int>(std::min<size_t>(size, 1 << 20));
    const auto n = ::recv(ToNative(handle_), buffer, chunk, 0);
    return n < 0 ? -1 : static_cast<long>(n);
}

bool LoopbackSocket::WaitReadable(int timeoutMs)
{
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
    for (;;) {
        if (shut_ || !Valid()) return false;
        int slice = kSliceMs;
        if (timeoutMs != kNoLimit) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            slice = static_cast<int>(std::clamp<long long>(left, 0, kSliceMs));
        }
        if (WaitReadableSlice(slice)) return !shut_;
        if (timeoutMs != kNoLimit && Clock::now() >= deadline) return false;
    }
}

bool LoopbackSocket::WaitReadableSlice(int timeoutMs)
{
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(ToNative(handle_), &readable);
    timeval limit{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    return ::select(static_cast<int>(handle_ + 1), &readable, nullptr, nullptr, &limit) > 0;
}

void LoopbackSocket::Shutdown()
{
    shut_ = true;
    if (Valid()) ::shutdown(ToNative(handle_), kShutBoth);
}

void LoopbackSocket::Close()
{
    if (Valid()) CloseNative(ToNative(handle_));
    handle_ = kInvalid;
    shut_ = false;
}

} // namespace plentor::testsupport
