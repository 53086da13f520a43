// Keep-alive GET throughput (HTTP and HTTPS) against a private nginx on
// loopback, HttpMan side by side with libcurl (one easy handle reused, so it keeps its connection
// too) and with a raw loop (no HTTP library: one connection, write the
// request, read the header to its blank line, read Content-Length bytes;
// OpenSSL directly for HTTPS) on the same URLs in the same run. Items are
// requests, so items_per_second is requests per second. Each HttpMan
// benchmark also carries the counters x_curl and x_raw: the other client's
// time for a batch of GETs divided by ours (best of several batches each),
// so a value above 1 means we are faster. The three clients take their
// batches in turn, so that a change in the machine's load falls on all alike.
#include "http/HttpMan.h"
#include "support/NginxServer.h"
#include "text/DataBuffer.h"

#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <curl/curl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <openssl/ssl.h>
#include <strings.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>

namespace plentor {
namespace {

using testsupport::NginxServer;

// Batches of each client when timing them against each other.
constexpr int kHeadToHeadRuns = 5;

struct Payload {
    const char* name;
    size_t bytes;
    int batch;   // GETs per head-to-head batch
};

constexpr Payload kPayloads[] = {
    {"1k.bin", 1024, 400},
    {"1m.bin", 1024 * 1024, 40},
};

// One nginx for the whole run, with both files and HTTPS on.
class BenchServer {
public:
    static BenchServer& Get()
    {
        static BenchServer server;
        return server;
    }

    bool Ok() const { return ok_; }
    const std::string& Error() const { return error_; }

    int Port(bool https) const { return https ? nginx_.HttpsPort() : nginx_.Port(); }

    std::string Url(bool https, const char* name) const
    {
        return std::string(https ? "https" : "http") + "://127.0.0.1:" + std::to_string(Port(https)) + "/" + name;
    }

    const std::string& CaFile() const { return nginx_.CaFile(); }

private:
    BenchServer()
    {
        if (!NginxServer::Available()) {
            error_ = NginxServer::kMissingMessage;
            return;
        }
        for (const Payload& p : kPayloads) {
            std::string content(p.bytes, 'x');
            for (size_t i = 0; i < content.size(); ++i)
                content[i] = static_cast<char>('a' + (i * 7) % 26);
            nginx_.WriteDocFile(p.name, content);
        }
        ok_ = nginx_.EnableHttps() && nginx_.Start();
        if (!ok_)
            error_ = nginx_.Error();
        // Our TLS provider trusts this CA in addition to the system's.
        ::setenv("PLENTOR_CA_FILE", nginx_.CaFile().c_str(), 1);
    }

    NginxServer nginx_;
    bool ok_ = false;
    std::string error_;
};

size_t AppendToString(char* data, size_t size, size_t count, void* target)
{
    static_cast<std::string*>(target)->append(data, size * count);
    return size * count;
}

class CurlClient {
public:
    explicit CurlClient(const std::string& caFile) : handle_(curl_easy_init())
    {
        curl_easy_setopt(handle_, CURLOPT_WRITEFUNCTION, AppendToString);
        curl_easy_setopt(handle_, CURLOPT_WRITEDATA, &body_);
        curl_easy_setopt(handle_, CURLOPT_CAINFO, caFile.c_str());
    }
    ~CurlClient() { curl_easy_cleanup(handle_); }
    CurlClient(const CurlClient&) = delete;
    CurlClient& operator=(const CurlClient&) = delete;

    bool Get(const std::string& url)
    {
        body_.clear();
        curl_easy_setopt(handle_, CURLOPT_URL, url.c_str());
        return curl_easy_perform(handle_) == CURLE_OK;
    }
    size_t BodySize() const { return body_.size(); }

private:
    CURL* handle_;
    std::string body_;
};

// The least a keep-alive GET can cost: one connection, one write per
// request, reads in large blocks, nothing parsed but the header's end and
// its Content-Length.
class RawClient {
public:
    RawClient(int port, bool tls, const std::string& caFile) : port_(port), tls_(tls)
    {
        if (tls_) {
            ctx_ = SSL_CTX_new(TLS_client_method());
            SSL_CTX_load_verify_locations(ctx_, caFile.c_str(), nullptr);
            SSL_CTX_set_verify(ctx_, SSL_VERIFY_PEER, nullptr);
        }
    }
    ~RawClient()
    {
        Close();
        if (ctx_ != nullptr)
            SSL_CTX_free(ctx_);
    }
    RawClient(const RawClient&) = delete;
    RawClient& operator=(const RawClient&) = delete;

