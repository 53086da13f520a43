#include "support/UnixHost.h"

#include <windows.h>

#include <string>

namespace plentor::testsupport {
namespace {

// Wine's kernel32 converts between its drive paths and Unix paths; on
// Windows these functions do not exist, and neither does a Unix system.
using ToUnixFn = char*(CDECL*)(LPCWSTR);
using ToDosFn = WCHAR*(CDECL*)(LPCSTR);

struct WineFunctions {
    ToUnixFn toUnix = nullptr;
    ToDosFn toDos = nullptr;
};

const WineFunctions& Wine()
{
    static const WineFunctions functions = [] {
        WineFunctions f;
        if (HMODULE kernel = GetModuleHandleW(L"kernel32.dll")) {
            f.toUnix = reinterpret_cast<ToUnixFn>(reinterpret_cast<void*>(GetProcAddress(kernel, "wine_get_unix_file_name")));
            f.toDos = reinterpret_cast<ToDosFn>(reinterpret_cast<void*>(GetProcAddress(kernel, "wine_get_dos_file_name")));
        }
        return f;
    }();
    return functions;
}

// File names in the test are narrow strings in the ANSI code page, as the C
// library's fopen takes them.
std::wstring Widen(const std::string& text)
{
    const int n = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
    if (n <= 0) return std::wstring();
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide.data(), n);
    wide.resize(static_cast<size_t>(n - 1));
    return wide;
}

std::string Narrow(const wchar_t* text)
{
    const int n = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (n <= 0) return std::string();
    std::string narrow(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, text, -1, narrow.data(), n, nullptr, nullptr);
    narrow.resize(static_cast<size_t>(n - 1));
    return narrow;
}

} // namespace

bool UnixHost::Reachable() { return Wine().toUnix != nullptr && Wine().toDos != nullptr; }

std::string UnixHost::UnixPath(const std::string& path)
{
    if (!Reachable() || path.empty()) return std::string();
    char* unixPath = Wine().toUnix(Widen(path).c_str());
    if (unixPath == nullptr) return std::string();
    std::string result(unixPath);
    HeapFree(GetProcessHeap(), 0, unixPath);
    return result;
}

std::string UnixHost::LocalPath(const std::string& unixPath)
{
    if (!Reachable() || unixPath.empty()) return std::string();
    WCHAR* dosPath = Wine().toDos(unixPath.c_str());
    if (dosPath == nullptr) return std::string();
    std::string result = Narrow(dosPath);
    HeapFree(GetProcessHeap(), 0, dosPath);
    return result;
}

std::string UnixHost::TempFolder()
{
    // Wine passes the Unix environment through; TMPDIR keeps its Unix form.
    char base[MAX_PATH];
    const DWORD n = GetEnvironmentVariableA("TMPDIR", base, sizeof base);
    const std::string unixBase = n > 0 && n < sizeof base && base[0] == '/' ? std::string(base, n) : "/tmp";
    return LocalPath(unixBase);
}

} // namespace plentor::testsupport
