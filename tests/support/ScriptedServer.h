#pragma once

// A loopback HTTP peer for client tests: listens on 127.0.0.1 at a free port
// and runs one script per accepted connection, in order, on its own thread.
// Every request it reads (header and body) is recorded for the test to look at.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <string>
#include <strings.h>
#include <thread>
#include <utility>
#include <vector>

namespace plentor::testing {

class ScriptedServer;

// One accepted connection as a script sees it.
class ScriptedConnection {
public:
    ScriptedConnection(int fd, ScriptedServer& server) : fd_(fd), server_(server) {}

    // Reads one request (header, then a Content-Length body) and records it.
    // Empty when the client closed first.
    std::string ReadRequest();

    void Send(const std::string& bytes)
    {
        size_t sent = 0;
        while (sent < bytes.size()) {
            ssize_t n = ::send(fd_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
            if (n <= 0) return;   // the client went away
            sent += static_cast<size_t>(n);
        }
    }

    // Blocks until the client closes its end.
    void WaitForClose()
    {
        char sink[4096];
        while (::recv(fd_, sink, sizeof sink, 0) > 0) {
        }
    }

private:
    bool Fill()
    {
        char block[4096];
        ssize_t n = ::recv(fd_, block, sizeof block, 0);
        if (n <= 0) return false;
        buffer_.append(block, static_cast<size_t>(n));
        return true;
    }

    static size_t ContentLength(const std::string& head)
    {
        static constexpr char kName[] = "\ncontent-length:";
        for (size_t i = 0; i + sizeof kName - 1 <= head.size(); ++i) {
            if (::strncasecmp(head.c_str() + i, kName, sizeof kName - 1) == 0)
                return std::strtoul(head.c_str() + i + sizeof kName - 1, nullptr, 10);
        }
        return 0;
    }

    int fd_;
    ScriptedServer& server_;
    std::string buffer_;
};

class ScriptedServer {
public:
    using Script = std::function<void(ScriptedConnection&)>;

    explicit ScriptedServer(std::vector<Script> scripts) : scripts_(std::move(scripts))
    {
        listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(listener_, 16);
        socklen_t size = sizeof address;
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size);
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { Run(); });
    }

    // Bounded even when a test still holds a connection open: shutting the
    // active connection down wakes a script blocked in a read.
    ~ScriptedServer()
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stopping_ = true;
            if (active_ >= 0) ::shutdown(active_, SHUT_RDWR);
        }
        ::shutdown(listener_, SHUT_RDWR);   // wakes an accept that never got a client
        thread_.join();
        ::close(listener_);
    }

    ScriptedServer(const ScriptedServer&) = delete;
    ScriptedServer& operator=(const ScriptedServer&) = delete;

    int Port() const { return port_; }
    int Connections() const { return connections_.load(); }

    std::vector<std::string> Requests() const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return requests_;
    }

    void Record(std::string request)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        requests_.push_back(std::move(request));
    }

private:
    void Run()
    {
        for (Script& script : scripts_) {
            int fd = ::accept(listener_, nullptr, nullptr);
            if (fd < 0) return;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                if (stopping_) {
                    ::close(fd);
                    return;
                }
                active_ = fd;
            }
            ++connections_;
            int one = 1;
            ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
            ScriptedConnection connection(fd, *this);
            script(connection);
            {
                std::lock_guard<std::mutex> lock(mutex_);
                active_ = -1;
            }
            ::close(fd);
        }
    }

    std::vector<Script> scripts_;
    int listener_ = -1;
    int port_ = 0;
    std::atomic<int> connections_{0};
    mutable std::mutex mutex_;
    std::vector<std::string> requests_;
    bool stopping_ = false;   // guarded by mutex_
    int active_ = -1;         // the connection a script is running on; guarded by mutex_
    std::thread thread_;
};

inline std::string ScriptedConnection::ReadRequest()
{
    size_t end;
    while ((end = buffer_.find("\r\n\r\n")) == std::string::npos) {
        if (!Fill()) return std::string();
    }
    const size_t total = end + 4 + ContentLength(buffer_.substr(0, end + 2));
    while (buffer_.size() < total) {
        if (!Fill()) break;
    }
    std::string request = buffer_.substr(0, std::min(total, buffer_.size()));
    buffer_.erase(0, request.size());
    server_.Record(request);
    return request;
}

// A complete response with a Content-Length body.
inline std::string LengthResponse(const std::string& body, const std::string& status = "200 OK",
                                  const std::string& fields = "")
{
    return "HTTP/1.1 " + status + "\r\n" + fields + "Content-Length: " + std::to_string(body.size()) +
           "\r\n\r\n" + body;
}

} // namespace plentor::testing
