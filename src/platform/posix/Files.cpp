#include "platform/Files.h"
#include "platform/SystemError.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace plentor::platform {

namespace {

constexpr size_t kReadBlock = 65536;

bool Fail(FileError& err)
{
    err.code = errno;
    err.message = SystemErrorText(err.code);
    return false;
}

// Reads to the end of the file in blocks; the size reported by fstat is only a hint.
bool ReadAll(int fd, std::vector<uint8_t>& out, FileError& err, size_t maxBytes = SIZE_MAX)
{
    struct stat st {};
    if (fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        errno = EISDIR;
        return Fail(err);
    }
    out.clear();
    if (st.st_size > 0)
        out.reserve(std::min(static_cast<size_t>(st.st_size), maxBytes));
    size_t used = 0;
    for (;;) {
        if (out.size() - used < kReadBlock)
            out.resize(used + kReadBlock);
        ssize_t got = read(fd, out.data() + used, out.size() - used);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return Fail(err);
        }
        if (got == 0)
            break;
        used += static_cast<size_t>(got);
        if (used > maxBytes) {
            out.clear();
            errno = EFBIG;
            return Fail(err);
        }
    }
    out.resize(used);
    return true;
}

// Writes every byte at the descriptor's position.
bool WriteAll(int fd, const void* bytes, size_t n, FileError& err)
{
    const auto* p = static_cast<const uint8_t*>(bytes);
    while (n > 0) {
        ssize_t put = write(fd, p, n);
        if (put < 0) {
            if (errno == EINTR)
                continue;
            return Fail(err);
        }
        p += put;
        n -= static_cast<size_t>(put);
    }
    return true;
}

// Writes every byte at the descriptor's position and closes it.
bool WriteAllAndClose(int fd, const void* bytes, size_t n, FileError& err)
{
    if (!WriteAll(fd, bytes, n, err)) {
        close(fd);
        return false;
    }
    if (close(fd) != 0)
        return Fail(err);
    return true;
}

} // namespace

bool ReadWholeFile(const char* path, std::vector<uint8_t>& out, FileError& err)
{
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return Fail(err);
    bool ok = ReadAll(fd, out, err);
    close(fd);
    return ok;
}

bool ReadWholeFileUpTo(const char* path, size_t maxBytes, std::vector<uint8_t>& out, FileError& err)
{
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return Fail(err);
    bool ok = ReadAll(fd, out, err, maxBytes);
    close(fd);
    return ok;
}

bool ReadWholeFile(const char16_t* path, std::vector<uint8_t>& out, FileError& err)
{
    // POSIX file names are bytes; wide paths are passed on as UTF-8.
    std::string narrow;
    for (const char16_t* p = path; *p; ++p) {
        uint32_t c = *p;
        if (c >= 0xD800 && c <= 0xDBFF && p[1] >= 0xDC00 && p[1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<uint32_t>(p[1]) - 0xDC00);
            ++p;
        }
        if (c < 0x80) {
            narrow += static_cast<char>(c);
        } else if (c < 0x800) {
            narrow += static_cast<char>(0xC0 | (c >> 6));
            narrow += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            narrow += static_cast<char>(0xE0 | (c >> 12));
            narrow += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            narrow += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            narrow += static_cast<char>(0xF0 | (c >> 18));
            narrow += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            narrow += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            narrow += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return ReadWholeFile(narrow.c_str(), out, err);
}

// The new content goes to a temporary file beside the target, reaches the
// disk, and is then renamed over the target: a crash or a full disk midway
// leaves the old file whole.
bool WriteWholeFile(const char* path, const void* bytes, size_t n, FileError& err)
{
    static std::atomic<unsigned> serial{0};
    const std::string temp =
        std::string(path) + ".tmp-" + std::to_string(getpid()) + "-" + std::to_string(++serial);
    int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0)
        return Fail(err);
    // EINVAL: a file system that has nothing to flush.
    bool ok = WriteAll(fd, bytes, n, err) && (fdatasync(fd) == 0 || errno == EINVAL || Fail(err));
    if (close(fd) != 0 && ok)
        ok = Fail(err);
    if (ok && rename(temp.c_str(), path) != 0)
        ok = Fail(err);
    if (!ok)
        unlink(temp.c_str());
    return ok;
}

bool FileExists(const char* path)
{
    struct stat st {};
    return stat(path, &st) == 0 && S_ISREG(st.st_mode);
}

bool DirectoryExists(const char* path)
{
    struct stat st {};
    return stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

bool CreateDirectoryIfMissing(const char* path, FileError& err)
{
    if (mkdir(path, 0755) == 0 || (errno == EEXIST && DirectoryExists(path)))
        return true;
    return Fail(err);
}

bool DeleteFileAt(const char* path) { return unlink(path) == 0; }

bool FileSizeOf(const char* path, uint64_t& size, FileError& err)
{
    struct stat st {};
    if (stat(path, &st) != 0)
        return Fail(err);
    if (!S_ISREG(st.st_mode)) {
        errno = EISDIR;
        return Fail(err);
    }
    size = static_cast<uint64_t>(st.st_size);
    return true;
}

bool ReadFileAt(const char* path, uint64_t offset, size_t n, std::vector<uint8_t>& out, FileError& err)
{
    out.clear();
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return Fail(err);
    struct stat st {};
    bool statOk = fstat(fd, &st) == 0;
    if (!statOk || !S_ISREG(st.st_mode)) {
        if (statOk)
            errno = EISDIR;
        Fail(err);
        close(fd);
        return false;
    }
    uint64_t fileSize = static_cast<uint64_t>(st.st_size);
    uint64_t available = offset < fileSize ? fileSize - offset : 0;
    out.resize(static_cast<size_t>(std::min<uint64_t>(available, n)));
    size_t used = 0;
    while (used < out.size()) {
        ssize_t got = pread(fd, out.data() + used, out.size() - used, static_cast<off_t>(offset + used));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            Fail(err);
            close(fd);
            out.clear();
            return false;
        }
        if (got == 0)
            break;   // the file shrank meanwhile
        used += static_cast<size_t>(got);
    }
    out.resize(used);
    close(fd);
    return true;
}

bool WriteFileAt(const char* path, uint64_t offset, const void* bytes, size_t n, FileError& err)
{
    int fd = open(path, O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return Fail(err);
    if (lseek(fd, static_cast<off_t>(offset), SEEK_SET) < 0) {
        Fail(err);
        close(fd);
        return false;
    }
    return WriteAllAndClose(fd, bytes, n, err);
}

bool AppendToFile(const char* path, const void* bytes, size_t n, FileError& err)
{
    int fd = open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
    if (fd < 0)
        return Fail(err);
    return WriteAllAndClose(fd, bytes, n, err);
}

bool AccessByOthers(const char* path, OthersAccess& out, FileError& err)
{
    struct stat st {};
    if (stat(path, &st) != 0)
        return Fail(err);
    out.read = (st.st_mode & (S_IRGRP | S_IROTH)) != 0;
    out.write = (st.st_mode & (S_IWGRP | S_IWOTH)) != 0;
    return true;
}

char PathSeparator() { return '/'; }

} // namespace plentor::platform
