#include "http/tls/SChannel.h"

#include "base/LogBase.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

namespace plentor {

namespace {

using namespace platform;

// The process-wide provider; set only once it loaded, so a failed load is
// tried again by the next Connect.
SecurityProvider* gProvider = nullptr;

// Replay and sequence detection, confidentiality, provider-allocated output,
// extended errors (alerts to send on failure), stream mode.
constexpr uint32_t kRequestFlags = kIscReplayDetect | kIscSequenceDetect | kIscConfidentiality |
                                   kIscAllocateMemory | kIscExtendedError | kIscStream;
// Room for the largest handshake flights a server sends in one go.
constexpr unsigned kHandshakeAreaBytes = 0x10000;
// The content type of a TLS record that carries an alert.
constexpr unsigned char kAlertRecordType = 0x15;
// A server that stalls mid-handshake is given up on after this long.
constexpr uint32_t kHandshakeReadWaitMs = 15000;
// Longest read wait settable in seconds without overflowing milliseconds.
constexpr int kMaxReadWaitSecs = 5000000 / 1000;

struct NamedId {
    uint32_t id;
    const char* name;
};

constexpr NamedId kProtocolNames[] = {
    {kProtPct1Client, "PCT"},   {kProtSsl2Client, "SSL2"},    {kProtSsl3Client, "SSL3"},
    {kProtTls1Client, "TLS1"},  {kProtTls11Client, "TLS1.1"}, {kProtTls12Client, "TLS1.2"},
    {kProtTls13Client, "TLS1.3"},
};

constexpr NamedId kCipherNames[] = {
    {kAlgDes, "DES"}, {kAlgCylinkMek, "DES"}, {kAlgRc2, "RC2"},
    {kAlgTripleDes, "Triple DES"}, {kAlgSkipjack, "RC4"}, {kAlgRc4, "RC4"},
};

constexpr NamedId kHashNames[] = {{kAlgMd5, "MD5"}, {kAlgSha1, "SHA"}};

constexpr NamedId kKeyExchangeNames[] = {
    {kAlgRsaSign, "RSA"}, {kAlgRsaKeyExchange, "RSA"}, {kAlgDhEphemeral, "DH Ephemeral"}, {kAlgKea, "KEA"},
};

constexpr NamedId kCertErrorNames[] = {
    {kCertExpired, "CERT_E_EXPIRED"},
    {kCertValidityPeriodNesting, "CERT_E_VALIDITYPERIODNESTING"},
    {kCertRole, "CERT_E_ROLE"},
    {kCertPathLenConst, "CERT_E_PATHLENCONST"},
    {kCertCritical, "CERT_E_CRITICAL"},
    {kCertPurpose, "CERT_E_PURPOSE"},
    {kCertIssuerChaining, "CERT_E_ISSUERCHAINING"},
    {kCertMalformed, "CERT_E_MALFORMED"},
    {kCertUntrustedRoot, "CERT_E_UNTRUSTEDROOT"},
    {kCertChaining, "CERT_E_CHAINING"},
    {kTrustFail, "TRUST_E_FAIL"},
    {kCertRevoked, "CERT_E_REVOKED"},
    {kCertUntrustedTestRoot, "CERT_E_UNTRUSTEDTESTROOT"},
    {kCertRevocationFailure, "CERT_E_REVOCATION_FAILURE"},
    {kCertCnNoMatch, "CERT_E_CN_NO_MATCH"},
    {kCertWrongUsage, "CERT_E_WRONG_USAGE"},
};

template <size_t N>
const char* FindName(const NamedId (&table)[N], uint32_t id)
{
    for (const NamedId& row : table) {
        if (row.id == id) return row.name;
    }
    return nullptr;
}

// Logs the name of an id, or the id itself when the table has no name for it.
template <size_t N>
void LogNamedId(LogBase& log, const char* tag, const NamedId (&table)[N], uint32_t id)
{
    if (const char* name = FindName(table, id)) log.LogData(tag, name);
    else log.LogDataLong(tag, id);
}

void LogHex(LogBase& log, const char* tag, uint32_t value)
{
    char text[16];
    std::snprintf(text, sizeof text, "%x", value);
    log.LogData(tag, text);
}

const SecBuffer* FindBuffer(const SecBuffer* buffers, unsigned count, uint32_t type)
{
    for (unsigned i = 0; i < count; ++i) {
        if (buffers[i].type == type) return &buffers[i];
    }
    return nullptr;
}

// Restores the socket's read wait when the handshake is over; the handshake
// waits kHandshakeReadWaitMs per read whatever the caller's setting is.
class ReadWaitRestore {
public:
    explicit ReadWaitRestore(ZentrelSocket& socket) : socket_(socket), saved_(socket.MaxReadWaitMs()) {}
    ~ReadWaitRestore() { socket_.SetMaxReadWaitMs(saved_); }
    ReadWaitRestore(const ReadWaitRestore&) = delete;
    ReadWaitRestore& operator=(const ReadWaitRestore&) = delete;

private:
    ZentrelSocket& socket_;
    uint32_t saved_;
};

// The handshake's own time limit over the socket's reads, for as long as
// the handshake runs.
class HandshakeLimit {
public:
    HandshakeLimit(ZentrelSocket& socket, int seconds) : socket_(socket)
    {
        if (seconds > 0)
            socket_.StartLimit(BufferedReader::Limit::Handshake, static_cast<uint32_t>(seconds) * 1000u,
                               "handshakeTimeLimitSecs");
    }
    ~HandshakeLimit() { socket_.ClearLimit(BufferedReader::Limit::Handshake); }
    HandshakeLimit(const HandshakeLimit&) = delete;
    HandshakeLimit& operator=(const HandshakeLimit&) = delete;

private:
    ZentrelSocket& socket_;
};

} // namespace

SChannel::~SChannel()
{
    Release();
}

void SChannel::SetServerName(const char* host)
{
    serverName_.SetString(host);
}

void SChannel::SetMaxReadWaitSecs(int seconds)
{
    seconds = std::clamp(seconds, 0, kMaxReadWaitSecs);
    socket_.SetMaxReadWaitMs(static_cast<uint32_t>(seconds) * 1000);
}

void SChannel::SetProxy(const char* host, int port)
{
    proxyHost_.SetString(host);
    proxyPort_ = port;
    useProxy_ = !proxyHost_.IsEmpty();
}

bool SChannel::IsConnected() const
{
    return socket_.IsConnected() && context_ != nullptr && !sessionEnded_;
}

// ---- connecting ----

bool SChannel::LoadSecurityLibrary(LogBase& log)
{
    if (gProvider != nullptr) return true;
    ProviderLoadFailure failure = ProviderLoadFailure::None;
    std::string library;
    SecurityProvider* provider = LoadSecurityProvider(failure, library);
    switch (failure) {
    case ProviderLoadFailure::None: break;
    case ProviderLoadFailure::Platform: break;   // no provider for this system; nothing to say
    case ProviderLoadFailure::Library:
        log.LogError("Error loading security library");
        log.LogData("securityLib", library.c_str());
        break;
    case ProviderLoadFailure::Export: log.LogError("Failed to find InitSecurityInterfaceA"); break;
    case ProviderLoadFailure::Table: log.LogError("Error reading security interface."); break;
    }
    if (failure != ProviderLoadFailure::None || provider == nullptr) return false;
    gProvider = provider;
    return true;
}

bool SChannel::Connect(LogBase& log)
{
    if (!LoadSecurityLibrary(log)) return false;
    Release();
    socket_.Close();
    leftover_.Clear();
    sessionEnded_ = false;
    hostNotFound_ = false;
    if (!AcquireCredentials(log)) {
        log.LogError("Error creating credentials");
        return false;
    }
    if (!ConnectSocket(log)) {
        Disconnect();
        return false;
    }
    if (!PerformHandshake(log)) {
        log.LogError("Error performing handshake");
        Disconnect();
        return false;
    }
    if (!AuthenticateServer(log)) {
        Disconnect();
        return false;
    }
    LogConnectionInfo(log);
    log.LogInfo("Secure Channel Established.");
    return true;
}

bool SChannel::AcquireCredentials(LogBase& log)
{
    if (certStore_ == nullptr) {
        certStore_ = gProvider->OpenPersonalStore();
        if (certStore_ == nullptr) {
            log.LogError("CertOpenSystemStore failed");
            return false;
        }
    }
    SecCertificate* clientCert = nullptr;
    if (!clientCertSubject_.IsEmpty()) {
        clientCert = gProvider->FindCertificateBySubject(certStore_, clientCertSubject_.GetString());
        if (clientCert == nullptr) {
            log.LogError("Error returned by CertFindCertificateInStore");
            return false;
        }
    }
    credParams_ = CredentialRequest{};
    credParams_.enabledProtocols = enabledProtocols_;
    credParams_.keyExchangeAlg = keyExchangeAlg_;
    credParams_.flags = kCredNoDefaultCreds | kCredManualValidation;
    credParams_.clientCert = clientCert;
    SecStatus status = gProvider->AcquireCredentials(credParams_, credentials_);
    // A provider without TLS 1.3 may refuse a request that names it rather
    // than leave it out; TLS 1.2 alone is asked for then.
    const uint32_t withoutTls13 = enabledProtocols_ & ~platform::kProtTls13Client;
    if (status != kSecOk && withoutTls13 != enabledProtocols_) {
        char line[96];
        std::snprintf(line, sizeof line, "TLS 1.3 credentials refused (0x%x); falling back to TLS 1.2",
                      static_cast<unsigned>(status));
        log.LogInfo(line);
        credParams_.enabledProtocols = platform::kProtTls12Client;
        status = gProvider->AcquireCredentials(credParams_, credentials_);
    }
    credParams_.clientCert = nullptr;
    gProvider->FreeCertificate(clientCert);
    if (status != kSecOk) {
        credentials_ = nullptr;
        log.LogError("Error returned by AcquireCredentialsHandle");
        return false;
    }
    return true;
}

bool SChannel::ConnectSocket(LogBase& log)
{
    if (!useProxy_) return socket_.Connect(serverName_.GetString(), port_, log, hostNotFound_);
    return socket_.Connect(proxyHost_.GetString(), proxyPort_, log, hostNotFound_) && ProxyTunnel(log);
}

// Asks the proxy for a tunnel to the server. The proxy keeps the connection
// open after its answer, so the answer is read up to its empty line.
bool SChannel::ProxyTunnel(LogBase& log)
{
    StringBuffer request("CONNECT ");
    request.AppendBuffer(serverName_);
    request.AppendChar(':');
    request.AppendInt(port_);
    request.Append(" HTTP/1.0\r\nUser-Agent: Zentrel\r\n\r\n");
    if (!socket_.SendBytes(request.GetString(), static_cast<unsigned>(request.GetLength()), log, nullptr))
        return false;
    DataBuffer reply;
    socket_.ReadUntilBlankLine(reply, log, nullptr);
    if (reply.IsEmpty()) {
        log.LogError("Error receiving message from proxy server");
        return false;
    }
    return true;
}

// ---- handshake ----

bool SChannel::PerformHandshake(LogBase& log)
{
    SecBuffer token{0, kSecBufferToken, nullptr};
    uint32_t granted = 0;
    SecStatus status = gProvider->InitializeContext(credentials_, context_, serverName_.GetString(), kRequestFlags,
                                                    nullptr, 0, &token, 1, granted);
    if (status != kSecContinueNeeded) {
        FreeToken(token);
        LogHex(log, "initialScRet", status);
        log.LogError("Error initializing security context");
        DeleteContext();
        return false;
    }
    if (!SendToken(token, "Error sending data to server in client handshake", log)) {
        DeleteContext();
        return false;
    }
    DataBuffer extra;
    if (!HandshakeLoop(ReadFirst::Yes, extra, log)) return false;
    leftover_.TakeFrom(extra);
    return true;
}

bool SChannel::ReceiveHandshakeBytes(uint8_t* area, unsigned& count, LogBase& log)
{
    socket_.SetMaxReadWaitMs(kHandshakeReadWaitMs);
    unsigned length = kHandshakeAreaBytes - count;
    bool timedOut = false;
    if (!socket_.ReceiveBytes(area + count, length, timedOut, log, nullptr)) {
        log.LogError("Error reading data from server in handshake loop");
        return false;
    }
    count += length;
    return true;
}

// Feeds server handshake messages to the provider and sends its answers
// until the handshake is done. Bytes received after the end of the
// handshake are handed out in extra.
bool SChannel::HandshakeLoop(ReadFirst readFirst, DataBuffer& extra, LogBase& log)
{
    extra.Clear();
    std::unique_ptr<uint8_t[]> area(new (std::nothrow) uint8_t[kHandshakeAreaBytes]);
    if (!area) {
        log.LogError("Failed to allocate memory in client handshake loop");
        return false;
    }
    ReadWaitRestore restore(socket_);
    HandshakeLimit limit(socket_, handshakeLimitSecs_);
    unsigned count = 0;
    bool reading = readFirst == ReadFirst::Yes;
    SecStatus status = kSecContinueNeeded;
    while (status == kSecContinueNeeded || status == kSecIncompleteCredentials || status == kSecIncompleteMessage) {
        if (count == 0 || status == kSecIncompleteMessage) {
            if (!reading) {
                reading = true;
            } else if (!ReceiveHandshakeBytes(area.get(), count, log)) {
                status = kSecInternalError;
                break;
            }
        }
        SecBuffer input[2] = {{count, kSecBufferToken, area.get()}, {0, kSecBufferEmpty, nullptr}};
        SecBuffer token{0, kSecBufferToken, nullptr};
        uint32_t granted = 0;
        status = gProvider->InitializeContext(credentials_, context_, serverName_.GetString(), kRequestFlags, input,
                                              2, &token, 1, granted);
        if (status == kSecInvalidToken) log.LogError("Invalid token.");
        if (status == kSecOk || status == kSecContinueNeeded || (SecFailed(status) && (granted & kIscExtendedError))) {
            if (!SendToken(token, "Error sending data to server (2) in handshake loop", log)) {
                DeleteContext();
                return false;
            }
        }
        FreeToken(token);
        const unsigned extraBytes = input[1].type == kSecBufferExtra ? std::min(input[1].size, count) : 0;
        if (status == kSecIncompleteMessage) continue;
        if (status == kSecOk) {
            extra.AppendBytes(area.get() + count - extraBytes, extraBytes);
            return true;
        }
        if (status == kSecIncompleteCredentials) {
            GetNewClientCredentials(log);
            reading = false;
            continue;
        }
        if (status == kSecContinueNeeded) {
            std::memmove(area.get(), area.get() + count - extraBytes, extraBytes);
            count = extraBytes;
            continue;
        }
        LogHex(log, "scRet", status);
        log.LogError("Aborting because of fatal error");
        break;
    }
    DeleteContext();
    return false;
}

// The server asked for a client certificate: offer the first one from the
// personal store that an issuer it accepts vouches for.
void SChannel::GetNewClientCredentials(LogBase& log)
{
    std::vector<SecCertificate*> candidates;
    if (SecFailed(gProvider->FindClientCertificates(context_, certStore_, candidates))) {
        log.LogError("Error querying issuer list info");
        return;
    }
    if (candidates.empty()) {
        log.LogError("Error finding cert chain");
        return;
    }
    bool replaced = false;
    for (SecCertificate* candidate : candidates) {
        if (!replaced) {
            CredentialRequest request = credParams_;
            request.clientCert = candidate;
            SecCredentials* fresh = nullptr;
            if (gProvider->AcquireCredentials(request, fresh) != kSecOk) {
                log.LogError("Failed to acquire credentials handle for new schannel");
            } else {
                gProvider->FreeCredentials(credentials_);
                credentials_ = fresh;
                replaced = true;
            }
        }
        gProvider->FreeCertificate(candidate);
    }
}

// ---- the server certificate ----

bool SChannel::AuthenticateServer(LogBase& log)
{
    SecCertificate* certificate = nullptr;
    if (SecFailed(gProvider->QueryRemoteCertificate(context_, certificate))) {
        log.LogError("Error querying remote certificate");
        return false;
    }
    constexpr uint32_t kIgnoreNothing = 0;
    const bool verified = VerifyServerCertificate(certificate, kIgnoreNothing, log);
    gProvider->FreeCertificate(certificate);
    if (verified) return true;
    log.LogError("Error authenticating server credentials.");
    return acceptUnverifiedCert_;
}

bool SChannel::VerifyServerCertificate(const SecCertificate* certificate, uint32_t ignoreChecks, LogBase& log)
{
    if (certificate == nullptr) {
        log.LogError("Certificate parameter is null in VerifyServerCertificate");
        return false;
    }
    if (serverName_.IsEmpty()) {
        log.LogError("Server name is empty in VerifyServerCertificate");
        return false;
    }
    uint32_t policyError = 0;
    switch (gProvider->VerifyServerCertificate(certificate, serverName_.GetString(), ignoreChecks, policyError)) {
    case VerifyFailure::None: break;
    case VerifyFailure::OutOfMemory: log.LogError("Out of memory in VerifyServerCertificate"); return false;
    case VerifyFailure::NameConversion:
        log.LogError("MultibyteToWideChar failed in VerifyServerCertificate");
        return false;
    case VerifyFailure::ChainBuild: log.LogError("Error building certificate chain"); return false;
    case VerifyFailure::PolicyEvaluation: log.LogError("Error verifying chain policy"); return false;
    }
    if (policyError == 0) return true;
    const char* name = FindName(kCertErrorNames, policyError);
    log.LogData("WinVerifyTrustError", name != nullptr ? name : "(unknown)");
    char line[32];
    std::snprintf(line, sizeof line, "Status = 0x%x", policyError);
    log.LogError(line);
    return false;
}

void SChannel::LogConnectionInfo(LogBase& log)
{
    ConnectionInfo info;
    if (SecFailed(gProvider->QueryConnectionInfo(context_, info))) {
        log.LogError("Error querying context attributes");
        return;
    }
    LogContext context(log, "ConnectionInfo");
    LogNamedId(log, "protocol", kProtocolNames, info.protocol);
    LogNamedId(log, "cipher", kCipherNames, info.cipher);
    log.LogDataLong("cipherStrength", info.cipherStrength);
    LogNamedId(log, "hash", kHashNames, info.hash);
    log.LogDataLong("hashStrength", info.hashStrength);
    LogNamedId(log, "keyExchange", kKeyExchangeNames, info.keyExchange);
    log.LogDataLong("keyExchangeStrength", info.keyExchangeStrength);
}

// ---- sending ----

bool SChannel::CheckSendReady(LogBase& log)
{
    if (gProvider == nullptr) {
        log.LogError("Cannot send data, security library not loaded");
        return false;
    }
    if (context_ == nullptr) {
        log.LogError("Cannot send data, no context exists");
        return false;
    }
    if (credentials_ == nullptr) {
        log.LogError("Cannot send data, no client credentials exist");
        return false;
    }
    return true;
}

bool SChannel::SendEncrypted(const void* data, unsigned length, LogBase& log)
{
    const auto* next = static_cast<const uint8_t*>(data);
    while (length > 0) {
        const unsigned piece = std::min(length, kMaxRecordPlaintext);
        if (!EncryptAndSend(next, piece, log)) return false;
        next += piece;
        length -= piece;
    }
    return true;
}

bool SChannel::EncryptAndSend(const uint8_t* data, unsigned length, LogBase& log)
{
    if (!CheckSendReady(log)) return false;
    StreamSizes sizes;
    if (SecFailed(gProvider->QueryStreamSizes(context_, sizes))) {
        log.LogError("Error getting stream sizes");
        return false;
    }
    if (length > sizes.maxMessage) {
        log.LogError("Message is too large for secure send");
        return false;
    }
    // One block for every record of the connection: a request is one small
    // record, and a new block per send cost more than its encryption.
    const size_t total = size_t{sizes.header} + sizes.maxMessage + sizes.trailer + 4;
    if (sendBlock_.size() < total) {
        try {
            sendBlock_.resize(total);
        } catch (const std::bad_alloc&) {
            log.LogError("Error allocating memory (3)");
            return false;
        }
    }
    uint8_t* start = sendBlock_.data();
    std::memcpy(start + sizes.header, data, length);
    SecBuffer buffers[4] = {
        {sizes.header, kSecBufferStreamHeader, start},
        {length, kSecBufferData, start + sizes.header},
        {sizes.trailer, kSecBufferStreamTrailer, start + sizes.header + length},
        {0, kSecBufferEmpty, nullptr},
    };
    if (SecFailed(gProvider->EncryptMessage(context_, buffers, 4))) {
        log.LogError("Failed to encrypt secure send request");
        return false;
    }
    const unsigned recordBytes = buffers[0].size + buffers[1].size + buffers[2].size;
    if (!socket_.SendBytes(start, recordBytes, log, nullptr)) {
        log.LogError("Failed to send secure");
        return false;
    }
    return true;
}

// ---- receiving ----

bool SChannel::ReadDecrypted(DataBuffer& out, bool& peerClosed, LogBase& log)
{
    out.Clear();
    peerClosed = false;
    if (!CheckSendReady(log)) return false;
    // The records are read into leftover_, after what the handshake left
    // there, so one buffer serves every read of the connection; whatever a
    // read does not use is dropped, as before.
    const bool ok = ReadRecords(leftover_, out, peerClosed, log);
    leftover_.Clear();
    return ok;
}

bool SChannel::ReadRecords(DataBuffer& working, DataBuffer& out, bool& peerClosed, LogBase& log)
{
    bool haveInput = !working.IsEmpty();
    for (;;) {
        if (!haveInput && !ReceiveMore(working, log)) return false;
        haveInput = false;
        switch (DecryptAvailable(working, out, peerClosed, log)) {
        case DecryptOutcome::Finished: return true;
        case DecryptOutcome::Failed: return false;
        case DecryptOutcome::NeedBytes: break;
        }
    }
}

bool SChannel::ReceiveMore(DataBuffer& working, LogBase& log)
{
    const unsigned before = working.Size();
    if (!socket_.ReceiveSome(working, log, nullptr)) {
        log.LogError("Failed to read SChannel response (3)");
        return false;
    }
    if (working.Size() == before) {
        log.LogError("Failed to read SChannel response (4)");
        return false;
    }
    return true;
}

// Decrypts the whole records of working into out. Finished once working is
// used up and out holds bytes, or when the session ended; NeedBytes while a
// record is incomplete or nothing has come out yet.
SChannel::DecryptOutcome SChannel::DecryptAvailable(DataBuffer& working, DataBuffer& out, bool& peerClosed,
                                                    LogBase& log)
{
    while (!working.IsEmpty()) {
        SecBuffer buffers[4] = {
            {working.Size(), kSecBufferData, working.Data()},
            {0, kSecBufferEmpty, nullptr},
            {0, kSecBufferEmpty, nullptr},
            {0, kSecBufferEmpty, nullptr},
        };
        // Read before the call: the record is decrypted in place.
        const bool alertRecord = working.Data()[0] == kAlertRecordType;
        const SecStatus status = gProvider->DecryptMessage(context_, buffers, 4);
        if (status == kSecIncompleteMessage) return DecryptOutcome::NeedBytes;
        const SecBuffer* plain = FindBuffer(buffers, 4, kSecBufferData);
        // Some providers give a closing alert back as a success with nothing
        // in it rather than as "context expired"; it ends the session all the same.
        const bool emptyAlert = status == kSecOk && alertRecord && (plain == nullptr || plain->size == 0);
        if (status == kSecContextExpired || emptyAlert) {
            log.LogInfo("End of session has been signalled.");
            sessionEnded_ = true;
            peerClosed = true;
            return DecryptOutcome::Finished;
        }
        if (status != kSecOk && status != kSecRenegotiate) {
            log.LogError("Error in DecryptMessage");
            return DecryptOutcome::Failed;
        }
        if (plain != nullptr) out.AppendBytes(plain->data, plain->size);
        const SecBuffer* rest = FindBuffer(buffers, 4, kSecBufferExtra);
        const unsigned restBytes = rest != nullptr ? std::min(rest->size, working.Size()) : 0;
        working.RemoveFirst(working.Size() - restBytes);
        if (status == kSecRenegotiate) {
            log.LogInfo("Server requested renegotiate.");
            DataBuffer extra;
            if (!HandshakeLoop(ReadFirst::No, extra, log)) return DecryptOutcome::Failed;
            working.AppendBuffer(extra);
        }
    }
    return out.IsEmpty() ? DecryptOutcome::NeedBytes : DecryptOutcome::Finished;
}

// ---- closing ----

bool SChannel::ShutdownChannel(LogBase& log)
{
    if (context_ == nullptr) {
        log.LogError("Cannot shutdown channel, no context exists");
        return false;
    }
    if (credentials_ == nullptr) {
        log.LogError("Cannot shutdown channel, no client credentials exist");
        return false;
    }
    if (gProvider == nullptr) {
        log.LogError("Cannot shutdown channel, security library not loaded");
        return false;
    }
    if (SecFailed(gProvider->ApplyShutdown(context_))) {
        log.LogError("Error in ApplyControlToken");
        Release();
        return false;
    }
    SecBuffer token{0, kSecBufferToken, nullptr};
    uint32_t granted = 0;
    SecStatus status = gProvider->InitializeContext(credentials_, context_, serverName_.GetString(), kRequestFlags,
                                                    nullptr, 0, &token, 1, granted);
    if (SecFailed(status)) {
        FreeToken(token);
        log.LogError("Error returned by InitializeSecurityContext");
        Release();
        return false;
    }
    if (!SendToken(token, "Error sending close notify", log)) {
        Release();
        return false;
    }
    Release();
    log.LogInfo("Secure Channel Shutdown.");
    return true;
}

// ---- handles ----

bool SChannel::SendToken(SecBuffer& token, const char* failureText, LogBase& log)
{
    bool sent = true;
    if (token.size > 0 && token.data != nullptr) {
        sent = socket_.SendBytes(token.data, token.size, log, nullptr);
        if (!sent) log.LogError(failureText);
    }
    FreeToken(token);
    return sent;
}

void SChannel::FreeToken(SecBuffer& token)
{
    if (token.data != nullptr && gProvider != nullptr) gProvider->FreeContextBuffer(token.data);
    token.data = nullptr;
    token.size = 0;
}

void SChannel::DeleteContext()
{
    if (context_ != nullptr && gProvider != nullptr) gProvider->DeleteContext(context_);
    context_ = nullptr;
}

void SChannel::Release()
{
    DeleteContext();
    if (credentials_ != nullptr && gProvider != nullptr) gProvider->FreeCredentials(credentials_);
    credentials_ = nullptr;
    if (certStore_ != nullptr && gProvider != nullptr) gProvider->CloseStore(certStore_);
    certStore_ = nullptr;
}

// A connection attempt that failed part way leaves nothing behind either:
// a half-made session must not look connected to the code reusing channels.
void SChannel::Disconnect()
{
    Release();
    socket_.Close();
}

} // namespace plentor
