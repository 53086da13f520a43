#pragma once

#include "text/StringBuffer.h"

namespace plentor {

// A charset as a code page number plus the canonical name of that code page.
// Code page 0 and an empty name mean "unknown or not set".
class Charset {
public:
    Charset() = default;
    virtual ~Charset() = default;

    // Null leaves the charset as it is. "default" and "x-user-defined" clear
    // it; "ansi" and "oem" (any case) select the system's code pages; any
    // other known name selects its code page and the canonical name of that
    // code page (empty when there is none); an unknown name clears it.
    void SetByName(const char* name);

    // Selects a code page that has a canonical name; any other clears.
    void SetByCodePage(int codePage);

    void Clear();

    int GetCodePage() const { return codePage_; }
    const StringBuffer& GetName() const { return name_; }

private:
    StringBuffer name_;
    int codePage_ = 0;
};

} // namespace plentor
