#include "markup/HtmlParse.h"

#include "base/LogBase.h"
#include "base/LogNull.h"
#include "markup/AttributeSet.h"
#include "markup/HtmlHelp.h"
#include "markup/HtmlScan.h"
#include "markup/XmlEntities.h"
#include "markup/XmlParser.h"
#include "markup/XmlRepair.h"
#include "text/AsciiChars.h"
#include "text/EncodingConvert.h"

#include <algorithm>

namespace plentor {

namespace {

constexpr size_t npos = std::string_view::npos;

constexpr std::string_view kDoctype = "<!DOCTYPE";
constexpr std::string_view kCommentOpen = "<!--";
constexpr std::string_view kCommentClose = "-->";

// Removes every occurrence of what from text.
void RemoveAll(std::string& text, std::string_view what)
{
    size_t out = 0;
    for (size_t in = 0; in < text.size();) {
        if (text.compare(in, what.size(), what) == 0) {
            in += what.size();
            continue;
        }
        text[out++] = text[in++];
    }
    text.resize(out);
}

bool IsXmlOwnReference(std::string_view name)
{
    return name == "amp" || name == "lt" || name == "gt" || name == "quot" || name == "apos";
}

// The element name the XML parser makes of a tag name: without "<" and
// without a leading "!" or "?".
std::string NameAsParsed(std::string_view tagName)
{
    std::string name(tagName);
    name.erase(std::remove(name.begin(), name.end(), '<'), name.end());
    name.erase(0, name.find_first_not_of("!?"));
    return name;
}

// Whether the XML parser read the tag as the one element it is.
bool IsOneElementNamed(const TreeNode& element, std::string_view tagName)
{
    return element.Tag() == NameAsParsed(tagName) && !element.HasContent() && !element.IsCdata() &&
           !element.FirstChild();
}

// Tag and attribute names, and references in attribute values, as XML
// needs them; the common case, an element that is fine, costs no allocation.
void RepairElement(TreeNode& element, XmlRepair::Encoding encoding)
{
    if (!XmlRepair::IsName(element.Tag())) {
        std::string tag(element.Tag());
        XmlRepair::RepairName(tag, encoding);
        element.SetTag(tag);
    }
    const AttributeSet* attributes = element.Attributes();
    if (!attributes || std::all_of(attributes->begin(), attributes->end(), [](const AttributeSet::Entry& a) {
            return XmlRepair::IsName(a.name) && XmlRepair::HasOnlyGoodReferences(a.value);
        }))
        return;
    AttributeSet repaired;
    std::string name;
    std::string value;
    for (const AttributeSet::Entry& a : *attributes) {
        name.assign(a.name);
        XmlRepair::RepairName(name, encoding);
        value.assign(a.value);
        XmlRepair::RepairReferences(value);
        repaired.Append(name, value);
    }
    // Two names may have become one: the last value wins, as for any repeated attribute.
    repaired.KeepLastOfEachName();
    element.MutableAttributes() = std::move(repaired);
}

XmlParser::Options ElementOptions()
{
    XmlParser::Options options;
    options.duplicates = XmlParser::DuplicateAttributes::KeepLast;
    return options;
}

} // namespace

HtmlParse::HtmlParse() = default;
HtmlParse::~HtmlParse() = default;

bool HtmlParse::Accepts(std::string_view text, LogBase& log) const
{
    if (text.size() <= kMaxHtmlBytes)
        return true;
    log.LogError("HTML text too large");
    log.LogDataLong("size", static_cast<int64_t>(text.size()));
    log.LogDataLong("maxSize", static_cast<int64_t>(kMaxHtmlBytes));
    return false;
}

TreeNodePtr HtmlParse::Convert(std::string_view text, int codePage, LogBase& log)
{
    if (!Accepts(text, log))
        return nullptr;
    Reset(text, codePage);
    Run();
    EscapeForeignReferences();
    Release();
    return std::move(root_);
}

bool HtmlParse::Stream(std::string_view text, int codePage, Sink& sink, LogBase& log)
{
    if (!Accepts(text, log))
        return false;
    Reset(text, codePage);
    sink_ = &sink;
    Run();
    // The page has ended, and with it every element.
    while (current_ != root_.get()) {
        current_ = current_->Parent();
        sink.Left();
    }
    while (TreeNode* child = root_->FirstChild()) {
        HandOver(*child);
        TreeNode::DeleteTree(child);
    }
    sink_ = nullptr;
    Release();
    root_.reset();
    return true;
}

// Nothing of the page is held once its tree is built.
void HtmlParse::Release()
{
    current_ = nullptr;
    text_ = {};
    scan_.reset();
    repaired_ = std::string();
}

void HtmlParse::Reset(std::string_view text, int codePage)
{
    if (codePage == EncodingConvert::kUsAscii)
        codePage = EncodingConvert::kLatin1;
    utf8_ = codePage == EncodingConvert::kUtf8;
    const XmlRepair::Encoding encoding = utf8_ ? XmlRepair::Encoding::Utf8 : XmlRepair::Encoding::Ansi;
    repaired_.clear();
    text_ = XmlRepair::RepairText(text, encoding, repaired_) ? std::string_view(repaired_) : text;
    pos_ = 0;
    scan_ = std::make_unique<HtmlScan>(text_);
    if (!entities_ || entities_->CodePage() != codePage)
        entities_ = std::make_unique<HtmlEntities>(codePage);   // kept across pages: it caches what it converts
    root_ = TreeNode::CreateRoot("root");
    current_ = root_.get();
    sink_ = nullptr;
    openKinds_.clear();
    tableKinds_.clear();
    withAmpersand_.clear();
    formEndNoted_ = awaitingRow_ = false;
    pOpen_ = optionOpen_ = definitionOpen_ = liOpen_ = false;
    keepRaw_ = script_ = scriptJustOpened_ = false;
}

void HtmlParse::Run()
{
    // Text before the first markup is not part of any element.
    pos_ = scan_->NextMarkup(0);
    if (pos_ == text_.size()) {
        pos_ = 0;
        ReadTextAfterMarkup();
        return;
    }
    while (pos_ < text_.size() && ReadMarkup())
        ReadTextAfterMarkup();
}

// Reads the markup at pos_; false when the page ends inside a tag.
bool HtmlParse::ReadMarkup()
{
    scriptJustOpened_ = false;
    const std::string_view rest = text_.substr(pos_);
    if (AsciiChars::StartsWithNoCase(rest, kDoctype)) {
        ReadDoctype();
        return true;
    }
    if (rest.starts_with("<!")) {
        ReadComment();
        return true;
    }
    const size_t end = scan_->TagEnd(pos_);
    if (end == npos) {
        pos_ = text_.size();
        return false;
    }
    const std::string_view tag = text_.substr(pos_, end + 1 - pos_);
    pos_ = end + 1;
    HandleTag(tag);
    return true;
}

// A "doctype" child: the declaration without "<!DOCTYPE" (in this case
// only) and without any ">".
void HtmlParse::ReadDoctype()
{
    const size_t gt = scan_->Gt(pos_);
    const size_t end = gt == npos ? text_.size() : gt + 1;
    std::string text(text_.substr(pos_, end - pos_));
    pos_ = end;
    RemoveAll(text, kDoctype);
    RemoveAll(text, ">");
    AddMarkupChild("doctype", text);
}

// A "comment" child: the comment without its "<!--" (or "<!") and any "-->".
// "<!--" runs to the first "-->" (the one in "<!-->" too) or, without one,
// to the next ">"; any other "<!" runs to the next ">", so that a stray
// "<![endif]>" cannot swallow the page up to a later comment.
void HtmlParse::ReadComment()
{
    const bool dashed = text_.compare(pos_, kCommentOpen.size(), kCommentOpen) == 0;
    size_t end = npos;
    if (dashed) {
        const size_t close = scan_->CommentEnd(pos_ + 2);
        if (close != npos)
            end = close + kCommentClose.size();
    }
    if (end == npos) {
        const size_t gt = scan_->Gt(pos_ + 2);
        end = gt == npos ? text_.size() : gt + 1;
    }
    std::string text(text_.substr(pos_, end - pos_));
    pos_ = end;
    text.erase(0, dashed ? kCommentOpen.size() : 2);
    RemoveAll(text, kCommentClose);
    AddMarkupChild("comment", text);
}

// The text, trimmed, in a new child of the current element; CDATA when it
// holds a line break or an "&".
void HtmlParse::AddMarkupChild(std::string_view tag, std::string_view text)
{
    const std::string_view trimmed = AsciiChars::Trim(text);
    TreeNode* node = current_->AppendNewChild(tag);
    HandOverFinished();
    node->SetContent(trimmed);
    node->SetCdata(trimmed.find_first_of("\n&") != npos);
}

// The character data after a markup item, up to the next markup (in script
// mode, up to the end of the script).
void HtmlParse::ReadTextAfterMarkup()
{
    while (pos_ < text_.size() && AsciiChars::IsSpace(text_[pos_]))
        ++pos_;
    if (pos_ >= text_.size())
        return;
    if (script_) {
        const size_t end = scan_->ScriptEnd(pos_);
        const std::string_view code = text_.substr(pos_, end - pos_);
        pos_ = end;
        if (code.empty())
            return;
        if (scriptJustOpened_ && code[0] == '<') {
            // Code wrapped in "<!--" and the like goes whole into the script element.
            current_->AppendContent(code, TreeNode::Join::WithSpace);
            current_->SetCdata(true);
            return;
        }
        AddRun(code);
        return;
    }
    const size_t end = scan_->NextMarkup(pos_);
    const std::string_view run = text_.substr(pos_, end - pos_);
    pos_ = end;
    if (!run.empty())
        AddRun(run);
}

// A run joins the current element's last child when that is a "text"
// element; otherwise it starts a new one.
void HtmlParse::AddRun(std::string_view run)
{
    TreeNode* last = current_->LastChild();
    if (last && last->Tag() == "text") {
        if (last->IsCdata()) {
            last->AppendContent(run, TreeNode::Join::WithSpace);
            return;
        }
        decoded_.clear();
        if (entities_->AppendDecoded(run, decoded_) == HtmlEntities::Run::NeedsCdata)
            last->SetCdata(true);
        last->AppendContent(decoded_, TreeNode::Join::WithSpace);
        NoteAmpersand(*last);
        return;
    }
    TreeNode* node = current_->AppendNewChild("text");
    HandOverFinished();
    if (keepRaw_ || script_) {
        node->SetContent(run);
        node->SetCdata(true);
        return;
    }
    decoded_.clear();
    node->SetCdata(entities_->AppendDecoded(run, decoded_) == HtmlEntities::Run::NeedsCdata);
    node->SetContent(decoded_);
    NoteAmpersand(*node);
}

// Only ordinary content that took in an "&" (just decoded_) can hold a
// reference that EscapeForeignReferences must escape. A streamed node is
// escaped when it is handed over.
void HtmlParse::NoteAmpersand(TreeNode& node)
{
    if (sink_ || node.IsCdata() || decoded_.find('&') == std::string::npos)
        return;
    if (withAmpersand_.empty() || withAmpersand_.back() != &node)
        withAmpersand_.push_back(&node);
}

void HtmlParse::HandleTag(std::string_view text)
{
    Tag tag;
    if (!ReadTag(text, tag))
        return;
    if (tag.isEnd && tag.kind == HtmlTagKind::Table && tableKinds_.empty())
        return;   // no table to close
    if (!HtmlTagTable::Has(tag.kind, kHtmlUntracked) && !TrackOpenElements(tag))
        return;
    TrackTables(tag);
    CloseImplied(tag);
    SetModes(tag);
    if (HtmlTagTable::IsDropped(tag.kind))
        return;
    if (tag.isEnd)
        CloseByEndTag(tag);
    else
        AddElement(tag);
}

// Name and form of the tag; a start tag is also cleaned into cleaned_ with
// its name in lower case. False for a tag without a name ("</>").
bool HtmlParse::ReadTag(std::string_view text, Tag& tag)
{
    tag.text = text;
    size_t i = 1;
    while (i < text.size() && AsciiChars::IsSpace(text[i]))
        ++i;
    tag.isEnd = i < text.size() && text[i] == '/';
    if (tag.isEnd) {
        ++i;
        while (i < text.size() && AsciiChars::IsSpace(text[i]))
            ++i;
    }
    const size_t nameStart = i;
    while (i < text.size() && !AsciiChars::IsSpace(text[i]) && text[i] != '/' && text[i] != '>')
        ++i;
    if (i == nameStart)
        return false;
    tag.name.assign(text.substr(nameStart, i - nameStart));
    for (char& c : tag.name)
        c = AsciiChars::ToLower(c);
    tag.kind = HtmlTagTable::Lookup(tag.name);
    if (tag.isEnd)
        return true;

    HtmlHelp::CleanTag(text, cleaned_);
    // CleanTag copies the name from the same place, so it sits right after the "<".
    if (cleaned_.size() > tag.name.size())
        cleaned_.replace(1, tag.name.size(), tag.name);
    tag.selfClosing = cleaned_.ends_with("/>");
    return true;
}

// The open-element stack. False when the tag has no further effect.
bool HtmlParse::TrackOpenElements(const Tag& tag)
{
    if (!tag.isEnd) {
        if (tag.selfClosing)
            return true;
        if (tag.kind == HtmlTagKind::Td && !openKinds_.empty() && openKinds_.back() == HtmlTagKind::Td)
            openKinds_.pop_back();
        openKinds_.push_back(tag.kind);
        return true;
    }
    while (true) {
        const HtmlTagKind top = openKinds_.empty() ? HtmlTagKind::Unknown : openKinds_.back();
        if (!openKinds_.empty() && top == tag.kind) {
            openKinds_.pop_back();
            return true;
        }
        if (!openKinds_.empty() && top == HtmlTagKind::Nobr) {
            openKinds_.pop_back();
            MoveUp();
            return false;
        }
        if (!openKinds_.empty() && top == HtmlTagKind::Form) {
            openKinds_.pop_back();
            if (!formEndNoted_)
                return true;
            // The "</form>" noted earlier closes the form now.
            MoveUp();
            formEndNoted_ = false;
            continue;
        }
        if (tag.kind == HtmlTagKind::Form) {
            formEndNoted_ = true;
            return false;
        }
        if (!openKinds_.empty())
            openKinds_.pop_back();
        return true;
    }
}

// The table-structure stack: a td in a table without a row gets one, and a
// td or tr after an open one of its kind closes that one.
void HtmlParse::TrackTables(const Tag& tag)
{
    const HtmlTagKind kind = tag.kind;
    if (kind != HtmlTagKind::Table && kind != HtmlTagKind::Tr && kind != HtmlTagKind::Td)
        return;
    if (tag.isEnd) {
        if (!tableKinds_.empty())
            tableKinds_.pop_back();
        return;
    }
    if (tag.selfClosing)
        return;
    if (kind == HtmlTagKind::Td && awaitingRow_) {
        TreeNode* row = current_->AppendNewChild("tr");
        HandOverFinished();
        Enter(row);
        openKinds_.push_back(HtmlTagKind::Tr);
    }
    awaitingRow_ = kind == HtmlTagKind::Table;
    if (kind != HtmlTagKind::Table && !tableKinds_.empty() && tableKinds_.back() == kind)
        MoveUp();
    else
        tableKinds_.push_back(kind);
}

// The end tags that HTML lets a page leave out.
void HtmlParse::CloseImplied(const Tag& tag)
{
    const HtmlTagKind kind = tag.kind;
    auto close = [this](bool& mark) {
        MoveUp();
        mark = false;
    };
    const bool isDefinition = kind == HtmlTagKind::Dd || kind == HtmlTagKind::Dt;
    if (!tag.isEnd && !tag.selfClosing) {
        if (pOpen_ && HtmlTagTable::Has(kind, kHtmlBlock))
            close(pOpen_);
        if (optionOpen_ && kind == HtmlTagKind::Option)
            close(optionOpen_);
        if (definitionOpen_ && isDefinition)
            close(definitionOpen_);
        if (liOpen_ && kind == HtmlTagKind::Li)
            close(liOpen_);
        pOpen_ = pOpen_ || kind == HtmlTagKind::P;
        optionOpen_ = optionOpen_ || kind == HtmlTagKind::Option;
        definitionOpen_ = definitionOpen_ || isDefinition;
        liOpen_ = liOpen_ || kind == HtmlTagKind::Li;
        return;
    }
    if (tag.isEnd) {
        if (optionOpen_ && kind == HtmlTagKind::Select)
            close(optionOpen_);
        if (definitionOpen_ && kind == HtmlTagKind::Dl)
            close(definitionOpen_);
        if (liOpen_ && (kind == HtmlTagKind::Ul || kind == HtmlTagKind::Td))
            close(liOpen_);
    }
    // An end or self-closing tag of a marked kind clears its own mark.
    pOpen_ = pOpen_ && kind != HtmlTagKind::P;
    optionOpen_ = optionOpen_ && kind != HtmlTagKind::Option;
    definitionOpen_ = definitionOpen_ && !isDefinition;
    liOpen_ = liOpen_ && kind != HtmlTagKind::Li;
}

void HtmlParse::SetModes(const Tag& tag)
{
    if (tag.selfClosing)
        return;
    if (tag.kind == HtmlTagKind::Pre)
        keepRaw_ = !tag.isEnd;
    else if (tag.kind == HtmlTagKind::Script)
        script_ = !tag.isEnd;
}

// An end tag of a container closes the current element; body, table, tr,
// td and html only close an element of their own name.
void HtmlParse::CloseByEndTag(const Tag& tag)
{
    if (!HtmlTagTable::IsContainer(tag.kind))
        return;
    if (HtmlTagTable::Has(tag.kind, kHtmlClosesByName) && current_->Tag() != tag.name)
        return;
    MoveUp();
}

// The tag, cleaned, is read as the XML parser reads a small document of its
// own (a repeated attribute keeping its last value); the element joins the
// current one and, for a container's start tag, becomes the current one.
void HtmlParse::AddElement(const Tag& tag)
{
    if (!cleaned_.ends_with(">"))
        cleaned_.push_back('>');   // CleanTag stops without one after its attribute limit
    TreeNode* added = AddPlainElement(tag);
    if (!added)
        added = AddParsedElement(tag);
    if (!added)
        return;
    HandOverFinished();
    if (HtmlTagTable::IsContainer(tag.kind) && !tag.selfClosing) {
        Enter(added);
        scriptJustOpened_ = tag.kind == HtmlTagKind::Script;
    }
}

// Most tags need no document of their own: when the name is a plain XML
// name and the attributes end with the tag's last byte, the parser would
// make just this element of the tag, so it is built in place. Null, with
// nothing added, for any other tag.
TreeNode* HtmlParse::AddPlainElement(const Tag& tag)
{
    const std::string_view name = tag.name;
    const size_t afterName = name.size() + 1;
    if (name.empty() || !XmlRepair::IsName(name) || cleaned_.size() <= afterName ||
        cleaned_.compare(1, name.size(), name) != 0)
        return nullptr;
    const char next = cleaned_[afterName];
    if (!AsciiChars::IsSpace(next) && next != '/' && next != '>')
        return nullptr;
    TreeNode* element = current_->AppendNewChild(name);
    if (!XmlParser::ReadStartTagAttributes(cleaned_, afterName, ElementOptions(), *element)) {
        TreeNode::DeleteTree(element);
        return nullptr;
    }
    RepairElement(*element, utf8_ ? XmlRepair::Encoding::Utf8 : XmlRepair::Encoding::Ansi);
    return element;
}

// Any other tag goes through the XML parser with its end tag appended.
TreeNode* HtmlParse::AddParsedElement(const Tag& tag)
{
    if (!tag.selfClosing) {
        cleaned_.append("</");
        cleaned_.append(tag.name);
        cleaned_.push_back('>');
    }
    LogNull quiet;   // "<?php ...>" and the like hold no element; that is no error here
    TreeNodePtr element = XmlParser::Parse(cleaned_, ElementOptions(), quiet);
    if (!element)
        return nullptr;
    if (!IsOneElementNamed(*element, tag.name)) {
        // Markup inside the tag's name ("<td<!--x'>...'>") made the parser
        // read other elements or text: the tag keeps only its name.
        const std::string name = NameAsParsed(tag.name);
        if (name.empty())
            return nullptr;
        element = TreeNode::CreateRoot(name);
    }
    RepairElement(*element, utf8_ ? XmlRepair::Encoding::Utf8 : XmlRepair::Encoding::Ansi);
    TreeNode* added = element.get();
    return current_->AppendChild(element) ? added : nullptr;
}

// Never above the root: stray end tags at the top level change nothing.
void HtmlParse::MoveUp()
{
    if (current_ == root_.get() || !current_->Parent())
        return;
    current_ = current_->Parent();
    if (sink_)
        sink_->Left();
}

void HtmlParse::Enter(TreeNode* element)
{
    current_ = element;
    if (sink_)
        sink_->Entered(*element);
}

// Called while streaming once a child has joined the current element: every
// child before it is finished, since a run joins only the last child and the
// current element never moves back down into an earlier one. Handing them
// over at once keeps the nodes in document order: whatever the sink gets
// later comes after them.
void HtmlParse::HandOverFinished()
{
    if (!sink_)
        return;
    const TreeNode* last = current_->LastChild();
    while (current_->FirstChild() != last) {
        TreeNode* finished = current_->FirstChild();
        HandOver(*finished);
        TreeNode::DeleteTree(finished);
    }
}

void HtmlParse::HandOver(TreeNode& node)
{
    TreeNode::ForEachInSubtree(&node, [this](TreeNode* n) { EscapeForeignReferences(*n); });
    sink_->Finished(node);
}

// The writer keeps "&name;" as written for a long list of HTML names, but
// only XML's own five mean anything to an XML parser: any other such
// reference left in ordinary content gets its "&" written as "&amp;", so it
// reads back as the same text. Only the nodes NoteAmpersand kept can hold one.
void HtmlParse::EscapeForeignReferences()
{
    for (TreeNode* node : withAmpersand_)
        EscapeForeignReferences(*node);
    withAmpersand_.clear();
}

void HtmlParse::EscapeForeignReferences(TreeNode& node)
{
    const std::string_view content = node.Content();
    if (node.IsCdata() || content.find('&') == npos)
        return;
    escaped_.clear();
    size_t done = 0;
    for (size_t amp = content.find('&'); amp != npos; amp = content.find('&', amp + 1)) {
        const size_t length = XmlEntities::ReferenceLength(content.substr(amp));
        if (length <= 2 || IsXmlOwnReference(content.substr(amp + 1, length - 2)))
            continue;
        escaped_.append(content.substr(done, amp + 1 - done));
        escaped_.append("amp;");
        done = amp + 1;
    }
    if (done > 0) {
        escaped_.append(content.substr(done));
        node.SetContent(escaped_);
    }
}

} // namespace plentor
