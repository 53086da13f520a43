#include "http/cache/CachePaths.h"

#include "base/LogBase.h"
#include "platform/Files.h"

#include <string>

namespace plentor {

bool CachePaths::CreateParentDirectories(const char* filePath, LogBase& log)
{
    std::string path = filePath ? filePath : "";
    size_t last = path.find_last_of("/\\");
    if (last == std::string::npos || last == 0)
        return true;   // the file sits in the current or root directory
    platform::FileError err;
    // Intermediate prefixes such as "c:" or an existing root may refuse to be
    // created; only the file's own directory decides.
    for (size_t i = 1; i < last; ++i) {
        if (path[i] == '/' || path[i] == '\\')
            platform::CreateDirectoryIfMissing(path.substr(0, i).c_str(), err);
    }
    std::string dir = path.substr(0, last);
    if (platform::CreateDirectoryIfMissing(dir.c_str(), err))
        return true;
    log.LogError("Failed to create cache directory");
    log.LogData("dir", dir.c_str());
    log.LogData("error", err.message.c_str());
    return false;
}

} // namespace plentor
