#include "support/NginxServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>
#include <thread>

namespace plentor::testsupport {
namespace {

// nginx normally listens within a few milliseconds; the bound keeps a broken
// install from hanging the suite.
constexpr int kStartWaitMs = 5000;
// A TERM stops nginx at once; a KILL follows if it does not.
constexpr int kStopWaitMs = 5000;
constexpr int kPollMs = 10;
// The free port found by binding port 0 can be taken by a parallel test
// before nginx binds it; a fresh pair of ports is tried then.
constexpr int kStartAttempts = 3;

std::string MakeTempDir()
{
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/plentor-nginx-XXXXXX";
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    return ::mkdtemp(buf.data()) != nullptr ? std::string(buf.data()) : std::string();
}

// A port the kernel has just found free on 127.0.0.1 (0 when none).
int FreeLoopbackPort()
{
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) return 0;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) == 0) {
        port = ntohs(addr.sin_port);
    }
    ::close(fd);
    return port;
}

bool Accepts(int port)
{
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) return false;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    ::close(fd);
    return ok;
}

std::string ReadFileText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string NginxBinary()
{
    return FindProgram("nginx", {"/usr/sbin/nginx", "/usr/local/sbin/nginx", "/usr/local/nginx/sbin/nginx"});
}

} // namespace

NginxServer::NginxServer()
    : dir_(MakeTempDir()), docRoot_(dir_ + "/www"), certs_(dir_)
{
    std::error_code ec;
    std::filesystem::create_directories(docRoot_, ec);
    std::filesystem::create_directories(dir_ + "/tmp", ec);
}

NginxServer::~NginxServer()
{
    Stop();
    std::error_code ec;
    if (!dir_.empty()) std::filesystem::remove_all(dir_, ec);
}

bool NginxServer::Available()
{
    return !NginxBinary().empty() && TestCertificates::OpenSslAvailable();
}

bool NginxServer::EnableHttps()
{
    CertFiles cert;
    return certs_.MakeLocalhost(cert) && EnableHttps(cert);
}

bool NginxServer::EnableHttps(const CertFiles& serverCert)
{
    serverCert_ = serverCert;
    https_ = true;
    return true;
}

std::string NginxServer::RedirectLocation(const std::string& path, int code, const std::string& target)
{
    return "location = " + path + " { return " + std::to_string(code) + " " + target + "; }";
}

std::string NginxServer::StatusLocation(const std::string& path, int code, const std::string& body)
{
    return "location = " + path + " { default_type text/plain; return " + std::to_string(code) + " \"" + body +
           "\"; }";
}

std::string NginxServer::GzipLocation(const std::string& prefix)
{
    return "location " + prefix + " { gzip on; gzip_types *; gzip_min_length 0; gzip_proxied any; }";
}

std::string NginxServer::ChunkedLocation(const std::string& prefix)
{
    return "location " + prefix + " { ssi on; ssi_types *; }";
}

bool NginxServer::WriteDocFile(const std::string& relativePath, const std::string& content)
{
    std::filesystem::path path = std::filesystem::path(docRoot_) / relativePath;
    std::error_code ec;
    std::filesystem::create_directories(path.parent_path(), ec);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
    out.close();
    return static_cast<bool>(out);
}

std::string NginxServer::ServerBlock(int port, bool https) const
{
    std::string block = "  server {\n    listen 127.0.0.1:" + std::to_string(port) + (https ? " ssl" : "") +
                        ";\n    server_name localhost;\n    root " + docRoot_ + ";\n";
    if (https) {
        block += "    ssl_certificate " + serverCert_.certFile + ";\n    ssl_certificate_key " +
                 serverCert_.keyFile + ";\n";
        if (!sslProtocols_.empty()) block += "    ssl_protocols " + sslProtocols_ + ";\n";
    }
    for (const std::string& location : locations_) block += "    " + location + "\n";
    return block + "  }\n";
}

