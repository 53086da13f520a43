#include "services/ServiceEndpoint.h"

#include "text/AsciiChars.h"

#include <string_view>

namespace plentor {

namespace {

constexpr int kHttpPort = 80;
constexpr int kHttpsPort = 443;
constexpr int kMaxPort = 65535;
constexpr size_t kMaxPortDigits = 5;

bool IsHostChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '-' ||
           c == '_';
}


// Removes a leading scheme and "://" from text; false when it has neither
// "http://" nor "https://" (in any case).
bool TakeScheme(std::string_view& text, bool& useTls)
{
    auto startsWith = [&text](std::string_view prefix) { return AsciiChars::StartsWithNoCase(text, prefix); };
    if (startsWith("https://")) {
        useTls = true;
        text.remove_prefix(8);
        return true;
    }
    if (startsWith("http://")) {
        useTls = false;
        text.remove_prefix(7);
        return true;
    }
    return false;
}

// Removes the host from the front of text; false when there is none.
bool TakeHost(std::string_view& text, StringBuffer& host)
{
    size_t n = 0;
    while (n < text.size() && IsHostChar(text[n]))
        ++n;
    if (n == 0) return false;
    host.Clear();
    for (size_t i = 0; i < n; ++i)
        host.AppendChar(AsciiChars::ToLower(text[i]));
    text.remove_prefix(n);
    return true;
}

// Removes ":port" from the front of text when present; false for a colon
// without a port in range.
bool TakePort(std::string_view& text, int& port)
{
    if (text.empty() || text[0] != ':') return true;
    text.remove_prefix(1);
    size_t n = 0;
    int value = 0;
    while (n < text.size() && n < kMaxPortDigits + 1 && text[n] >= '0' && text[n] <= '9') {
        value = value * 10 + (text[n] - '0');
        ++n;
    }
    if (n == 0 || n > kMaxPortDigits || value < 1 || value > kMaxPort) return false;
    port = value;
    text.remove_prefix(n);
    return true;
}

} // namespace

ServiceEndpoint::ServiceEndpoint(BookmarkService service)
{
    Parse(BookmarkServices::BuiltInBase(service));
}

bool ServiceEndpoint::Parse(const char* base)
{
    if (base == nullptr) return false;
    size_t length = 0;
    while (base[length] != '\0') {
        if (++length > static_cast<size_t>(kMaxBaseLength)) return false;
    }
    std::string_view text(base, length);

    bool useTls = false;
    StringBuffer host;
    if (!TakeScheme(text, useTls) || !TakeHost(text, host)) return false;
    const int defaultPort = useTls ? kHttpsPort : kHttpPort;
    int port = defaultPort;
    if (!TakePort(text, port)) return false;
    if (text == "/") text.remove_prefix(1);
    if (!text.empty()) return false;

    useTls_ = useTls;
    port_ = port;
    host_ = host;
    base_.SetString(useTls ? "https://" : "http://");
    base_.AppendBuffer(host_);
    if (port != defaultPort) {
        base_.AppendChar(':');
        base_.AppendInt(port);
    }
    return true;
}

void ServiceEndpoint::BuildUrl(const char* path, StringBuffer& out) const
{
    out.SetFromBuffer(base_);
    out.Append(path);
}

} // namespace plentor
