#pragma once

#include "markup/HtmlParse.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace plentor {

class LogBase;
class StringBuffer;
class TreeNode;

// The readable text of a page as its XML form gives it: the content of the
// elements named "text" that ClsHtmlToXml makes of the page, breadth first,
// separated by single spaces, without the subtrees of the elements named in
// exclude, and in the form an XML reader gives the content back (what
// ClsXml::GetTextOfTag answers on the loaded document). Neither the XML text
// nor a whole tree is built: the converter hands over each part of the page
// once it is finished, so a large page costs about the size of its text.
class HtmlPageText : private HtmlParse::Sink {
public:
    // Appends the text of a UTF-8 page to out; exclude holds element names
    // separated by "|". False, with a log line and out unchanged, when the
    // page is beyond HtmlParse::kMaxHtmlBytes.
    static bool Collect(std::string_view html, std::string_view exclude, StringBuffer& out, LogBase& log);

private:
    explicit HtmlPageText(std::string_view exclude);

    void Entered(const TreeNode& element) override;
    void Left() override;
    void Finished(const TreeNode& node) override;

    bool IsExcluded(std::string_view tag) const;
    void Add(const TreeNode& node, uint32_t depth);
    void AppendBreadthFirst(StringBuffer& out) const;

    // One element's text in text_, at its depth below the root.
    struct Piece {
        size_t offset;
        uint32_t length;
        uint32_t depth;
    };

    std::vector<std::string_view> excluded_;
    std::vector<bool> openExcluded_;   // per open element below the root: inside an excluded one
    std::string text_;                 // the pieces, in document order
    std::vector<Piece> pieces_;
    uint32_t maxDepth_ = 0;
    std::string escaped_;              // scratch: content as the writer puts it
};

} // namespace plentor