bool NginxServer::WriteConfig()
{
    const std::string tmp = dir_ + "/tmp/";
    std::ostringstream conf;
    conf << "daemon off;\nmaster_process off;\n"
         << "pid " << dir_ << "/nginx.pid;\nlock_file " << dir_ << "/nginx.lock;\n"
         << "error_log " << dir_ << "/error.log info;\n";
    // As root a lone nginx process would switch to "nobody", which cannot
    // read the private temp dir.
    if (::geteuid() == 0) conf << "user root root;\n";
    conf << "events { worker_connections 64; }\n"
         << "http {\n  access_log " << dir_ << "/access.log;\n"
         << "  client_body_temp_path " << tmp << "body;\n  proxy_temp_path " << tmp << "proxy;\n"
         << "  fastcgi_temp_path " << tmp << "fastcgi;\n  uwsgi_temp_path " << tmp << "uwsgi;\n"
         << "  scgi_temp_path " << tmp << "scgi;\n"
         << "  types { text/html html htm; text/plain txt; application/json json; text/xml xml; }\n"
         << "  default_type application/octet-stream;\n  keepalive_timeout 30s;\n"
         << ServerBlock(port_, false);
    if (https_) conf << ServerBlock(httpsPort_, true);
    conf << "}\n";
    std::ofstream out(dir_ + "/nginx.conf", std::ios::binary | std::ios::trunc);
    out << conf.str();
    out.close();
    if (out) return true;
    error_ = "cannot write " + dir_ + "/nginx.conf";
    return false;
}

bool NginxServer::Launch()
{
    std::string binary = NginxBinary();
    if (binary.empty()) {
        error_ = "nginx is not installed";
        return false;
    }
    // -p keeps relative paths inside the temp dir; -e (nginx 1.19.5 and later)
    // sends messages from before the config is read there too.
    std::vector<std::string> argv{binary, "-p", dir_ + "/", "-c", dir_ + "/nginx.conf", "-e", dir_ + "/error.log"};
    std::vector<char*> args;
    for (std::string& a : argv) args.push_back(a.data());
    args.push_back(nullptr);
    std::string outFile = dir_ + "/nginx.out";
    pid_t parent = ::getpid();
    pid_t pid = ::fork();
    if (pid < 0) {
        error_ = "fork failed";
        return false;
    }
    if (pid == 0) {
        // A test that crashes must not leave its server behind.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent) ::_exit(1);
        int fd = ::open(outFile.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
        if (fd >= 0) {
            ::dup2(fd, STDOUT_FILENO);
            ::dup2(fd, STDERR_FILENO);
        }
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    pid_ = pid;
    return true;
}

// nginx writes its pid file only after binding every listen socket, so the
// pid file tells our nginx apart from another program on a reused port.
bool NginxServer::WaitUntilAccepting()
{
    const std::string pidFile = dir_ + "/nginx.pid";
    for (int waited = 0; waited < kStartWaitMs; waited += kPollMs) {
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            error_ = "nginx exited at start: " + ErrorLogTail();
            return false;
        }
        bool bound = std::atoi(ReadFileText(pidFile).c_str()) == pid_;
        if (bound && Accepts(port_) && (!https_ || Accepts(httpsPort_))) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
    }
    error_ = "nginx did not accept connections within " + std::to_string(kStartWaitMs) + " ms: " + ErrorLogTail();
    Stop();
    return false;
}

bool NginxServer::Start()
{
    if (dir_.empty()) {
        error_ = "cannot make a temp dir for nginx";
        return false;
    }
    if (pid_ > 0) return true;
    for (int attempt = 0; attempt < kStartAttempts; ++attempt) {
        port_ = FreeLoopbackPort();
        httpsPort_ = https_ ? FreeLoopbackPort() : 0;
        if (port_ == 0 || port_ == httpsPort_) continue;
        std::error_code ec;
        std::filesystem::remove(dir_ + "/nginx.pid", ec);
        if (!WriteConfig() || !Launch()) return false;
        if (WaitUntilAccepting()) return true;
    }
    return false;
}

void NginxServer::Stop()
{
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    int status = 0;
    for (int waited = 0; ::waitpid(pid_, &status, WNOHANG) == 0; waited += kPollMs) {
        if (waited >= kStopWaitMs) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
    }
    pid_ = -1;
}

std::string NginxServer::ErrorLogTail() const
{
    constexpr size_t kTailBytes = 2000;   // the last few messages explain a failure
    std::string text = ReadFileText(dir_ + "/nginx.out") + ReadFileText(dir_ + "/error.log");
    return text.size() > kTailBytes ? text.substr(text.size() - kTailBytes) : text;
}

} // namespace plentor::testsupport
