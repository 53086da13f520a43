#include "support/TlsPeer.h"

#include <openssl/err.h>
#include <openssl/ssl.h>

#include <strings.h>

#include <cstdlib>

namespace plentor::testsupport {

namespace {

// Long enough for any loopback exchange, short enough that a script waiting
// on a client that went wrong ends soon.
constexpr int kReadTimeoutMs = 5000;
constexpr size_t kIoBlock = 16384;
constexpr size_t kMaxRecordPlaintext = 16384;

std::string OpenSslFailureText()
{
    unsigned long code = ERR_peek_last_error();
    const char* reason = code != 0 ? ERR_reason_error_string(code) : nullptr;
    ERR_clear_error();
    return reason != nullptr ? reason : "failed";
}

int OpenSslVersion(TlsVersion version)
{
    switch (version) {
    case TlsVersion::Tls11: return TLS1_1_VERSION;
    case TlsVersion::Tls12: return TLS1_2_VERSION;
    case TlsVersion::Tls13: return TLS1_3_VERSION;
    case TlsVersion::Default: break;
    }
    return 0;
}

// The request's Content-Length, or 0.
size_t ContentLength(const std::string& head)
{
    static const std::string kName = "\r\ncontent-length:";
    for (size_t i = 0; i + kName.size() <= head.size(); ++i) {
        if (::strncasecmp(head.c_str() + i, kName.c_str(), kName.size()) == 0)
            return std::strtoul(head.c_str() + i + kName.size(), nullptr, 10);
    }
    return 0;
}

} // namespace

TlsPeerConnection::TlsPeerConnection(LoopbackSocket& socket, SSL* ssl) : socket_(socket), ssl_(ssl)
{
    in_ = BIO_new(BIO_s_mem());
    out_ = BIO_new(BIO_s_mem());
    BIO_set_mem_eof_return(in_, -1);
    BIO_set_mem_eof_return(out_, -1);
    SSL_set_bio(ssl_, in_, out_);
    SSL_set_accept_state(ssl_);
}

TlsPeerConnection::~TlsPeerConnection()
{
    SSL_free(ssl_);
}

bool TlsPeerConnection::Flush()
{
    char block[kIoBlock];
    int n;
    while ((n = BIO_read(out_, block, sizeof block)) > 0) {
        if (!SendRaw(std::string(block, static_cast<size_t>(n)))) return false;
    }
    return true;
}

bool TlsPeerConnection::Fill()
{
    if (raw_.empty()) {
        char block[kIoBlock];
        const long n = socket_.Receive(block, sizeof block, kReadTimeoutMs);
        if (n <= 0) return false;
        raw_.assign(block, static_cast<size_t>(n));
    }
    BIO_write(in_, raw_.data(), static_cast<int>(raw_.size()));
    raw_.clear();
    return true;
}

void TlsPeerConnection::NoteFailure()
{
    failure_ = OpenSslFailureText();
}

bool TlsPeerConnection::ReadRawUntil(const std::string& terminator, std::string& out)
{
    size_t end;
    while ((end = raw_.find(terminator)) == std::string::npos) {
        char block[kIoBlock];
        const long n = socket_.Receive(block, sizeof block, kReadTimeoutMs);
        if (n <= 0) return false;
        raw_.append(block, static_cast<size_t>(n));
    }
    out = raw_.substr(0, end + terminator.size());
    raw_.erase(0, out.size());
    return true;
}

bool TlsPeerConnection::ReadRaw(std::string& out)
{
    out.swap(raw_);
    raw_.clear();
    if (!out.empty()) return true;
    char block[kIoBlock];
    const long n = socket_.Receive(block, sizeof block, kReadTimeoutMs);
    if (n <= 0) return false;
    out.assign(block, static_cast<size_t>(n));
    return true;
}

bool TlsPeerConnection::SendRaw(const std::string& bytes)
{
    return socket_.SendAll(bytes);
}

bool TlsPeerConnection::Handshake(const std::string& appData)
{
    for (;;) {
        int rc = SSL_do_handshake(ssl_);
        if (rc == 1) break;
        if (SSL_get_error(ssl_, rc) != SSL_ERROR_WANT_READ) {
            NoteFailure();
            Flush();   // an alert telling the client why
            return false;
        }
        if (!Flush() || !Fill()) return false;
    }
    if (!appData.empty() && SSL_write(ssl_, appData.data(), static_cast<int>(appData.size())) <= 0) {
        NoteFailure();
        return false;
    }
    return Flush();
}

bool TlsPeerConnection::ReadRecord(std::string& plaintext)
{
    char block[kMaxRecordPlaintext];
    for (;;) {
        int rc = SSL_read(ssl_, block, sizeof block);
        if (rc > 0) {
            plaintext.assign(block, static_cast<size_t>(rc));
            return true;
        }
        int error = SSL_get_error(ssl_, rc);
        if (error == SSL_ERROR_ZERO_RETURN) {
            closeNotify_ = true;
            return false;
        }
        if (error != SSL_ERROR_WANT_READ) {
            NoteFailure();
            return false;
        }
        if (!Flush() || !Fill()) return false;
    }
}

bool TlsPeerConnection::ReadRequest(std::string& request, std::vector<size_t>* recordSizes)
{
    request.clear();
    size_t end;
    while ((end = request.find("\r\n\r\n")) == std::string::npos ||
           request.size() < end + 4 + ContentLength(request.substr(0, end + 2))) {
        std::string record;
        if (!ReadRecord(record)) return false;
        if (recordSizes != nullptr) recordSizes->push_back(record.size());
        request += record;
    }
    return true;
}

void TlsPeerConnection::DrainUntilClosed()
{
    std::string record;
    while (ReadRecord(record)) {
    }
}

bool TlsPeerConnection::Send(const std::string& plaintext)
{
    if (SSL_write(ssl_, plaintext.data(), static_cast<int>(plaintext.size())) <= 0) {
        NoteFailure();
        return false;
    }
    return Flush();
}

// The hello request goes out at once; the client's new handshake is then
// answered inside the reads until it is complete.
bool TlsPeerConnection::Renegotiate()
{
    if (SSL_renegotiate(ssl_) != 1 || SSL_do_handshake(ssl_) != 1 || !Flush()) {
        NoteFailure();
        return false;
    }
    char block[kMaxRecordPlaintext];
    while (SSL_renegotiate_pending(ssl_)) {
        int rc = SSL_read(ssl_, block, sizeof block);
        if (rc > 0) continue;   // the client has nothing to say meanwhile
        if (SSL_get_error(ssl_, rc) != SSL_ERROR_WANT_READ) {
            NoteFailure();
            return false;
        }
        if (!Flush()) return false;
        if (SSL_renegotiate_pending(ssl_) && !Fill()) return false;
    }
    return Flush();
}

void TlsPeerConnection::SendCloseNotify()
{
    SSL_shutdown(ssl_);
    Flush();
}

TlsPeer::TlsPeer(std::vector<Script> scripts, TlsPeerOptions options)
    : scripts_(std::move(scripts)), dir_("plentor-tls-", TempDirectory::Place::SharedWithUnix), certs_(dir_.Path())
{
    if (!Setup(options)) return;
    thread_ = std::thread([this] { Run(); });
}

TlsPeer::~TlsPeer()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
        if (active_ != nullptr) active_->Shutdown();
    }
    listener_.Shutdown();   // wakes an accept that never got a client
    Join();
    SSL_CTX_free(ctx_);
}

