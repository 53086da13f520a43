#pragma once

#include <string>
#include <string_view>

namespace plentor {

// The entity names the XML model knows: the five it decodes when parsing,
// and the longer list of names the writer leaves alone after an "&".
class XmlEntities {
public:
    // Longest name in the writer's list ("frac12", "plusmn", ...).
    static constexpr size_t kLongestName = 6;

    // True for one of the names the writer passes through unchanged when
    // written as "&name;" (compared case-sensitively, without "&" and ";").
    static bool IsKnownName(std::string_view name);

    // How many names IsKnownName accepts.
    static size_t KnownNameCount();

    // Appends text to out with "&lt;", "&apos;", "&gt;", "&quot;" and "&amp;"
    // replaced by their characters, left to right; nothing else is decoded,
    // and a decoded "&" never starts another reference.
    static void AppendDecoded(std::string_view text, std::string& out);

    // Length of the "&name;" reference at the start of text when text begins
    // with "&#" (then 2) or with "&" + a known name + ";"; 0 otherwise.
    static size_t ReferenceLength(std::string_view text);
};

} // namespace plentor
