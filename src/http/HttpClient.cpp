#include "http/HttpClient.h"

#include "base/LogBase.h"
#include "http/HttpControl.h"
#include "http/HttpRequest.h"
#include "http/HttpResponseHeader.h"
#include "http/HttpResult.h"
#include "http/RequestText.h"
#include "http/ZentrelUrl.h"
#include "http/body/BodySink.h"
#include "http/body/ResponseFraming.h"
#include "http/body/StreamedBody.h"
#include "http/cache/HttpCacheHooks.h"
#include "http/cookies/Cookie.h"
#include "http/cookies/CookieMgr.h"
#include "http/mime/MimeField.h"
#include "text/AsciiChars.h"
#include "text/DataBuffer.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

namespace plentor {

namespace {

constexpr uint32_t kMsPerSec = 1000;
constexpr unsigned kHeaderReserve = 960;   // under the allocator's large-block size

bool IsTlsUrl(const char* url) { return AsciiChars::StartsWithNoCase(url, "https:"); }

// word anywhere in text, in any case.
bool ContainsNoCase(std::string_view text, std::string_view word)
{
    for (; text.size() >= word.size(); text.remove_prefix(1))
        if (AsciiChars::StartsWithNoCase(text, word)) return true;
    return false;
}

// The whole-transfer time limits of one response on a connection: both run
// from the request; the header's ends when the header is in, and both are
// dropped when the response has been read.
class ResponseLimits {
public:
    ResponseLimits(HttpConnection& socket, const HttpControl& control) : socket_(socket)
    {
        socket_.StartLimit(BufferedReader::Limit::Header, control.headerTimeoutSec, "headerTimeoutSec");
        socket_.StartLimit(BufferedReader::Limit::Response, control.responseTimeoutSec, "responseTimeoutSec");
    }
    ~ResponseLimits() { socket_.ClearLimits(); }
    ResponseLimits(const ResponseLimits&) = delete;
    ResponseLimits& operator=(const ResponseLimits&) = delete;

    void HeaderIn() { socket_.ClearLimit(BufferedReader::Limit::Header); }

private:
    HttpConnection& socket_;
};

// The response framing over one of the engine's connections, which it
// closes or whose read wait it sets when the framing asks.
class SocketFraming final : private ResponseFraming::Connection {
public:
    SocketFraming(HttpConnection& socket, const HttpControl& control, LogBase& log)
        : socket_(socket), framing_(socket.Reader(), *this, control, log)
    {
    }

    ResponseFraming& Framing() { return framing_; }

private:
    void Close() override { socket_.Close(); }
    void SetReadWaitMs(uint32_t ms) override { socket_.SetMaxReadWaitMs(ms); }

