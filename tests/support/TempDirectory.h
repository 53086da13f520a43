#pragma once

#include <string>

namespace plentor::testsupport {

// A fresh directory for one test or fixture, removed with everything in it
// when the object goes.
class TempDirectory {
public:
    enum class Place {
        System,            // the system's temporary folder (%TEMP% on Windows)
        SharedWithUnix,    // the Unix temporary folder, where Unix helper programs see it too
    };

    explicit TempDirectory(const std::string& prefix, Place place = Place::System);
    ~TempDirectory();
    TempDirectory(const TempDirectory&) = delete;
    TempDirectory& operator=(const TempDirectory&) = delete;

    // Empty when no directory could be made.
    const std::string& Path() const { return path_; }
    // The path of an entry (a relative path) inside the directory.
    std::string File(const std::string& name) const;

private:
    std::string path_;
};

} // namespace plentor::testsupport
