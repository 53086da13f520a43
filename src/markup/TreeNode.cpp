#include "markup/TreeNode.h"

#include "markup/AttributeSet.h"
#include "markup/TreeInfo.h"
#include "markup/XmlWriter.h"
#include "text/StringBuffer.h"

#include <deque>
#include <vector>

namespace plentor {

void TreeNodeDeleter::operator()(TreeNode* node) const { TreeNode::DeleteTree(node); }

TreeNode::TreeNode() = default;
TreeNode::~TreeNode() = default;

TreeNodePtr TreeNode::CreateRoot(std::string_view tag, const char* content)
{
    TreeNodePtr root(new TreeNode);
    root->document_ = new TreeInfo;
    root->document_->root_ = root.get();
    root->SetTag(tag);
    if (content)
        root->SetContent(content);
    return root;
}

TreeNodePtr TreeNode::CreateDetached(std::string_view tag)
{
    TreeNodePtr node(new TreeNode);
    node->SetTag(tag);
    return node;
}

// Always deletes the first child of the node it stands on, so each node is
// unlinked by one pointer update and the walk needs no stack.
void TreeNode::DeleteTree(TreeNode* node)
{
    if (!node)
        return;
    node->Unlink();
    TreeInfo* ownedInfo = node->IsDocumentRoot() ? node->document_ : nullptr;
    TreeNode* n = node;
    while (n) {
        if (n->firstChild_) {
            n = n->firstChild_;
            continue;
        }
        TreeNode* next = nullptr;
        if (n != node) {
            next = n->parent_;
            next->firstChild_ = n->nextSibling_;
            if (n->nextSibling_)
                n->nextSibling_->previousSibling_ = nullptr;
            else
                next->lastChild_ = nullptr;
            --next->childCount_;
        }
        delete n;
        n = next;
    }
    if (ownedInfo) {
        ownedInfo->root_ = nullptr;
        delete ownedInfo;
    }
}

void TreeNode::SetTag(std::string_view tag) { tag_.assign(tag); }

void TreeNode::ClearTag() { tag_.clear(); }

void TreeNode::SetContent(std::string_view text) { content_.assign(text); }

void TreeNode::ClearContent()
{
    content_.clear();
    content_.shrink_to_fit();
}

void TreeNode::AppendContent(std::string_view text, Join join)
{
    if (join == Join::WithSpace && !content_.empty())
        content_.push_back(' ');
    content_.append(text);
}

AttributeSet& TreeNode::MutableAttributes()
{
    if (!attributes_)
        attributes_ = std::make_unique<AttributeSet>();
    return *attributes_;
}

bool TreeNode::AttrValue(std::string_view name, std::string_view& value) const
{
    return attributes_ && attributes_->Find(name, value);
}

void TreeNode::AppendAttr(std::string_view name, std::string_view value) { MutableAttributes().Append(name, value); }

void TreeNode::ReplaceAttr(std::string_view name, std::string_view value)
{
    AttributeSet& set = MutableAttributes();
    set.RemoveAll(name);
    set.Append(name, value);
}

bool TreeNode::IsDocumentRoot() const { return document_ && document_->root_ == this; }

TreeNode* TreeNode::AppendNewChild(std::string_view tag, const char* content)
{
    TreeNode* child = new TreeNode;
    child->document_ = document_;
    child->SetTag(tag);
    if (content)
        child->SetContent(content);
    LinkAsLastChild(child);
    return child;
}

bool TreeNode::AppendChild(TreeNode* child)
{
    if (!child || child->parent_ || child == this || (document_ && child->document_ == document_))
        return false;
    TreeInfo* old = child->document_;
    if (old && old->root_ != child)
        return false;   // a parentless node that is not its document's root cannot exist
    const int movedReferences = old ? old->docRefCount_ : 0;
    // A document without facade references belongs to a TreeNodePtr, which
    // would delete it a second time once the moved facades let go.
    if (movedReferences > 0 && (!document_ || document_->docRefCount_ == 0))
        return false;
    if (old) {
        old->root_ = nullptr;
        delete old;
    }
    ForEachInSubtree(child, [this](TreeNode* n) { n->document_ = document_; });
    if (document_)
        document_->docRefCount_ += movedReferences;
    LinkAsLastChild(child);
    return true;
}

bool TreeNode::AppendChild(TreeNodePtr& child)
{
    if (!AppendChild(child.get()))
        return false;
    static_cast<void>(child.release());   // now owned through this node's child chain
    return true;
}

void TreeNode::SetDeclarationAttr(std::string_view name, std::string_view value)
{
    if (document_)
        document_->SetDeclarationAttr(name, value);
}

void TreeNode::AddRef()
{
    ++refCount_;
    if (document_)
        ++document_->docRefCount_;
}

void TreeNode::Release(TreeNode* node)
{
    if (!node)
        return;
    --node->refCount_;
    TreeInfo* document = node->document_;
    if (!document)
        return;
    if (--document->docRefCount_ <= 0)
        DeleteTree(document->root_);
}

void TreeNode::GetXml(StringBuffer& out) const { XmlWriter::Write(*this, out); }

void TreeNode::GetTextOfTag(std::string_view tag, StringBuffer& out, std::string_view exclude) const
{
    const std::vector<std::string_view> excluded = SplitNameList(exclude);
    auto isExcluded = [&excluded](std::string_view name) {
        for (std::string_view e : excluded)
            if (e == name)
                return true;
        return false;
    };

    bool first = true;
    std::deque<const TreeNode*> toVisit{this};
    std::deque<const TreeNode*> toOpen;   // visited nodes whose children come next
    while (true) {
        while (!toVisit.empty()) {
            const TreeNode* n = toVisit.front();
            toVisit.pop_front();
            if (n->Tag() == tag && n->HasTag()) {
                if (!first)
                    out.AppendChar(' ');
                std::string_view content = n->Content();
                out.AppendBytes(content.data(), static_cast<int>(content.size()));
                first = false;
            }
            if (n->firstChild_ && !isExcluded(n->Tag()))
                toOpen.push_back(n);
        }
        if (toOpen.empty())
            break;
        const TreeNode* parent = toOpen.front();
        toOpen.pop_front();
        for (const TreeNode* c = parent->firstChild_; c; c = c->nextSibling_)
            toVisit.push_back(c);
    }
}

std::vector<std::string_view> TreeNode::SplitNameList(std::string_view names)
{
    std::vector<std::string_view> list;
    for (size_t start = 0; start <= names.size();) {
        size_t bar = names.find('|', start);
        if (bar == std::string_view::npos)
            bar = names.size();
        if (bar > start)
            list.push_back(names.substr(start, bar - start));
        start = bar + 1;
    }
    return list;
}

void TreeNode::LinkAsLastChild(TreeNode* child)
{
    child->parent_ = this;
    child->previousSibling_ = lastChild_;
    child->nextSibling_ = nullptr;
    if (lastChild_)
        lastChild_->nextSibling_ = child;
    else
        firstChild_ = child;
    lastChild_ = child;
    ++childCount_;
}

void TreeNode::Unlink()
{
    if (!parent_)
        return;
    if (previousSibling_)
        previousSibling_->nextSibling_ = nextSibling_;
    else
        parent_->firstChild_ = nextSibling_;
    if (nextSibling_)
        nextSibling_->previousSibling_ = previousSibling_;
    else
        parent_->lastChild_ = previousSibling_;
    --parent_->childCount_;
    parent_ = nextSibling_ = previousSibling_ = nullptr;
}

} // namespace plentor
