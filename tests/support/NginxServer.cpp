#include "support/NginxServer.h"

#include "support/LoopbackSocket.h"
#include "support/UnixHost.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>
#include <thread>

namespace plentor::testsupport {
namespace {

// nginx normally listens within a few milliseconds (a second under Wine,
// where it starts through a shell); the bound keeps a broken install from
// hanging the suite.
constexpr int kStartWaitMs = 10000;
// A TERM stops nginx at once; a KILL follows if it does not.
constexpr int kStopWaitMs = 5000;
constexpr int kPollMs = 10;
// The free port found by binding port 0 can be taken by a parallel test
// before nginx binds it; a fresh pair of ports is tried then.
constexpr int kStartAttempts = 3;

bool Accepts(int port)
{
    LoopbackSocket probe;
    return probe.Connect(port);
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
    return ChildProcess::FindProgram("nginx",
                                     {"/usr/sbin/nginx", "/usr/local/sbin/nginx", "/usr/local/nginx/sbin/nginx"});
}

} // namespace

NginxServer::NginxServer()
    : dir_("plentor-nginx-", TempDirectory::Place::SharedWithUnix), unixDir_(UnixHost::UnixPath(dir_.Path())),
      docRoot_(dir_.File("www")), certs_(dir_.Path())
{
    std::error_code ec;
    std::filesystem::create_directories(docRoot_, ec);
    std::filesystem::create_directories(dir_.File("tmp"), ec);
}

NginxServer::~NginxServer()
{
    Stop();
}

bool NginxServer::Available()
{
    return UnixHost::Reachable() && !NginxBinary().empty() && TestCertificates::OpenSslAvailable();
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
    std::filesystem::path path = (std::filesystem::path(docRoot_) / relativePath).make_preferred();
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
                        ";\n    server_name localhost;\n    root " + UnixHost::UnixPath(docRoot_) + ";\n";
    if (https) {
        block += "    ssl_certificate " + UnixHost::UnixPath(serverCert_.certFile) + ";\n    ssl_certificate_key " +
                 UnixHost::UnixPath(serverCert_.keyFile) + ";\n";
        if (!sslProtocols_.empty()) block += "    ssl_protocols " + sslProtocols_ + ";\n";
    }
    for (const std::string& location : locations_) block += "    " + location + "\n";
    return block + "  }\n";
}

bool NginxServer::WriteConfig()
{
    const std::string& dir = unixDir_;
    const std::string tmp = dir + "/tmp/";
    std::ostringstream conf;
    conf << "daemon off;\nmaster_process off;\n"
         << "pid " << dir << "/nginx.pid;\nlock_file " << dir << "/nginx.lock;\n"
         << "error_log " << dir << "/error.log info;\n"
         // As root a lone nginx process would switch to "nobody", which cannot
         // read the private temp dir; run by another user nginx ignores this.
         << "user root root;\n"
         << "events { worker_connections 64; }\n"
         << "http {\n  access_log " << dir << "/access.log;\n"
         << "  client_body_temp_path " << tmp << "body;\n  proxy_temp_path " << tmp << "proxy;\n"
         << "  fastcgi_temp_path " << tmp << "fastcgi;\n  uwsgi_temp_path " << tmp << "uwsgi;\n"
         << "  scgi_temp_path " << tmp << "scgi;\n"
         << "  types { text/html html htm; text/plain txt; application/json json; text/xml xml; }\n"
         << "  default_type application/octet-stream;\n  keepalive_timeout 30s;\n"
         << ServerBlock(port_, false);
    if (https_) conf << ServerBlock(httpsPort_, true);
    conf << "}\n";
    const std::string confFile = dir_.File("nginx.conf");
    std::ofstream out(confFile, std::ios::binary | std::ios::trunc);
    out << conf.str();
    out.close();
    if (out) return true;
    error_ = "cannot write " + confFile;
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
    const std::vector<std::string> argv{binary, "-p", unixDir_ + "/", "-c", unixDir_ + "/nginx.conf",
                                        "-e", unixDir_ + "/error.log"};
    const std::string outFile = dir_.File("nginx.out");
    if (process_.Start(argv, outFile, outFile)) return true;
    error_ = process_.Error();
    return false;
}

// nginx writes its pid file only after binding every listen socket, so the
// pid file (in our own dir, removed before the start) tells our nginx apart
// from another program on a reused port.
bool NginxServer::WaitUntilAccepting()
{
    const std::string pidFile = dir_.File("nginx.pid");
    for (int waited = 0; waited < kStartWaitMs; waited += kPollMs) {
        if (!process_.Running()) {
            error_ = "nginx exited at start: " + ErrorLogTail();
            return false;
        }
        bool bound = std::atoi(ReadFileText(pidFile).c_str()) > 0;
        if (bound && Accepts(port_) && (!https_ || Accepts(httpsPort_))) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
    }
    error_ = "nginx did not accept connections within " + std::to_string(kStartWaitMs) + " ms: " + ErrorLogTail();
    Stop();
    return false;
}

bool NginxServer::Start()
{
    if (dir_.Path().empty() || unixDir_.empty()) {
        error_ = "cannot make a temp dir for nginx";
        return false;
    }
    if (process_.Running()) return true;
    for (int attempt = 0; attempt < kStartAttempts; ++attempt) {
        port_ = LoopbackSocket::FreePort();
        httpsPort_ = https_ ? LoopbackSocket::FreePort() : 0;
        if (port_ == 0 || port_ == httpsPort_) continue;
        std::error_code ec;
        std::filesystem::remove(dir_.File("nginx.pid"), ec);
        if (!WriteConfig() || !Launch()) return false;
        if (WaitUntilAccepting()) return true;
    }
    return false;
}

void NginxServer::Stop()
{
    process_.Stop(kStopWaitMs);
}

std::string NginxServer::ErrorLogTail() const
{
    constexpr size_t kTailBytes = 2000;   // the last few messages explain a failure
    std::string text = ReadFileText(dir_.File("nginx.out")) + ReadFileText(dir_.File("error.log"));
    return text.size() > kTailBytes ? text.substr(text.size() - kTailBytes) : text;
}

} // namespace plentor::testsupport
