#include "markup/TreeInfo.h"

#include "text/StringBuffer.h"

namespace plentor {

TreeInfo::TreeInfo() = default;
TreeInfo::~TreeInfo() = default;

void TreeInfo::SetDeclaration(TreeNodePtr declaration) { declaration_ = std::move(declaration); }

TreeNode& TreeInfo::EnsureDeclaration()
{
    if (!declaration_) {
        declaration_ = TreeNode::CreateDetached("xml");
        declaration_->AppendAttr("version", "1.0");
    }
    return *declaration_;
}

void TreeInfo::SetDeclarationAttr(std::string_view name, std::string_view value)
{
    EnsureDeclaration().ReplaceAttr(name, value);
}

void TreeInfo::AddStylesheet(TreeNodePtr stylesheet) { stylesheets_.push_back(std::move(stylesheet)); }

void TreeInfo::AppendProlog(std::string_view text)
{
    if (!prolog_)
        prolog_ = std::make_unique<StringBuffer>();
    prolog_->AppendBytes(text.data(), static_cast<int>(text.size()));
}

} // namespace plentor
