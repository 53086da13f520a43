#pragma once

#include "http/RequestText.h"
#include "http/net/HttpConnection.h"
#include "text/StringBuffer.h"

#include <cstdint>

namespace plentor {

class BodySink;
class DataBuffer;
class HttpCacheHooks;
class HttpControl;
class HttpRequest;
class HttpResponseHeader;
class HttpResult;
class LogBase;
class ResponseFraming;

// One HTTP/1.1 transaction at a time over one kept-alive connection: writes
// the request, reads the response through ResponseFraming, stores cookies,
// honours "Connection: close" and follows redirects. One client per pooled
// connection.
class HttpClient {
public:
    // Redirects followed and unreadable headers retried share this depth:
    // the first GET runs at depth 0, so four redirects are followed.
    static constexpr int kMaxDepth = 4;
    // How long a kept-alive socket may take to become writable.
    static constexpr uint32_t kWritableWaitSecs = 1;

    HttpClient() = default;
    virtual ~HttpClient() = default;
    HttpClient(const HttpClient&) = delete;
    HttpClient& operator=(const HttpClient&) = delete;

    // GET of a URL over this client's kept-alive connection; when the request
    // cannot be written (or a reused connection turns out dead) the
    // connection is re-opened once and the GET repeated.
    bool Get(const char* url, HttpControl& control, DataBuffer& body, HttpResult& result, LogBase& log);
    // The same GET, with the final response's body handed to sink as it
    // arrives (inflated when gzip, counted against maxContentLength) instead
    // of held; redirect bodies are read past. A sink that refuses a block
    // ends the transfer. Nothing of a streamed GET is stored in the cache.
    bool Get(const char* url, HttpControl& control, BodySink& sink, HttpResult& result, LogBase& log);

    // Makes sure the client is connected to host:port (built-request path).
    bool Connect(HttpControl& control, const char* host, int port, bool useTls, LogBase& log);

    // Writes a built request and reads its response, skipping 100 answers.
    bool SendAndRead(HttpControl& control, bool useTls, HttpRequest& request, HttpResult& result,
                     DataBuffer& body, LogBase& log);

    // Closes and connects anew to host:port (or the proxy).
    bool OpenConnection(HttpControl& control, const char* host, int port, LogBase& log);

    void Close();

    // Names the server a new pooled client is for, so that the pool finds it
    // again before its first connect.
    void SetServer(const char* host, int port)
    {
        host_.SetString(host);
        port_ = port;
    }

    const StringBuffer& GetHost() const { return host_; }
    int GetPort() const { return port_; }
    bool IsConnected() const { return socket_.IsConnected(); }

private:
    enum class Mode { KeepAlive, Fresh };

    // Where the settings' credentials may be sent.
    struct Origin {
        StringBuffer host;
        int port = 0;
        bool known = false;   // false: the server of the URL being fetched, once it is split
    };

    // One URL split into the parts a GET needs.
    using Target = RequestTarget;

    bool CoreGet(const char* url, int depth, Mode mode, const Origin& origin, HttpControl& control,
                 DataBuffer& body, HttpResult& result, LogBase& log);
    bool CoreGet(const Target& target, int depth, Mode mode, const Origin& origin, HttpControl& control,
                 DataBuffer& body, HttpResult& result, LogBase& log);
    bool CheckUrl(const char* url, HttpControl& control, Target& target, LogBase& log);
    // Splits url into target, unless target holds that URL's split already;
    // false when it does not split or names no host.
    static bool SplitTarget(const char* url, Target& target);
    // One GET in progress: what it asks for, how deep in redirects it is,
    // and where its answer goes.
    struct Exchange {
        const Target& target;
        const int depth;
        const Mode mode;
        const Origin& origin;
        HttpControl& control;
        HttpCacheHooks& cache;
        DataBuffer& body;
        HttpResult& result;
        LogBase& log;
    };

    bool ConnectForGet(const Target& target, Mode mode, HttpConnection& fresh, HttpControl& control, bool& reused,
                       LogBase& log);
    bool SendGet(HttpConnection& socket, Exchange& x);
    bool ReadGetResponse(HttpConnection& socket, Exchange& x, bool reused);
    // Body, cookies, connection handling and redirects of one response;
    // again is set for a 100 answer, after which the next header follows.
    bool FinishGetResponse(HttpConnection& socket, Exchange& x, bool& again);
    bool Redirect(Exchange& x);
    bool FollowStoredRedirect(Exchange& x);

    static void StoreCookies(HttpControl& control, const char* host, const HttpResponseHeader& header,
                             LogBase& log);
    void SerializeBuilt(HttpControl& control, HttpRequest& request, DataBuffer& bytes, LogBase& log);
    bool ReadBuiltResponse(HttpControl& control, const HttpRequest& request, HttpResult& result, DataBuffer& body,
                           bool& again, LogBase& log);
    // The body of a response: buffered (inflated, checked against the
    // limit), or streamed to sink_ during a streamed GET.
    bool ReadBody(HttpConnection& socket, const HttpControl& control, const HttpResponseHeader& header,
                  DataBuffer& body, LogBase& log);
    bool StreamBody(ResponseFraming& framing, HttpConnection& socket, const HttpControl& control,
                    const HttpResponseHeader& header, DataBuffer& body, LogBase& log);
    // During a streamed GET, a body that is held already (from the cache)
    // goes to the sink whole.
    bool DeliverHeld(const DataBuffer& body, LogBase& log);
    static bool MakeRedirectUrl(const char* oldUrl, const StringBuffer& location, StringBuffer& out);

    void SetTimeouts(HttpConnection& socket, const HttpControl& control) const;
    bool ConnectSocket(HttpConnection& socket, HttpControl& control, const char* host, int port,
                       const char* failure, LogBase& log);
    bool ConnectSocket(HttpConnection& socket, HttpControl& control, const char* host, int port,
                       const char* failure, bool& hostNotFound, LogBase& log);

    StringBuffer host_;     // server this client is (or was last) connected to
    int port_ = 80;
    bool useTls_ = false;
    HttpConnection socket_;   // plain socket or TLS channel, as the server needs
    BodySink* sink_ = nullptr;   // where a streamed GET in progress puts its final body; null: buffered
    Target lastTarget_;          // the split of the last URL asked for at depth 0
    StringBuffer requestText_;   // the GET being sent; kept for its block
};

} // namespace plentor
