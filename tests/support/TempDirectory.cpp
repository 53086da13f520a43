#include "support/TempDirectory.h"

#include "support/UnixHost.h"

#include <filesystem>
#include <random>
#include <system_error>

namespace plentor::testsupport {
namespace {

namespace fs = std::filesystem;

// A random name is free at the first try; the bound only ends a loop on a
// folder that refuses every name.
constexpr int kNameAttempts = 100;

fs::path BaseFolder(TempDirectory::Place place)
{
    std::error_code ec;
    if (place == TempDirectory::Place::SharedWithUnix) {
        const std::string shared = UnixHost::TempFolder();
        if (!shared.empty()) return fs::path(shared);
    }
    const fs::path system = fs::temp_directory_path(ec);
    return ec ? fs::path() : system;
}

} // namespace

TempDirectory::TempDirectory(const std::string& prefix, Place place)
{
    const fs::path base = BaseFolder(place);
    if (base.empty()) return;
    std::random_device seed;
    std::mt19937_64 random(seed());
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        const fs::path candidate = base / (prefix + std::to_string(random() % 1000000000u));
        std::error_code ec;
        if (fs::create_directory(candidate, ec)) {
            path_ = candidate.string();
            return;
        }
    }
}

TempDirectory::~TempDirectory()
{
    std::error_code ec;
    if (!path_.empty()) fs::remove_all(path_, ec);
}

std::string TempDirectory::File(const std::string& name) const
{
    return (fs::path(path_) / name).make_preferred().string();
}

} // namespace plentor::testsupport
