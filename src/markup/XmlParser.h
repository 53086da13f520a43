#pragma once

#include "markup/TreeNode.h"

#include <climits>
#include <string>
#include <string_view>
#include <vector>

namespace plentor {

class LogBase;
class StringBuffer;

// The lenient XML parser: closing tags are not matched against opening tags,
// unclosed elements are closed at the end, text runs are joined with single
// spaces, only the five predefined entities are decoded, and the last
// complete top-level element becomes the document. One pass over the input;
// the open elements are followed through parent pointers, so the nesting
// depth of the input costs no stack.
class XmlParser {
public:
    // Element texts are handed out as StringBuffers, whose lengths are ints.
    static constexpr size_t kMaxInputBytes = INT_MAX - 1;

    enum class TextMode {
        Trim,   // text runs lose their leading and trailing whitespace
        Keep,   // text runs keep it (a run of whitespace only still adds nothing)
    };

    enum class DuplicateAttributes {
        KeepAll,    // every attribute is kept, the first of a name wins on lookup
        KeepLast,   // a repeated attribute replaces the earlier ones of its name
    };

    struct Options {
        TextMode textMode = TextMode::Trim;
        DuplicateAttributes duplicates = DuplicateAttributes::KeepAll;
    };

    // The document parsed from text, with the declaration, stylesheet
    // instructions and prolog attached to its TreeInfo; null (with a log
    // line) when the text holds no element.
    static TreeNodePtr Parse(std::string_view text, Options options, LogBase& log);

    // Reads the attributes of one start tag into element, as Parse reads
    // them for an element: text is the tag ("<name ...>"), from the position
    // just after its name. True when the tag's ">" is the last byte of text,
    // so that Parse would have made of text (with an end tag appended) just
    // this element; otherwise element holds what was read up to then.
    static bool ReadStartTagAttributes(std::string_view text, size_t from, Options options, TreeNode& element);

private:
    XmlParser(std::string_view text, Options options, LogBase& log);

    enum class AttrSyntax {
        Element,   // attributes of an element
        Pseudo,    // pseudo-attributes of "<?xml ...?>" and "<?xml-stylesheet ...?>"
    };

    TreeNodePtr Run();
    TreeNodePtr Finish();

    void ReadText();
    void AddTextRun(std::string_view run);
    void ReadCdata();
    void ReadMarkup();
    void ReadComment(size_t at);
    void ReadDoctype(size_t at);
    void ReadInstruction(size_t at);
    TreeNodePtr ReadPseudoElement(std::string_view name, size_t at);
    void ReadClosingTag(size_t at);
    void ReadOpeningTag(size_t at);
    bool ReadAttributes(TreeNode& node, AttrSyntax syntax);
    void ReadElementAttributes(TreeNode& element, bool& selfClosing);
    std::string_view ReadValue(AttrSyntax syntax);
    void CloseCurrent();

    void SkipSpace();
    bool AtEnd() const { return pos_ >= text_.size(); }
    bool LooksAt(size_t at, std::string_view s) const { return text_.substr(at, s.size()) == s; }

    std::string_view text_;
    size_t pos_ = 0;
    bool stopped_ = false;
    bool tagEnded_ = false;                  // the last ReadAttributes stopped at a ">"
    Options options_;
    LogBase& log_;

    TreeNodePtr open_;                       // outermost open element, when one is open
    TreeNode* current_ = nullptr;            // innermost open element
    TreeNodePtr completed_;                  // last complete top-level element
    TreeNodePtr declaration_;                // last "<?xml ...?>" seen
    std::vector<TreeNodePtr> stylesheets_;
    std::string prolog_;
    std::string scratch_;                    // decoded text of the run or value at hand
};

} // namespace plentor
