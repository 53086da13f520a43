#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace plentor {

class AttributeSet;
class StringBuffer;
class TreeInfo;
class TreeNode;

// Deletes a whole tree (see TreeNode::DeleteTree).
struct TreeNodeDeleter {
    void operator()(TreeNode* node) const;
};

// Sole owner of a tree that no facade refers to (a freshly parsed or built
// document, a declaration node).
using TreeNodePtr = std::unique_ptr<TreeNode, TreeNodeDeleter>;

// One element of an XML document: tag, text content, attributes and
// children. A node owns its subtree; the root also owns the document's
// TreeInfo. Children are linked through their sibling pointers, so appending,
// walking and deleting never copy a child list. Every walk over a subtree is
// a loop, not a recursion, so the nesting depth of the input does not matter.
class TreeNode {
public:
    // A node without a tag is written with this tag.
    static constexpr const char* kNoTagName = "nothing";

    // A new one-node document whose root has the tag (and the content, unless null).
    static TreeNodePtr CreateRoot(std::string_view tag, const char* content = nullptr);
    // A node outside any document (a declaration or stylesheet instruction).
    static TreeNodePtr CreateDetached(std::string_view tag);

    // Unlinks node from its parent and deletes it with its subtree; when node
    // is its document's root, the TreeInfo goes too. Null does nothing.
    static void DeleteTree(TreeNode* node);

    TreeNode(const TreeNode&) = delete;
    TreeNode& operator=(const TreeNode&) = delete;

    // tag: a node without one (or with an empty one) is written as kNoTagName
    bool HasTag() const { return !tag_.empty(); }
    std::string_view Tag() const { return tag_; }
    void SetTag(std::string_view tag);
    void ClearTag();

    // content: the element's text runs, joined
    std::string_view Content() const { return content_; }
    bool HasContent() const { return !content_.empty(); }
    void SetContent(std::string_view text);
    void ClearContent();
    enum class Join {
        Direct,      // append the bytes as they are
        WithSpace,   // one space between existing content and the new text
    };
    void AppendContent(std::string_view text, Join join);
    bool IsCdata() const { return isCdata_; }
    void SetCdata(bool cdata) { isCdata_ = cdata; }

    // attributes, in insertion order; names compare exactly and the first match wins
    const AttributeSet* Attributes() const { return attributes_.get(); }
    AttributeSet& MutableAttributes();
    bool AttrValue(std::string_view name, std::string_view& value) const;
    void AppendAttr(std::string_view name, std::string_view value);
    // Removes every attribute of that name, then appends it.
    void ReplaceAttr(std::string_view name, std::string_view value);

    // tree
    TreeInfo* Document() const { return document_; }
    bool IsDocumentRoot() const;
    TreeNode* Parent() const { return parent_; }
    TreeNode* FirstChild() const { return firstChild_; }
    TreeNode* LastChild() const { return lastChild_; }
    TreeNode* NextSibling() const { return nextSibling_; }
    TreeNode* PreviousSibling() const { return previousSibling_; }
    size_t ChildCount() const { return childCount_; }

    // Appends a new child with the tag (and content, unless null) and returns it.
    TreeNode* AppendNewChild(std::string_view tag, const char* content = nullptr);

    // Moves the root of another document, with its subtree, to the end of
    // this node's children. The other document's TreeInfo (declaration,
    // prolog) is deleted and its facade references now count for this
    // document. False when child is null, already has a parent or belongs to
    // this document, and when facades hold child's document but none holds
    // this one (a tree owned by a TreeNodePtr).
    bool AppendChild(TreeNode* child);
    // The same for a tree held by a TreeNodePtr, which lets go of it on success.
    bool AppendChild(TreeNodePtr& child);

    // Sets a pseudo-attribute of the document's declaration, creating the
    // declaration ("xml", version "1.0") when missing.
    void SetDeclarationAttr(std::string_view name, std::string_view value);

    // Facade references. Release deletes the whole document when its last
    // reference goes.
    int RefCount() const { return refCount_; }
    void AddRef();
    static void Release(TreeNode* node);

    // Calls f on top and on every node below it, in document order (parents
    // before children), without recursion.
    template <typename Node, typename F>
    static void ForEachInSubtree(Node* top, F f)
    {
        Node* n = top;
        while (n) {
            f(n);
            if (n->FirstChild()) {
                n = n->FirstChild();
                continue;
            }
            while (n != top && !n->NextSibling())
                n = n->Parent();
            n = n == top ? nullptr : n->NextSibling();
        }
    }

    // Appends this node and its subtree as XML text (with the document's
    // declaration, stylesheets and prolog first when this is the root).
    void GetXml(StringBuffer& out) const;

    // Appends to out the content of every node named tag, breadth first from
    // this node, separated by single spaces; the subtrees of nodes whose tag
    // is in exclude (names separated by "|") are not entered.
    void GetTextOfTag(std::string_view tag, StringBuffer& out, std::string_view exclude) const;
    // The names of a list such as GetTextOfTag's exclude, empty ones left out.
    static std::vector<std::string_view> SplitNameList(std::string_view names);

private:
    TreeNode();
    ~TreeNode();

    void LinkAsLastChild(TreeNode* child);
    void Unlink();

    // Tag and content are held inline: most are short enough to need no
    // allocation of their own, which keeps a large document cheap to build.
    TreeInfo* document_ = nullptr;                 // shared by every node of the document
    std::string tag_;
    std::unique_ptr<AttributeSet> attributes_;     // null until the first attribute
    std::string content_;
    int refCount_ = 0;                             // facades holding this node
    bool isCdata_ = false;
    TreeNode* parent_ = nullptr;
    TreeNode* firstChild_ = nullptr;               // children are owned through this chain
    TreeNode* lastChild_ = nullptr;
    TreeNode* nextSibling_ = nullptr;
    TreeNode* previousSibling_ = nullptr;
    size_t childCount_ = 0;
};

} // namespace plentor
