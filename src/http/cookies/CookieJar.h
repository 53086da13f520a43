#pragma once

#include "http/cookies/Cookie.h"

#include <memory>
#include <vector>

namespace plentor {

class StringBuffer;

// The cookies loaded for one registrable domain, in document order. A
// temporary object of one request.
class CookieJar {
public:
    void Add(std::unique_ptr<Cookie> cookie);

    int Count() const { return static_cast<int>(cookies_.size()); }
    const Cookie& At(int i) const { return *cookies_[static_cast<size_t>(i)]; }

    // out = the "Cookie" header value for a request to this host and path:
    // the items of every matching cookie, in order, the first item of each
    // name winning; a value holding a space is quoted. Empty when no cookie
    // matches.
    void BuildCookieHeader(const char* domain, const char* path, StringBuffer& out) const;

private:
    std::vector<std::unique_ptr<Cookie>> cookies_;
};

} // namespace plentor
