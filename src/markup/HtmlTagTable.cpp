#include "markup/HtmlTagTable.h"

#include <array>
#include <cstddef>

namespace plentor {

namespace {

using K = HtmlTagKind;

constexpr HtmlTagTable::KindInfo kKinds[] = {
#define PLENTOR_HTML_KIND_INFO(kind, name, cls, flags) {name, HtmlTagClass::cls, static_cast<uint8_t>(flags)},
    PLENTOR_HTML_TAG_KINDS(PLENTOR_HTML_KIND_INFO)
#undef PLENTOR_HTML_KIND_INFO
};

enum class Match : uint8_t {
    Exactly,   // the whole name equals the letters
    Prefix,    // the name begins with the letters (and not with the exception, when one is given)
};

struct Rule {
    std::string_view letters;
    Match match;
    std::string_view unless;   // a longer beginning that this rule does not take
    HtmlTagKind kind;
};

// Grouped by first letter; within a letter the first matching rule wins.
constexpr Rule kRules[] = {
    {"a", Match::Exactly, {}, K::A},
    {"area", Match::Prefix, {}, K::Area},
    {"address", Match::Prefix, {}, K::Address},
    {"applet", Match::Prefix, {}, K::Applet},
    {"b", Match::Exactly, {}, K::B},
    {"br", Match::Prefix, {}, K::Br},
    {"bi", Match::Prefix, {}, K::Big},
    {"body", Match::Prefix, {}, K::Body},
    {"base", Match::Prefix, "basef", K::Base},
    {"basef", Match::Prefix, {}, K::Basefont},
    {"block", Match::Prefix, {}, K::Blockquote},
    {"bgso", Match::Prefix, {}, K::Bgsound},
    {"blin", Match::Prefix, {}, K::Blink},
    {"butt", Match::Prefix, {}, K::Button},
    {"cent", Match::Prefix, {}, K::Center},
    {"capt", Match::Prefix, {}, K::Caption},
    {"colg", Match::Prefix, {}, K::Colgroup},
    {"col", Match::Prefix, "colg", K::Col},
    {"dd", Match::Prefix, {}, K::Dd},
    {"de", Match::Prefix, {}, K::Del},
    {"div", Match::Prefix, {}, K::Div},
    {"dir", Match::Prefix, {}, K::Dir},
    {"dl", Match::Prefix, {}, K::Dl},
    {"dt", Match::Prefix, {}, K::Dt},
    {"em", Match::Prefix, "emb", K::Em},
    {"emb", Match::Prefix, {}, K::Embed},
    {"fon", Match::Prefix, {}, K::Font},
    {"for", Match::Prefix, {}, K::Form},
    {"fram", Match::Prefix, "frames", K::Frame},
    {"frames", Match::Prefix, {}, K::Frameset},
    {"fiel", Match::Prefix, {}, K::Fieldset},
    {"h1", Match::Prefix, {}, K::H1},
    {"h2", Match::Prefix, {}, K::H2},
    {"h3", Match::Prefix, {}, K::H3},
    {"h4", Match::Prefix, {}, K::H4},
    {"h5", Match::Prefix, {}, K::H5},
    {"h6", Match::Prefix, {}, K::H6},
    {"he", Match::Prefix, {}, K::Head},
    {"hr", Match::Prefix, {}, K::Hr},
    {"ht", Match::Prefix, {}, K::Html},
    {"i", Match::Exactly, {}, K::I},
    {"im", Match::Prefix, {}, K::Img},
    {"input", Match::Prefix, {}, K::Input},
    {"if", Match::Prefix, {}, K::Iframe},
    {"isindex", Match::Prefix, {}, K::Isindex},
    {"ins", Match::Prefix, {}, K::Ins},
    {"ilay", Match::Prefix, {}, K::Ilayer},
    {"k", Match::Prefix, {}, K::Kbd},
    {"link", Match::Prefix, {}, K::Link},
    {"li", Match::Prefix, "link", K::Li},
    {"lab", Match::Prefix, {}, K::Label},
    {"lay", Match::Prefix, {}, K::Layer},
    {"leg", Match::Prefix, {}, K::Legend},
    {"meta", Match::Prefix, {}, K::Meta},
    {"map", Match::Prefix, {}, K::Map},
    {"menu", Match::Prefix, {}, K::Menu},
    {"mar", Match::Prefix, {}, K::Marquee},
    {"mul", Match::Prefix, {}, K::Multicol},
    {"nos", Match::Prefix, {}, K::Noscript},
    {"nof", Match::Prefix, {}, K::Noframes},
    {"nob", Match::Prefix, {}, K::Nobr},
    {"noe", Match::Prefix, {}, K::Noembed},
    {"nol", Match::Prefix, {}, K::Nolayer},
    {"opti", Match::Prefix, {}, K::Option},
    {"obj", Match::Prefix, {}, K::Object},
    {"ol", Match::Prefix, {}, K::Ol},
    {"optg", Match::Prefix, {}, K::Optgroup},
    {"p", Match::Exactly, {}, K::P},
    {"pre", Match::Prefix, {}, K::Pre},
    {"param", Match::Prefix, {}, K::Param},
    {"s", Match::Exactly, {}, K::S},
    {"sp", Match::Prefix, {}, K::Span},
    {"strong", Match::Prefix, {}, K::Strong},
    {"script", Match::Prefix, {}, K::Script},
    {"style", Match::Prefix, {}, K::Style},
    {"sele", Match::Prefix, {}, K::Select},
    {"smal", Match::Prefix, {}, K::Small},
    {"strik", Match::Prefix, {}, K::Strike},
    {"sub", Match::Prefix, {}, K::Sub},
    {"sup", Match::Prefix, {}, K::Sup},
    {"serv", Match::Prefix, {}, K::Server},
    {"tr", Match::Prefix, {}, K::Tr},
    {"td", Match::Prefix, {}, K::Td},
    {"table", Match::Prefix, {}, K::Table},
    {"thead", Match::Prefix, {}, K::Thead},
    {"th", Match::Prefix, "thead", K::Th},
    {"title", Match::Prefix, {}, K::Title},
    {"tfoot", Match::Prefix, {}, K::Tfoot},
    {"texta", Match::Prefix, {}, K::Textarea},
    {"tt", Match::Prefix, {}, K::Tt},
    {"u", Match::Exactly, {}, K::U},
    {"ul", Match::Prefix, {}, K::Ul},
    {"w", Match::Prefix, {}, K::Wbr},
};

constexpr size_t kLetters = 26;

struct Range {
    size_t begin = 0;
    size_t end = 0;
};

// For each letter a-z, the run of rules that begin with it.
constexpr std::array<Range, kLetters> MakeLetterRanges()
{
    std::array<Range, kLetters> ranges{};
    for (size_t i = 0; i < std::size(kRules); ++i) {
        Range& r = ranges[static_cast<size_t>(kRules[i].letters[0] - 'a')];
        if (r.begin == r.end)
            r.begin = i;
        r.end = i + 1;
    }
    return ranges;
}

constexpr std::array<Range, kLetters> kLetterRanges = MakeLetterRanges();

// A letter's rules must sit together, or a lookup would miss some of them.
constexpr bool RulesAreGroupedByLetter()
{
    for (size_t i = 0; i < std::size(kRules); ++i) {
        const Range& r = kLetterRanges[static_cast<size_t>(kRules[i].letters[0] - 'a')];
        if (i < r.begin || i >= r.end)
            return false;
    }
    for (const Range& r : kLetterRanges)
        for (size_t i = r.begin; i < r.end; ++i)
            if (kRules[i].letters[0] != kRules[r.begin].letters[0])
                return false;
    return true;
}
static_assert(RulesAreGroupedByLetter(), "the rules of one first letter must be listed together");
static_assert(std::size(kKinds) == static_cast<size_t>(HtmlTagKind::Unknown) + 1, "one info row per kind");

bool Matches(const Rule& rule, std::string_view name)
{
    if (rule.match == Match::Exactly)
        return name == rule.letters;
    return name.starts_with(rule.letters) && (rule.unless.empty() || !name.starts_with(rule.unless));
}

} // namespace

HtmlTagKind HtmlTagTable::Lookup(std::string_view lowerName)
{
    if (lowerName.empty() || lowerName[0] < 'a' || lowerName[0] > 'z')
        return HtmlTagKind::Unknown;
    const Range& r = kLetterRanges[static_cast<size_t>(lowerName[0] - 'a')];
    for (size_t i = r.begin; i < r.end; ++i)
        if (Matches(kRules[i], lowerName))
            return kRules[i].kind;
    return HtmlTagKind::Unknown;
}

const HtmlTagTable::KindInfo& HtmlTagTable::Info(HtmlTagKind kind) { return kKinds[static_cast<size_t>(kind)]; }

} // namespace plentor
