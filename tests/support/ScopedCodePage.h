#pragma once

#include "support/ScopedEnv.h"

#include <string>

namespace plentor::testsupport {

// Puts the process on an ANSI (and optionally an OEM) code page for one
// scope. The POSIX build takes its pages from PLENTOR_ACP and PLENTOR_OEMCP,
// so any page can be set; Windows keeps the system's pages (GetACP,
// GetOEMCP) for the life of the process. Active() tells whether the process
// now runs on the wanted pages; a table test passes over the cases it
// cannot set and runs those on the system's own pages.
class ScopedCodePage {
public:
    explicit ScopedCodePage(const char* ansi, const char* oem = nullptr);

    // Switches the ANSI page again within the scope.
    void SetAnsi(const char* ansi);
    bool Active() const;
    // Why Active() is false, for a skip message.
    std::string Why() const;

private:
    ScopedEnv ansiEnv_;
    ScopedEnv oemEnv_;
    int ansi_;
    int oem_;   // 0: not set
};

} // namespace plentor::testsupport
