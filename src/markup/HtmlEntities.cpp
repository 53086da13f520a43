#include "markup/HtmlEntities.h"

#include "base/LogNull.h"
#include "text/DataBuffer.h"
#include "text/EncodingConvert.h"
#include "text/HexDigits.h"
#include "text/Surrogates.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace plentor {

namespace {

struct Entity {
    std::string_view name;
    char32_t codePoint;
};

constexpr char32_t kLatin1First = 0xA1;

// HTML's names for U+00A1 to U+00FF, in code point order. The two left
// empty ("brvbar" and "laquo") are not decoded.
constexpr std::string_view kLatin1Names[] = {
    "iexcl",  "cent",   "pound",  "curren", "yen",    "",       "sect",   "uml",    "copy",   "ordf",
    "",       "not",    "shy",    "reg",    "macr",   "deg",    "plusmn", "sup2",   "sup3",   "acute",
    "micro",  "para",   "middot", "cedil",  "sup1",   "ordm",   "raquo",  "frac14", "frac12", "frac34",
    "iquest", "Agrave", "Aacute", "Acirc",  "Atilde", "Auml",   "Aring",  "AElig",  "Ccedil", "Egrave",
    "Eacute", "Ecirc",  "Euml",   "Igrave", "Iacute", "Icirc",  "Iuml",   "ETH",    "Ntilde", "Ograve",
    "Oacute", "Ocirc",  "Otilde", "Ouml",   "times",  "Oslash", "Ugrave", "Uacute", "Ucirc",  "Uuml",
    "Yacute", "THORN",  "szlig",  "agrave", "aacute", "acirc",  "atilde", "auml",   "aring",  "aelig",
    "ccedil", "egrave", "eacute", "ecirc",  "euml",   "igrave", "iacute", "icirc",  "iuml",   "eth",
    "ntilde", "ograve", "oacute", "ocirc",  "otilde", "ouml",   "divide", "oslash", "ugrave", "uacute",
    "ucirc",  "uuml",   "yacute", "thorn",  "yuml",
};
static_assert(std::size(kLatin1Names) == 0xFF - kLatin1First + 1, "one name per code point U+00A1..U+00FF");

constexpr Entity kOtherEntities[] = {
    {"nbsp", U' '},    {"ensp", U' '},      {"emsp", U' '},      {"Aelig", 0xC6},   {"aElig", 0xE6},
    {"euro", 0x20AC},  {"dagger", 0x2020},  {"Dagger", 0x2021},  {"circ", 0x02C6},  {"OElig", 0x0152},
    {"oelig", 0x0153}, {"Yuml", 0x0178},    {"ndash", 0x2013},   {"mdash", 0x2014}, {"tilde", 0x02DC},
    {"trade", 0x2122}, {"rdquo", 0x201D},
};

constexpr size_t CountLatin1()
{
    size_t n = 0;
    for (std::string_view name : kLatin1Names)
        n += name.empty() ? 0 : 1;
    return n;
}

constexpr size_t kEntityCount = CountLatin1() + std::size(kOtherEntities);

// Every decoded name in byte order, for bisection.
constexpr std::array<Entity, kEntityCount> MakeSortedEntities()
{
    std::array<Entity, kEntityCount> all{};
    size_t n = 0;
    for (size_t i = 0; i < std::size(kLatin1Names); ++i)
        if (!kLatin1Names[i].empty())
            all[n++] = {kLatin1Names[i], kLatin1First + static_cast<char32_t>(i)};
    for (const Entity& e : kOtherEntities)
        all[n++] = e;
    std::sort(all.begin(), all.end(), [](const Entity& a, const Entity& b) { return a.name < b.name; });
    return all;
}

constexpr std::array<Entity, kEntityCount> kEntities = MakeSortedEntities();

constexpr bool NamesAreUniqueAndShort()
{
    for (size_t i = 0; i < kEntities.size(); ++i) {
        if (kEntities[i].name.size() > HtmlEntities::kLongestName)
            return false;
        if (i > 0 && kEntities[i - 1].name == kEntities[i].name)
            return false;
    }
    return true;
}
static_assert(NamesAreUniqueAndShort(), "entity names must be distinct and within kLongestName");

// Index of the name in kEntities, or kEntityCount.
size_t IndexOf(std::string_view name)
{
    auto it = std::lower_bound(kEntities.begin(), kEntities.end(), name,
                               [](const Entity& e, std::string_view n) { return e.name < n; });
    if (it == kEntities.end() || it->name != name)
        return kEntityCount;
    return static_cast<size_t>(it - kEntities.begin());
}

void AppendUtf8(char32_t c, std::string& out)
{
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

// The names XML itself defines, which HTML decodes as well.
constexpr Entity kXmlEntities[] = {{"amp", U'&'}, {"lt", U'<'}, {"gt", U'>'}, {"quot", U'"'}, {"apos", U'\''}};

// The longest numeric reference body: "#x" and six hex digits, or "#" and seven decimal ones.
constexpr size_t kLongestNumber = 8;

// The character of a numeric reference body ("#233", "#xE9"); 0 when it is
// malformed or names NUL, a surrogate or no character at all.
char32_t NumberedCodePoint(std::string_view body)
{
    const bool hex = body.size() > 1 && (body[1] == 'x' || body[1] == 'X');
    const size_t first = hex ? 2 : 1;
    if (body.size() <= first)
        return 0;
    char32_t c = 0;
    for (size_t i = first; i < body.size(); ++i) {
        const int digit = hex ? HexDigits::Value(body[i]) : (body[i] >= '0' && body[i] <= '9' ? body[i] - '0' : -1);
        if (digit < 0)
            return 0;
        c = c * (hex ? 16 : 10) + static_cast<char32_t>(digit);
    }
    return c > Surrogates::kLastCodePoint || Surrogates::IsSurrogate(c) ? 0 : c;
}

// The character a reference body (between "&" and ";") stands for; 0 for none.
char32_t ReferencedCodePoint(std::string_view body)
{
    if (!body.empty() && body[0] == '#')
        return body.size() <= kLongestNumber ? NumberedCodePoint(body) : 0;
    for (const Entity& e : kXmlEntities)
        if (e.name == body)
            return e.codePoint;
    return HtmlEntities::CodePointOf(body);
}

} // namespace

char32_t HtmlEntities::CodePointOf(std::string_view name)
{
    const size_t i = IndexOf(name);
    return i == kEntityCount ? 0 : kEntities[i].codePoint;
}

void HtmlEntities::AppendDecodedUtf8(std::string_view text, std::string& out)
{
    constexpr size_t kLongestBody = std::max(kLongestName, kLongestNumber);
    size_t done = 0;
    for (size_t amp = text.find('&'); amp != std::string_view::npos; amp = text.find('&', amp + 1)) {
        const size_t semi = text.substr(amp + 1, kLongestBody + 1).find(';');
        if (semi == std::string_view::npos)
            continue;
        const char32_t c = ReferencedCodePoint(text.substr(amp + 1, semi));
        if (c == 0)
            continue;
        out.append(text.substr(done, amp - done));
        AppendUtf8(c, out);
        done = amp + semi + 2;
        amp = done - 1;
    }
    out.append(text.substr(done));
}

HtmlEntities::HtmlEntities(int codePage)
    : codePage_(codePage), slots_(kEntityCount, Slot::NotYet), encoded_(kEntityCount)
{
}

bool HtmlEntities::Held(size_t index)
{
    if (slots_[index] != Slot::NotYet)
        return slots_[index] == Slot::Held;
    std::string& bytes = encoded_[index];
    const char32_t c = kEntities[index].codePoint;
    bool held = true;
    if (codePage_ == EncodingConvert::kUtf8 || c < 0x80) {
        AppendUtf8(c, bytes);
    } else {
        const uint8_t unit[2] = {static_cast<uint8_t>(c & 0xFF), static_cast<uint8_t>(c >> 8)};
        DataBuffer converted;
        EncodingConvert converter;
        LogNull quiet;   // a character the code page lacks is expected, not an error
        held = converter.Convert(EncodingConvert::kUtf16Le, codePage_, unit, sizeof unit, converted, quiet) &&
               converted.Size() > 0;
        if (held)
            bytes.assign(reinterpret_cast<const char*>(converted.Data()), converted.Size());
    }
    slots_[index] = held ? Slot::Held : Slot::Missing;
    return held;
}

HtmlEntities::Run HtmlEntities::AppendDecoded(std::string_view run, std::string& out)
{
    Run result = Run::Plain;
    size_t done = 0;
    for (size_t amp = run.find('&'); amp != std::string_view::npos; amp = run.find('&', amp + 1)) {
        if (amp + 1 < run.size() && run[amp + 1] == '#') {
            result = Run::NeedsCdata;
            continue;
        }
        const size_t limit = std::min(run.size(), amp + 2 + kLongestName);
        const void* semi = std::memchr(run.data() + amp + 1, ';', limit - (amp + 1));
        if (!semi)
            continue;
        const size_t end = static_cast<size_t>(static_cast<const char*>(semi) - run.data());
        const size_t index = IndexOf(run.substr(amp + 1, end - amp - 1));
        if (index == kEntityCount)
            continue;
        if (!Held(index)) {
            result = Run::NeedsCdata;
            continue;
        }
        out.append(run.substr(done, amp - done));
        out.append(encoded_[index]);
        done = end + 1;
        amp = end;
    }
    out.append(run.substr(done));
    return result;
}

} // namespace plentor
