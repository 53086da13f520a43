#pragma once

#include "log/Logger.h"
#include "markup/XmlParser.h"
#include "text/StringBuffer.h"

#include <cstddef>
#include <memory>
#include <string_view>

namespace plentor {

class DataBuffer;
class TreeNode;

// The facade on an XML document: a reference to one current element plus
// the object's error log. Every facade on a node keeps that node's whole
// document alive; the document goes when its last facade does. A new
// facade holds a one-element document whose root is "unnamed".
class ClsXml {
public:
    // The whole file is held in memory, twice while it is converted; element
    // texts are int-sized StringBuffers.
    static constexpr size_t kMaxFileBytes = 512u * 1024 * 1024;

    ClsXml();
    ~ClsXml();
    ClsXml(const ClsXml&) = delete;
    ClsXml& operator=(const ClsXml&) = delete;

    Logger& Log() { return log_; }

    // Parses UTF-8 text (trim mode) and moves to the new document's root.
    // False, with the facade unchanged, when the text holds no element.
    bool LoadXml(const char* text);
    bool LoadXml(const StringBuffer& text);

    // Reads a file, brings it to UTF-8 (byte-order mark or declared
    // encoding), parses it and moves to its root.
    bool LoadXmlFile(const char* path, XmlParser::TextMode mode = XmlParser::TextMode::Trim);
    // What LoadXmlFile does once the file's bytes are read.
    bool LoadXmlBytes(const void* bytes, size_t n, XmlParser::TextMode mode);

    // Writes the current element and its subtree to a file in the encoding
    // its declaration names (utf-8 when it names none: the declaration is
    // then added or completed).
    bool SaveXml(const char* path);
    // The bytes SaveXml writes.
    bool GetXmlBytes(DataBuffer& out);

    // out = the current element and its subtree as UTF-8 XML text, after the
    // declaration, stylesheets and prolog when the element is the root.
    void GetXmlText(StringBuffer& out) const;

    StringBuffer TagName() const;
    void SetTagName(const char* name);
    StringBuffer Content() const;
    void SetContent(const char* text);   // null clears

    // The first attribute of the name (trimmed); out is emptied when there is none.
    bool AttrValue(const char* name, StringBuffer& out) const;
    // Its leading decimal number; 0 when absent.
    int AttrValueInt(const char* name) const;
    // Appends an attribute (name trimmed), even when one of that name exists.
    void SetAttr(const char* name, const char* value);
    // Removes every attribute of the name, then appends it.
    void ReplaceAttr(const char* name, const char* value);
    void ReplaceAttrInt(const char* name, int value);
    // Some attribute of the name has exactly this value.
    bool HasAttrValue(const char* name, const char* value) const;

    // Appends a child (tag trimmed, spaces made underscores; content unless
    // null) and returns a new facade on it, owned by the caller.
    std::unique_ptr<ClsXml> NewChild(const char* tag, const char* content);
    void AppendChild(const char* tag, const char* content);

    // Moves the document held by tree (whose current element must be its
    // root) under the current element; tree then refers into this document.
    // False when tree is not at a root or belongs to this document already.
    bool AddChildTree(ClsXml& tree);

    // New facades on a child, owned by the caller; null when there is none.
    std::unique_ptr<ClsXml> FirstChild() const;
    std::unique_ptr<ClsXml> FindChild(const char* tag) const;
    // The first child with the tag having an attribute of the name whose
    // value matches the pattern ("*" matches any run, case-sensitive).
    std::unique_ptr<ClsXml> FindChildByAttr(const char* tag, const char* attrName, const char* valuePattern) const;

    // Move this facade; false, without moving, when there is no such element.
    bool MoveToParent();
    bool MoveToFirstChild();
    bool MoveToNextSibling();

    int NumChildren() const;

    // Appends to out the contents of the elements named tag, breadth first
    // from the current element and separated by spaces, without entering
    // elements whose tag is in exclude ("script|style"). A null tag does nothing.
    void GetTextOfTag(const char* tag, StringBuffer& out, const char* exclude) const;

    // Whether "*"-pattern matches text exactly (byte-wise, case-sensitive).
    static bool WildcardMatch(std::string_view text, std::string_view pattern);

private:
    explicit ClsXml(TreeNode* node);

    // Refers to node instead of the current element (releasing that one).
    void Point(TreeNode* node);
    TreeNodePtr ParseText(std::string_view text, XmlParser::TextMode mode);
    // The document read as ISO-2022-JP, or null when it does not read as one.
    TreeNodePtr ParseIso2022Jp(std::string_view bytes, XmlParser::TextMode mode);
    bool LoadText(std::string_view text, XmlParser::TextMode mode);
    std::unique_ptr<ClsXml> FacadeOn(TreeNode* node) const;

    TreeNode* node_;
    Logger log_;
};

} // namespace plentor
