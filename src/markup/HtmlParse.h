#pragma once

#include "markup/HtmlEntities.h"
#include "markup/HtmlTagTable.h"
#include "markup/TreeNode.h"

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace plentor {

class HtmlScan;
class LogBase;

// Builds an XML tree from an HTML page, however malformed, in one left to
// right pass. Every run of character data becomes an element "text"; the
// optional end tags of p, li, dd, dt, option, td and tr are supplied, a td
// directly in a table gets its tr, stray end tags are ignored or close one
// level, inline formatting tags (the tag table's dropped kinds) vanish and
// unknown tags are kept as childless elements. The open elements are
// followed through parent pointers and two small stacks of kinds, so the
// nesting depth of a page costs no call stack, and the searches (HtmlScan)
// either consume what they scan or remember their answers, so the work grows
// linearly with the page.
class HtmlParse {
public:
    // The XML text of a page can be ten times its size (an empty comment
    // "<!>" becomes a 26-byte element) and must fit a StringBuffer.
    static constexpr size_t kMaxHtmlBytes = 200u * 1024 * 1024;

    HtmlParse();
    ~HtmlParse();
    HtmlParse(const HtmlParse&) = delete;
    HtmlParse& operator=(const HtmlParse&) = delete;

    // The tree of the page under a fresh root element "root". codePage is
    // 65001 for UTF-8 text, otherwise the process's ANSI code page (20127
    // is taken as 28591); decoded character references are written in it.
    // Null, with a log line, only when the page exceeds kMaxHtmlBytes.
    TreeNodePtr Convert(std::string_view text, int codePage, LogBase& log);

    // Takes a page's tree as Stream finishes with its parts. Stream holds
    // only the open elements and the last child of each: every other node
    // is handed over, with its subtree, once nothing more can join it, and
    // deleted right after. Nodes come in document order.
    class Sink {
    public:
        virtual ~Sink() = default;
        // The element that receives new children moved down to element, a
        // new child of the one before, or back up to its parent.
        virtual void Entered(const TreeNode& element) = 0;
        virtual void Left() = 0;
        // A finished child of the element that receives new children.
        virtual void Finished(const TreeNode& node) = 0;
    };

    // The same tree as Convert builds, handed to sink part by part, so that
    // a large page never costs a whole tree. False, with the same log line,
    // only when the page exceeds kMaxHtmlBytes.
    bool Stream(std::string_view text, int codePage, Sink& sink, LogBase& log);

private:
    // What ReadTag learns from a tag's text.
    struct Tag {
        std::string_view text;   // from "<" to ">"
        std::string name;        // lower case
        HtmlTagKind kind = HtmlTagKind::Unknown;
        bool isEnd = false;      // "</name"
        bool selfClosing = false;
    };

    bool Accepts(std::string_view text, LogBase& log) const;
    void Reset(std::string_view text, int codePage);
    void Run();
    void Release();
    bool ReadMarkup();
    void ReadDoctype();
    void ReadComment();
    void AddMarkupChild(std::string_view tag, std::string_view text);
    void ReadTextAfterMarkup();
    void AddRun(std::string_view run);

    void HandleTag(std::string_view text);
    bool ReadTag(std::string_view text, Tag& tag);
    bool TrackOpenElements(const Tag& tag);
    void TrackTables(const Tag& tag);
    void CloseImplied(const Tag& tag);
    void SetModes(const Tag& tag);
    void CloseByEndTag(const Tag& tag);
    void AddElement(const Tag& tag);
    TreeNode* AddPlainElement(const Tag& tag);
    TreeNode* AddParsedElement(const Tag& tag);
    void MoveUp();
    void Enter(TreeNode* element);
    void HandOverFinished();
    void HandOver(TreeNode& node);

    void NoteAmpersand(TreeNode& node);
    void EscapeForeignReferences();
    void EscapeForeignReferences(TreeNode& node);

    std::string_view text_;
    size_t pos_ = 0;
    std::string repaired_;                      // the page with bytes XML cannot hold replaced
    std::unique_ptr<HtmlScan> scan_;
    std::unique_ptr<HtmlEntities> entities_;
    bool utf8_ = true;

    TreeNodePtr root_;
    TreeNode* current_ = nullptr;               // the element that receives new children
    Sink* sink_ = nullptr;                      // set while streaming
    std::vector<HtmlTagKind> openKinds_;        // open-element stack
    std::vector<HtmlTagKind> tableKinds_;       // table, tr and td
    std::vector<TreeNode*> withAmpersand_;      // text elements whose content took in an "&"
    bool formEndNoted_ = false;                 // an unmatched "</form>" was seen
    bool awaitingRow_ = false;                  // a table started and no tr or td yet
    bool pOpen_ = false;
    bool optionOpen_ = false;
    bool definitionOpen_ = false;               // dd or dt
    bool liOpen_ = false;
    bool keepRaw_ = false;                      // inside pre
    bool script_ = false;                       // inside script
    bool scriptJustOpened_ = false;             // the last markup was a script start tag

    std::string cleaned_;                       // scratch: the tag as parsed to an element
    std::string decoded_;                       // scratch: a text run after entity handling
    std::string escaped_;                       // scratch: content with foreign references escaped
};

} // namespace plentor
