#pragma once

#include <string>
#include <vector>

namespace plentor::testsupport {

// Runs a program (found on PATH when the name has no slash) with its output
// and errors appended to logFile, and waits for it at most timeoutMs; a
// program still running then is killed. True when it exited with status 0.
bool RunProgram(const std::vector<std::string>& argv, const std::string& logFile, int timeoutMs);

// The first executable called name on PATH, else the first existing fallback;
// empty when there is none.
std::string FindProgram(const std::string& name, const std::vector<std::string>& fallbacks);

// A PEM certificate and its unencrypted PEM private key.
struct CertFiles {
    std::string certFile;
    std::string keyFile;
};

// Certificates for TLS tests, made at run time by the openssl command-line
// tool inside a directory the caller owns: a test CA and server certificates
// signed by it, a certificate for the wrong name, and a self-signed one.
// Every failure is explained in Error(), with the openssl output.
class TestCertificates {
public:
    explicit TestCertificates(std::string dir) : dir_(std::move(dir)) {}

    static bool OpenSslAvailable();

    // Makes the CA key and its self-signed CA certificate (once).
    bool MakeCa();
    const std::string& CaFile() const { return ca_.certFile; }

    // A server certificate signed by the CA; altNames are subjectAltName
    // entries such as "DNS:localhost" or "IP:127.0.0.1". Makes the CA first.
    bool MakeSigned(const std::string& baseName, const std::string& commonName,
                    const std::vector<std::string>& altNames, CertFiles& out);

    // The usual server certificate: "localhost" and 127.0.0.1, signed by the CA.
    bool MakeLocalhost(CertFiles& out);
    // Signed by the CA but for a name the tests never connect to.
    bool MakeWrongName(CertFiles& out);
    // Self-signed for "localhost" and 127.0.0.1; no CA vouches for it.
    bool MakeSelfSigned(CertFiles& out);

    const std::string& Error() const { return error_; }

private:
    std::string PathOf(const std::string& name) const { return dir_ + "/" + name; }
    bool Run(const std::vector<std::string>& args);
    bool WriteText(const std::string& name, const std::string& text);

    std::string dir_;
    std::string openssl_;
    CertFiles ca_;
    int serial_ = 1000;
    std::string error_;
};

} // namespace plentor::testsupport