    // The server ends a kept-alive connection after so many requests
    // ("Connection: close" on the last), as it does for every client.
    bool Get(const std::string& name, size_t expected)
    {
        if (fd_ < 0 && !Connect())
            return false;
        bool close = false;
        const bool ok = Exchange(name, expected, close);
        if (close || !ok)
            Close();
        return ok;
    }

private:
    bool Exchange(const std::string& name, size_t expected, bool& close)
    {
        const std::string request =
            "GET /" + name + " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port_) + "\r\n\r\n";
        if (!Write(request))
            return false;
        size_t headerEnd;
        while ((headerEnd = buffer_.find("\r\n\r\n")) == std::string::npos) {
            if (!Fill())
                return false;
        }
        const std::string head = buffer_.substr(0, headerEnd);
        size_t at = 0;
        size_t length = 0;
        for (size_t line = 0; line < head.size(); line = at + 2) {
            at = head.find("\r\n", line);
            if (at == std::string::npos)
                at = head.size();
            if (at - line > 15 && strncasecmp(head.c_str() + line, "Content-Length:", 15) == 0)
                length = std::strtoul(head.c_str() + line + 15, nullptr, 10);
            if (at - line >= 17 && strncasecmp(head.c_str() + line, "Connection: close", 17) == 0)
                close = true;
        }
        const size_t total = headerEnd + 4 + length;
        while (buffer_.size() < total) {
            if (!Fill())
                return false;
        }
        buffer_.erase(0, total);
        return length == expected;
    }

    bool Connect()
    {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<uint16_t>(port_));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (fd_ < 0 || ::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
            return false;
        const int one = 1;
        ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        if (!tls_)
            return true;
        ssl_ = SSL_new(ctx_);
        SSL_set_fd(ssl_, fd_);
        SSL_set_tlsext_host_name(ssl_, "localhost");
        return SSL_connect(ssl_) == 1;
    }

    void Close()
    {
        if (ssl_ != nullptr)
            SSL_free(ssl_);
        ssl_ = nullptr;
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
        buffer_.clear();
    }

    bool Write(const std::string& bytes)
    {
        if (tls_)
            return SSL_write(ssl_, bytes.data(), static_cast<int>(bytes.size())) == static_cast<int>(bytes.size());
        return ::send(fd_, bytes.data(), bytes.size(), 0) == static_cast<ssize_t>(bytes.size());
    }

    bool Fill()
    {
        char block[64 * 1024];
        const long got = tls_ ? SSL_read(ssl_, block, sizeof block) : ::recv(fd_, block, sizeof block, 0);
        if (got <= 0)
            return false;
        buffer_.append(block, static_cast<size_t>(got));
        return true;
    }

