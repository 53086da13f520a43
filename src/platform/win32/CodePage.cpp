#include "platform/CodePage.h"

#include <windows.h>

#include <climits>

namespace plentor::platform {

int ActiveAnsiCodePage() { return static_cast<int>(GetACP()); }
int OemCodePage() { return static_cast<int>(GetOEMCP()); }

bool SystemUtf16ToAnsi(std::u16string_view text, std::string& out)
{
    out.clear();
    if (text.empty())
        return true;
    if (text.size() > INT_MAX / 4)
        return false;
    const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
    const int units = static_cast<int>(text.size());
    const int n = WideCharToMultiByte(CP_ACP, 0, wide, units, nullptr, 0, nullptr, nullptr);
    if (n <= 0)
        return false;
    out.resize(static_cast<size_t>(n));
    return WideCharToMultiByte(CP_ACP, 0, wide, units, out.data(), n, nullptr, nullptr) == n;
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
