#include "markup/HtmlPageText.h"

#include "markup/ClsHtmlToXml.h"
#include "markup/TreeNode.h"
#include "markup/XmlEntities.h"
#include "markup/XmlWriter.h"
#include "text/AsciiChars.h"
#include "text/EncodingConvert.h"
#include "text/StringBuffer.h"

#include <algorithm>
#include <climits>

namespace plentor {

namespace {

constexpr std::string_view kTextTag = "text";

} // namespace

bool HtmlPageText::Collect(std::string_view html, std::string_view exclude, StringBuffer& out, LogBase& log)
{
    std::string anchorsEnded;
    if (html.size() <= HtmlParse::kMaxHtmlBytes && ClsHtmlToXml::EndBareAnchors(html, anchorsEnded))
        html = anchorsEnded;
    HtmlPageText collector(exclude);
    HtmlParse parser;
    if (!parser.Stream(html, EncodingConvert::kUtf8, collector, log))
        return false;
    collector.AppendBreadthFirst(out);
    return true;
}

HtmlPageText::HtmlPageText(std::string_view exclude) : excluded_(TreeNode::SplitNameList(exclude)) {}

bool HtmlPageText::IsExcluded(std::string_view tag) const
{
    return std::find(excluded_.begin(), excluded_.end(), tag) != excluded_.end();
}

void HtmlPageText::Entered(const TreeNode& element)
{
    const bool inside = !openExcluded_.empty() && openExcluded_.back();
    openExcluded_.push_back(inside || IsExcluded(element.Tag()));
}

void HtmlPageText::Left()
{
    if (!openExcluded_.empty())
        openExcluded_.pop_back();
}

// A walk of the finished subtree that keeps count of its depth and does not
// enter excluded elements (whose own tag is still looked at, as the
// breadth-first reader does).
void HtmlPageText::Finished(const TreeNode& node)
{
    if (!openExcluded_.empty() && openExcluded_.back())
        return;
    uint32_t depth = static_cast<uint32_t>(openExcluded_.size() + 1);
    const TreeNode* n = &node;
    while (n) {
        if (n->Tag() == kTextTag)
            Add(*n, depth);
        if (n->FirstChild() && !IsExcluded(n->Tag())) {
            n = n->FirstChild();
            ++depth;
            continue;
        }
        while (n != &node && !n->NextSibling()) {
            n = n->Parent();
            --depth;
        }
        n = n == &node ? nullptr : n->NextSibling();
    }
}

// The content as it comes back from the XML text: CDATA as it stands;
// other content escaped by the writer, then trimmed and decoded by the
// reader, which changes nothing in trimmed text without a byte to escape.
void HtmlPageText::Add(const TreeNode& node, uint32_t depth)
{
    const size_t offset = text_.size();
    const std::string_view content = node.Content();
    if (node.IsCdata()) {
        text_.append(content);
    } else {
        const std::string_view trimmed = AsciiChars::Trim(content);
        if (trimmed.find_first_of("\"'<>&") == std::string_view::npos) {
            text_.append(trimmed);
        } else {
            escaped_.clear();
            XmlWriter::AppendEscapedContent(trimmed, escaped_);
            XmlEntities::AppendDecoded(escaped_, text_);
        }
    }
    pieces_.push_back({offset, static_cast<uint32_t>(text_.size() - offset), depth});
    maxDepth_ = std::max(maxDepth_, depth);
}

// Breadth first is depth by depth, each depth in document order: a stable
// sort of the pieces by depth, by counting.
void HtmlPageText::AppendBreadthFirst(StringBuffer& out) const
{
    if (pieces_.empty())
        return;
    std::vector<size_t> next(static_cast<size_t>(maxDepth_) + 1, 0);
    for (const Piece& piece : pieces_)
        ++next[piece.depth];
    size_t first = 0;
    for (size_t& slot : next) {
        const size_t count = slot;
        slot = first;
        first += count;
    }
    std::vector<uint32_t> order(pieces_.size());
    for (size_t i = 0; i < pieces_.size(); ++i)
        order[next[pieces_[i].depth]++] = static_cast<uint32_t>(i);

    const size_t total = text_.size() + pieces_.size() - 1;
    if (total < static_cast<size_t>(INT_MAX))
        out.Reserve(static_cast<int>(total));
    bool firstPiece = true;
    for (uint32_t i : order) {
        if (!firstPiece)
            out.AppendChar(' ');
        firstPiece = false;
        const Piece& piece = pieces_[i];
        out.AppendBytes(text_.data() + piece.offset, static_cast<int>(piece.length));
    }
}

} // namespace plentor
