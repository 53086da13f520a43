#include "markup/HtmlHelp.h"

#include "base/LogBase.h"
#include "markup/MarkupScan.h"
#include "text/AsciiChars.h"
#include "text/StringBuffer.h"

#include <algorithm>
#include <string>

namespace plentor {

namespace {

void Set(StringBuffer& out, std::string_view bytes)
{
    out.Clear();
    out.AppendBytes(bytes.data(), static_cast<int>(bytes.size()));
}

std::string_view View(const StringBuffer& text)
{
    return std::string_view(text.GetString(), static_cast<size_t>(text.GetLength()));
}

bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsQuote(char c) { return c == '"' || c == '\''; }

// Line breaks inside a cleaned tag: CR goes, LF becomes a space.
void RemoveLineBreaks(std::string& tag)
{
    if (std::none_of(tag.begin(), tag.end(), [](char c) { return c == '\r' || c == '\n'; }))
        return;
    tag.erase(std::remove(tag.begin(), tag.end(), '\r'), tag.end());
    std::replace(tag.begin(), tag.end(), '\n', ' ');
}

// The rewriting behind CleanTag; returns the label of the exit taken.
class TagCleaner {
public:
    explicit TagCleaner(std::string_view in) : in_(in) {}

    const char* Run(std::string& out);

private:
    char Peek() const { return p_ < in_.size() ? in_[p_] : '\0'; }
    void SkipSpace()
    {
        while (p_ < in_.size() && AsciiChars::IsSpace(in_[p_]))
            ++p_;
    }
    template <typename Stop>
    std::string_view ReadUntil(Stop stop)
    {
        const size_t start = p_;
        while (p_ < in_.size() && !stop(in_[p_]))
            ++p_;
        return in_.substr(start, p_ - start);
    }
    void CopyValue(std::string& out);

