#pragma once

#include <string>
#include <string_view>

namespace plentor {

// Brings bytes taken from a web page within what an XML document may hold,
// so that the HTML converter's output is read by any XML parser.
class XmlRepair {
public:
    enum class Encoding {
        Utf8,     // characters are checked as UTF-8 sequences
        Ansi,     // a code page of the process: bytes 0x80 and up pass in text as they are
    };

    // When text holds bytes XML does not allow, out = text with each C0
    // control other than tab, CR and LF made a space and, in UTF-8, each byte
    // that does not start a well-formed sequence of an XML character
    // replaced by U+FFFD; returns true. Returns false, leaving out alone,
    // when text needs no change.
    static bool RepairText(std::string_view text, Encoding encoding, std::string& out);

    // Whether every "&#" in an attribute value begins a reference to a
    // character XML allows ("&#169;", "&#x20AC;", not "&#X20AC;"): the writer
    // passes "&#" through unchanged, so any other "&#" would break the document.
    static bool HasOnlyGoodReferences(std::string_view value);
    // Writes the "&" of every other "&#" as "&#38;", which an XML reader
    // turns back into the "&" of the original value, and HTML's "&#X" of a
    // good hexadecimal reference as XML's "&#x". True when value changed.
    static bool RepairReferences(std::string& value);

    // Whether name is an XML name that every reader accepts: ASCII
    // letters, digits, "_", "-" and "." only, not starting with a digit,
    // "-" or "." (an empty name passes: the writer gives it a tag of its own).
    static bool IsName(std::string_view name);

    // Makes name such a name: each other byte (in UTF-8, each other
    // character) becomes "_", and a name starting with a digit, "-" or "."
    // gets a leading "_". True when name changed.
    static bool RepairName(std::string& name, Encoding encoding);
};

} // namespace plentor
