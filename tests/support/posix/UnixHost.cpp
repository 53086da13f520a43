#include "support/UnixHost.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace plentor::testsupport {

bool UnixHost::Reachable() { return true; }

std::string UnixHost::UnixPath(const std::string& path)
{
    if (path.empty()) return std::string();
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(path, ec);
    return ec ? std::string() : absolute.string();
}

std::string UnixHost::LocalPath(const std::string& unixPath) { return unixPath; }

std::string UnixHost::TempFolder()
{
    const char* base = std::getenv("TMPDIR");
    return base != nullptr && *base == '/' ? base : "/tmp";
}

} // namespace plentor::testsupport
