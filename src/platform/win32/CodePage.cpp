#include "platform/CodePage.h"

#include <windows.h>

#include <climits>

namespace plentor::platform {

int ActiveAnsiCodePage() { return static_cast<int>(GetACP()); }
int OemCodePage() { return static_cast<int>(GetOEMCP()); }

namespace {

bool IsPairAt(std::u16string_view text, size_t i)
{
    return i + 1 < text.size() && text[i] >= 0xD800 && text[i] <= 0xDBFF && text[i + 1] >= 0xDC00 &&
           text[i + 1] <= 0xDFFF;
}

// Appends the system's conversion of text; usedDefault (null for the UTF
// pages, which refuse it) tells whether a default character was put in.
bool AppendConverted(std::u16string_view text, std::string& out, BOOL* usedDefault)
{
    if (text.empty())
        return true;
    const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
    const int units = static_cast<int>(text.size());
    const int n = WideCharToMultiByte(CP_ACP, 0, wide, units, nullptr, 0, nullptr, usedDefault);
    if (n <= 0)
        return false;
    const size_t at = out.size();
    out.resize(at + static_cast<size_t>(n));
    return WideCharToMultiByte(CP_ACP, 0, wide, units, out.data() + at, n, nullptr, usedDefault) == n;
}

// A character outside the BMP that the page lacks becomes one default
// character, as Windows makes it; Wine converts the two halves of the pair
// on their own and would give two.
bool AppendPair(std::u16string_view pair, std::string& out)
{
    if (GetACP() == CP_UTF8)
        return AppendConverted(pair, out, nullptr);
    BOOL usedDefault = FALSE;
    std::string converted;
    if (!AppendConverted(pair, converted, &usedDefault))
        return false;
    CPINFO info{};
    if (usedDefault && GetCPInfo(CP_ACP, &info) && info.DefaultChar[0] != 0) {
        const size_t size = info.DefaultChar[1] != 0 ? 2 : 1;   // one byte, or a double-byte lead and trail
        converted.assign(reinterpret_cast<const char*>(info.DefaultChar), size);
    }
    out += converted;
    return true;
}

} // namespace

bool SystemUtf16ToAnsi(std::u16string_view text, std::string& out)
{
    out.clear();
    if (text.size() > INT_MAX / 4)
        return false;
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (!IsPairAt(text, i))
            continue;
        if (!AppendConverted(text.substr(start, i - start), out, nullptr) || !AppendPair(text.substr(i, 2), out))
            return false;
        start = ++i + 1;
    }
    return AppendConverted(text.substr(start), out, nullptr);
}

bool SystemAnsiToUtf16(std::string_view text, std::u16string& out)
{
    out.clear();
    if (text.empty())
        return true;
    if (text.size() > INT_MAX / 2)
        return false;
    const int bytes = static_cast<int>(text.size());
    const int n = MultiByteToWideChar(CP_ACP, 0, text.data(), bytes, nullptr, 0);
    if (n <= 0)
        return false;
    out.resize(static_cast<size_t>(n));
    return MultiByteToWideChar(CP_ACP, 0, text.data(), bytes, reinterpret_cast<wchar_t*>(out.data()), n) == n;
}

} // namespace plentor::platform
