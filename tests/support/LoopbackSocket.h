#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

namespace plentor::testsupport {

// A TCP socket on 127.0.0.1 for the test peers: a listener on a free port,
// a connection it accepted, or a connection to a port. Blocking waits look
// at Shutdown() every few milliseconds, so another thread can always end
// them, on every platform.
class LoopbackSocket {
public:
    // Waits without a time limit.
    static constexpr int kNoLimit = -1;

    LoopbackSocket() = default;
    ~LoopbackSocket();
    LoopbackSocket(const LoopbackSocket&) = delete;
    LoopbackSocket& operator=(const LoopbackSocket&) = delete;

    // A port the system has just found free on 127.0.0.1, with nothing
    // listening on it (0 when none).
    static int FreePort();

    // Listens on 127.0.0.1 at a free port.
    bool Listen(int backlog = 16);
    // Takes the next connection of a listener; false when none came within
    // timeoutMs or the listener was shut down.
    bool Accept(LoopbackSocket& listener, int timeoutMs = kNoLimit);
    // Connects to 127.0.0.1:port.
    bool Connect(int port);

    bool Valid() const;
    // The local port.
    int Port() const;
    // Sends small writes at once (TCP_NODELAY).
    void SetNoDelay();

    // True when every byte was sent; false when the peer went away.
    bool SendAll(const std::string& bytes);
    // Up to size bytes: the count, 0 when the peer closed or this socket was
    // shut down, -1 on a failure or when nothing came within timeoutMs.
    long Receive(char* buffer, size_t size, int timeoutMs = kNoLimit);
    // True when a read would not block, within timeoutMs.
    bool WaitReadable(int timeoutMs);
    // Ends both directions and wakes a thread waiting in Accept or Receive.
    // Safe from another thread.
    void Shutdown();
    void Close();

private:
    bool WaitReadableSlice(int timeoutMs);

    std::intptr_t handle_ = -1;   // the descriptor (a SOCKET on Windows)
    std::atomic<bool> shut_{false};
};

} // namespace plentor::testsupport
