#pragma once

namespace plentor {

class LogBase;

// File-system steps shared by the two disk caches.
class CachePaths {
public:
    // Creates every missing directory on the way to the file at filePath
    // (both "/" and "\\" separate). False, with a log line, when the file's
    // own directory does not exist afterwards.
    static bool CreateParentDirectories(const char* filePath, LogBase& log);
};

} // namespace plentor
