#pragma once

#include <string>
#include <vector>

namespace plentor::testsupport {

// A PEM certificate and its unencrypted PEM private key (paths as the test
// names them).
struct CertFiles {
    std::string certFile;
    std::string keyFile;
};

// Certificates for TLS tests, made at run time by the openssl command-line
// tool (a Unix program, see ChildProcess) inside a directory the caller owns,
// one the Unix side sees too: a test CA and server certificates
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
    std::string PathOf(const std::string& name) const;
    bool Run(const std::vector<std::string>& args);
    bool WriteText(const std::string& name, const std::string& text);

    std::string dir_;
    std::string openssl_;
    CertFiles ca_;
    int serial_ = 1000;
    std::string error_;
};

} // namespace plentor::testsupport
