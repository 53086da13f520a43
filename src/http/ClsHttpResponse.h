#pragma once

#include "http/HttpResult.h"
#include "text/DataBuffer.h"
#include "text/StringBuffer.h"

namespace plentor {

class XString;

// The reply to HttpMan::SendRequest: result record (status and header), body
// and the domain the request went to. The caller owns and deletes it.
class ClsHttpResponse {
public:
    ClsHttpResponse() = default;
    virtual ~ClsHttpResponse() = default;
    ClsHttpResponse(const ClsHttpResponse&) = delete;
    ClsHttpResponse& operator=(const ClsHttpResponse&) = delete;

    // 0 when no status line was read.
    int StatusCode() const { return result_.header.GetStatusCode(); }
    // The body as text, decoded by the "charset" of Content-Type
    // (ISO-8859-1 when there is none).
    void GetBodyText(XString& out) const;

    HttpResult& GetResult() { return result_; }
    const HttpResult& GetResult() const { return result_; }
    DataBuffer& GetBody() { return body_; }
    const DataBuffer& GetBody() const { return body_; }
    const StringBuffer& GetDomain() const { return domain_; }
    void SetDomain(const char* domain) { domain_.SetString(domain != nullptr ? domain : ""); }

private:
    HttpResult result_;
    DataBuffer body_;
    StringBuffer domain_;
};

} // namespace plentor
