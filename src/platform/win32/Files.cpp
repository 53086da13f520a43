#include "platform/Files.h"
#include "platform/SystemError.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <string>

namespace plentor::platform {

namespace {

constexpr DWORD kReadBlock = 65536;

bool Fail(FileError& err)
{
    err.code = static_cast<int>(GetLastError());
    err.message = SystemErrorText(err.code);
    return false;
}

bool ReadAll(HANDLE h, std::vector<uint8_t>& out, FileError& err, size_t maxBytes = SIZE_MAX)
{
    out.clear();
    DWORD high = 0;
    DWORD low = GetFileSize(h, &high);
    if (low != INVALID_FILE_SIZE && high == 0)
        out.reserve((std::min)(static_cast<size_t>(low), maxBytes));  // parenthesised: windows.h may define min
    size_t used = 0;
    for (;;) {
        if (out.size() - used < kReadBlock)
            out.resize(used + kReadBlock);
        DWORD got = 0;
        if (!ReadFile(h, out.data() + used, kReadBlock, &got, nullptr))
            return Fail(err);
        if (got == 0)
            break;
        used += got;
        if (used > maxBytes) {
            out.clear();
            SetLastError(ERROR_FILE_TOO_LARGE);
            return Fail(err);
        }
    }
    out.resize(used);
    return true;
}

bool ReadHandle(HANDLE h, std::vector<uint8_t>& out, FileError& err, size_t maxBytes = SIZE_MAX)
{
    if (h == INVALID_HANDLE_VALUE)
        return Fail(err);
    bool ok = ReadAll(h, out, err, maxBytes);
    CloseHandle(h);
    return ok;
}

// Writes every byte (in chunks WriteFile can count) and closes the handle.
// Writes every byte at the handle's position.
bool WriteAll(HANDLE h, const void* bytes, size_t n, FileError& err)
{
    constexpr size_t kMaxChunk = 0x10000000;
    const auto* p = static_cast<const uint8_t*>(bytes);
    while (n > 0) {
        DWORD chunk = static_cast<DWORD>(n > kMaxChunk ? kMaxChunk : n);
        DWORD put = 0;
        if (!WriteFile(h, p, chunk, &put, nullptr))
            return Fail(err);
        p += put;
        n -= put;
    }
    return true;
}

// Writes every byte at the handle's position and closes it.
bool WriteAllAndClose(HANDLE h, const void* bytes, size_t n, FileError& err)
{
    const bool ok = WriteAll(h, bytes, n, err);
    CloseHandle(h);
    return ok;
}

} // namespace

bool ReadWholeFile(const char* path, std::vector<uint8_t>& out, FileError& err)
{
    return ReadHandle(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr), out, err);
}

bool ReadWholeFileUpTo(const char* path, size_t maxBytes, std::vector<uint8_t>& out, FileError& err)
{
    return ReadHandle(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr), out, err, maxBytes);
}

bool ReadWholeFile(const char16_t* path, std::vector<uint8_t>& out, FileError& err)
{
    return ReadHandle(CreateFileW(reinterpret_cast<LPCWSTR>(path), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr), out, err);
}

// The new content goes to a temporary file beside the target, reaches the
// disk, and then replaces the target: a crash or a full disk midway leaves
// the old file whole.
bool WriteWholeFile(const char* path, const void* bytes, size_t n, FileError& err)
{
    static std::atomic<unsigned> serial{0};
    const std::string temp = std::string(path) + ".tmp-" + std::to_string(GetCurrentProcessId()) + "-" +
                             std::to_string(++serial);
    HANDLE h = CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return Fail(err);
    bool ok = WriteAll(h, bytes, n, err) && (FlushFileBuffers(h) || Fail(err));
    CloseHandle(h);
    if (ok && !MoveFileExA(temp.c_str(), path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        ok = Fail(err);
    if (!ok)
        DeleteFileA(temp.c_str());
    return ok;
}

bool FileExists(const char* path)
{
    DWORD a = GetFileAttributesA(path);
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirectoryExists(const char* path)
{
    DWORD a = GetFileAttributesA(path);
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool CreateDirectoryIfMissing(const char* path, FileError& err)
{
    if (CreateDirectoryA(path, nullptr) || DirectoryExists(path))
        return true;
    return Fail(err);
}

bool DeleteFileAt(const char* path) { return DeleteFileA(path) != 0; }

bool FileSizeOf(const char* path, uint64_t& size, FileError& err)
{
    WIN32_FILE_ATTRIBUTE_DATA info {};
    if (!GetFileAttributesExA(path, GetFileExInfoStandard, &info))
        return Fail(err);
    if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        SetLastError(ERROR_DIRECTORY);
        return Fail(err);
    }
    size = (static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    return true;
}

namespace {

bool SeekTo(HANDLE h, uint64_t offset)
{
    LARGE_INTEGER to {};
    to.QuadPart = static_cast<LONGLONG>(offset);
    return SetFilePointerEx(h, to, nullptr, FILE_BEGIN) != 0;
}

} // namespace

bool ReadFileAt(const char* path, uint64_t offset, size_t n, std::vector<uint8_t>& out, FileError& err)
{
    out.clear();
    HANDLE h = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return Fail(err);
    LARGE_INTEGER size {};
    if (!GetFileSizeEx(h, &size) || !SeekTo(h, offset)) {
        Fail(err);
        CloseHandle(h);
        return false;
    }
    uint64_t fileSize = static_cast<uint64_t>(size.QuadPart);
    uint64_t available = offset < fileSize ? fileSize - offset : 0;
    out.resize(static_cast<size_t>((std::min)(available, static_cast<uint64_t>(n))));
    size_t used = 0;
    while (used < out.size()) {
        size_t left = out.size() - used;
        DWORD chunk = left > kReadBlock ? kReadBlock : static_cast<DWORD>(left);
        DWORD got = 0;
        if (!ReadFile(h, out.data() + used, chunk, &got, nullptr)) {
            Fail(err);
            CloseHandle(h);
            out.clear();
            return false;
        }
        if (got == 0)
            break;   // the file shrank meanwhile
        used += got;
    }
    out.resize(used);
    CloseHandle(h);
    return true;
}

bool WriteFileAt(const char* path, uint64_t offset, const void* bytes, size_t n, FileError& err)
{
    HANDLE h = CreateFileA(path, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return Fail(err);
    if (!SeekTo(h, offset)) {
        Fail(err);
        CloseHandle(h);
        return false;
    }
    return WriteAllAndClose(h, bytes, n, err);
}

bool AppendToFile(const char* path, const void* bytes, size_t n, FileError& err)
{
    // FILE_APPEND_DATA without FILE_WRITE_DATA: every write goes to the end.
    HANDLE h = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return Fail(err);
    return WriteAllAndClose(h, bytes, n, err);
}

bool AccessByOthers(const char* path, OthersAccess& out, FileError& err)
{
    if (GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES)
        return Fail(err);
    out = OthersAccess{};
    return true;
}

char PathSeparator() { return '\\'; }

} // namespace plentor::platform
