#include "http/RequestText.h"

#include "base/LogBase.h"
#include "http/HttpControl.h"
#include "http/ZentrelUrl.h"
#include "http/cache/HttpCacheHooks.h"
#include "http/cookies/CookieJar.h"
#include "http/cookies/CookieMgr.h"
#include "text/ContentCoding.h"

#include <memory>

namespace plentor {

namespace {

constexpr char kCrLf[] = "\r\n";

void AppendLine(StringBuffer& out, const char* name, const StringBuffer& value)
{
    if (value.IsEmpty()) return;
    out.Append(name);
    out.AppendBuffer(value);
    out.Append(kCrLf);
}

void AppendHostLine(StringBuffer& out, const StringBuffer& host, int port, bool tls)
{
    if (host.IsEmpty()) return;
    out.Append("Host: ");
    RequestText::HostFieldValue(host, port, tls, out);
    out.Append(kCrLf);
}

} // namespace

void RequestText::HostFieldValue(const StringBuffer& host, int port, bool tls, StringBuffer& out)
{
    out.AppendBuffer(host);
    if (port != (tls ? ZentrelUrl::kHttpsPort : ZentrelUrl::kHttpPort)) {
        out.AppendChar(':');
        out.AppendInt(port);
    }
}

void RequestText::BasicAuthorization(const HttpControl& control, StringBuffer& out)
{
    out.Clear();
    if (!control.HasCredentials()) return;
    StringBuffer pair = control.login;
    pair.AppendChar(':');
    pair.AppendBuffer(control.password);
    out.Append("Basic ");
    ContentCoding::EncodeBase64(pair.GetString(), static_cast<unsigned>(pair.GetLength()), out);
}

void RequestText::CookieValue(HttpControl& control, const char* host, const char* path, StringBuffer& out,
                             LogBase& log)
{
    out.Clear();
    if (control.cookieDir.IsEmpty() || !control.sendCookies) return;
    std::unique_ptr<CookieJar> jar =
        CookieMgr::LoadJar(control.cookieDir.GetString(), &control.cookieMap, host, log);
    if (!jar) return;
    jar->BuildCookieHeader(host, path, out);
    out.Trim();
}

void RequestText::BuildGet(const RequestTarget& target, bool sendAuth, HttpControl& control,
                                 const HttpCacheHooks& cache, StringBuffer& out, LogBase& log)
{
    out.Append("GET ");
    if (control.HasProxy()) {
        out.AppendBuffer(target.url);
    } else {
        out.AppendBuffer(target.path);
        if (!target.query.IsEmpty()) {
            out.AppendChar('?');
            out.AppendBuffer(target.query);
        }
    }
    out.Append(" HTTP/1.1\r\n");
    StringBuffer cookie;
    CookieValue(control, target.host.GetString(), target.path.GetString(), cookie, log);
    StringBuffer auth;
    if (sendAuth) BasicAuthorization(control, auth);
    if (control.mimicIe)
        AppendIeSet(target, cookie, auth, control, out);
    else if (control.mimicFirefox)
        AppendFirefoxSet(target, cookie, auth, control, out);
    else
        AppendDefaultSet(target, cookie, auth, control, cache, out);
    out.Append(kCrLf);
}

void RequestText::AppendDefaultSet(const RequestTarget& target, const StringBuffer& cookie, const StringBuffer& auth,
                                  HttpControl& control, const HttpCacheHooks& cache, StringBuffer& out)
{
    cache.AppendConditionalLine(out);
    StringBuffer extra;
    control.extraHeaders.Write(extra, nullptr, 0);
    if (!extra.IsEmpty()) {
        out.AppendBuffer(extra);
        out.Append(kCrLf);
    }
    AppendLine(out, "Accept: ", control.accept);
    AppendLine(out, "Accept-Charset: ", control.acceptCharset);
    AppendLine(out, "Accept-Language: ", control.acceptLanguage);
    AppendLine(out, "Referer: ", control.referer);
    AppendLine(out, "User-Agent: ", control.userAgent);
    AppendLine(out, "Cookie: ", cookie);
    AppendLine(out, "Authorization: ", auth);
    if (control.sendHost) AppendHostLine(out, target.host, target.port, target.tls);
    AppendLine(out, "Connection: ", control.connection);
}

void RequestText::AppendIeSet(const RequestTarget& target, const StringBuffer& cookie, const StringBuffer& auth,
                             HttpControl& control, StringBuffer& out)
{
    out.Append("Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, application/vnd.ms-excel, "
               "application/msword, application/x-shockwave-flash, */*\r\n");
    AppendLine(out, "Referer: ", control.referer);
    if (control.acceptLanguage.IsEmpty())
        out.Append("Accept-Language: en-us\r\n");
    else
        AppendLine(out, "Accept-Language: ", control.acceptLanguage);
    out.Append(control.allowGzip ? "Accept-Encoding: gzip\r\n" : "Accept-Encoding: \r\n");
    out.Append("User-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; SV1; .NET CLR 1.0.3705; "
               ".NET CLR 1.1.4322)\r\n");
    AppendLine(out, "Cookie: ", cookie);
    AppendLine(out, "Authorization: ", auth);
    out.Append("Connection: Keep-Alive\r\n");
    AppendHostLine(out, target.host, target.port, target.tls);
}

void RequestText::AppendFirefoxSet(const RequestTarget& target, const StringBuffer& cookie, const StringBuffer& auth,
                                  HttpControl& control, StringBuffer& out)
{
    AppendHostLine(out, target.host, target.port, target.tls);
    out.Append("User-Agent: Mozilla/5.0 (Windows; U; Windows NT 5.1; en-US; rv:1.7.7) Gecko/20050414 "
               "Firefox/1.0.3\r\n");
    out.Append("Accept: text/xml,application/xml,application/xhtml+xml,text/html;q=0.9,text/plain;q=0.8,"
               "image/png,*/*;q=0.5\r\n");
    if (control.acceptCharset.IsEmpty())
        out.Append("Accept-Charset: ISO-8859-1,utf-8;q=0.7,*;q=0.7\r\n");
    else
        AppendLine(out, "Accept-Charset: ", control.acceptCharset);
    out.Append(control.allowGzip ? "Accept-Encoding: gzip\r\n" : "Accept-Encoding: \r\n");
    if (control.acceptLanguage.IsEmpty())
        out.Append("Accept-Language: en-us,en;q=0.5\r\n");
    else
        AppendLine(out, "Accept-Language: ", control.acceptLanguage);
    out.Append("Keep-Alive: 300\r\n");
    out.Append("Connection: keep-alive\r\n");
    AppendLine(out, "Referer: ", control.referer);
    AppendLine(out, "Cookie: ", cookie);
    AppendLine(out, "Authorization: ", auth);
}

} // namespace plentor