    HttpConnection& socket_;
    ResponseFraming framing_;
};

// Takes a body no one wants: a redirect's, during a streamed GET.
class DiscardSink final : public BodySink {
public:
    bool Write(const unsigned char* /*data*/, unsigned /*length*/) override { return true; }
};

HttpCacheHooks::ConnectOutcome ConnectOutcomeOf(bool connected, bool hostNotFound)
{
    if (connected) return HttpCacheHooks::ConnectOutcome::Connected;
    return hostNotFound ? HttpCacheHooks::ConnectOutcome::NameNotFound : HttpCacheHooks::ConnectOutcome::Failed;
}

// What the log needs when a body over TLS could not be read.
void LogTlsBodyFailure(const HttpResponseHeader& header, LogBase& log)
{
    StringBuffer encoding;
    header.GetField("Transfer-Encoding", encoding);
    log.LogError("Failed to get response data for HTTPS");
    log.LogData("TransferEncoding", encoding.GetString());
    log.LogDataLong("ContentLength", header.HasContentLength() ? header.GetContentLength() : 0);
    log.LogDataLong("ResponseCode", header.GetStatusCode());
}

bool BodyFailed(const HttpConnection& socket, const HttpResponseHeader& header, LogBase& log)
{
    if (socket.IsTls()) LogTlsBodyFailure(header, log);
    log.LogError("Failed to fetch response data.");
    return false;
}

} // namespace

// ---------------------------------------------------------------- connections

void HttpClient::Close()
{
    socket_.Close();
    host_.Clear();
}

void HttpClient::SetTimeouts(HttpConnection& socket, const HttpControl& control) const
{
    socket.SetConnectTimeoutSecs(control.connectTimeoutSec);
    socket.SetMaxReadWaitMs(static_cast<uint32_t>(std::max(control.readTimeoutSec, 0)) * kMsPerSec);
}

bool HttpClient::ConnectSocket(HttpConnection& socket, HttpControl& control, const char* host, int port,
                               const char* failure, LogBase& log)
{
    bool hostNotFound = false;
    return ConnectSocket(socket, control, host, port, failure, hostNotFound, log);
}

// Connects the socket to host:port or to the proxy, logging the target.
bool HttpClient::ConnectSocket(HttpConnection& socket, HttpControl& control, const char* host, int port,
                               const char* failure, bool& hostNotFound, LogBase& log)
{
    socket.Close();
    SetTimeouts(socket, control);
    socket.SetAcceptUnverifiedCert(control.acceptUnverifiedCert);
    hostNotFound = false;
    bool ok;
    if (socket.IsTls()) log.LogInfo("Using HTTPS.");
    if (control.HasProxy()) {
        log.LogData("proxyDomain", control.proxyDomain.GetString());
        log.LogDataLong("port", control.proxyPort);
        ok = socket.Connect(control.proxyDomain.GetString(), control.proxyPort, log, hostNotFound);
        if (!ok) log.LogError("Failed to connect to proxy server");
    } else {
        log.LogData("httpServer", host);
        log.LogDataLong("port", port);
        ok = socket.Connect(host, port, log, hostNotFound);
        if (!ok) log.LogError(failure);
    }
    // The kept-alive path has always said this with two dots, the
    // fresh-connection path with one; logs are matched on these texts.
    if (!ok && hostNotFound) log.LogError(failure[std::strlen(failure) - 1] == '.' ? "Domain name lookup failed.."
                                                                                 : "Domain name lookup failed.");
    if (!ok) socket.Close();
    return ok;
}

bool HttpClient::OpenConnection(HttpControl& control, const char* host, int port, LogBase& log)
{
    if (host == nullptr || *host == '\0') {
        log.LogError("hostname is NULL");
        return false;
    }
    log.LogData("OpenConnection", host);
    host_.SetString(host);
    port_ = port == 0 ? ZentrelUrl::kHttpPort : port;
    socket_.Close();
    SetTimeouts(socket_, control);
    StringBuffer to;
    bool hostNotFound = false;
    bool ok;
    if (control.HasProxy()) {
        log.LogInfo("Connecting via proxy...");
        to.AppendBuffer(control.proxyDomain);
        to.AppendChar(':');
        to.AppendInt(control.proxyPort);
        log.LogData("ConnectingTo", to.GetString());
        ok = socket_.Connect(control.proxyDomain.GetString(), control.proxyPort, log, hostNotFound);
    } else {
        log.LogInfo("Connecting to HTTP server...");
        to.AppendBuffer(host_);
        to.AppendChar(':');
        to.AppendInt(port_);
        log.LogData("ConnectingTo", to.GetString());
        ok = socket_.Connect(host_.GetString(), port_, log, hostNotFound);
    }
    HttpCacheHooks::NoteConnect(control, host_.GetString(), ConnectOutcomeOf(ok, hostNotFound), log);
    if (!ok) socket_.Close();
    return ok;
}

bool HttpClient::Connect(HttpControl& control, const char* host, int port, bool useTls, LogBase& log)
{
    const bool sameServer = host != nullptr && host_.EqualsNoCase(host) && port_ == port;
    host_.SetString(host);
    port_ = port;
    const bool sameKind = useTls_ == useTls;
    useTls_ = useTls;
    if (useTls && control.HasProxy()) {
        // Only a plain connection to the proxy could be made here.
        log.LogError("Proxies for SSL are not yet supported.");
        log.LogError("Socket not connected for HTTP request");
        return false;
    }
    socket_.SetTls(useTls);
    if (socket_.IsConnected() && sameServer && sameKind) return true;
    if (!ConnectSocket(socket_, control, host_.GetString(), port_, "Failed to connect to HTTP server.", log))
        return false;
    if (!socket_.IsConnected()) {
        log.LogError("Socket not connected for HTTP request");
        return false;
    }
    return true;
}

// ---------------------------------------------------------------- URL GET

bool HttpClient::Get(const char* url, HttpControl& control, BodySink& sink, HttpResult& result, LogBase& log)
{
    sink_ = &sink;
    DataBuffer held;   // a body from the cache on its way to the sink
    const bool ok = Get(url, control, held, result, log);
    sink_ = nullptr;
    return ok;
}

bool HttpClient::Get(const char* url, HttpControl& control, DataBuffer& body, HttpResult& result, LogBase& log)
{
    result.Reset();
    const Origin origin;   // the first GET's server, known once its URL is split
    if (CoreGet(url, 0, Mode::KeepAlive, origin, control, body, result, log)) return true;
    if (!result.connectionLost) return false;

    log.LogError("Socket not writeable, re-opening connection with HTTP server");
    StringBuffer host = host_;
    const int port = port_;
    Close();
    if (!OpenConnection(control, host.GetString(), port, log)) return false;
    log.LogError("New connection established, re-trying GET");
    return CoreGet(url, 0, Mode::KeepAlive, origin, control, body, result, log);
}

// Steps before any network work: blank pages, URL limits, splitting, TLS.
bool HttpClient::CheckUrl(const char* url, HttpControl& control, Target& target, LogBase& log)
{
    if (static_cast<int>(std::strlen(url)) > control.maxUrlLen) {
        log.LogError("URL is longer than the maximum allowed length.");
        log.LogDataLong("maxUrlLen", control.maxUrlLen);
        log.LogData("url", url);
        return false;
    }
    if (!SplitTarget(url, target)) {
        log.LogError("Failed to parse URL");
        log.LogData("url", url);
        return false;
    }
    if (target.tls && control.HasProxy()) {
        log.LogError("Proxies for SSL are not yet supported.");
        return false;
    }
    return true;
}

bool HttpClient::SplitTarget(const char* url, Target& target)
{
    if (!target.url.IsEmpty() && target.url.Equals(url)) return true;
    target.url.Clear();
    StringBuffer login, password, fragment;
    if (!ZentrelUrl::CrackUrl(url, target.host, target.port, login, password, target.path, target.query,
                              fragment) ||
        target.host.IsEmpty())
        return false;
    if (target.path.IsEmpty()) target.path.SetString("/");
    target.tls = IsTlsUrl(url);
    target.url.SetString(url);
    return true;
}

bool HttpClient::CoreGet(const char* url, int depth, Mode mode, const Origin& origin, HttpControl& control,
                         DataBuffer& body, HttpResult& result, LogBase& log)
{
    result.connectionLost = false;
    result.cacheState = 0;
    result.fromCache = false;
    body.Clear();
    if (url == nullptr) {
        log.LogError("Failed to parse URL");
        return false;
    }
    if (ContainsNoCase(url, "about:blank")) {
        log.LogInfo("Skipping about:blank");
        log.LogData("url", url);
        return true;
    }
    // The first GET of a call keeps its split for the next call, which
    // usually names the same URL; redirects and retries, running while it is
    // in use, split their own.
    Target retry;
    Target& target = depth == 0 ? lastTarget_ : retry;
    if (!CheckUrl(url, control, target, log)) return false;
    std::optional<Origin> first;
    if (!origin.known) first.emplace(Origin{target.host, target.port, true});
    return CoreGet(target, depth, mode, first ? *first : origin, control, body, result, log);
}

bool HttpClient::CoreGet(const Target& target, int depth, Mode mode, const Origin& origin, HttpControl& control,
                         DataBuffer& body, HttpResult& result, LogBase& log)
{
    HttpCacheHooks cache(control, target.url);
    Exchange x{target, depth, mode, origin, control, cache, body, result, log};
    const HttpCacheHooks::Hit hit = cache.Lookup(result, body, log);
    if (hit == HttpCacheHooks::Hit::Fresh) return DeliverHeld(body, log);
    if (hit == HttpCacheHooks::Hit::Redirect &&
        FollowStoredRedirect(x))
        return true;
    if (cache.RejectsDomain(target.host, log)) return false;

    // A connection of its own only for a fresh GET: a kept-alive one reuses
    // socket_, and building an unused connection costs every request.
    std::optional<HttpConnection> fresh;
    if (mode == Mode::Fresh) fresh.emplace();
    bool reused = false;
    if (!ConnectForGet(target, mode, fresh ? *fresh : socket_, control, reused, log)) return false;
    HttpConnection& socket = fresh ? *fresh : socket_;
    if (!SendGet(socket, x)) return false;
    return ReadGetResponse(socket, x, reused);
}

// A redirect kept in the cache store is followed without asking the server;
// when that fails the server is asked after all.
bool HttpClient::FollowStoredRedirect(Exchange& x)
{
    if (Redirect(x)) return true;
    x.log.LogInfo("Following the redirect from the cache failed; asking the server.");
    x.result.redirectFromCacheFailed = true;
    x.result.connectionLost = false;
    x.result.wasRedirected = false;
    x.result.finalUrl.Clear();
    x.result.fromCache = false;
    x.result.cacheState = 1;
    x.result.header.Clear();
    x.body.Clear();
    return false;
}

bool HttpClient::ConnectForGet(const Target& target, Mode mode, HttpConnection& fresh, HttpControl& control,
                               bool& reused, LogBase& log)
{
    bool hostNotFound = false;
    if (mode == Mode::Fresh) {
        fresh.SetTls(target.tls);
        StringBuffer host = target.host;
        host.TruncateAt('?');
        const bool ok = ConnectSocket(fresh, control, host.GetString(), target.port,
                                      "Failed to connect to HTTP server", hostNotFound, log);
        HttpCacheHooks::NoteConnect(control, host.GetString(), ConnectOutcomeOf(ok, hostNotFound), log);
        return ok;
    }
    // A kept-alive connection serves only the server it was opened for.
    const bool sameServer = host_.EqualsBufferNoCase(target.host) && port_ == target.port && useTls_ == target.tls;
    if (socket_.IsConnected() && sameServer) {
        reused = true;
        return true;
    }
    host_ = target.host;
    port_ = target.port;
    useTls_ = target.tls;
    socket_.SetTls(target.tls);
    const bool ok = ConnectSocket(socket_, control, host_.GetString(), port_, "Failed to connect to HTTP server.",
                                  hostNotFound, log);
    HttpCacheHooks::NoteConnect(control, host_.GetString(), ConnectOutcomeOf(ok, hostNotFound), log);
    if (!ok) return false;
    if (!socket_.IsConnected()) {
        log.LogError("Unable to connect to HTTP server.");
        return false;
    }
    return true;
}

bool HttpClient::SendGet(HttpConnection& socket, Exchange& x)
{
    const bool sendAuth = x.target.host.EqualsBufferNoCase(x.origin.host) && x.target.port == x.origin.port;
    requestText_.Clear();
    RequestText::BuildGet(x.target, sendAuth, x.control, x.cache, requestText_, x.log);
    bool notWritable = false;
    if (socket.SendRequest(requestText_.GetString(), static_cast<unsigned>(requestText_.GetLength()),
                           kWritableWaitSecs, x.log, notWritable))
        return true;
    x.result.connectionLost = true;
    if (notWritable) {
        x.log.LogError("Socket connection to HTTP server is not writeable.");
        return false;
    }
    socket.Close();
    return false;
}

bool HttpClient::ReadGetResponse(HttpConnection& socket, Exchange& x, bool reused)
{
    ResponseLimits limits(socket, x.control);
    SocketFraming framing(socket, x.control, x.log);
    for (;;) {
        DataBuffer raw;
        // Room for a usual header from the start: growing an empty buffer
        // takes a whole receive block, and a block that large per request
        // sends the allocator into a consolidation pass every time.
        raw.Reserve(kHeaderReserve);
        bool complete = false;
        if (!framing.Framing().ReadHeader(raw, complete)) {
            socket.Close();
            // A reused connection that the server had already dropped gives
            // nothing back; that is the same case as a failed write.
            if (reused) x.result.connectionLost = true;
            x.log.LogError("Failed to get response header");
            // A lost connection is re-opened and asked again; only a server
            // that gave nothing on its own connection earns a negative entry.
            if (!reused) x.cache.StoreNegative(x.log);
            return false;
        }
        reused = false;
        limits.HeaderIn();
        x.result.header.Clear();
        if (complete) x.result.header.Parse(raw, x.log);
        x.body.Clear();
        if (x.result.header.GetStatusCode() == 0) {
            if (!ResponseFraming::IsHeaderlessHtml(raw)) {
                StringBuffer received(raw.Data(),
                                      static_cast<int>(std::min(raw.Size(), ResponseFraming::kSniffBytes)));
                x.log.LogError("Invalid response header received");
                x.log.LogData("received", received.GetString());
                socket.Close();
                if (x.depth >= kMaxDepth + 1) return false;
                if (CoreGet(x.target.url.GetString(), x.depth + 1, Mode::Fresh, x.origin, x.control, x.body,
                            x.result, x.log))
                    return true;
                x.cache.StoreNegative(x.log);
                return false;
            }
            x.result.header.SetHeaderlessOk();
            x.body.AppendBuffer(raw);
        }
        bool again = false;
        const bool ok =
            FinishGetResponse(socket, x, again);
        if (!again) return ok;
    }
}

bool HttpClient::FinishGetResponse(HttpConnection& socket, Exchange& x, bool& again)
{
    if (!ReadBody(socket, x.control, x.result.header, x.body, x.log)) return false;
    StoreCookies(x.control, x.target.host.GetString(), x.result.header, x.log);
    // A streamed GET stores nothing: the cache keeps whole bodies, and a
    // streamed one was never held whole.
    if (sink_ == nullptr) x.cache.Update(x.result.header, x.body, x.log);

    if (x.mode == Mode::Fresh) {
        socket.Close();
    } else if (ResponseFraming::IsClose(x.result.header)) {
        x.log.LogInfo("Got connection:close header");
        socket.Close();
    }
    const int status = x.result.header.GetStatusCode();
    if (status == 301 || status == 302) return Redirect(x);
    if (status == 100) {
        x.body.Clear();
        again = true;
    }
    if (status == 304 && x.cache.Revalidate(x.result, x.body, x.log)) return DeliverHeld(x.body, x.log);
    return true;
}

bool HttpClient::ReadBody(HttpConnection& socket, const HttpControl& control, const HttpResponseHeader& header,
                          DataBuffer& body, LogBase& log)
{
    SocketFraming framing(socket, control, log);
    if (sink_ != nullptr) return StreamBody(framing.Framing(), socket, control, header, body, log);
    if (!framing.Framing().ReadBody(header, body)) return BodyFailed(socket, header, log);
    if (!ResponseFraming::GunzipIfCompressed(body, control.maxContentLength, log)) return false;
    return !framing.Framing().ExceedsMaxContent(body);
}

// body holds what was read already: the start of a page without header.
bool HttpClient::StreamBody(ResponseFraming& framing, HttpConnection& socket, const HttpControl& control,
                            const HttpResponseHeader& header, DataBuffer& body, LogBase& log)
{
    const int status = header.GetStatusCode();
    if ((status == 301 || status == 302) && control.followRedirects) {
        // Only the final response's body is the caller's.
        DiscardSink discard;
        return framing.StreamBody(header, discard) || BodyFailed(socket, header, log);
    }
    StreamedBody streamed(*sink_, control.maxContentLength, log);
    const bool started = streamed.Write(body.Data(), body.Size());
    body.Clear();
    if (!started) socket.Close();
    if (!started || !framing.StreamBody(header, streamed)) return BodyFailed(socket, header, log);
    return streamed.Finish();
}

bool HttpClient::DeliverHeld(const DataBuffer& body, LogBase& log)
{
    return sink_ == nullptr || StreamedBody::WriteHeld(*sink_, body, log);
}

bool HttpClient::Redirect(Exchange& x)
{
    if (x.depth >= kMaxDepth) {
        x.log.LogError("Aborted to avoid infinite redirects.");
        return false;
    }
    StringBuffer location;
    x.result.header.GetField("Location", location);
    location.Trim();
    if (location.IsEmpty()) {
        x.log.LogError("Got 301/302 redirect, but no new location.");
        return false;
    }
    x.log.LogData("redirectUrl", location.GetString());
    StringBuffer newUrl;
    if (!MakeRedirectUrl(x.target.url.GetString(), location, newUrl) || newUrl.IsEmpty()) {
        x.log.LogError("Failed to construct new URL");
        x.log.LogData("location", location.GetString());
        x.log.LogData("url", x.target.url.GetString());
        return false;
    }
    x.result.wasRedirected = true;
    x.result.finalUrl = newUrl;
    if (!x.control.followRedirects) return true;

    x.result.header.Clear();
    x.body.Clear();
    StringBuffer newHost, login, password, path, query, fragment;
    int newPort = 0;
    ZentrelUrl::CrackUrl(newUrl.GetString(), newHost, newPort, login, password, path, query, fragment);
    const bool sameServer = newHost.EqualsBufferNoCase(x.target.host) && newPort == x.target.port;
    if (x.control.HasCredentials() && !(newHost.EqualsBufferNoCase(x.origin.host) && newPort == x.origin.port))
        x.log.LogInfo("Redirected to another host: the Authorization field is not sent there.");
    // A further redirect overwrites finalUrl, so it names the last target.
    if (CoreGet(newUrl.GetString(), x.depth + 1, sameServer ? Mode::KeepAlive : Mode::Fresh, x.origin, x.control,
                x.body, x.result, x.log))
        return true;
    x.cache.StoreNegative(x.log);
    return false;
}

bool HttpClient::MakeRedirectUrl(const char* oldUrl, const StringBuffer& location, StringBuffer& out)
{
    out.Clear();
    if (location.BeginsWith("http")) {
        out = location;
        return true;
    }
    if (location.CharAt(0) == '/' && location.CharAt(1) != '/') {
        const char* authority = std::strstr(oldUrl, "//");
        if (authority != nullptr) {
            const char* end = authority + 2;
            while (*end != '\0' && *end != '/' && *end != '?' && *end != '#') ++end;
            out.AppendBytes(oldUrl, static_cast<int>(end - oldUrl));
            out.AppendBuffer(location);
            return true;
        }
    }
    return ZentrelUrl::CombineUrl(oldUrl, location.GetString(), out);
}

void HttpClient::StoreCookies(HttpControl& control, const char* host, const HttpResponseHeader& header,
                              LogBase& log)
{
    if (control.cookieDir.IsEmpty() || !control.saveCookies) return;
    if (!header.HasField("Set-Cookie") && !header.HasField("Set-Cookie2")) return;
    // A cookie without a domain belongs to the host that answered, which
    // after a redirect need not be the host the client first talked to.
    StringBuffer defaultDomain;
    CookieMgr::GetDefaultDomain(host, defaultDomain);
    std::vector<std::unique_ptr<Cookie>> cookies;
    header.CollectResponseCookies(cookies, defaultDomain.GetString(), log);
    for (const auto& cookie : cookies)
        CookieMgr::SaveCookie(control.cookieDir.GetString(), &control.cookieMap, host, *cookie, log);
}

// ---------------------------------------------------------------- built request

bool HttpClient::SendAndRead(HttpControl& control, bool useTls, HttpRequest& request, HttpResult& result,
                             DataBuffer& body, LogBase& log)
{
    body.Clear();
    result.Reset();
    if (useTls != socket_.IsTls() || !socket_.IsConnected()) {
        log.LogError("Socket not connected for HTTP request");
        return false;
    }
    DataBuffer bytes;
    SerializeBuilt(control, request, bytes, log);
    if (!socket_.SendBytes(bytes.Data(), bytes.Size(), log)) {
        socket_.Close();
        return false;
    }
    bool again = true;
    while (again) {
        if (!ReadBuiltResponse(control, request, result, body, again, log)) return false;
    }
    if (result.header.GetStatusCode() == 405 && control.HasProxy())
        log.LogError("Proxy Server does not support the HTTP method being attempted");
    return true;
}

// Adds Host, Authorization and Cookie to the request and writes it out.
void HttpClient::SerializeBuilt(HttpControl& control, HttpRequest& request, DataBuffer& bytes, LogBase& log)
{
    StringBuffer hostValue;
    RequestText::HostFieldValue(host_, port_, useTls_, hostValue);
    request.SetHeaderField("Host", hostValue.GetString());
    StringBuffer auth;
    RequestText::BasicAuthorization(control, auth);
    if (!auth.IsEmpty()) request.SetHeaderField("Authorization", auth.GetString());
    StringBuffer path;
    request.GetPathForCookies(path);
    StringBuffer cookie;
    RequestText::CookieValue(control, host_.GetString(), path.GetString(), cookie, log);
    StringBuffer cookieLine;
    if (!cookie.IsEmpty()) {
        cookieLine.Append("Cookie: ");
        cookieLine.AppendBuffer(cookie);
    }
    StringBuffer prefix;
    if (control.HasProxy()) {
        prefix.Append("http://");
        prefix.AppendBuffer(host_);
        if (port_ != ZentrelUrl::kHttpPort) {
            prefix.AppendChar(':');
            prefix.AppendInt(port_);
        }
    }
    const char* target = prefix.IsEmpty() ? nullptr : prefix.GetString();
    if (request.IsMultipart()) {
        request.SerializeMultipart(host_.GetString(), auth.GetString(), target, bytes);
        return;
    }
    StringBuffer text;
    request.Serialize(text, cookieLine.IsEmpty() ? nullptr : cookieLine.GetString(), target);
    bytes.AppendBytes(text.GetString(), static_cast<unsigned>(text.GetLength()));
}

// Reads one response to a built request; again is set after a 100 answer.
bool HttpClient::ReadBuiltResponse(HttpControl& control, const HttpRequest& request, HttpResult& result,
                                   DataBuffer& body, bool& again, LogBase& log)
{
    again = false;
    ResponseLimits limits(socket_, control);
    SocketFraming framing(socket_, control, log);
    DataBuffer raw;
    bool complete = false;
    framing.Framing().ReadHeader(raw, complete);
    if (!complete) {
        log.LogError("Failed to get response header");
        socket_.Close();
        return false;
    }
    limits.HeaderIn();
    result.header.Clear();
    result.header.Parse(raw, log);
    const int status = result.header.GetStatusCode();
    if (status == 0) {
        log.LogError("Received unexpected HTTP response");
        socket_.Close();
        return false;
    }
    body.Clear();
    if (!request.IsHead() && !ReadBody(socket_, control, result.header, body, log)) return false;
    if (status == 100) {
        if (result.header.HasField("Connection")) log.LogInfo("Got 'connection: close' header on status code 100");
    } else if (ResponseFraming::IsClose(result.header)) {
        socket_.Close();
    }
    StoreCookies(control, host_.GetString(), result.header, log);
    if (status == 100) {
        log.LogInfo("Received HTTP 100 response.");
        again = true;
    }
    return true;
}

} // namespace plentor