    std::string_view in_;
    size_t p_ = 0;
};

// At the byte after "=": writes the value in quotes and moves past it.
void TagCleaner::CopyValue(std::string& out)
{
    SkipSpace();
    if (Peek() == '\\')
        ++p_;
    char quote = '"';
    std::string_view value;
    if (IsQuote(Peek())) {
        quote = in_[p_++];
        value = ReadUntil([quote](char c) { return c == quote; });
    } else {
        value = ReadUntil([](char c) { return c == '\r' || c == '\n' || c == ' ' || c == '>'; });
        if (value.find('"') != std::string_view::npos)
            quote = '\'';
    }
    SkipSpace();
    if (Peek() == quote)
        ++p_;
    SkipSpace();
    if (!value.empty() && value.back() == '\\')
        value.remove_suffix(1);
    out.push_back(quote);
    out.append(value);
    out.push_back(quote);
}

const char* TagCleaner::Run(std::string& out)
{
    p_ = in_.find('<');
    if (p_ == std::string_view::npos)
        return "clean_tag_1";
    ++p_;
    out.push_back('<');
    SkipSpace();
    out.append(ReadUntil([](char c) { return AsciiChars::IsSpace(c); }));
    SkipSpace();
    if (Peek() == '>') {
        out.push_back('>');
        return "clean_tag_2";
    }
    int valued = 0;
    while (true) {
        while (IsQuote(Peek()))
            ++p_;
        std::string_view name = ReadUntil([](char c) { return AsciiChars::IsSpace(c) || c == '>' || c == '='; });
        SkipSpace();
        const char next = Peek();
        if (IsAsciiLetter(next) || next == '>') {
            out.push_back(' ');
            out.append(name);
            if (next == '>') {
                out.push_back('>');
                RemoveLineBreaks(out);
                return "clean_tag_6";
            }
            continue;
        }
        if (next != '=') {
            // "/", a digit, a stray quote or the end: the tag is finished as it stands.
            out = std::string(AsciiChars::Trim(out));
            if (out.empty() || out.back() != '>')
                out.push_back('>');
            RemoveLineBreaks(out);
            return "clean_tag_3";
        }
        ++p_;
        out.push_back(' ');
        out.append(name);
        out.push_back('=');
        CopyValue(out);
        if (Peek() == '>') {
            out.push_back('>');
            RemoveLineBreaks(out);
            return "clean_tag_4";
        }
        if (++valued >= HtmlHelp::kMaxValuedAttributes) {
            RemoveLineBreaks(out);
            return "clean_tag_5";
        }
    }
}

} // namespace

void HtmlHelp::GetTitle(std::string_view html, StringBuffer& out)
{
    size_t start = MarkupScan::FindNoCase(html, "<title>");
    if (start != MarkupScan::npos) {
        start += 7;
    } else {
        // The title tag carries attributes.
        start = MarkupScan::FindNoCase(html, "<title");
        if (start == MarkupScan::npos)
            return;
        start = html.find('>', start);
        if (start == std::string_view::npos)
            return;
        ++start;
    }
    const size_t end = MarkupScan::FindNoCase(html, "</title>", start);
    if (end != MarkupScan::npos)
        out.AppendBytes(html.data() + start, static_cast<int>(end - start));
}

void HtmlHelp::GetMetaContent(std::string_view html, std::string_view name, StringBuffer& out)
{
    out.Clear();
    std::vector<std::string_view> tags;
    FindTags(html, "<meta", Quotes::Always, tags);
    StringBuffer cleaned;
    StringBuffer value;
    for (std::string_view tag : tags) {
        CleanTag(std::string(tag) + ">", cleaned);
        for (const char* key : {"NAME", "HTTP-EQUIV"}) {
            GetAttribute(View(cleaned), key, value);
            if (!AsciiChars::EqualsNoCase(View(value), name))
                continue;
            GetAttribute(View(cleaned), "content", value);
            if (!value.IsEmpty()) {
                out.AppendBuffer(value);
                return;
            }
        }
    }
}

void HtmlHelp::GetMetaCharset(std::string_view html, StringBuffer& out)
{
    std::vector<std::string_view> tags;
    FindTags(html, "<meta", Quotes::Always, tags);
    StringBuffer cleaned;
    StringBuffer value;
    StringBuffer content;
    for (std::string_view tag : tags) {
        CleanTag(std::string(tag) + ">", cleaned);
        GetAttribute(View(cleaned), "HTTP-EQUIV", value);
        if (!AsciiChars::EqualsNoCase(View(value), "content-type"))
            continue;
        GetAttribute(View(cleaned), "content", content);
        if (content.IsEmpty())
            continue;
        std::string_view text = View(content);
        const size_t at = MarkupScan::FindNoCase(text, "CHARSET=");
        if (at == MarkupScan::npos) {
            GetAttribute(View(cleaned), "CHARSET", out);
            return;
        }
        std::string_view rest = text.substr(at + 8);
        size_t end = rest.find('"');
        if (end == std::string_view::npos)
            end = rest.find(';');
        if (end == std::string_view::npos)
            end = rest.find(' ');
        Set(out, rest.substr(0, end));
        return;
    }
}

void HtmlHelp::GetMetaCharsetAttribute(std::string_view html, StringBuffer& out)
{
    std::vector<std::string_view> tags;
    FindTags(html, "<meta", Quotes::Always, tags);
    StringBuffer cleaned;
    StringBuffer value;
    for (std::string_view tag : tags) {
        CleanTag(std::string(tag) + ">", cleaned);
        // " charset=" with the space: "http-equiv" content values also hold
        // "charset=" but never right after a space inside the tag itself.
        GetAttribute(View(cleaned), " CHARSET", value);
        if (!value.IsEmpty()) {
            out.SetString(value.GetString());
            return;
        }
    }
}

void HtmlHelp::GetAttribute(std::string_view tagText, std::string_view name, StringBuffer& out)
{
    out.Clear();
    for (char quote : {'"', '\''}) {
        std::string needle(name);
        needle.push_back('=');
        needle.push_back(quote);
        const size_t at = MarkupScan::FindNoCase(tagText, needle);
        if (at == MarkupScan::npos)
            continue;
        const size_t start = at + needle.size();
        const size_t end = tagText.find(quote, start);
        if (end == std::string_view::npos)
            return;
        std::string value(AsciiChars::Trim(tagText.substr(start, end - start)));
        std::replace(value.begin(), value.end(), '\\', '/');
        Set(out, value);
        return;
    }
}

void HtmlHelp::CleanTag(std::string_view tagText, std::string& out)
{
    out.clear();
    TagCleaner(tagText).Run(out);
}

void HtmlHelp::CleanTag(std::string_view tagText, StringBuffer& out, LogBase* log)
{
    std::string cleaned;
    const char* label = TagCleaner(tagText).Run(cleaned);
    Set(out, cleaned);
    if (log) {
        log->LogData("cleaning_tag", std::string(tagText).c_str());
        log->LogData(label, cleaned.c_str());
    }
}

void HtmlHelp::FindTags(std::string_view html, std::string_view opening, Quotes quotes,
                        std::vector<std::string_view>& tags)
{
    std::vector<size_t> starts;
    MarkupScan::FindAllNoCase(html, opening, starts);
    std::vector<size_t> ends;
    MarkupScan::FindTagEnds(html, starts,
                            quotes == Quotes::Always ? MarkupScan::QuoteRule::Always
                                                     : MarkupScan::QuoteRule::NotAfterClose,
                            ends);
    size_t free = 0;   // first byte not inside a tag already taken
    for (size_t i = 0; i < starts.size(); ++i) {
        if (starts[i] < free)
            continue;
        tags.push_back(html.substr(starts[i], ends[i] - starts[i]));
        free = ends[i] + 1;
    }
}

} // namespace plentor
