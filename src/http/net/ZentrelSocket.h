#pragma once

#include "http/net/BufferedReader.h"
#include "platform/Sockets.h"

#include <cstdint>

namespace plentor {

class DataBuffer;
class LogBase;
class ProgressMonitor;

// A blocking TCP client connection: name lookup with fallbacks, connect with
// a time limit, chunked sends and receives with a wait limit. Bytes read
// ahead by the header and line readers stay in `pending` for the next read.
class ZentrelSocket : public BufferedReader {
public:
    ZentrelSocket() = default;
    ~ZentrelSocket() override;
    ZentrelSocket(const ZentrelSocket&) = delete;
    ZentrelSocket& operator=(const ZentrelSocket&) = delete;

    // True when connected; hostNotFound tells a failed name lookup apart.
    bool Connect(const char* host, int port, LogBase& log, bool& hostNotFound);
    void Close();
    bool IsConnected() const { return connected_; }

    void SetConnectTimeoutSecs(int seconds) { connectTimeoutSecs_ = seconds; }
    int ConnectTimeoutSecs() const { return connectTimeoutSecs_; }
    void SetMaxReadWaitMs(uint32_t ms);
    uint32_t MaxReadWaitMs() const { return maxReadWaitMs_; }
    int LastSendError() const { return lastSendError_; }

    bool WaitWritable(uint32_t seconds, LogBase& log);
    bool SendBytes(const void* data, unsigned length, LogBase& log, ProgressMonitor* monitor);
    // Sends right away when the socket takes the bytes; only a socket that
    // does not is waited on, up to seconds (notWritable tells when that
    // wait failed), before the rest is sent as SendBytes does.
    bool SendWhenWritable(const void* data, unsigned length, uint32_t seconds, LogBase& log, bool& notWritable);
    bool WaitForData(uint32_t maxWaitMs, LogBase& log, ProgressMonitor* monitor);

    // How many receive calls reached the system since construction.
    uint32_t SystemReceiveCount() const { return systemReceives_; }

    // Resolves a host name, retrying with a cleaned-up name and with "www.".
    static platform::ResolveResult ResolveHost(const char* name, uint32_t& address);

protected:
    bool ReceiveOnce(void* buffer, unsigned length, unsigned& got, bool& timedOut, LogBase& log,
                     ProgressMonitor* monitor) override;

private:
    bool ConnectAttempt(const char* host, int port, LogBase& log, bool& hostNotFound);
    bool LookUpAddress(const char* host, uint32_t& address, LogBase& log, bool& hostNotFound);
    bool ConnectWithWait(uint32_t address, uint16_t port, LogBase& log);
    int WaitForConnect(LogBase& log);
    bool WaitReadable(uint32_t ms, bool& failed, LogBase& log, ProgressMonitor* monitor);
    void DropConnection();
    // Makes the next receives wait at most ms on their own; false when the
    // platform cannot, and a wait for readability must come first.
    bool BoundReceive(uint32_t ms);
    void ReceiveTimedOut(bool& timedOut, LogBase& log) const;

    bool connected_ = false;
    platform::SocketHandle handle_ = platform::kInvalidSocket;
    uint32_t maxReadWaitMs_ = 30000;
    int connectTimeoutSecs_ = 7;
    int lastSendError_ = 0;
    uint32_t systemReceives_ = 0;
    uint32_t receiveBoundMs_ = 0;   // the receive bound set on handle_; 0: none yet
};

} // namespace plentor
