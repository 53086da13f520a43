#include "services/BookmarkFile.h"

#include "base/LogNull.h"
#include "markup/HtmlEntities.h"
#include "markup/HtmlHelp.h"
#include "markup/HtmlScan.h"
#include "markup/MarkupScan.h"
#include "text/AsciiChars.h"
#include "text/CharsetNames.h"
#include "text/DataBuffer.h"
#include "text/EncodingConvert.h"
#include "text/StringBuffer.h"

namespace plentor {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view kCommentOpen = "<!--";
constexpr std::string_view kCommentClose = "-->";

bool EndsName(char c) { return AsciiChars::IsSpace(c) || c == '>' || c == '/' || c == '='; }

size_t SkipSpace(std::string_view text, size_t i)
{
    while (i < text.size() && AsciiChars::IsSpace(text[i]))
        ++i;
    return i;
}

// Text with its references decoded and its white space collapsed and trimmed.
std::string CleanText(std::string_view raw)
{
    std::string decoded;
    HtmlEntities::AppendDecodedUtf8(raw, decoded);
    std::string out;
    bool space = false;
    for (const char c : decoded) {
        if (AsciiChars::IsSpace(c)) {
            space = !out.empty();
            continue;
        }
        if (space)
            out.push_back(' ');
        space = false;
        out.push_back(c);
    }
    return out;
}

// One tag of the file: its name in lower case and its text from "<" to ">".
struct Tag {
    std::string name;
    bool isEnd = false;
    std::string_view text;
};

Tag ReadTag(std::string_view text)
{
    Tag tag;
    tag.text = text;
    size_t i = 1;
    tag.isEnd = i < text.size() && text[i] == '/';
    i += tag.isEnd ? 1 : 0;
    for (; i < text.size() && !EndsName(text[i]); ++i)
        tag.name.push_back(AsciiChars::ToLower(text[i]));
    return tag;
}

// The value of one attribute of a start tag (quoted in " or ', or bare up
// to white space); false when the tag has no attribute of that name.
bool FindAttribute(std::string_view tag, std::string_view wanted, std::string_view& value)
{
    size_t i = 1;
    while (i < tag.size() && !EndsName(tag[i]))
        ++i;
    while (i < tag.size()) {
        while (i < tag.size() && (AsciiChars::IsSpace(tag[i]) || tag[i] == '/'))
            ++i;
        const size_t nameStart = i;
        while (i < tag.size() && !EndsName(tag[i]))
            ++i;
        const std::string_view name = tag.substr(nameStart, i - nameStart);
        if (name.empty())
            return false;
        value = std::string_view();
        i = SkipSpace(tag, i);
        if (i < tag.size() && tag[i] == '=') {
            i = SkipSpace(tag, i + 1);
            const bool quoted = i < tag.size() && (tag[i] == '"' || tag[i] == '\'');
            const size_t start = quoted ? i + 1 : i;
            size_t end = quoted ? tag.find(tag[i], start) : start;
            if (end == std::string_view::npos)
                end = tag.size() - 1;   // the quote runs into the ">"
            while (!quoted && end < tag.size() && !AsciiChars::IsSpace(tag[end]) && tag[end] != '>')
                ++end;
            value = tag.substr(start, end - start);
            i = quoted ? end + 1 : end;
        }
        if (AsciiChars::EqualsNoCase(name, wanted))
            return true;
    }
    return false;
}

std::string Attribute(std::string_view tag, std::string_view name)
{
    std::string_view value;
    std::string decoded;
    if (FindAttribute(tag, name, value))
        HtmlEntities::AppendDecodedUtf8(value, decoded);
    return decoded;
}

std::vector<std::string> SplitTags(const std::string& list)
{
    std::vector<std::string> tags;
    size_t start = 0;
    while (start <= list.size()) {
        size_t comma = list.find(',', start);
        if (comma == std::string::npos)
            comma = list.size();
        const std::string tag = CleanText(std::string_view(list).substr(start, comma - start));
        if (!tag.empty())
            tags.push_back(tag);
        start = comma + 1;
    }
    return tags;
}

// One left-to-right pass over the file, following the open lists.
class Reader {
public:
    Reader(std::string_view text, std::vector<BookmarkFile::Entry>& entries)
        : text_(text), scan_(text), entries_(entries)
    {
    }

    void Run();

private:
    // The raw text from at to the next markup; at moves there.
    std::string_view TextFrom(size_t& at);
    void Handle(const Tag& tag, size_t& at);
    void OpenList();
    void CloseList();
    void AddLink(const Tag& tag, size_t& at);

