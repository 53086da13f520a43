// Keep-alive GET throughput (HTTP and HTTPS) against a private nginx on
// loopback, HttpMan side by side with libcurl (one easy handle reused, so it keeps its connection
// too) on the same URLs in the same run. Items are requests, so
// items_per_second is requests per second. Each HttpMan benchmark also
// carries the counter x_curl: libcurl's time for a batch of GETs divided by
// ours (best of several batches each), so a value above 1 means we are faster.
#include "http/HttpMan.h"
#include "support/NginxServer.h"
#include "text/DataBuffer.h"

#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

namespace plentor {
namespace {

using testsupport::NginxServer;

// Runs of each client when timing them against each other.
constexpr int kHeadToHeadRuns = 3;

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

    std::string Url(bool https, const char* name) const
    {
        return std::string(https ? "https" : "http") + "://127.0.0.1:" +
               std::to_string(https ? nginx_.HttpsPort() : nginx_.Port()) + "/" + name;
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

bool OurGet(HttpMan& http, const std::string& url, size_t expected)
{
    DataBuffer body;
    return http.QuickGetBytes(url.c_str(), body) && body.Size() == expected;
}

bool CurlGet(CurlClient& curl, const std::string& url, size_t expected)
{
    return curl.Get(url) && curl.BodySize() == expected;
}

// Best wall time, in seconds, of a batch of GETs by one client.
template <typename Fn>
double BestBatch(Fn get, int batch)
{
    double best = 1e30;
    for (int run = 0; run < kHeadToHeadRuns; ++run) {
        const auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < batch; ++i) {
            if (!get())
                return 0;
        }
        const std::chrono::duration<double> spent = std::chrono::steady_clock::now() - start;
        best = std::min(best, spent.count());
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
    const double ours = BestBatch([&] { return OurGet(http, url, payload.bytes); }, payload.batch);
    const double theirs = BestBatch([&] { return CurlGet(curl, url, payload.bytes); }, payload.batch);
    if (ours > 0 && theirs > 0) {
        state.counters["x_curl"] = theirs / ours;
        state.counters["curl_req_per_s"] = payload.batch / theirs;
    }
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
BENCHMARK_CAPTURE(BM_HttpMan, http_1m, false, kPayloads[1])->UseRealTime();
BENCHMARK_CAPTURE(BM_Curl, http_1m, false, kPayloads[1])->UseRealTime();
BENCHMARK_CAPTURE(BM_HttpMan, https_1k, true, kPayloads[0])->UseRealTime();
BENCHMARK_CAPTURE(BM_Curl, https_1k, true, kPayloads[0])->UseRealTime();
BENCHMARK_CAPTURE(BM_HttpMan, https_1m, true, kPayloads[1])->UseRealTime();
BENCHMARK_CAPTURE(BM_Curl, https_1m, true, kPayloads[1])->UseRealTime();

} // namespace
} // namespace plentor
