#include "services/ServiceForm.h"

#include "http/ClsHttpResponse.h"
#include "http/HttpMan.h"
#include "text/StringBuffer.h"

namespace plentor {

ServiceForm::ServiceForm(const ServiceEndpoint& endpoint, const char* path, LogBase& log) : endpoint_(endpoint)
{
    StringBuffer url;
    endpoint_.BuildUrl(path, url);
    request_.SetFromUrl(url.GetString(), log);
    request_.SetFormPost();
}

void ServiceForm::Add(const char* name, const char* value)
{
    request_.AddParam(name, value != nullptr ? value : "");
}

void ServiceForm::AddFields(std::span<const FormField> fields, const FormField::Values& values)
{
    for (const FormField& field : fields) Add(field.name, field.ValueFor(values).GetString());
}

void ServiceForm::ImitateBrowser(const char* referer)
{
    request_.SetHeaderField("Referer", referer);
    request_.SetBrowserHeaders();
}

std::unique_ptr<ClsHttpResponse> ServiceForm::Send(HttpMan& http)
{
    return std::unique_ptr<ClsHttpResponse>(
        http.SendRequest(endpoint_.Host(), endpoint_.Port(), endpoint_.UseTls(), request_));
}

ServiceForm::Reply ServiceForm::Post(HttpMan& http)
{
    Reply reply;
    std::unique_ptr<ClsHttpResponse> response = Send(http);
    if (!response) return reply;
    reply.status = response->StatusCode();
    const HttpResponseHeader& header = response->GetResult().header;
    reply.setsCookie = header.HasField("Set-Cookie") || header.HasField("Set-Cookie2");
    return reply;
}

} // namespace plentor
