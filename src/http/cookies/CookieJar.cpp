#include "http/cookies/CookieJar.h"

#include "text/HashMap.h"
#include "text/StringBuffer.h"

#include <string_view>

namespace plentor {

namespace {

// Bucket count of the table of names already written.
constexpr unsigned kWrittenNameBuckets = 400;

void AppendItem(const Cookie::Pair& pair, StringBuffer& out)
{
    if (!out.IsEmpty())
        out.Append("; ");
    out.AppendBuffer(pair.name);
    if (pair.value.HasChar(' ')) {
        out.Append("=\"");
        out.AppendBuffer(pair.value);
        out.AppendChar('"');
    } else {
        out.AppendChar('=');
        out.AppendBuffer(pair.value);
    }
}

} // namespace

void CookieJar::Add(std::unique_ptr<Cookie> cookie)
{
    if (cookie)
        cookies_.push_back(std::move(cookie));
}

void CookieJar::BuildCookieHeader(const char* domain, const char* path, StringBuffer& out) const
{
    out.Clear();
    HashMap written(kWrittenNameBuckets);
    for (const auto& cookie : cookies_) {
        if (!cookie->MatchesRequest(domain, path))
            continue;
        for (const Cookie::Pair& pair : cookie->Pairs()) {
            const std::string_view name(pair.name.GetString(), static_cast<size_t>(pair.name.GetLength()));
            if (written.Find(name))
                continue;
            written.Set(name, 1);
            AppendItem(pair, out);
        }
    }
}

} // namespace plentor
