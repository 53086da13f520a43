#include "support/ScopedCodePage.h"

#include "platform/CodePage.h"

#include <cstdlib>

namespace plentor::testsupport {

ScopedCodePage::ScopedCodePage(const char* ansi, const char* oem)
    : ansiEnv_("PLENTOR_ACP", ansi), oemEnv_("PLENTOR_OEMCP", oem), ansi_(std::atoi(ansi)),
      oem_(oem != nullptr ? std::atoi(oem) : 0)
{
}

void ScopedCodePage::SetAnsi(const char* ansi)
{
    ansiEnv_.Set(ansi);
    ansi_ = std::atoi(ansi);
}

bool ScopedCodePage::Active() const
{
    return platform::ActiveAnsiCodePage() == ansi_ && (oem_ == 0 || platform::OemCodePage() == oem_);
}

std::string ScopedCodePage::Why() const
{
    if (Active()) return std::string();
    return "needs ANSI code page " + std::to_string(ansi_) + (oem_ != 0 ? " and OEM code page " + std::to_string(oem_) : "") +
           "; this system runs on " + std::to_string(platform::ActiveAnsiCodePage()) + " and " +
           std::to_string(platform::OemCodePage()) + ", which a running process cannot change";
}

} // namespace plentor::testsupport
