#include "markup/XmlEntities.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace plentor {

namespace {

// The names the writer recognises after "&", in byte order so that lookups
// can bisect. HTML's Latin-1 names that are missing here (Ntilde, brvbar,
// divide, laquo, macr, times) are escaped like any other "&".
constexpr std::string_view kKnownNames[] = {
    "AElig", "Aacute", "Acirc", "Agrave", "Aring", "Atilde", "Auml", "Ccedil", "ETH", "Eacute", "Ecirc",
    "Egrave", "Euml", "Iacute", "Icirc", "Igrave", "Iuml", "OElig", "Oacute", "Ocirc", "Ograve", "Oslash",
    "Otilde", "Ouml", "THORN", "Uacute", "Ucirc", "Ugrave", "Utilde", "Uuml", "Yacute", "Yuml", "aacute",
    "acirc", "acute", "aelig", "agrave", "amp", "apos", "aring", "atilde", "auml", "brkbar", "bull",
    "ccedil", "cedil", "cent", "copy", "curren", "deg", "eacute", "ecirc", "egrave", "eth", "euml",
    "frac12", "frac14", "frac34", "gt", "hibar", "iacute", "icirc", "iexcl", "igrave", "iquest", "iuml",
    "lt", "micro", "middot", "nbsp", "not", "ntilde", "oacute", "ocirc", "oelig", "ograve", "ordf",
    "ordm", "oslash", "otilde", "ouml", "para", "plusmn", "pound", "quot", "raquo", "reg", "sect",
    "shy", "sup1", "sup2", "sup3", "szlig", "thorn", "uacute", "ucirc", "ugrave", "uml", "utilde",
    "uuml", "yacute", "yen", "yuml",
};

constexpr bool IsSortedAndShort()
{
    for (size_t i = 0; i < std::size(kKnownNames); ++i) {
        if (kKnownNames[i].size() > XmlEntities::kLongestName)
            return false;
        if (i > 0 && !(kKnownNames[i - 1] < kKnownNames[i]))
            return false;
    }
    return true;
}
static_assert(IsSortedAndShort(), "kKnownNames must stay sorted and within kLongestName");
static_assert(std::size(kKnownNames) == 103, "the writer's entity list has 103 names");

struct Decoding {
    std::string_view reference;
    char character;
};

// The only references the parser decodes.
constexpr Decoding kDecoded[] = {
    {"&lt;", '<'}, {"&apos;", '\''}, {"&gt;", '>'}, {"&quot;", '"'}, {"&amp;", '&'},
};

// Calls emit(bytes) for each piece of the decoded text.
template <typename Emit>
void Decode(std::string_view text, Emit emit)
{
    size_t done = 0;
    for (size_t amp = text.find('&'); amp != std::string_view::npos; amp = text.find('&', amp + 1)) {
        std::string_view rest = text.substr(amp);
        for (const Decoding& d : kDecoded) {
            if (rest.substr(0, d.reference.size()) == d.reference) {
                emit(text.substr(done, amp - done));
                emit(std::string_view(&d.character, 1));
                done = amp + d.reference.size();
                amp = done - 1;
                break;
            }
        }
    }
    emit(text.substr(done));
}

} // namespace

bool XmlEntities::IsKnownName(std::string_view name)
{
    return std::binary_search(std::begin(kKnownNames), std::end(kKnownNames), name);
}

size_t XmlEntities::KnownNameCount() { return std::size(kKnownNames); }

void XmlEntities::AppendDecoded(std::string_view text, std::string& out)
{
    Decode(text, [&out](std::string_view piece) { out.append(piece); });
}

size_t XmlEntities::ReferenceLength(std::string_view text)
{
    if (text.size() < 2 || text[0] != '&')
        return 0;
    if (text[1] == '#')
        return 2;
    const size_t limit = std::min(text.size(), kLongestName + 2);
    for (size_t i = 1; i < limit; ++i) {
        if (text[i] == ';')
            return IsKnownName(text.substr(1, i - 1)) ? i + 1 : 0;
    }
    return 0;
}

} // namespace plentor
