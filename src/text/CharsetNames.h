#pragma once

namespace plentor {

class StringBuffer;

// Maps charset names to Windows code page numbers and code pages to their
// canonical names. One table of names and one table of canonical names; every
// other place that needs a charset name asks here.
class CharsetNames {
public:
    // The code page of a charset name, 0 when the name is unknown or null.
    // Surrounding white space is ignored, case does not matter and "_" counts
    // as "-"; otherwise the whole name must match ("l3" does, "l" does not).
    static int CodePageFromName(const char* name);

    // True when CodePageFromName knows the name.
    static bool IsKnownCharset(const char* name);

    // Sets out to the canonical name of the code page. False, with out
    // emptied, when the code page has none.
    static bool CanonicalName(int codePage, StringBuffer& out);

    // The canonical name of the code page, or null when it has none.
    static const char* CanonicalNameOf(int codePage);

    // The longest name in the table; longer input cannot match.
    static constexpr int kMaxNameLength = 28;
};

} // namespace plentor
