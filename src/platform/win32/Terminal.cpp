#include "platform/Terminal.h"

#include <windows.h>
#include <io.h>

namespace plentor::platform {

namespace {

// UTF-16 units asked of the console per read.
constexpr DWORD kReadUnits = 256;

bool IsConsole(HANDLE h)
{
    DWORD mode = 0;
    return h != INVALID_HANDLE_VALUE && h != nullptr && GetConsoleMode(h, &mode) != 0;
}

// Reads up to the line end; what follows it on the same read is dropped.
bool ReadConsoleLine(HANDLE in, std::wstring& text)
{
    wchar_t units[kReadUnits];
    for (;;) {
        DWORD got = 0;
        if (!ReadConsoleW(in, units, kReadUnits, &got, nullptr) || got == 0)
            return false;
        text.append(units, got);
        const size_t end = text.find(L'\n');
        if (end != std::wstring::npos) {
            text.resize(end);
            break;
        }
        if (text.size() > kMaxHiddenLine)
            text.resize(kMaxHiddenLine);
    }
    if (!text.empty() && text.back() == L'\r')
        text.pop_back();
    return true;
}

// The console and its mode while the echo is off; read by the control handler.
HANDLE quietConsole = nullptr;
DWORD savedMode = 0;

// Brings the echo back, then lets the next handler (the default one ends
// the process) act on the event.
BOOL WINAPI RestoreOnControl(DWORD)
{
    SetConsoleMode(quietConsole, savedMode);
    return FALSE;
}

std::string Utf8Of(const std::wstring& text)
{
    if (text.empty())
        return {};
    const int units = static_cast<int>(text.size());
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), units, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n > 0 ? n : 0), '\0');
    if (n > 0)
        WideCharToMultiByte(CP_UTF8, 0, text.data(), units, out.data(), n, nullptr, nullptr);
    return out;
}

} // namespace

bool IsTerminal(FILE* stream)
{
    return stream != nullptr && IsConsole(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream))));
}

bool ReadHiddenLine(const std::string& prompt, std::string& line)
{
    HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    if (!IsConsole(in) || !GetConsoleMode(in, &savedMode))
        return false;
    quietConsole = in;
    SetConsoleCtrlHandler(RestoreOnControl, TRUE);
    SetConsoleMode(in, (savedMode & ~static_cast<DWORD>(ENABLE_ECHO_INPUT)) | ENABLE_LINE_INPUT |
                           ENABLE_PROCESSED_INPUT);
    FlushConsoleInputBuffer(in);
    std::fputs(prompt.c_str(), stderr);
    std::fflush(stderr);
    std::wstring text;
    const bool read = ReadConsoleLine(in, text);
    SetConsoleMode(in, savedMode);
    std::fputc('\n', stderr);
    SetConsoleCtrlHandler(RestoreOnControl, FALSE);
    line = Utf8Of(text);
    return read;
}

} // namespace plentor::platform
