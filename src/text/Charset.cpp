#include "text/Charset.h"

#include "platform/CodePage.h"
#include "text/CharsetNames.h"

#include <cstring>

namespace plentor {

namespace {

bool EqualsAsciiNoCase(const char* a, const char* b)
{
    for (; *a && *b; ++a, ++b) {
        char x = (*a >= 'A' && *a <= 'Z') ? static_cast<char>(*a + 32) : *a;
        char y = (*b >= 'A' && *b <= 'Z') ? static_cast<char>(*b + 32) : *b;
        if (x != y)
            return false;
    }
    return *a == *b;
}

} // namespace

void Charset::SetByName(const char* name)
{
    if (!name)
        return;
    // Both are placeholders that name no real encoding of their own.
    if (std::strcmp(name, "default") == 0 || std::strcmp(name, "x-user-defined") == 0) {
        Clear();
        return;
    }
    if (EqualsAsciiNoCase(name, "ansi")) {
        SetByCodePage(platform::ActiveAnsiCodePage());
        return;
    }
    if (EqualsAsciiNoCase(name, "oem")) {
        SetByCodePage(platform::OemCodePage());
        return;
    }
    int codePage = CharsetNames::CodePageFromName(name);
    if (codePage == 0) {
        Clear();
        return;
    }
    codePage_ = codePage;
    CharsetNames::CanonicalName(codePage, name_);
}

void Charset::SetByCodePage(int codePage)
{
    if (!CharsetNames::CanonicalName(codePage, name_)) {
        Clear();
        return;
    }
    codePage_ = codePage;
}

void Charset::Clear()
{
    codePage_ = 0;
    name_.Clear();
}

} // namespace plentor
