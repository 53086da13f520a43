#include "support/TestCertificates.h"

#include "support/ChildProcess.h"
#include "support/UnixHost.h"

#include <filesystem>
#include <fstream>
#include <sstream>

namespace plentor::testsupport {
namespace {

// Test certificates only need to outlive one run of the suite.
constexpr const char* kValidDays = "2";
// Key generation and signing take well under a second; this only stops a
// wedged tool from hanging the suite.
constexpr int kOpenSslTimeoutMs = 30000;

std::string ReadTail(const std::string& path)
{
    constexpr std::streamoff kTailBytes = 2000;   // enough for a tool's error message
    std::ifstream in(path, std::ios::binary);
    in.seekg(0, std::ios::end);
    std::streamoff size = in.tellg();
    if (size <= 0) return {};
    in.seekg(size > kTailBytes ? size - kTailBytes : 0);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// openssl is a Unix program: it takes Unix paths.
std::string Unix(const std::string& path)
{
    return UnixHost::UnixPath(path);
}

std::string OpenSslBinary()
{
    return ChildProcess::FindProgram("openssl", {"/usr/bin/openssl"});
}

} // namespace

bool TestCertificates::OpenSslAvailable()
{
    return !OpenSslBinary().empty();
}

std::string TestCertificates::PathOf(const std::string& name) const
{
    return (std::filesystem::path(dir_) / name).make_preferred().string();
}

bool TestCertificates::Run(const std::vector<std::string>& args)
{
    if (openssl_.empty()) openssl_ = OpenSslBinary();
    if (openssl_.empty()) {
        error_ = "the openssl tool is not installed";
        return false;
    }
    std::vector<std::string> argv{openssl_};
    argv.insert(argv.end(), args.begin(), args.end());
    std::string log = PathOf("openssl.log");
    if (ChildProcess::Run(argv, log, log, kOpenSslTimeoutMs) == 0) return true;
    error_ = "openssl " + args.front() + " failed: " + ReadTail(log);
    return false;
}

bool TestCertificates::WriteText(const std::string& name, const std::string& text)
{
    std::ofstream out(PathOf(name), std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (out) return true;
    error_ = "cannot write " + PathOf(name);
    return false;
}

bool TestCertificates::MakeCa()
{
    if (!ca_.certFile.empty()) return true;
    CertFiles ca{PathOf("ca.pem"), PathOf("ca.key")};
    if (!Run({"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-sha256", "-days", kValidDays,
              "-subj", "/CN=Plentor Test CA", "-keyout", Unix(ca.keyFile), "-out", Unix(ca.certFile),
              "-addext", "basicConstraints=critical,CA:TRUE",
              "-addext", "keyUsage=critical,keyCertSign,cRLSign"})) {
        return false;
    }
    ca_ = ca;
    return true;
}

bool TestCertificates::MakeSigned(const std::string& baseName, const std::string& commonName,
                                  const std::vector<std::string>& altNames, CertFiles& out)
{
    if (!MakeCa()) return false;
    std::string sans;
    for (const std::string& name : altNames) sans += (sans.empty() ? "" : ",") + name;
    std::string ext = "basicConstraints=CA:FALSE\n"
                      "keyUsage=critical,digitalSignature,keyEncipherment\n"
                      "extendedKeyUsage=serverAuth\n";
    if (!sans.empty()) ext += "subjectAltName=" + sans + "\n";
    CertFiles files{PathOf(baseName + ".pem"), PathOf(baseName + ".key")};
    std::string csr = PathOf(baseName + ".csr");
    if (!WriteText(baseName + ".ext", ext)) return false;
    if (!Run({"req", "-new", "-newkey", "rsa:2048", "-nodes", "-subj", "/CN=" + commonName,
              "-keyout", Unix(files.keyFile), "-out", Unix(csr)})) {
        return false;
    }
    if (!Run({"x509", "-req", "-sha256", "-days", kValidDays, "-in", Unix(csr), "-CA", Unix(ca_.certFile),
              "-CAkey", Unix(ca_.keyFile), "-set_serial", std::to_string(++serial_),
              "-extfile", Unix(PathOf(baseName + ".ext")), "-out", Unix(files.certFile)})) {
        return false;
    }
    out = files;
    return true;
}

bool TestCertificates::MakeLocalhost(CertFiles& out)
{
    return MakeSigned("localhost", "localhost", {"DNS:localhost", "IP:127.0.0.1"}, out);
}

bool TestCertificates::MakeWrongName(CertFiles& out)
{
    return MakeSigned("wrongname", "wrong.example", {"DNS:wrong.example"}, out);
}

bool TestCertificates::MakeSelfSigned(CertFiles& out)
{
    CertFiles files{PathOf("selfsigned.pem"), PathOf("selfsigned.key")};
    if (!Run({"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-sha256", "-days", kValidDays,
              "-subj", "/CN=localhost", "-keyout", Unix(files.keyFile), "-out", Unix(files.certFile),
              "-addext", "subjectAltName=DNS:localhost,IP:127.0.0.1",
              "-addext", "basicConstraints=critical,CA:FALSE"})) {
        return false;
    }
    out = files;
    return true;
}

} // namespace plentor::testsupport