void TlsPeer::Join()
{
    if (thread_.joinable()) thread_.join();
}

bool TlsPeer::Setup(const TlsPeerOptions& options)
{
    CertFiles cert;
    if (dir_.Path().empty()) {
        error_ = "cannot make a temp dir";
        return false;
    }
    if (!certs_.MakeLocalhost(cert)) {
        error_ = certs_.Error();
        return false;
    }
    ctx_ = SSL_CTX_new(TLS_server_method());
    if (ctx_ == nullptr || SSL_CTX_use_certificate_chain_file(ctx_, cert.certFile.c_str()) != 1 ||
        SSL_CTX_use_PrivateKey_file(ctx_, cert.keyFile.c_str(), SSL_FILETYPE_PEM) != 1) {
        error_ = "server context: " + OpenSslFailureText();
        return false;
    }
    const int minVersion = OpenSslVersion(options.minVersion);
    // Old protocol versions need the lowest security level to be offered at all.
    if (minVersion != 0 && minVersion < TLS1_2_VERSION) SSL_CTX_set_security_level(ctx_, 0);
    SSL_CTX_set_min_proto_version(ctx_, minVersion);
    SSL_CTX_set_max_proto_version(ctx_, OpenSslVersion(options.maxVersion));
    if (!listener_.Listen()) {
        error_ = "cannot listen on loopback";
        return false;
    }
    port_ = listener_.Port();
    return true;
}

void TlsPeer::Run()
{
    for (Script& script : scripts_) {
        LoopbackSocket connection;
        if (!connection.Accept(listener_)) return;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (stopping_) return;
            active_ = &connection;
        }
        connection.SetNoDelay();
        {
            TlsPeerConnection tls(connection, SSL_new(ctx_));
            script(tls);
        }
        std::lock_guard<std::mutex> lock(mutex_);
        active_ = nullptr;
    }
}

} // namespace plentor::testsupport
