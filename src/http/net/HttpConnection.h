#pragma once

#include "http/net/ZentrelSocket.h"
#include "http/tls/SChannel.h"
#include "http/tls/TlsReader.h"

#include <cstdint>

namespace plentor {

class LogBase;

// One connection of the engine, plain or TLS: the engine writes requests
// and reads responses through it without caring which. A plain connection
// is a ZentrelSocket; a TLS one is an SChannel with the same readers over
// its decrypted data.
class HttpConnection {
public:
    HttpConnection() = default;
    HttpConnection(const HttpConnection&) = delete;
    HttpConnection& operator=(const HttpConnection&) = delete;

    // Chooses plain or TLS for the next Connect; a live connection of the
    // other kind is closed first.
    void SetTls(bool tls);
    bool IsTls() const { return tls_; }
    // A TLS server whose certificate does not verify is still accepted.
    void SetAcceptUnverifiedCert(bool accept) { channel_.SetAcceptUnverifiedCert(accept); }

    void SetConnectTimeoutSecs(int seconds);
    void SetMaxReadWaitMs(uint32_t ms);

    bool Connect(const char* host, int port, LogBase& log, bool& hostNotFound);
    bool IsConnected() const { return tls_ ? channel_.IsConnected() : socket_.IsConnected(); }
    // Drops the connection (a TLS session gets its closing alert first).
    void Close();

    bool WaitWritable(uint32_t seconds, LogBase& log);
    bool SendBytes(const void* data, unsigned length, LogBase& log);
    // A request on a kept-alive connection: sent at once when the socket
    // takes it, otherwise after waiting up to seconds for the socket to take
    // bytes; notWritable tells that the connection could not take it at all.
    bool SendRequest(const void* data, unsigned length, uint32_t seconds, LogBase& log, bool& notWritable);

    // The reading half of the connection: the socket's own readers, or those
    // over the channel's decrypted data.
    BufferedReader& Reader() { return tls_ ? static_cast<BufferedReader&>(tlsReader_) : socket_; }

    // Time limits over the reads of one response (see BufferedReader); 0 or
    // fewer seconds: none.
    void StartLimit(BufferedReader::Limit which, int seconds, const char* name);
    void ClearLimit(BufferedReader::Limit which);
    void ClearLimits();

private:
    bool tls_ = false;
    int connectTimeoutSecs_ = 10;
    ZentrelSocket socket_;
    SChannel channel_;
    TlsReader tlsReader_{channel_};
};

} // namespace plentor
