#include "platform/CodePage.h"

#include <cstdlib>

namespace plentor::platform {

namespace {

int CodePageFromEnv(const char* name, int fallback)
{
    const char* v = std::getenv(name);
    if (!v || !*v)
        return fallback;
    char* end = nullptr;
    long n = std::strtol(v, &end, 10);
    if (*end != '\0' || n <= 0 || n > 65535)
        return fallback;
    return static_cast<int>(n);
}

} // namespace

int ActiveAnsiCodePage() { return CodePageFromEnv("PLENTOR_ACP", 65001); }
int OemCodePage() { return CodePageFromEnv("PLENTOR_OEMCP", 437); }

bool SystemUtf16ToAnsi(std::u16string_view, std::string&) { return false; }
bool SystemAnsiToUtf16(std::string_view, std::u16string&) { return false; }

} // namespace plentor::platform
