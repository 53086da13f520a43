#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace plentor::platform {

// Result of a file operation: ok, or the system error code and its text.
struct FileError {
    int code = 0;
    std::string message;
};

// Reads a whole file. Paths are bytes in the active code page (narrow form)
// or UTF-16 (wide form).
bool ReadWholeFile(const char* path, std::vector<uint8_t>& out, FileError& err);
bool ReadWholeFile(const char16_t* path, std::vector<uint8_t>& out, FileError& err);

// As ReadWholeFile, but fails with the platform's "file too large" error as
// soon as more than maxBytes have been read, so that a huge file or an endless
// device never exhausts memory.
bool ReadWholeFileUpTo(const char* path, size_t maxBytes, std::vector<uint8_t>& out, FileError& err);

// Creates or truncates a file and writes the bytes.
bool WriteWholeFile(const char* path, const void* bytes, size_t n, FileError& err);

bool FileExists(const char* path);
bool DirectoryExists(const char* path);

// Creates a directory (its parent must exist). True when it exists afterwards.
bool CreateDirectoryIfMissing(const char* path, FileError& err);

bool DeleteFileAt(const char* path);

// Size in bytes of an existing regular file.
bool FileSizeOf(const char* path, uint64_t& size, FileError& err);

// Reads up to n bytes starting at offset of an existing file; out holds fewer
// (possibly none) when the file ends first. Memory is sized by what the file
// holds, never by n alone.
bool ReadFileAt(const char* path, uint64_t offset, size_t n, std::vector<uint8_t>& out, FileError& err);

// Writes bytes at offset into an existing file without truncating it; the
// file grows when the write passes its end. Fails when the file is absent.
bool WriteFileAt(const char* path, uint64_t offset, const void* bytes, size_t n, FileError& err);

// Creates the file when it is absent and writes the bytes at its end (the
// system places every write at the end, wherever another writer left it).
// The bytes are handed to the system before it returns, so they outlive
// the process even when it is killed right after.
bool AppendToFile(const char* path, const void* bytes, size_t n, FileError& err);

// Who besides the file's owner may use it, from the POSIX permission bits.
struct OthersAccess {
    bool read = false;    // the group or everyone may read it
    bool write = false;   // the group or everyone may write it
};

// What the permission bits of an existing file let other users do. Windows
// files carry access lists instead of such bits: there both stay false.
bool AccessByOthers(const char* path, OthersAccess& out, FileError& err);

// The separator the platform's file names use between directories.
char PathSeparator();

} // namespace plentor::platform
