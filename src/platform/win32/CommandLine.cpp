#include "platform/CommandLine.h"

#include <windows.h>
#include <shellapi.h>

namespace plentor::platform {

namespace {

std::string FromWide(const wchar_t* wide, UINT codePage)
{
    const int n = WideCharToMultiByte(codePage, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    if (n <= 1)
        return {};
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(codePage, 0, wide, -1, out.data(), n, nullptr, nullptr);
    out.pop_back();   // the terminator
    return out;
}

std::wstring ToWide(const std::string& text, UINT codePage)
{
    const int n = MultiByteToWideChar(codePage, 0, text.c_str(), -1, nullptr, 0);
    if (n <= 1)
        return {};
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(codePage, 0, text.c_str(), -1, out.data(), n);
    out.pop_back();
    return out;
}

// The arguments main() was given, after the program name.
std::vector<std::string> NarrowArguments(int argc, char** argv)
{
    if (argc < 1 || argv == nullptr)
        return {};
    return std::vector<std::string>(argv + 1, argv + argc);
}

} // namespace

std::vector<std::string> Utf8Arguments(int argc, char** argv)
{
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr)
        return NarrowArguments(argc, argv);
    std::vector<std::string> args;
    if (count == argc) {
        for (int i = 1; i < count; ++i)
            args.push_back(FromWide(wide[i], CP_UTF8));
    } else {
        args = NarrowArguments(argc, argv);   // not the command line main() was given
    }
    LocalFree(wide);
    return args;
}

std::string FileNameFromUtf8(const std::string& utf8)
{
    return FromWide(ToWide(utf8, CP_UTF8).c_str(), CP_ACP);
}

} // namespace plentor::platform
