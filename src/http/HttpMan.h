#pragma once

#include "http/HttpControl.h"
#include "http/HttpResult.h"
#include "http/net/HttpConnPool.h"
#include "log/ClsBase.h"

namespace plentor {

class BodySink;
class ClsHttpRequest;
class ClsHttpResponse;
class DataBuffer;
class StringBuffer;
class XString;

// The HTTP client the service clients use: settings, a pool of open
// connections and the result of the last URL fetch. Every operation answers
// with a boolean (or null) and explains failures in the object's log.
class HttpMan : public ClsBase {
public:
    HttpMan() = default;
    ~HttpMan() override = default;

    void SetConnectTimeout(int seconds) { control_.connectTimeoutSec = seconds; }
    void SetReadTimeout(int seconds) { control_.readTimeoutSec = seconds; }
    // The largest body a fetch accepts, in bytes; 0: no limit.
    void SetMaxContentLength(int bytes) { control_.maxContentLength = bytes; }
    // "memory" keeps cookies in this object; a directory keeps one file per
    // domain; null or "" turns cookie handling off.
    void SetCookieDir(const char* where) { control_.cookieDir.SetString(where != nullptr ? where : ""); }
    void SetSendCookies(bool on) { control_.sendCookies = on; }
    void SetSaveCookies(bool on) { control_.saveCookies = on; }
    // Firefox-style GET headers; turning them on turns the IE-style set off.
    void SetMimicFirefox(bool on);
    void SetUpdateCache(bool on) { control_.cacheControl.updateCache = on; }
    void SetFetchFromCache(bool on) { control_.cacheControl.fetchFromCache = on; }
    // Basic-authentication credentials, kept in the ANSI code page.
    void SetLogin(const XString& login);
    void SetPassword(const XString& password);
    // Accept HTTPS servers whose certificate does not verify (off by default).
    void SetAcceptUnverifiedCert(bool on) { control_.acceptUnverifiedCert = on; }
    void SetReferer(const char* referer) { control_.referer.SetString(referer != nullptr ? referer : ""); }

    // GETs the URL; out gets the body as UTF-8 text. True when the transfer
    // worked and the status is below 400. Clears the log first.
    bool QuickGetHtml(const char* url, StringBuffer& out);
    // GETs the URL; out gets the body bytes unchanged. True when the transfer
    // worked and the status is below 400.
    bool QuickGetBytes(const char* url, DataBuffer& out);
    // GETs the URL and hands the body to sink as it arrives, inflated when
    // gzip, holding no more than about a block of it; maxContentLength counts
    // the bytes delivered. True when the transfer worked, the sink took
    // everything and the status is below 400.
    bool QuickGetToSink(const char* url, BodySink& sink);
    // Sends a built request to domain:port (0 means 80). A new response the
    // caller deletes, or null (logged). The status is not judged here.
    ClsHttpResponse* SendRequest(const char* domain, int port, bool useTls, ClsHttpRequest& request);

    HttpControl& GetControl() { return control_; }
    const HttpControl& GetControl() const { return control_; }
    const HttpResult& GetResult() const { return result_; }
    HttpConnPool& GetPool() { return pool_; }

private:
    // GET into body; true when the engine completed the exchange.
    bool FetchRaw(const char* url, DataBuffer& body);
    bool Judge(bool transferred) const;
    // Appends body to out as UTF-8, decoded by the charset the reply declares.
    void AppendAsUtf8(const DataBuffer& body, StringBuffer& out);
    void FindCharset(const DataBuffer& body, StringBuffer& charset) const;

    HttpControl control_;
    HttpConnPool pool_;
    HttpResult result_;
};

} // namespace plentor
