#pragma once

#include "module/HostString.h"

#include <string>

namespace plentor {

class StringBuffer;
class XString;

// The conversions at the objects' boundary: the host's UTF-16 strings into
// the byte strings the service clients take, and the clients' byte strings
// back to UTF-16 for the host. Characters the target cannot hold become a
// replacement character rather than vanishing, as the platform's own
// conversions do.
class BoundaryText {
public:
    // The host text in the active ANSI code page. Where the system converts
    // (Windows), a character that page cannot hold is rendered as the system
    // renders it; through the built-in tables it becomes "?".
    static void ToAnsi(HostString text, StringBuffer& out);
    static StringBuffer ToAnsi(HostString text);
    // The host text as a Unicode value (for the client that sends UTF-8).
    static XString ToUnicode(HostString text);

    // Bytes in the active ANSI code page as UTF-16 (the system's conversion
    // where there is one); through the tables a byte sequence the page
    // does not define becomes U+FFFD.
    static std::u16string FromAnsi(const StringBuffer& text);
    // UTF-8 bytes as UTF-16, with U+FFFD for malformed sequences.
    static std::u16string FromUtf8(const StringBuffer& text);

    // A client's outcome as the number the host receives.
    static long Success(bool ok) { return ok ? 1 : 0; }

    // The code page the ANSI forms use: the active one when the converter
    // knows it, else UTF-8 (a misconfigured page must not lose the text).
    static int AnsiCodePage();
};

} // namespace plentor
