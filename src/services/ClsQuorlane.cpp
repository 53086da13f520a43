#include "services/ClsQuorlane.h"

#include "http/ClsHttpResponse.h"
#include "services/BrowserClient.h"
#include "services/ServiceForm.h"
#include "text/XString.h"

#include <cstring>
#include <memory>
#include <string_view>

namespace plentor {

namespace {

constexpr int kStatusOk = 200;
constexpr const char* kCommandPath = "/tapp/db.exe";
// The whole reply to a command that worked: no declaration, no line end.
constexpr const char* kOkReply = "<status>OK</status>";
constexpr const char* kSearchMark = "&s=tqpsrch";

// The UTF-8 form of a value, without touching the caller's object.
StringBuffer Utf8(const XString& value)
{
    XString copy(value);
    return StringBuffer(copy.GetUtf8());
}

} // namespace

ClsQuorlane::ClsQuorlane()
{
    BrowserClient::SetUpBrowser(http_);
}

void ClsQuorlane::StripSearchMark(StringBuffer& url)
{
    const std::string_view text(url.GetString(), static_cast<size_t>(url.GetLength()));
    const size_t at = text.find(kSearchMark);
    if (at != std::string_view::npos) url.DropLast(url.GetLength() - static_cast<int>(at));
}

bool ClsQuorlane::SendCommand(ServiceForm& form)
{
    std::unique_ptr<ClsHttpResponse> response = form.Send(http_);
    if (!response || response->StatusCode() != kStatusOk) return false;
    // A zero byte would end the decoded text early and hide what follows
    // it; the service's replies never carry one.
    const DataBuffer& body = response->GetBody();
    if (body.Size() > 0 && std::memchr(body.Data(), 0, body.Size()) != nullptr) return false;
    XString text;
    response->GetBodyText(text);
    return text.EqualsUtf8(kOkReply);
}

bool ClsQuorlane::Login(const XString& login, const XString& password)
{
    ServiceForm form(endpoint_.Resolve(BookmarkService::Quorlane, log_), kCommandPath, log_);
    form.Add("c", "login");
    form.Add("api", "1");
    form.Add("l", Utf8(login).GetString());
    form.Add("p", Utf8(password).GetString());
    return SendCommand(form);
}

bool ClsQuorlane::Add(const char* command, const XString& category, const XString& tags, const XString& url,
                      const XString& title, const XString& extended)
{
    StringBuffer sentUrl = Utf8(url);
    StripSearchMark(sentUrl);
    ServiceForm form(endpoint_.Resolve(BookmarkService::Quorlane, log_), kCommandPath, log_);
    form.Add("c", command);
    form.Add("api", "1");
    form.Add("bt", Utf8(category).GetString());
    form.Add("t", Utf8(tags).GetString());
    form.Add("url", sentUrl.GetString());
    form.Add("et", Utf8(title).GetString());
    form.Add("etx", Utf8(extended).GetString());
    return SendCommand(form);
}

bool ClsQuorlane::AddEntry(const XString& category, const XString& tag, const XString& url, const XString& title,
                           const XString& extended)
{
    return Add("addEntry", category, tag, url, title, extended);
}

bool ClsQuorlane::AddToTags(const XString& category, const XString& tags, const XString& url, const XString& title,
                            const XString& extended)
{
    return Add("addToTags", category, tags, url, title, extended);
}

} // namespace plentor
