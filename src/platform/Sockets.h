#pragma once

#include <cstdint>

namespace plentor::platform {

// The operating system's stream sockets, reduced to what the blocking TCP
// client needs. Every error is reported as a Windows Sockets error number
// (10035 would block, 10061 refused, ...) whatever the platform, so the
// code above keeps one table of codes and texts.

using SocketHandle = uintptr_t;
constexpr SocketHandle kInvalidSocket = ~static_cast<SocketHandle>(0);

// Error numbers the socket code branches on.
constexpr int kSockWouldBlock = 10035;      // connect still in progress
constexpr int kSockAlready = 10037;         // an earlier connect is still in progress
constexpr int kSockIsConnected = 10056;     // the socket is already connected
constexpr int kSockVersionNotSupported = 10092;

// Starts the socket layer asking for the version word (major in the low
// byte). 0 on success, otherwise the start-up error code. Gives the version
// the layer agreed to.
int StartUp(uint16_t version, int& major, int& minor);

enum class ResolveResult { Found, NotFound, NoAddress };

// Looks a host name up, IPv4 only; gives the first address in network order.
ResolveResult Resolve(const char* name, uint32_t& address);

// A dotted-quad address such as "127.0.0.1", in network order.
bool ParseDottedQuad(const char* text, uint32_t& address);

// A new IPv4 TCP socket, or kInvalidSocket with the error in error.
SocketHandle CreateTcpSocket(int& error);

enum class BlockingMode { Blocking, NonBlocking };
bool SetBlockingMode(SocketHandle socket, BlockingMode mode);

// 0 when connected, otherwise the error (kSockWouldBlock while a
// non-blocking connect is under way).
int Connect(SocketHandle socket, uint32_t address, uint16_t port);

enum class WaitResult { Ready, TimedOut, Failed };

// Waits until the socket can be written or a pending connect has finished
// (successfully or not). Seconds and microseconds as select takes them.
WaitResult WaitWritable(SocketHandle socket, uint32_t seconds, uint32_t microseconds);
WaitResult WaitReadable(SocketHandle socket, uint32_t seconds, uint32_t microseconds);

// The error a finished non-blocking connect ended with, 0 when it worked.
int PendingError(SocketHandle socket);

// One send or receive call. 0 on success with the byte count in moved,
// otherwise the error. A receive that moved 0 bytes means the peer closed.
// Sends never raise a broken-pipe signal.
int Send(SocketHandle socket, const void* bytes, int length, int& moved);
int Receive(SocketHandle socket, void* bytes, int length, int& moved);
// A send that never waits: kSockWouldBlock, with nothing moved, when the
// socket cannot take bytes now. Where the platform has no such send it
// always answers that way, so the caller waits for the socket first.
int SendNoWait(SocketHandle socket, const void* bytes, int length, int& moved);
// Bounds how long each later blocking Receive waits (ms > 0); one that runs
// out ends with kSockWouldBlock. False where a bounded receive is not
// dependable (the caller then waits for readability before receiving).
bool SetReceiveTimeout(SocketHandle socket, uint32_t ms);

void ShutdownBoth(SocketHandle socket);
void CloseSocket(SocketHandle socket);

// The platform's own message text for a socket error number.
void SocketErrorMessage(int code, char* out, int outSize);

} // namespace plentor::platform
