#include "markup/TreeNode.h"

#include "markup/TreeInfo.h"
#include "text/StringBuffer.h"

#include <gtest/gtest.h>

#include <string>

namespace plentor {
namespace {

std::string Tags(const TreeNode& parent)
{
    std::string out;
    for (const TreeNode* c = parent.FirstChild(); c; c = c->NextSibling())
        out += std::string(c->Tag()) + (c->NextSibling() && c->NextSibling()->PreviousSibling() != c ? "!" : " ");
    return out;
}

TEST(TreeNodeTest, AppendChildMovesADocumentRootOnly)
{
    TreeNodePtr target = TreeNode::CreateRoot("target");
    TreeNodePtr other = TreeNode::CreateRoot("other", "text");
    other->SetDeclarationAttr("encoding", "latin1");
    TreeNode* otherChild = other->AppendNewChild("grandchild");

    EXPECT_FALSE(target->AppendChild(static_cast<TreeNode*>(nullptr)));
    EXPECT_FALSE(target->AppendChild(target.get()));
    EXPECT_FALSE(target->AppendChild(otherChild));   // has a parent

    ASSERT_TRUE(target->AppendChild(other));
    EXPECT_FALSE(other);   // the target's tree owns it now
    TreeNode* moved = target->FirstChild();
    EXPECT_EQ(moved->Document(), target->Document());
    EXPECT_EQ(moved->FirstChild()->Document(), target->Document());
    EXPECT_FALSE(moved->IsDocumentRoot());
    EXPECT_EQ(target->Document()->Declaration(), nullptr);   // the moved document's went with it
    EXPECT_FALSE(target->AppendChild(moved));                // already in this document
}

TEST(TreeNodeTest, ReferencedDocumentDoesNotMoveIntoUnreferencedTree)
{
    TreeNodePtr owned = TreeNode::CreateRoot("owned");
    TreeNode* held = TreeNode::CreateRoot("held").release();
    held->AddRef();
    EXPECT_FALSE(owned->AppendChild(held));
    TreeNode::Release(held);   // the last reference deletes it

    TreeNode* holder = TreeNode::CreateRoot("holder").release();
    holder->AddRef();
    TreeNode* moved = TreeNode::CreateRoot("moved").release();
    moved->AddRef();
    moved->AddRef();
    ASSERT_TRUE(holder->AppendChild(moved));
    EXPECT_EQ(holder->Document()->DocRefCount(), 3);
    TreeNode::Release(holder);
    TreeNode::Release(moved);
    EXPECT_EQ(moved->Parent(), holder);   // still alive: one reference left
    TreeNode::Release(moved);
}

TEST(TreeNodeTest, DeleteTreeUnlinksFromSiblings)
{
    TreeNodePtr root = TreeNode::CreateRoot("r");
    for (const char* tag : {"a", "b", "c", "d"})
        root->AppendNewChild(tag)->AppendNewChild("inner");
    TreeNode::DeleteTree(root->FirstChild()->NextSibling());   // b
    EXPECT_EQ(Tags(*root), "a c d ");
    TreeNode::DeleteTree(root->LastChild());
    TreeNode::DeleteTree(root->FirstChild());
    EXPECT_EQ(Tags(*root), "c ");
    EXPECT_EQ(root->ChildCount(), 1u);
    EXPECT_EQ(root->FirstChild(), root->LastChild());
}

TEST(TreeNodeTest, ContentJoinsAndDeclarationIsCreatedOnDemand)
{
    TreeNodePtr root = TreeNode::CreateRoot("r");
    root->AppendContent("one", TreeNode::Join::WithSpace);
    root->AppendContent("two", TreeNode::Join::WithSpace);
    root->AppendContent("3", TreeNode::Join::Direct);
    EXPECT_EQ(root->Content(), "one two3");
    root->SetDeclarationAttr("encoding", "utf-8");
    root->SetDeclarationAttr("encoding", "iso-8859-1");
    StringBuffer out;
    root->GetXml(out);
    EXPECT_EQ(out.ToStdString(), "<?xml version=\"1.0\" encoding=\"iso-8859-1\" ?>\r\n\r\n<r>one two3</r>\r\n");
}

} // namespace
} // namespace plentor