    int port_;
    bool tls_;
    int fd_ = -1;
    SSL_CTX* ctx_ = nullptr;
    SSL* ssl_ = nullptr;
    std::string buffer_;
};

bool OurGet(HttpMan& http, const std::string& url, size_t expected)
{
    DataBuffer body;
    return http.QuickGetBytes(url.c_str(), body) && body.Size() == expected;
}

bool CurlGet(CurlClient& curl, const std::string& url, size_t expected)
{
    return curl.Get(url) && curl.BodySize() == expected;
}

// Best wall time, in seconds, of a batch of GETs by each client, the
// clients' batches taken in turn; 0 for a client whose GET failed.
template <size_t N>
std::array<double, N> BestBatches(const std::array<std::function<bool()>, N>& gets, int batch)
{
    std::array<double, N> best;
    best.fill(1e30);
    for (int run = 0; run < kHeadToHeadRuns; ++run) {
        for (size_t c = 0; c < N; ++c) {
            if (best[c] == 0) continue;
            const auto start = std::chrono::steady_clock::now();
            bool ok = true;
            for (int i = 0; i < batch && ok; ++i)
                ok = gets[c]();
            const std::chrono::duration<double> spent = std::chrono::steady_clock::now() - start;
            best[c] = ok ? std::min(best[c], spent.count()) : 0;
        }
    }
    return best;
}

bool Ready(benchmark::State& state)
{
    if (BenchServer::Get().Ok())
        return true;
    state.SkipWithError(BenchServer::Get().Error().c_str());
    return false;
}

void BM_HttpMan(benchmark::State& state, bool https, const Payload& payload)
{
    if (!Ready(state))
        return;
    const std::string url = BenchServer::Get().Url(https, payload.name);
    HttpMan http;
    for (auto _ : state) {
        if (!OurGet(http, url, payload.bytes)) {
            state.SkipWithError("HttpMan GET failed");
            return;
        }
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * payload.bytes));

    CurlClient curl(BenchServer::Get().CaFile());
    RawClient raw(BenchServer::Get().Port(https), https, BenchServer::Get().CaFile());
    const std::array<std::function<bool()>, 3> gets = {
        [&] { return OurGet(http, url, payload.bytes); },
        [&] { return CurlGet(curl, url, payload.bytes); },
        [&] { return raw.Get(payload.name, payload.bytes); },
    };
    const auto [ours, theirs, rawTime] = BestBatches(gets, payload.batch);
    if (ours > 0 && theirs > 0) {
        state.counters["x_curl"] = theirs / ours;
        state.counters["curl_req_per_s"] = payload.batch / theirs;
    }
    if (ours > 0 && rawTime > 0) {
        state.counters["x_raw"] = rawTime / ours;
        state.counters["raw_req_per_s"] = payload.batch / rawTime;
    }
}

void BM_Raw(benchmark::State& state, bool https, const Payload& payload)
{
    if (!Ready(state))
        return;
    RawClient raw(BenchServer::Get().Port(https), https, BenchServer::Get().CaFile());
    for (auto _ : state) {
        if (!raw.Get(payload.name, payload.bytes)) {
            state.SkipWithError("raw GET failed");
            return;
        }
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * payload.bytes));
}

void BM_Curl(benchmark::State& state, bool https, const Payload& payload)
{
    if (!Ready(state))
        return;
    const std::string url = BenchServer::Get().Url(https, payload.name);
    CurlClient curl(BenchServer::Get().CaFile());
    for (auto _ : state) {
        if (!CurlGet(curl, url, payload.bytes)) {
            state.SkipWithError("libcurl GET failed");
            return;
        }
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * payload.bytes));
}

BENCHMARK_CAPTURE(BM_HttpMan, http_1k, false, kPayloads[0])->UseRealTime();
BENCHMARK_CAPTURE(BM_Curl, http_1k, false, kPayloads[0])->UseRealTime();
BENCHMARK_CAPTURE(BM_Raw, http_1k, false, kPayloads[0])->UseRealTime();
BENCHMARK_CAPTURE(BM_HttpMan, http_1m, false, kPayloads[1])->UseRealTime();
BENCHMARK_CAPTURE(BM_Curl, http_1m, false, kPayloads[1])->UseRealTime();
BENCHMARK_CAPTURE(BM_HttpMan, https_1k, true, kPayloads[0])->UseRealTime();
BENCHMARK_CAPTURE(BM_Curl, https_1k, true, kPayloads[0])->UseRealTime();
BENCHMARK_CAPTURE(BM_Raw, https_1k, true, kPayloads[0])->UseRealTime();
BENCHMARK_CAPTURE(BM_HttpMan, https_1m, true, kPayloads[1])->UseRealTime();
BENCHMARK_CAPTURE(BM_Curl, https_1m, true, kPayloads[1])->UseRealTime();

} // namespace
} // namespace plentor
