#include "markup/XmlWriter.h"

#include "markup/AttributeSet.h"
#include "markup/TreeInfo.h"
#include "markup/TreeNode.h"
#include "markup/XmlEntities.h"
#include "text/StringBuffer.h"

namespace plentor {

namespace {

constexpr std::string_view kCrLf = "\r\n";

enum class Ampersand { KeepReferences, KeepOnlyNumeric };

void AppendEscaped(std::string_view text, Ampersand rule, std::string& out)
{
    size_t done = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        std::string_view replacement;
        switch (text[i]) {
        case '"': replacement = "&quot;"; break;
        case '\'': replacement = "&apos;"; break;
        case '<': replacement = "&lt;"; break;
        case '>': replacement = "&gt;"; break;
        case '&': {
            std::string_view rest = text.substr(i);
            const bool keep = rule == Ampersand::KeepReferences ? XmlEntities::ReferenceLength(rest) > 0
                                                                : rest.size() > 1 && rest[1] == '#';
            if (!keep)
                replacement = "&amp;";
            break;
        }
        default: break;
        }
        if (replacement.empty())
            continue;
        out.append(text.substr(done, i - done));
        out.append(replacement);
        done = i + 1;
    }
    out.append(text.substr(done));
}

// CDATA content goes out unchanged; a "]]>" inside it is split across two
// sections so that the section cannot end early.
void AppendCdata(std::string_view text, std::string& out)
{
    out.append("<![CDATA[");
    for (size_t at = text.find("]]>"); at != std::string_view::npos; at = text.find("]]>")) {
        out.append(text.substr(0, at + 2));
        out.append("]]><![CDATA[");
        text.remove_prefix(at + 2);
    }
    out.append(text);
    out.append("]]>");
}

std::string_view TagOf(const TreeNode& node) { return node.HasTag() ? node.Tag() : TreeNode::kNoTagName; }

} // namespace

void XmlWriter::AppendEscapedContent(std::string_view text, std::string& out)
{
    AppendEscaped(text, Ampersand::KeepReferences, out);
}

void XmlWriter::AppendEscapedValue(std::string_view text, std::string& out)
{
    AppendEscaped(text, Ampersand::KeepOnlyNumeric, out);
}

void XmlWriter::WriteAttributes(const AttributeSet* attributes, std::string& out)
{
    if (!attributes)
        return;
    for (const AttributeSet::Entry& a : *attributes) {
        out.push_back(' ');
        out.append(a.name);
        out.append("=\"");
        AppendEscapedValue(a.value, out);
        out.push_back('"');
    }
}

void XmlWriter::WriteProlog(const TreeNode& root, std::string& out)
{
    const TreeInfo& info = *root.Document();
    if (const TreeNode* declaration = info.Declaration()) {
        // "standalone" must come last in a declaration.
        AttributeSet ordered;
        AttributeSet standalone;
        if (const AttributeSet* attributes = declaration->Attributes())
            for (const AttributeSet::Entry& a : *attributes)
                (a.name == "standalone" ? standalone : ordered).Append(a.name, a.value);
        for (const AttributeSet::Entry& a : standalone)
            ordered.Append(a.name, a.value);
        out.append("<?xml");
        WriteAttributes(&ordered, out);
        out.append(" ?>");
        out.append(kCrLf);
    }
    for (const TreeNodePtr& sheet : info.Stylesheets()) {
        if (!sheet->Attributes() || sheet->Attributes()->IsEmpty())
            continue;
        out.append("<?xml-stylesheet");
        WriteAttributes(sheet->Attributes(), out);
        out.append(" ?>");
        out.append(kCrLf);
    }
    if (const StringBuffer* prolog = info.Prolog()) {
        out.append(prolog->GetString(), static_cast<size_t>(prolog->GetLength()));
        out.append(kCrLf);
    }
}

void XmlWriter::WriteStart(const TreeNode& node, const TreeNode& start, std::string& out)
{
    if (&node == &start || (node.Parent() && node.Parent()->FirstChild() == &node))
        out.append(kCrLf);
    out.push_back('<');
    out.append(TagOf(node));
    WriteAttributes(node.Attributes(), out);
    out.push_back('>');
    if (!node.HasContent())
        return;
    if (node.IsCdata())
        AppendCdata(node.Content(), out);
    else
        AppendEscapedContent(node.Content(), out);
}

void XmlWriter::WriteEnd(const TreeNode& node, std::string& out)
{
    out.append("</");
    out.append(TagOf(node));
    out.push_back('>');
    out.append(kCrLf);
}

void XmlWriter::Write(const TreeNode& start, std::string& out)
{
    if (start.IsDocumentRoot())
        WriteProlog(start, out);
    const TreeNode* n = &start;
    while (true) {
        WriteStart(*n, start, out);
        if (n->FirstChild()) {
            n = n->FirstChild();
            continue;
        }
        WriteEnd(*n, out);
        while (n != &start && !n->NextSibling()) {
            n = n->Parent();
            WriteEnd(*n, out);
        }
        if (n == &start)
            break;
        n = n->NextSibling();
    }
}

} // namespace plentor
