#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace plentor {

// The character references the HTML converter decodes in text: "&nbsp;"
// (one space), HTML's Latin-1 names except "&brvbar;" and "&laquo;", a few
// typographic names, and "&ensp;" and "&emsp;" (a plain space). A decoder
// writes the characters in one output code page, converting each character
// at most once.
class HtmlEntities {
public:
    // The longest name decoded ("frac12", "Dagger", ...).
    static constexpr size_t kLongestName = 6;

    // The code point of a decoded name (without "&" and ";", compared
    // case-sensitively); 0 for any other name.
    static char32_t CodePointOf(std::string_view name);

    // Appends text to out with the references an HTML reader decodes in
    // text and attribute values written as UTF-8: "&amp;", "&lt;", "&gt;",
    // "&quot;", "&apos;", the names CodePointOf knows, and numeric references
    // ("&#233;", "&#xE9;") to any character but NUL and the surrogates.
    // Anything else, such as an "&" that begins no reference, stays as written.
    static void AppendDecodedUtf8(std::string_view text, std::string& out);

    // codePage: the code page of the text the decoded characters join.
    explicit HtmlEntities(int codePage);
    int CodePage() const { return codePage_; }

    // What AppendDecoded found in a run.
    enum class Run {
        Plain,      // every reference was decoded or is not one of ours
        NeedsCdata, // a numeric reference or a character the code page cannot hold stays as written
    };

    // Appends run to out with the references decoded.
    Run AppendDecoded(std::string_view run, std::string& out);

private:
    // Whether the code page holds the character of entry index, converting
    // it into encoded_ on first use.
    bool Held(size_t index);

    enum class Slot : uint8_t { NotYet, Held, Missing };

    int codePage_;
    std::vector<Slot> slots_;            // per code point index, filled on first use
    std::vector<std::string> encoded_;
};

} // namespace plentor
