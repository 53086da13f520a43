#include "support/TestCertificates.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

namespace plentor::testsupport {
namespace {

// Test certificates only need to outlive one run of the suite.
constexpr const char* kValidDays = "2";
// Key generation and signing take well under a second; this only stops a
// wedged tool from hanging the suite.
constexpr int kOpenSslTimeoutMs = 30000;
constexpr int kPollMs = 10;

bool IsExecutable(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

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

} // namespace

std::string FindProgram(const std::string& name, const std::vector<std::string>& fallbacks)
{
    if (const char* path = std::getenv("PATH")) {
        std::istringstream dirs(path);
        std::string dir;
        while (std::getline(dirs, dir, ':')) {
            if (!dir.empty() && IsExecutable(dir + "/" + name)) return dir + "/" + name;
        }
    }
    for (const std::string& candidate : fallbacks) {
        if (IsExecutable(candidate)) return candidate;
    }
    return {};
}

bool RunProgram(const std::vector<std::string>& argv, const std::string& logFile, int timeoutMs)
{
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = ::fork();
    if (pid < 0) return false;
    if (pid == 0) {
        int fd = ::open(logFile.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
        int devNull = ::open("/dev/null", O_RDONLY);
        if (fd >= 0) {
            ::dup2(fd, STDOUT_FILENO);
            ::dup2(fd, STDERR_FILENO);
        }
        if (devNull >= 0) ::dup2(devNull, STDIN_FILENO);
        ::execvp(args[0], args.data());
        ::_exit(127);
    }
    int status = 0;
    for (int waited = 0; ::waitpid(pid, &status, WNOHANG) == 0; waited += kPollMs) {
        if (waited >= timeoutMs) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool TestCertificates::OpenSslAvailable()
{
    return !FindProgram("openssl", {"/usr/bin/openssl"}).empty();
}

bool TestCertificates::Run(const std::vector<std::string>& args)
{
    if (openssl_.empty()) openssl_ = FindProgram("openssl", {"/usr/bin/openssl"});
    if (openssl_.empty()) {
        error_ = "the openssl tool is not installed";
        return false;
    }
    std::vector<std::string> argv{openssl_};
    argv.insert(argv.end(), args.begin(), args.end());
    std::string log = PathOf("openssl.log");
    if (RunProgram(argv, log, kOpenSslTimeoutMs)) return true;
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
              "-subj", "/CN=Plentor Test CA", "-keyout", ca.keyFile, "-out", ca.certFile,
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
              "-keyout", files.keyFile, "-out", csr})) {
        return false;
    }
    if (!Run({"x509", "-req", "-sha256", "-days", kValidDays, "-in", csr, "-CA", ca_.certFile,
              "-CAkey", ca_.keyFile, "-set_serial", std::to_string(++serial_),
              "-extfile", PathOf(baseName + ".ext"), "-out", files.certFile})) {
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
              "-subj", "/CN=localhost", "-keyout", files.keyFile, "-out", files.certFile,
              "-addext", "subjectAltName=DNS:localhost,IP:127.0.0.1",
              "-addext", "basicConstraints=critical,CA:FALSE"})) {
        return false;
    }
    out = files;
    return true;
}

} // namespace plentor::testsupport
