#pragma once

// A loopback HTTP peer for client tests: listens on 127.0.0.1 at a free port
// and runs one script per accepted connection, in order, on its own thread.
// Every request it reads (header and body) is recorded for the test to look at.

#include "support/LoopbackSocket.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cctype>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace plentor::testsupport {

class ScriptedServer;

// One accepted connection as a script sees it.
class ScriptedConnection {
public:
    ScriptedConnection(testsupport::LoopbackSocket& socket, ScriptedServer& server) : socket_(socket), server_(server) {}

    // Reads one request (header, then a Content-Length body) and records it.
    // Empty when the client closed first.
    std::string ReadRequest();

    // False once the client has gone away.
    bool Send(const std::string& bytes) { return socket_.SendAll(bytes); }

    // The next bytes the client sent, whatever they are (a TLS hello, say);
    // empty when the client closed first.
    std::string ReadSome()
    {
        if (buffer_.empty() && !Fill()) return std::string();
        std::string bytes;
        bytes.swap(buffer_);
        return bytes;
    }

    // Blocks until the client closes its end.
    void WaitForClose()
    {
        char sink[4096];
        while (socket_.Receive(sink, sizeof sink) > 0) {
        }
    }

private:
    bool Fill()
    {
        char block[4096];
        const long n = socket_.Receive(block, sizeof block);
        if (n <= 0) return false;
        buffer_.append(block, static_cast<size_t>(n));
        return true;
    }

    static size_t ContentLength(const std::string& head)
    {
        static const std::string kName = "\ncontent-length:";
        std::string lower(head);
        std::transform(lower.begin(), lower.end(), lower.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        const size_t at = lower.find(kName);
        return at == std::string::npos ? 0 : std::strtoul(head.c_str() + at + kName.size(), nullptr, 10);
    }

    testsupport::LoopbackSocket& socket_;
    ScriptedServer& server_;
    std::string buffer_;
};

class ScriptedServer {
public:
    using Script = std::function<void(ScriptedConnection&)>;

    explicit ScriptedServer(std::vector<Script> scripts) : scripts_(std::move(scripts))
    {
        listener_.Listen();
        port_ = listener_.Port();
        thread_ = std::thread([this] { Run(); });
    }

    // Bounded even when a test still holds a connection open: shutting the
    // active connection down wakes a script blocked in a read.
    ~ScriptedServer()
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stopping_ = true;
            if (active_ != nullptr) active_->Shutdown();
        }
        listener_.Shutdown();   // wakes an accept that never got a client
        thread_.join();
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
            testsupport::LoopbackSocket client;
            if (!client.Accept(listener_)) return;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                if (stopping_) return;
                active_ = &client;
            }
            ++connections_;
            client.SetNoDelay();
            ScriptedConnection connection(client, *this);
            script(connection);
            std::lock_guard<std::mutex> lock(mutex_);
            active_ = nullptr;
        }
    }

    std::vector<Script> scripts_;
    testsupport::LoopbackSocket listener_;
    int port_ = 0;
    std::atomic<int> connections_{0};
    mutable std::mutex mutex_;
    std::vector<std::string> requests_;
    bool stopping_ = false;   // guarded by mutex_
    testsupport::LoopbackSocket* active_ = nullptr;   // the connection a script is running on; guarded by mutex_
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

// The URL of path on the server.
inline std::string UrlOf(const ScriptedServer& server, const std::string& path = "/")
{
    return "http://127.0.0.1:" + std::to_string(server.Port()) + path;
}

// A script that answers one request with fixed bytes and hangs up.
inline ScriptedServer::Script ReplyOnce(std::string bytes)
{
    return [bytes](ScriptedConnection& c) {
        c.ReadRequest();
        c.Send(bytes);
    };
}

// After the request: first, then drip again every 100 ms for as long as the
// client listens (a minute at most).
inline ScriptedServer::Script Drip(std::string first, std::string drip)
{
    return [first, drip](ScriptedConnection& c) {
        c.ReadRequest();
        if (!c.Send(first)) return;
        for (int i = 0; i < 600 && c.Send(drip); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
    };
}

// After the request: head, then the same block again and again for as long
// as the client reads.
inline ScriptedServer::Script Endless(std::string head, std::string block)
{
    return [head, block](ScriptedConnection& c) {
        c.ReadRequest();
        if (!c.Send(head)) return;
        for (int i = 0; i < 100000 && c.Send(block); ++i) {
        }
    };
}

} // namespace plentor::testsupport