    std::string_view text_;
    HtmlScan scan_;
    std::vector<BookmarkFile::Entry>& entries_;
    std::vector<std::string> folders_;   // the names of the open folders within kMaxFolderDepth
    std::vector<bool> namedLists_;       // per open list: whether it put a name on folders_
    std::string heading_;                // the last folder heading, until its list opens
    bool hasHeading_ = false;
    bool describable_ = false;           // a DD now describes the last entry
};

void Reader::Run()
{
    size_t at = 0;
    while ((at = scan_.NextMarkup(at)) < text_.size()) {
        if (text_.substr(at, kCommentOpen.size()) == kCommentOpen) {
            const size_t end = scan_.CommentEnd(at + kCommentOpen.size());
            at = end == HtmlScan::npos ? text_.size() : end + kCommentClose.size();
            continue;
        }
        const size_t end = scan_.TagEnd(at);
        if (end == HtmlScan::npos)
            return;
        const Tag tag = ReadTag(text_.substr(at, end + 1 - at));
        at = end + 1;
        Handle(tag, at);
    }
}

std::string_view Reader::TextFrom(size_t& at)
{
    const size_t next = scan_.NextMarkup(at);
    const std::string_view text = text_.substr(at, next - at);
    at = next;
    return text;
}

void Reader::Handle(const Tag& tag, size_t& at)
{
    if (tag.name == "dl") {
        tag.isEnd ? CloseList() : OpenList();
    } else if (tag.isEnd) {
        return;
    } else if (tag.name == "h3") {
        heading_ = CleanText(TextFrom(at));
        hasHeading_ = true;
        describable_ = false;
    } else if (tag.name == "a") {
        AddLink(tag, at);
    } else if (tag.name == "dd") {
        if (describable_)
            entries_.back().description = CleanText(TextFrom(at));
        describable_ = false;
    } else if (tag.name == "dt" || tag.name == "hr") {
        describable_ = false;
    }
}

void Reader::OpenList()
{
    const bool named = hasHeading_ && folders_.size() < BookmarkFile::kMaxFolderDepth;
    if (named)
        folders_.push_back(heading_);
    namedLists_.push_back(named);
    hasHeading_ = false;
    describable_ = false;
}

void Reader::CloseList()
{
    if (!namedLists_.empty()) {
        if (namedLists_.back())
            folders_.pop_back();
        namedLists_.pop_back();
    }
    hasHeading_ = false;
    describable_ = false;
}

void Reader::AddLink(const Tag& tag, size_t& at)
{
    BookmarkFile::Entry entry;
    entry.url = std::string(AsciiChars::Trim(Attribute(tag.text, "href")));
    entry.title = CleanText(TextFrom(at));
    hasHeading_ = false;
    describable_ = !entry.url.empty();
    if (!describable_)
        return;
    entry.tags = SplitTags(Attribute(tag.text, "tags"));
    entry.folders = folders_;
    entries_.push_back(std::move(entry));
}

// The file's text in UTF-8 when its head declares another charset that
// can be converted; false when it is to be read as it stands.
bool ConvertDeclaredCharset(std::string_view text, std::string& converted)
{
    const size_t firstList = MarkupScan::FindNoCase(text, "<dl");
    StringBuffer name;
    HtmlHelp::GetMetaCharset(text.substr(0, firstList), name);
    const int codePage = CharsetNames::CodePageFromName(name.GetString());
    if (codePage == 0 || codePage == EncodingConvert::kUtf8 || text.size() > BookmarkFile::kMaxFileBytes)
        return false;
    DataBuffer out;
    EncodingConvert converter;
    LogNull quiet;
    if (!converter.Convert(codePage, EncodingConvert::kUtf8, text.data(), static_cast<unsigned>(text.size()), out,
                           quiet))
        return false;
    converted.assign(reinterpret_cast<const char*>(out.Data()), out.Size());
    return true;
}

} // namespace

bool BookmarkFile::IsBookmarkFile(std::string_view text)
{
    if (text.substr(0, kByteOrderMark.size()) == kByteOrderMark)
        text.remove_prefix(kByteOrderMark.size());
    const size_t first = SkipSpace(text, 0);
    return first < text.size() && text[first] == '<';
}

void BookmarkFile::Load(std::string_view text)
{
    entries_.clear();
    std::string converted;
    if (ConvertDeclaredCharset(text, converted))
        text = converted;
    if (text.substr(0, kByteOrderMark.size()) == kByteOrderMark)
        text.remove_prefix(kByteOrderMark.size());
    Reader(text, entries_).Run();
}

} // namespace plentor
