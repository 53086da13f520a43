#pragma once

#include <filesystem>
#include <random>
#include <string>
#include <system_error>

namespace plentor::testsupport {

// A fresh directory under the system's temporary folder, made the same way
// on every platform; empty when none could be made.
inline std::string MakeTempDirectory(const char* prefix)
{
    namespace fs = std::filesystem;
    std::random_device seed;
    std::mt19937_64 random(seed());
    std::error_code ec;
    const fs::path base = fs::temp_directory_path(ec);
    if (ec)
        return std::string();
    for (int attempt = 0; attempt < 100; ++attempt) {
        const fs::path candidate = base / (std::string(prefix) + std::to_string(random() % 1000000000u));
        if (fs::create_directory(candidate, ec))
            return candidate.string();
    }
    return std::string();
}

} // namespace plentor::testsupport
