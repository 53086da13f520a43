#include "http/net/HttpConnection.h"

#include "base/LogBase.h"
#include "base/LogNull.h"

namespace plentor {

namespace {

constexpr uint32_t kMsPerSec = 1000;

} // namespace

void HttpConnection::SetTls(bool tls)
{
    if (tls == tls_) return;
    Close();
    tls_ = tls;
}

void HttpConnection::SetConnectTimeoutSecs(int seconds)
{
    connectTimeoutSecs_ = seconds;
    socket_.SetConnectTimeoutSecs(seconds);
    channel_.SetConnectTimeoutSecs(seconds);
}

void HttpConnection::SetMaxReadWaitMs(uint32_t ms)
{
    socket_.SetMaxReadWaitMs(ms);
    // The channel counts in whole seconds; round up so a short wait never
    // becomes no wait.
    channel_.SetMaxReadWaitSecs(static_cast<int>((ms + kMsPerSec - 1) / kMsPerSec));
}

bool HttpConnection::Connect(const char* host, int port, LogBase& log, bool& hostNotFound)
{
    hostNotFound = false;
    if (!tls_) return socket_.Connect(host, port, log, hostNotFound);
    tlsReader_.Reset();
    channel_.SetServerName(host);
    channel_.SetPort(port);
    const bool ok = channel_.Connect(log);
    hostNotFound = !ok && channel_.HostNotFound();
    return ok;
}

void HttpConnection::Close()
{
    socket_.Close();
    if (channel_.IsConnected()) {
        LogNull quiet;   // nothing to report to anyone once the connection is dropped
        channel_.ShutdownChannel(quiet);
    }
    channel_.Disconnect();
    tlsReader_.Reset();
}

bool HttpConnection::WaitWritable(uint32_t seconds, LogBase& log)
{
    if (tls_) return channel_.IsConnected();
    return socket_.WaitWritable(seconds, log);
}

bool HttpConnection::SendBytes(const void* data, unsigned length, LogBase& log)
{
    if (tls_) return channel_.SendEncrypted(data, length, log);
    return socket_.SendBytes(data, length, log, nullptr);
}

bool HttpConnection::SendRequest(const void* data, unsigned length, uint32_t seconds, LogBase& log,
                                 bool& notWritable)
{
    if (!tls_) return socket_.SendWhenWritable(data, length, seconds, log, notWritable);
    notWritable = !channel_.IsConnected();
    return !notWritable && channel_.SendEncrypted(data, length, log);
}

// Over TLS a limit holds twice: between reads of decrypted data, and on
// the channel's socket, where a single record may take many reads.
void HttpConnection::StartLimit(BufferedReader::Limit which, int seconds, const char* name)
{
    if (seconds <= 0) {
        ClearLimit(which);
        return;
    }
    const uint32_t ms = static_cast<uint32_t>(seconds) * kMsPerSec;
    Reader().StartLimit(which, ms, name);
    if (tls_) channel_.StartLimit(which, ms, name);
}

void HttpConnection::ClearLimit(BufferedReader::Limit which)
{
    Reader().ClearLimit(which);
    channel_.ClearLimit(which);
}

void HttpConnection::ClearLimits()
{
    ClearLimit(BufferedReader::Limit::Header);
    ClearLimit(BufferedReader::Limit::Response);
}

} // namespace plentor
