#pragma once

#include "support/LoopbackSocket.h"
#include "support/TempDirectory.h"
#include "support/TestCertificates.h"

#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// The TLS library's types, known here by name only: the peer is built on
// OpenSSL, which the Windows build of the suite does not have (there
// TlsPeer is a stand-in that reports itself unavailable).
struct ssl_st;
struct ssl_ctx_st;
struct bio_st;

namespace plentor::testsupport {

// One accepted connection of a TlsPeer, as its script drives it. The TLS
// server runs over memory buffers, so the script decides exactly which
// bytes leave together in one send.
class TlsPeerConnection {
public:
    TlsPeerConnection(LoopbackSocket& socket, ssl_st* ssl);
    ~TlsPeerConnection();
    TlsPeerConnection(const TlsPeerConnection&) = delete;
    TlsPeerConnection& operator=(const TlsPeerConnection&) = delete;

    // Plain bytes before any TLS, as a proxy would exchange them.
    bool ReadRawUntil(const std::string& terminator, std::string& out);
    // What one receive delivers; false when the client closed.
    bool ReadRaw(std::string& out);
    bool SendRaw(const std::string& bytes);

    // Completes the server handshake. appData, when given, is encrypted and
    // leaves in the same send as the last handshake message.
    bool Handshake(const std::string& appData = "");
    // Plaintext of the next application record; false when the client closed
    // (ReceivedCloseNotify tells whether with the closing alert) or failed.
    bool ReadRecord(std::string& plaintext);
    // Records up to a complete request (header, then a Content-Length body);
    // the plaintext size of each record read is appended to recordSizes.
    bool ReadRequest(std::string& request, std::vector<size_t>* recordSizes = nullptr);
    // Reads records until the client's closing alert or the end of the connection.
    void DrainUntilClosed();
    // One SSL write (one record up to 16384 bytes), sent at once.
    bool Send(const std::string& plaintext);
    // Asks the client for a new handshake and completes it.
    bool Renegotiate();
    void SendCloseNotify();

    bool ReceivedCloseNotify() const { return closeNotify_; }
    // The library's reason for the last failure, e.g. an alert from the client.
    const std::string& Failure() const { return failure_; }

private:
    bool Flush();
    bool Fill();
    void NoteFailure();

    LoopbackSocket& socket_;
    ssl_st* ssl_;
    bio_st* in_ = nullptr;    // owned by ssl_
    bio_st* out_ = nullptr;   // owned by ssl_
    std::string raw_;      // bytes read in plain mode and not yet used
    bool closeNotify_ = false;
    std::string failure_;
};

// Protocol versions a TlsPeer accepts.
enum class TlsVersion { Default, Tls11, Tls12, Tls13 };

struct TlsPeerOptions {
    TlsVersion minVersion = TlsVersion::Default;   // Default: the library's own bound
    TlsVersion maxVersion = TlsVersion::Default;
};

// A TLS server on 127.0.0.1 at a free port with a certificate for
// "localhost" and 127.0.0.1 signed by its own test CA. Runs one script per
// accepted connection, in order, on its own thread. Reads on its connections
// give up after a few seconds, so a script never outlives a broken test for long.
class TlsPeer {
public:
    using Script = std::function<void(TlsPeerConnection&)>;

    explicit TlsPeer(std::vector<Script> scripts, TlsPeerOptions options = {});
    ~TlsPeer();
    TlsPeer(const TlsPeer&) = delete;
    TlsPeer& operator=(const TlsPeer&) = delete;

    bool Ok() const { return error_.empty(); }
    const std::string& Error() const { return error_; }
    int Port() const { return port_; }
    const std::string& CaFile() const { return certs_.CaFile(); }

    // Waits until every script has run; what the scripts recorded is then safe to read.
    void Join();

private:
    bool Setup(const TlsPeerOptions& options);
    void Run();

    std::vector<Script> scripts_;
    TempDirectory dir_;
    TestCertificates certs_;
    ssl_ctx_st* ctx_ = nullptr;
    LoopbackSocket listener_;
    int port_ = 0;
    std::mutex mutex_;
    LoopbackSocket* active_ = nullptr;   // the connection a script is running on; guarded by mutex_
    bool stopping_ = false;    // guarded by mutex_
    std::thread thread_;
    std::string error_;
};

} // namespace plentor::testsupport
