#pragma once

#include <string>
#include <string_view>

namespace plentor {

class StringBuffer;
class TreeNode;

// Writes a node and its subtree as XML text: no indentation, CR LF after
// every end tag, no self-closing form. Walks the tree with a loop, so any
// nesting depth is written.
class XmlWriter {
public:
    // Appends start and its subtree to out; when start is its document's
    // root, the declaration, stylesheet instructions and prolog come first.
    static void Write(const TreeNode& start, std::string& out);
    // The same into a buffer.
    static void Write(const TreeNode& start, StringBuffer& out);
    // The same, building the text in scratch first: a caller that writes
    // many documents keeps its room from one to the next.
    static void Write(const TreeNode& start, StringBuffer& out, std::string& scratch);

    // Escapes element content: quotes, "<" and ">" always; "&" unless it
    // begins "&#" or "&" + a known entity name + ";".
    static void AppendEscapedContent(std::string_view text, std::string& out);
    // Escapes an attribute value: as content, but "&" is kept only before "#".
    static void AppendEscapedValue(std::string_view text, std::string& out);
};

} // namespace plentor
