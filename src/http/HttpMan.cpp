#include "http/HttpMan.h"

#include "base/LogBase.h"
#include "base/LogNull.h"
#include "http/ClsHttpRequest.h"
#include "http/ClsHttpResponse.h"
#include "markup/HtmlHelp.h"
#include "text/AsciiChars.h"
#include "text/CharsetNames.h"
#include "text/DataBuffer.h"
#include "text/EncodingConvert.h"
#include "text/StringBuffer.h"
#include "text/XString.h"

#include <memory>
#include <string_view>

namespace plentor {

namespace {

// Statuses from here on are client or server errors.
constexpr int kFirstErrorStatus = 400;

bool HasHighByte(const DataBuffer& body)
{
    return !body.IsAscii7();
}

// url without white space at either end; copied into held only when it has
// some there, as a URL seldom does.
const char* Trimmed(const char* url, StringBuffer& held)
{
    if (url == nullptr) return "";
    const std::string_view text(url);
    if (text.empty() || (!AsciiChars::IsSpace(text.front()) && !AsciiChars::IsSpace(text.back()))) return url;
    held.SetString(url);
    held.Trim();
    return held.GetString();
}

} // namespace

void HttpMan::SetMimicFirefox(bool on)
{
    control_.mimicFirefox = on;
    if (on) control_.mimicIe = false;
}

void HttpMan::SetLogin(const XString& login)
{
    XString copy(login);   // the ANSI form is made on demand
    control_.login.SetString(copy.GetAnsi());
}

void HttpMan::SetPassword(const XString& password)
{
    XString copy(password);
    control_.password.SetString(copy.GetAnsi());
}

bool HttpMan::FetchRaw(const char* url, DataBuffer& body)
{
    return pool_.QuickGet(url, control_, body, result_, log_);
}

bool HttpMan::Judge(bool transferred) const
{
    return transferred && result_.header.GetStatusCode() < kFirstErrorStatus;
}

bool HttpMan::QuickGetBytes(const char* url, DataBuffer& out)
{
    StringBuffer held;
    const char* trimmed = Trimmed(url, held);
    result_.Reset();
    return Judge(FetchRaw(trimmed, out));
}

bool HttpMan::QuickGetToSink(const char* url, BodySink& sink)
{
    StringBuffer held;
    const char* trimmed = Trimmed(url, held);
    result_.Reset();
    return Judge(pool_.QuickGet(trimmed, control_, sink, result_, log_));
}

bool HttpMan::QuickGetHtml(const char* url, StringBuffer& out)
{
    log_.ClearLog();
    LogContext context(log_, "QuickGetHtml");
    result_.Reset();
    out.Clear();
    DataBuffer body;
    const bool transferred = FetchRaw(url, body);
    if (transferred && !body.IsEmpty())
        AppendAsUtf8(body, out);
    return Judge(transferred);
}

void HttpMan::FindCharset(const DataBuffer& body, StringBuffer& charset) const
{
    if (result_.header.GetCharset(charset) && !charset.IsEmpty())
        return;
    charset.Clear();
    // Pure ASCII reads the same in every charset a page may declare, so the
    // markup is only searched when it matters.
    if (!HasHighByte(body)) return;
    StringBuffer contentType;
    if (!result_.header.GetField("Content-Type", contentType) || !contentType.ContainsNoCase("text/html"))
        return;
    const std::string_view html(reinterpret_cast<const char*>(body.Data()), body.Size());
    HtmlHelp::GetMetaCharset(html, charset);
    if (charset.IsEmpty())
        HtmlHelp::GetMetaCharsetAttribute(html, charset);
}

void HttpMan::AppendAsUtf8(const DataBuffer& body, StringBuffer& out)
{
    StringBuffer charset;
    FindCharset(body, charset);
    const int codePage = CharsetNames::CodePageFromName(charset.GetString());
    // No charset, or one we cannot name: the bytes are passed on as they came.
    if (codePage == 0 || codePage == EncodingConvert::kUtf8 || codePage == EncodingConvert::kUsAscii) {
        out.AppendDataBuffer(body);
        return;
    }
    DataBuffer converted;
    EncodingConvert converter;
    LogNull quiet;   // a failed conversion is no error: the page still arrives as received
    converter.Convert(codePage, EncodingConvert::kUtf8, body.Data(), body.Size(), converted, quiet);
    if (converted.IsEmpty()) log_.LogInfo("Charset conversion gave no text; delivering the bytes as received");
    out.AppendDataBuffer(converted.IsEmpty() ? body : converted);
}

ClsHttpResponse* HttpMan::SendRequest(const char* domain, int port, bool useTls, ClsHttpRequest& request)
{
    auto response = std::make_unique<ClsHttpResponse>();
    response->SetDomain(domain);
    if (!pool_.SendRequest(domain, port, useTls, request.GetRequest(), control_, response->GetResult(),
                           response->GetBody(), log_))
        return nullptr;
    return response.release();
}

} // namespace plentor
