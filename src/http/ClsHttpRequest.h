#pragma once

#include "http/HttpRequest.h"

namespace plentor {

class LogBase;

// Builds a request for HttpMan::SendRequest: path, parameters, header fields
// and method over the request model.
class ClsHttpRequest {
public:
    ClsHttpRequest() = default;
    virtual ~ClsHttpRequest() = default;
    ClsHttpRequest(const ClsHttpRequest&) = delete;
    ClsHttpRequest& operator=(const ClsHttpRequest&) = delete;

    // Path and query parameters from a full URL; the parameters are replaced,
    // the header fields kept. False (logged) when the URL cannot be split.
    bool SetFromUrl(const char* url, LogBase& log) { return request_.SetFromUrl(url, log); }
    bool SetFromUrl(const char* url);
    // A POST whose body is the URL-encoded parameters.
    void SetFormPost() { request_.SetFormPost(); }
    // Adds a parameter or replaces the value of the one of that name.
    void AddParam(const char* name, const char* value) { request_.AddParam(name, value); }
    // Replaces every field of that name by one; a null or blank value removes them.
    void SetHeaderField(const char* name, const char* value) { request_.SetHeaderField(name, value); }
    // The header fields a desktop browser sends.
    void SetBrowserHeaders();

    HttpRequest& GetRequest() { return request_; }
    const HttpRequest& GetRequest() const { return request_; }

private:
    HttpRequest request_;
};

} // namespace plentor
