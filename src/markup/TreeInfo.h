#pragma once

#include "markup/TreeNode.h"

#include <memory>
#include <string_view>
#include <vector>

namespace plentor {

class StringBuffer;

// What one XML document holds besides its elements: the declaration, the
// stylesheet instructions, the rest of the prolog, and the number of facade
// references on its nodes. Owned by the document's root node.
class TreeInfo {
public:
    TreeInfo();
    ~TreeInfo();
    TreeInfo(const TreeInfo&) = delete;
    TreeInfo& operator=(const TreeInfo&) = delete;

    TreeNode* Root() const { return root_; }

    // The "<?xml ...?>" declaration as a node named "xml" whose attributes
    // are its pseudo-attributes; null when the document has none.
    TreeNode* Declaration() const { return declaration_.get(); }
    void SetDeclaration(TreeNodePtr declaration);
    // The declaration, created with version "1.0" when missing.
    TreeNode& EnsureDeclaration();
    // Replaces every pseudo-attribute of that name in the declaration
    // (creating it as EnsureDeclaration does).
    void SetDeclarationAttr(std::string_view name, std::string_view value);

    // One node per "<?xml-stylesheet ...?>", in document order.
    const std::vector<TreeNodePtr>& Stylesheets() const { return stylesheets_; }
    void AddStylesheet(TreeNodePtr stylesheet);

    // The DOCTYPE and other processing instructions, each followed by LF;
    // null when there are none.
    const StringBuffer* Prolog() const { return prolog_.get(); }
    void AppendProlog(std::string_view text);

    int DocRefCount() const { return docRefCount_; }

private:
    friend class TreeNode;   // keeps root_ and docRefCount_ in step with the tree

    TreeNode* root_ = nullptr;          // not owned: the root owns this object
    TreeNodePtr declaration_;
    std::vector<TreeNodePtr> stylesheets_;
    std::unique_ptr<StringBuffer> prolog_;
    int docRefCount_ = 0;               // facade references on all nodes of the document
};

} // namespace plentor
