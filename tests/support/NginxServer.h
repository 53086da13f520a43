#pragma once

#include "support/ChildProcess.h"
#include "support/TempDirectory.h"
#include "support/TestCertificates.h"

#include <string>
#include <vector>

namespace plentor::testsupport {

// A private nginx on 127.0.0.1 for client tests. Everything it writes (config,
// logs, pid file, temp files, certificates) lives in its own temp dir, removed
// with the object, so tests run in parallel. The server runs in the
// foreground as a child of the test (one process, no master) and is stopped
// by the destructor, or when the test run ends (see ChildProcess). Under
// Wine nginx is the machine's Unix program, reached through ChildProcess.
//
// Use: construct, fill DocRoot(), optionally EnableHttps() and AddLocation(),
// then ASSERT_TRUE(server.Start()) << server.Error();
// Tests skip with GTEST_SKIP() << NginxServer::kMissingMessage when
// Available() is false.
//
// What nginx 1.22 sends for the ready-made locations below:
// - a docroot file: 200 with Content-Length; HTTP/1.1 keep-alive by default.
// - RedirectLocation: the code with a Location header (a relative target is
//   made absolute from the request's Host) and a small HTML body with
//   Content-Length.
// - StatusLocation: the code with the given text/plain body, Content-Length.
// - GzipLocation: docroot files gzip-compressed when the request has
//   "Accept-Encoding: gzip": "Content-Encoding: gzip",
//   "Transfer-Encoding: chunked" and no Content-Length. Without that request
//   header the plain file with Content-Length.
// - ChunkedLocation: docroot files unchanged but "Transfer-Encoding: chunked"
//   without Content-Length (SSI processing drops the length; files holding no
//   SSI comments pass through as they are).
class NginxServer {
public:
    static constexpr const char* kMissingMessage =
        "nginx or the openssl tool is not installed (scripts/bootstrap installs both), or this Windows is not Wine "
        "and has no Unix side to run them; skipping loopback HTTP test";

    NginxServer();
    ~NginxServer();
    NginxServer(const NginxServer&) = delete;
    NginxServer& operator=(const NginxServer&) = delete;

    // True when an nginx binary and the openssl tool can be found and started.
    static bool Available();

    // Adds an HTTPS server on its own port with a server certificate for
    // "localhost" and 127.0.0.1 signed by the test CA, or with the given one.
    bool EnableHttps();
    bool EnableHttps(const CertFiles& serverCert);
    // Limits the HTTPS server to the given protocols ("TLSv1.2", "TLSv1.3", ...).
    void SetSslProtocols(const std::string& protocols) { sslProtocols_ = protocols; }

    // Raw nginx config text placed in every server block, e.g. one of the
    // ready-made locations below.
    void AddLocation(const std::string& block) { locations_.push_back(block); }
    static std::string RedirectLocation(const std::string& path, int code, const std::string& target);
    static std::string StatusLocation(const std::string& path, int code, const std::string& body);
    static std::string GzipLocation(const std::string& prefix);
    static std::string ChunkedLocation(const std::string& prefix);

    // Writes the config, starts nginx and waits until its ports accept.
    bool Start();
    // Stops nginx (SIGTERM, then SIGKILL), bounded; safe to call twice.
    void Stop();

    // Writes a file under the docroot (relative path, directories made).
    bool WriteDocFile(const std::string& relativePath, const std::string& content);

    int Port() const { return port_; }
    int HttpsPort() const { return httpsPort_; }
    const std::string& CaFile() const { return certs_.CaFile(); }
    const std::string& DocRoot() const { return docRoot_; }
    const std::string& Dir() const { return dir_.Path(); }
    TestCertificates& Certificates() { return certs_; }
    const std::string& Error() const { return error_; }
    // The tail of nginx's error log, for failure messages.
    std::string ErrorLogTail() const;

private:
    std::string ServerBlock(int port, bool https) const;
    bool WriteConfig();
    bool Launch();
    bool WaitUntilAccepting();

    TempDirectory dir_;
    std::string unixDir_;   // dir_ as nginx names it
    std::string docRoot_;
    TestCertificates certs_;
    CertFiles serverCert_;
    bool https_ = false;
    std::string sslProtocols_;   // empty: nginx's default set
    std::vector<std::string> locations_;
    int port_ = 0;
    int httpsPort_ = 0;
    ChildProcess process_;
    std::string error_;
};

} // namespace plentor::testsupport
