#include "http/ClsHttpRequest.h"

#include "base/LogNull.h"

namespace plentor {

namespace {

struct HeaderValue {
    const char* name;
    const char* value;
};

// The fields, in the order they are set, that make a request look like it
// came from a browser; some services refuse other clients.
constexpr HeaderValue kBrowserHeaders[] = {
    {"User-Agent", "Mozilla/5.0 (Windows; U; Windows NT 5.1; en-US; rv:1.7.8) Gecko/20050511 Firefox/1.0.4"},
    {"Accept", "text/xml,application/xml,application/xhtml+xml,text/html;q=0.9,text/plain;q=0.8,image/png,*/*;q=0.5"},
    {"Accept-Language", "en"},
    {"Accept-Encoding", "gzip"},
    {"Accept-Charset", "ISO-8859-1,utf-8;q=0.7,*;q=0.7"},
    {"Keep-Alive", "300"},
    {"Connection", "keep-alive"},
};

} // namespace

bool ClsHttpRequest::SetFromUrl(const char* url)
{
    LogNull quiet;
    return request_.SetFromUrl(url, quiet);
}

void ClsHttpRequest::SetBrowserHeaders()
{
    for (const HeaderValue& field : kBrowserHeaders)
        request_.SetHeaderField(field.name, field.value);
}

} // namespace plentor
