#pragma once

#include <string>

namespace plentor::testsupport {

// The Unix system the suite runs on, as the test process reaches it: the
// process itself in the POSIX build; under Wine the system behind drive Z:.
// Helper programs (nginx, openssl, python3) are Unix programs and name files
// by Unix paths; the test names the same files by its own paths.
class UnixHost {
public:
    // False on Windows without Wine: no Unix program can be started there.
    static bool Reachable();
    // The Unix path of a file the test names by path (made absolute);
    // empty when it has none.
    static std::string UnixPath(const std::string& path);
    // The test's own path of a Unix path; empty when it has none.
    static std::string LocalPath(const std::string& unixPath);
    // The Unix temporary folder ($TMPDIR or /tmp) as the test names it, so
    // that files made there are seen alike by the test and by Unix programs.
    static std::string TempFolder();
};

} // namespace plentor::testsupport
