#pragma once

// Shared helpers of the fuzz targets: a cursor that hands out selector bytes
// and pieces of the input, and a scratch directory for the readers that only
// take files.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <unistd.h>

namespace plentor::fuzz {

// Stops the run when a property that must hold does not: libFuzzer then
// keeps the input as a crash. The line of the check goes to standard error.
inline void Require(bool condition, const char* file = __builtin_FILE(), int line = __builtin_LINE())
{
    if (condition)
        return;
    std::fprintf(stderr, "%s:%d: requirement failed\n", file, line);
    __builtin_trap();
}

// Reads an input front to back: selector bytes first, then text pieces.
class FuzzInput {
public:
    FuzzInput(const uint8_t* data, size_t size) : rest_(reinterpret_cast<const char*>(data), size) {}

    // The next byte, 0 once the input is used up.
    uint8_t Byte()
    {
        if (rest_.empty())
            return 0;
        auto b = static_cast<uint8_t>(rest_.front());
        rest_.remove_prefix(1);
        return b;
    }

    // A number below n (n > 0) taken from one byte.
    unsigned Pick(unsigned n) { return Byte() % n; }

    // A little-endian number of up to four bytes.
    uint32_t Number(int bytes)
    {
        uint32_t v = 0;
        for (int i = 0; i < bytes; ++i)
            v |= static_cast<uint32_t>(Byte()) << (8 * i);
        return v;
    }

    // The text up to the next separator byte (the separator is consumed), or
    // the rest of the input when there is none.
    std::string_view Piece(char separator = '\0')
    {
        size_t at = rest_.find(separator);
        std::string_view piece = rest_.substr(0, at);
        rest_.remove_prefix(at == std::string_view::npos ? rest_.size() : at + 1);
        return piece;
    }

    // What is left; the input is used up afterwards.
    std::string_view Rest()
    {
        std::string_view all = rest_;
        rest_ = {};
        return all;
    }

    bool Empty() const { return rest_.empty(); }

private:
    std::string_view rest_;
};

// A text as a zero-terminated string, cut at its first zero byte as a C
// caller would see it.
inline std::string CString(std::string_view text) { return std::string(text.substr(0, text.find('\0'))); }

// A directory of this process under the temporary directory, made on first
// use and removed at exit; it ends with "/".
inline const std::string& ScratchDirectory()
{
    static const std::string dir = [] {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/plentor-fuzz-XXXXXX";
        if (!mkdtemp(pattern.data()))
            std::abort();
        static std::string removeCommand = "rm -rf '" + pattern + "'";
        std::atexit([] { (void)std::system(removeCommand.c_str()); });
        return pattern + "/";
    }();
    return dir;
}

// Writes bytes to a file of the scratch directory and gives its path.
inline std::string WriteScratchFile(const std::string& name, std::string_view bytes)
{
    std::string path = ScratchDirectory() + name;
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        std::abort();
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size())
        std::abort();
    std::fclose(f);
    return path;
}

} // namespace plentor::fuzz
