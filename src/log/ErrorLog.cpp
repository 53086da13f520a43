#include "log/ErrorLog.h"

#include <string_view>
#include <utility>

namespace plentor {

namespace {

constexpr std::string_view kCrLf = "\r\n";
constexpr std::string_view kCdataOpen = "<![CDATA[";
constexpr std::string_view kCdataClose = "]]>";

bool Contains(std::string_view text, std::string_view part)
{
    return text.find(part) != std::string_view::npos;
}

// A text with markup characters or line structure goes into a CDATA section,
// unless it already carries one of its own.
bool NeedsCdata(std::string_view text)
{
    if (text.find_first_of("\n\t&<>") == std::string_view::npos)
        return false;
    return !(Contains(text, kCdataOpen) && Contains(text, kCdataClose));
}

void AppendXmlText(std::string& out, std::string_view text)
{
    if (!NeedsCdata(text)) {
        out += text;
        return;
    }
    // A "]]>" inside the text would end the section early: split it so the
    // "]]" closes one section and the ">" starts the next.
    out += kCdataOpen;
    size_t start = 0;
    for (size_t pos = text.find(kCdataClose); pos != std::string_view::npos;
         pos = text.find(kCdataClose, start)) {
        out += text.substr(start, pos + 2 - start);
        out += kCdataClose;
        out += kCdataOpen;
        start = pos + 2;
    }
    out += text.substr(start);
    out += kCdataClose;
}

void AppendEntities(std::string& out, std::string_view text)
{
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default: out += c; break;
        }
    }
}

// Whether the walk writes this node at all: a node missing the tag or text it
// is rendered from is skipped (a nameless context still has its children written).
bool IsWritable(const LogEntry2& e)
{
    switch (e.kind) {
    case LogEntry2::Kind::Context: return e.tag.has_value();
    case LogEntry2::Kind::Data: return e.tag.has_value() && e.text.has_value();
    default: return e.text.has_value();
    }
}

// Visits the tree depth first without recursion. The writer receives
// Open/Close for each named context and Item for each line, with the node's
// level (root 0). Children of a nameless context stay at its level.
template <typename Writer>
void Walk(const LogEntry2& root, Writer& writer)
{
    struct Frame {
        const LogEntry2* node;
        size_t next;       // index of the next child to visit
        int level;         // the node's own level
        int childLevel;
    };
    std::vector<Frame> stack;
    if (IsWritable(root))
        writer.Open(root, 0);
    stack.push_back({&root, 0, 0, 1});
    while (!stack.empty()) {
        Frame& top = stack.back();
        if (top.next == top.node->children.size()) {
            if (IsWritable(*top.node))
                writer.Close(*top.node, top.level);
            stack.pop_back();
            continue;
        }
        const LogEntry2& child = *top.node->children[top.next++];
        const int level = top.childLevel;
        const bool writable = IsWritable(child);
        if (child.IsContext()) {
            if (writable)
                writer.Open(child, level);
            stack.push_back({&child, 0, level, writable ? level + 1 : level});
        } else if (writable) {
            writer.Item(child, level);
        }
    }
}

struct XmlWriter {
    std::string& out;

    void Open(const LogEntry2& e, int)
    {
        out += '<';
        out += *e.tag;
        out += '>';
        out += kCrLf;
    }
    void Close(const LogEntry2& e, int)
    {
        out += "</";
        out += *e.tag;
        out += '>';
        out += kCrLf;
    }
    void Item(const LogEntry2& e, int)
    {
        switch (e.kind) {
        case LogEntry2::Kind::Error: Element("error", *e.text); break;
        case LogEntry2::Kind::Info: Element("info", *e.text); break;
        case LogEntry2::Kind::Data: Element(*e.tag, *e.text); break;
        default:
            AppendXmlText(out, *e.text);
            out += kCrLf;
            break;
        }
    }
    void Element(std::string_view name, std::string_view text)
    {
        out += '<';
        out += name;
        out += '>';
        AppendXmlText(out, text);
        out += "</";
        out += name;
        out += '>';
        out += kCrLf;
    }
};

struct HtmlWriter {
    std::string& out;

    void Open(const LogEntry2& e, int)
    {
        AppendEntities(out, *e.tag);
        out += ":<blockquote>";
        out += kCrLf;
    }
    void Close(const LogEntry2&, int)
    {
        out += "</blockquote>";
        out += kCrLf;
    }
    void Item(const LogEntry2& e, int)
    {
        if (e.kind == LogEntry2::Kind::Data) {
            AppendEntities(out, *e.tag);
            out += ": ";
        }
        AppendEntities(out, *e.text);
        out += "<br>";
        out += kCrLf;
    }
};

struct TextWriter {
    static constexpr int kIndentPerLevel = 2;
    // Indentation stops growing here: real call nesting stays far below it, and
    // without a cap a runaway nesting would make the output grow with the
    // square of its depth.
    static constexpr int kMaxIndentLevel = 100;
    std::string& out;

    void Open(const LogEntry2& e, int level)
    {
        Indent(level);
        out += *e.tag;
        out += ':';
        out += kCrLf;
    }
    void Close(const LogEntry2&, int) {}
    void Item(const LogEntry2& e, int level)
    {
        Indent(level);
        if (e.kind == LogEntry2::Kind::Data) {
            out += *e.tag;
            out += ": ";
        }
        out += *e.text;
        out += kCrLf;
    }
    void Indent(int level)
    {
        const int shown = level < kMaxIndentLevel ? level : kMaxIndentLevel;
        out.append(static_cast<size_t>(shown * kIndentPerLevel), ' ');
    }
};

} // namespace

ErrorLog::ErrorLog()
{
    Clear();
}

void ErrorLog::Clear()
{
    open_.clear();
    root_ = LogEntry2::MakeContext(kRootTag);
    open_.push_back(root_.get());
}

void ErrorLog::EnterContext(const char* name)
{
    LogEntry2& parent = Current();
    parent.children.push_back(LogEntry2::MakeContext(name));
    open_.push_back(parent.children.back().get());
}

void ErrorLog::LeaveContext()
{
    if (open_.size() <= 1)
        return;
    open_.pop_back();
    if (open_.size() == 1)
        return;   // contexts directly under the root are kept even when empty
    auto& siblings = Current().children;
    if (!siblings.empty() && siblings.back()->IsContext() && siblings.back()->children.empty())
        siblings.pop_back();
}

void ErrorLog::AddLine(LogEntry2::Kind kind, std::string text)
{
    Current().children.push_back(LogEntry2::MakeLine(kind, std::move(text)));
}

void ErrorLog::AddData(std::string tag, std::string value)
{
    Current().children.push_back(LogEntry2::MakeData(std::move(tag), std::move(value)));
}

void ErrorLog::AppendXml(std::string& out) const
{
    XmlWriter writer{out};
    Walk(*root_, writer);
}

void ErrorLog::AppendHtml(std::string& out) const
{
    HtmlWriter writer{out};
    Walk(*root_, writer);
}

void ErrorLog::AppendText(std::string& out) const
{
    TextWriter writer{out};
    Walk(*root_, writer);
}

} // namespace plentor
