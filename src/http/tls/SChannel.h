#pragma once

#include "http/net/ZentrelSocket.h"
#include "platform/SecurityProvider.h"
#include "text/DataBuffer.h"
#include "text/StringBuffer.h"

#include <cstdint>
#include <vector>

namespace plentor {

class LogBase;

// HTTPS over one TCP connection: runs the client side of the TLS handshake
// through the platform's security provider, judges the server certificate,
// and carries data as encrypted records. The provider does all the
// cryptography; this class moves its tokens and records over the socket.
class SChannel {
public:
    SChannel() = default;
    virtual ~SChannel();
    SChannel(const SChannel&) = delete;
    SChannel& operator=(const SChannel&) = delete;

    // The host to connect to, which is also the name the certificate must match.
    void SetServerName(const char* host);
    void SetPort(int port) { port_ = port; }
    void SetConnectTimeoutSecs(int seconds) { socket_.SetConnectTimeoutSecs(seconds); }
    void SetMaxReadWaitSecs(int seconds);
    // Keep a connection whose server certificate does not verify (off by
    // default: such a connection fails after the reason is logged).
    void SetAcceptUnverifiedCert(bool accept) { acceptUnverifiedCert_ = accept; }
    // Tunnel through an HTTP proxy with CONNECT.
    void SetProxy(const char* host, int port);
    // Bounds a whole handshake, however the server spaces its bytes out;
    // 0 or fewer seconds: only the wait per read applies.
    void SetHandshakeTimeLimitSecs(int seconds) { handshakeLimitSecs_ = seconds; }
    // Time limits over the reads of a response, applied to the encrypted
    // bytes as they arrive, so a record dripped byte by byte is cut off too.
    void StartLimit(BufferedReader::Limit which, uint32_t ms, const char* name) { socket_.StartLimit(which, ms, name); }
    void ClearLimit(BufferedReader::Limit which) { socket_.ClearLimit(which); }
    // Subject text of a client certificate from the personal store; empty for none.
    void SetClientCertSubject(const char* subject) { clientCertSubject_.SetString(subject); }

    // Connects, handshakes and judges the certificate; always starts afresh.
    bool Connect(LogBase& log);
    // True while the TCP connection is up and carries an open TLS session.
    bool IsConnected() const;
    // True when the last Connect failed because the host name did not resolve.
    bool HostNotFound() const { return hostNotFound_; }

    // Sends data as records of at most kMaxRecordPlaintext bytes; length 0 succeeds at once.
    bool SendEncrypted(const void* data, unsigned length, LogBase& log);
    // The next decrypted bytes; true with at least one byte, or with
    // peerClosed set when the server ended the session.
    bool ReadDecrypted(DataBuffer& out, bool& peerClosed, LogBase& log);
    // Sends the closing alert and releases the session; the socket stays open.
    bool ShutdownChannel(LogBase& log);
    // Releases the session, if any, and closes the TCP connection.
    void Disconnect();

    // Plaintext bytes per outgoing record.
    static constexpr unsigned kMaxRecordPlaintext = 16000;
    // Default bound of a whole handshake; a single read waits at most 15 s.
    static constexpr int kHandshakeTimeLimitSecs = 30;

private:
    enum class ReadFirst { Yes, No };
    enum class DecryptOutcome { NeedBytes, Finished, Failed };

    bool LoadSecurityLibrary(LogBase& log);
    bool AcquireCredentials(LogBase& log);
    bool ConnectSocket(LogBase& log);
    bool ProxyTunnel(LogBase& log);
    bool PerformHandshake(LogBase& log);
    bool HandshakeLoop(ReadFirst readFirst, DataBuffer& extra, LogBase& log);
    bool ReceiveHandshakeBytes(uint8_t* area, unsigned& count, LogBase& log);
    void GetNewClientCredentials(LogBase& log);
    bool AuthenticateServer(LogBase& log);
    bool VerifyServerCertificate(const platform::SecCertificate* certificate, uint32_t ignoreChecks, LogBase& log);
    void LogConnectionInfo(LogBase& log);
    bool CheckSendReady(LogBase& log);
    bool EncryptAndSend(const uint8_t* data, unsigned length, LogBase& log);
    bool ReceiveMore(DataBuffer& working, LogBase& log);
    bool ReadRecords(DataBuffer& working, DataBuffer& out, bool& peerClosed, LogBase& log);
    DecryptOutcome DecryptAvailable(DataBuffer& working, DataBuffer& out, bool& peerClosed, LogBase& log);
    bool SendToken(platform::SecBuffer& token, const char* failureText, LogBase& log);
    void FreeToken(platform::SecBuffer& token);
    void DeleteContext();
    void Release();

    StringBuffer serverName_;
    int port_ = 443;
    bool useProxy_ = false;
    StringBuffer proxyHost_;
    int proxyPort_ = 80;
    StringBuffer clientCertSubject_;
    DataBuffer leftover_;        // encrypted bytes that came with the end of the handshake; then each read's
    std::vector<uint8_t> sendBlock_;   // where records are encrypted
    uint32_t enabledProtocols_ = platform::kProtTls12Client | platform::kProtTls13Client;
    uint32_t keyExchangeAlg_ = 0;   // 0: any key exchange
    int handshakeLimitSecs_ = kHandshakeTimeLimitSecs;
    bool acceptUnverifiedCert_ = false;
    bool hostNotFound_ = false;
    bool sessionEnded_ = false;  // the server sent its closing alert
    ZentrelSocket socket_;
    platform::SecCredentials* credentials_ = nullptr;
    platform::SecContext* context_ = nullptr;
    platform::SecCertStore* certStore_ = nullptr;
    platform::CredentialRequest credParams_;
};

} // namespace plentor
