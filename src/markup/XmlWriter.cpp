#include "markup/XmlWriter.h"

#include "markup/AttributeSet.h"
#include "markup/TreeInfo.h"
#include "markup/TreeNode.h"
#include "markup/XmlEntities.h"
#include "text/StringBuffer.h"

#include <array>
#include <climits>

namespace plentor {

namespace {

constexpr std::string_view kCrLf = "\r\n";

// Where the writer's pieces go: a string, a StringBuffer, or nowhere but a count.
struct StringSink {
    std::string& out;
    void Put(std::string_view piece) { out.append(piece); }
};

struct BufferSink {
    StringBuffer& out;
    void Put(std::string_view piece) { out.AppendBytes(piece.data(), static_cast<int>(piece.size())); }
};

struct CountingSink {
    size_t size = 0;
    void Put(std::string_view piece) { size += piece.size(); }
};

enum class Ampersand { KeepReferences, KeepOnlyNumeric };

// The bytes PutEscaped may have to replace.
constexpr std::array<bool, 256> MakeSpecialTable()
{
    std::array<bool, 256> table{};
    for (unsigned char c : {'"', '\'', '<', '>', '&'})
        table[c] = true;
    return table;
}

constexpr std::array<bool, 256> kSpecial = MakeSpecialTable();

template <typename Sink>
void PutEscaped(std::string_view text, Ampersand rule, Sink& sink)
{
    size_t done = 0;
    const size_t n = text.size();
    for (size_t i = 0; i < n; ++i) {
        if (!kSpecial[static_cast<unsigned char>(text[i])])
            continue;
        std::string_view replacement;
        switch (text[i]) {
        case '"': replacement = "&quot;"; break;
        case '\'': replacement = "&apos;"; break;
        case '<': replacement = "&lt;"; break;
        case '>': replacement = "&gt;"; break;
        default: {
            std::string_view rest = text.substr(i);
            const bool keep = rule == Ampersand::KeepReferences ? XmlEntities::ReferenceLength(rest) > 0
                                                                : rest.size() > 1 && rest[1] == '#';
            if (!keep)
                replacement = "&amp;";
            break;
        }
        }
        if (replacement.empty())
            continue;
        sink.Put(text.substr(done, i - done));
        sink.Put(replacement);
        done = i + 1;
    }
    sink.Put(text.substr(done));
}

// CDATA content goes out unchanged; a "]]>" inside it is split across two
// sections so that the section cannot end early.
template <typename Sink>
void PutCdata(std::string_view text, Sink& sink)
{
    sink.Put("<![CDATA[");
    for (size_t at = text.find("]]>"); at != std::string_view::npos; at = text.find("]]>")) {
        sink.Put(text.substr(0, at + 2));
        sink.Put("]]><![CDATA[");
        text.remove_prefix(at + 2);
    }
    sink.Put(text);
    sink.Put("]]>");
}

std::string_view TagOf(const TreeNode& node) { return node.HasTag() ? node.Tag() : TreeNode::kNoTagName; }

template <typename Sink>
void PutAttribute(const AttributeSet::Entry& a, Sink& sink)
{
    sink.Put(" ");
    sink.Put(a.name);
    sink.Put("=\"");
    PutEscaped(a.value, Ampersand::KeepOnlyNumeric, sink);
    sink.Put("\"");
}

template <typename Sink>
void PutAttributes(const AttributeSet* attributes, Sink& sink)
{
    if (!attributes)
        return;
    for (const AttributeSet::Entry& a : *attributes)
        PutAttribute(a, sink);
}

// "standalone" must come last in a declaration.
template <typename Sink>
void PutDeclaration(const TreeNode& declaration, Sink& sink)
{
    sink.Put("<?xml");
    if (const AttributeSet* attributes = declaration.Attributes()) {
        for (const AttributeSet::Entry& a : *attributes)
            if (a.name != "standalone")
                PutAttribute(a, sink);
        for (const AttributeSet::Entry& a : *attributes)
            if (a.name == "standalone")
                PutAttribute(a, sink);
    }
    sink.Put(" ?>");
    sink.Put(kCrLf);
}

template <typename Sink>
void PutProlog(const TreeInfo& info, Sink& sink)
{
    if (const TreeNode* declaration = info.Declaration())
        PutDeclaration(*declaration, sink);
    for (const TreeNodePtr& sheet : info.Stylesheets()) {
        if (!sheet->Attributes() || sheet->Attributes()->IsEmpty())
            continue;
        sink.Put("<?xml-stylesheet");
        PutAttributes(sheet->Attributes(), sink);
        sink.Put(" ?>");
        sink.Put(kCrLf);
    }
    if (const StringBuffer* prolog = info.Prolog()) {
        sink.Put(std::string_view(prolog->GetString(), static_cast<size_t>(prolog->GetLength())));
        sink.Put(kCrLf);
    }
}

template <typename Sink>
void PutStart(const TreeNode& node, const TreeNode& start, Sink& sink)
{
    if (&node == &start || (node.Parent() && node.Parent()->FirstChild() == &node))
        sink.Put(kCrLf);
    sink.Put("<");
    sink.Put(TagOf(node));
    PutAttributes(node.Attributes(), sink);
    sink.Put(">");
    if (!node.HasContent())
        return;
    if (node.IsCdata())
        PutCdata(node.Content(), sink);
    else
        PutEscaped(node.Content(), Ampersand::KeepReferences, sink);
}

template <typename Sink>
void PutEnd(const TreeNode& node, Sink& sink)
{
    sink.Put("</");
    sink.Put(TagOf(node));
    sink.Put(">");
    sink.Put(kCrLf);
}

template <typename Sink>
void PutTree(const TreeNode& start, Sink& sink)
{
    if (start.IsDocumentRoot())
        PutProlog(*start.Document(), sink);
    const TreeNode* n = &start;
    while (true) {
        PutStart(*n, start, sink);
        if (n->FirstChild()) {
            n = n->FirstChild();
            continue;
        }
        PutEnd(*n, sink);
        while (n != &start && !n->NextSibling()) {
            n = n->Parent();
            PutEnd(*n, sink);
        }
        if (n == &start)
            break;
        n = n->NextSibling();
    }
}

} // namespace

void XmlWriter::AppendEscapedContent(std::string_view text, std::string& out)
{
    StringSink sink{out};
    PutEscaped(text, Ampersand::KeepReferences, sink);
}

void XmlWriter::AppendEscapedValue(std::string_view text, std::string& out)
{
    StringSink sink{out};
    PutEscaped(text, Ampersand::KeepOnlyNumeric, sink);
}

void XmlWriter::Write(const TreeNode& start, std::string& out)
{
    StringSink sink{out};
    PutTree(start, sink);
}

void XmlWriter::Write(const TreeNode& start, StringBuffer& out)
{
    std::string scratch;
    Write(start, out, scratch);
}

// The text is built in a string, whose appends cost far less than the
// buffer's, and handed over in one piece; only a text beyond the buffer's
// size limit is written piece by piece, measured first so that out grows
// only once, for the buffer's own limit to stop the appends where it does.
void XmlWriter::Write(const TreeNode& start, StringBuffer& out, std::string& scratch)
{
    scratch.clear();
    StringSink sink{scratch};
    PutTree(start, sink);
    if (scratch.size() < static_cast<size_t>(INT_MAX)) {
        out.AppendBytes(scratch.data(), static_cast<int>(scratch.size()));
        return;
    }
    scratch = std::string();
    CountingSink counter;
    PutTree(start, counter);
    if (counter.size < static_cast<size_t>(INT_MAX))   // beyond that the buffer's own limit stops the appends
        out.Reserve(static_cast<int>(counter.size));
    BufferSink bufferSink{out};
    PutTree(start, bufferSink);
}

} // namespace plentor
