#include "markup/XmlParser.h"

#include "base/LogBase.h"
#include "base/LogNull.h"
#include "markup/AttributeSet.h"
#include "markup/TreeInfo.h"
#include "markup/XmlEntities.h"
#include "text/AsciiChars.h"

#include <algorithm>

namespace plentor {

namespace {

constexpr std::string_view kCdataStart = "<![CDATA[";
constexpr std::string_view kCdataEnd = "]]>";

bool IsNameEnd(char c) { return AsciiChars::IsSpace(c) || c == '/' || c == '>'; }

std::string ToString(std::string_view s) { return std::string(s); }

} // namespace

TreeNodePtr XmlParser::Parse(std::string_view text, Options options, LogBase& log)
{
    if (text.size() > kMaxInputBytes) {
        log.LogError("XML text too large");
        log.LogDataLong("size", static_cast<int64_t>(text.size()));
        return nullptr;
    }
    XmlParser parser(text, options, log);
    TreeNodePtr document = parser.Run();
    if (!document)
        log.LogError("No element in XML text");
    return document;
}

XmlParser::XmlParser(std::string_view text, Options options, LogBase& log)
    : text_(text), options_(options), log_(log)
{
}

TreeNodePtr XmlParser::Run()
{
    while (!AtEnd() && !stopped_) {
        if (text_[pos_] != '<')
            ReadText();
        else if (LooksAt(pos_, kCdataStart))
            ReadCdata();
        else
            ReadMarkup();
    }
    return Finish();
}

// The last complete top-level element wins; without one, the elements still
// open are closed and the outermost is the document.
TreeNodePtr XmlParser::Finish()
{
    TreeNodePtr document = completed_ ? std::move(completed_) : std::move(open_);
    open_.reset();
    current_ = nullptr;
    if (!document)
        return nullptr;
    TreeInfo& info = *document->Document();
    if (declaration_)
        info.SetDeclaration(std::move(declaration_));
    for (TreeNodePtr& sheet : stylesheets_)
        info.AddStylesheet(std::move(sheet));
    if (!prolog_.empty())
        info.AppendProlog(prolog_);
    return document;
}

void XmlParser::SkipSpace()
{
    while (!AtEnd() && AsciiChars::IsSpace(text_[pos_]))
        ++pos_;
}

void XmlParser::ReadText()
{
    size_t end = text_.find('<', pos_);
    if (end == std::string_view::npos)
        end = text_.size();
    std::string_view run = text_.substr(pos_, end - pos_);
    pos_ = end;
    if (current_)
        AddTextRun(run);
}

// Only the new run is decoded: content decoded earlier must not be decoded
// a second time ("&amp;lt;" stays "&lt;").
void XmlParser::AddTextRun(std::string_view run)
{
    std::string_view trimmed = AsciiChars::Trim(run);
    if (trimmed.empty())
        return;
    scratch_.clear();
    XmlEntities::AppendDecoded(options_.textMode == TextMode::Trim ? trimmed : run, scratch_);
    current_->AppendContent(scratch_, TreeNode::Join::WithSpace);
}

void XmlParser::ReadCdata()
{
    const size_t bodyStart = pos_ + kCdataStart.size();
    size_t bodyEnd = text_.find(kCdataEnd, bodyStart);
    if (bodyEnd == std::string_view::npos)
        bodyEnd = text_.size();
    if (current_) {
        current_->AppendContent(text_.substr(bodyStart, bodyEnd - bodyStart), TreeNode::Join::Direct);
        current_->SetCdata(true);
    }
    // Text between the section and the next markup is not content.
    pos_ = text_.find('<', std::min(bodyEnd + kCdataEnd.size(), text_.size()));
    if (pos_ == std::string_view::npos)
        pos_ = text_.size();
}

void XmlParser::ReadMarkup()
{
    const size_t lt = pos_;
    ++pos_;
    SkipSpace();
    if (AtEnd())
        return;
    const size_t at = pos_;
    std::string_view rest = text_.substr(at);
    if (LooksAt(at, "!--"))
        ReadComment(at);
    else if (AsciiChars::StartsWithNoCase(rest, "!DOCTYPE"))
        ReadDoctype(at);
    else if (rest[0] == '!') {
        const size_t gt = text_.find('>', at);
        pos_ = gt == std::string_view::npos ? text_.size() : gt + 1;
    } else if (AsciiChars::StartsWithNoCase(rest, "?xml ")) {
        declaration_ = ReadPseudoElement("xml", at + 4);   // a later declaration replaces an earlier one
    } else if (AsciiChars::StartsWithNoCase(rest, "?xml-stylesheet")) {
        stylesheets_.push_back(ReadPseudoElement("xml-stylesheet", at + 15));
    } else if (rest[0] == '?') {
        ReadInstruction(lt);
    } else if (rest[0] == '/') {
        ReadClosingTag(at);
    } else {
        ReadOpeningTag(at);
    }
}

void XmlParser::ReadComment(size_t at)
{
    const size_t end = text_.find("-->", at + 3);
    if (end == std::string_view::npos) {
        log_.LogError("Unclosed comment");
        stopped_ = true;
        return;
    }
    pos_ = end + 3;
}

// Copies the DOCTYPE to the prolog, nested brackets of an internal subset included.
void XmlParser::ReadDoctype(size_t at)
{
    int depth = 1;   // the "<" before at
    for (size_t i = at; i < text_.size(); ++i) {
        if (text_[i] == '<') {
            ++depth;
        } else if (text_[i] == '>' && --depth == 0) {
            prolog_.push_back('<');
            prolog_.append(text_.substr(at, i + 1 - at));
            prolog_.push_back('\n');
            pos_ = i + 1;
            return;
        }
    }
    log_.LogError("Failed to parse DTD");
    pos_ = text_.size();
}

void XmlParser::ReadInstruction(size_t lt)
{
    const size_t end = text_.find("?>", pos_);
    if (end == std::string_view::npos) {
        log_.LogError("Unclosed processing instruction");
        stopped_ = true;
        return;
    }
    prolog_.append(text_.substr(lt, end + 2 - lt));
    prolog_.push_back('\n');
    pos_ = end + 2;
}

TreeNodePtr XmlParser::ReadPseudoElement(std::string_view name, size_t afterName)
{
    TreeNodePtr node = TreeNode::CreateDetached(name);
    pos_ = afterName;
    ReadAttributes(*node, AttrSyntax::Pseudo);
    return node;
}

// Any closing tag closes the current element; its name is not compared.
void XmlParser::ReadClosingTag(size_t at)
{
    const size_t gt = text_.find('>', at);
    const size_t lt = text_.find('<', at);
    if (lt < gt) {
        log_.LogError("Error in closing tag");
        if (current_)
            log_.LogData("error_tag", ToString(current_->Tag()).c_str());
        pos_ = lt;
    } else {
        pos_ = gt == std::string_view::npos ? text_.size() : gt + 1;
    }
    CloseCurrent();
}

void XmlParser::ReadOpeningTag(size_t at)
{
    size_t end = at;
    while (end < text_.size() && !IsNameEnd(text_[end]))
        ++end;
    std::string name(text_.substr(at, end - at));
    name.erase(std::remove(name.begin(), name.end(), '<'), name.end());
    // "<<!x" or "<<?x": without its "<" the name must not read as a comment,
    // CDATA section or instruction when the document is written and read again.
    name.erase(0, name.find_first_not_of("!?"));
    pos_ = end;

    TreeNode* element;
    if (current_) {
        element = current_->AppendNewChild(name);
    } else {
        open_ = TreeNode::CreateRoot(name);
        element = open_.get();
    }
    current_ = element;
    bool selfClosing = false;
    ReadElementAttributes(*element, selfClosing);
    if (selfClosing)
        CloseCurrent();
}

void XmlParser::ReadElementAttributes(TreeNode& element, bool& selfClosing)
{
    selfClosing = ReadAttributes(element, AttrSyntax::Element);
    if (options_.duplicates == DuplicateAttributes::KeepLast && element.Attributes())
        element.MutableAttributes().KeepLastOfEachName();
}

bool XmlParser::ReadStartTagAttributes(std::string_view text, size_t from, Options options, TreeNode& element)
{
    LogNull quiet;   // reading attributes logs nothing
    XmlParser parser(text, options, quiet);
    parser.pos_ = from;
    bool selfClosing = false;
    parser.ReadElementAttributes(element, selfClosing);
    return parser.tagEnded_ && parser.AtEnd();
}

// Reads attributes up to and including the ">" that ends the tag; true when
// a "/" was seen outside a value (the element closes itself).
bool XmlParser::ReadAttributes(TreeNode& node, AttrSyntax syntax)
{
    const bool pseudo = syntax == AttrSyntax::Pseudo;
    bool selfClosing = false;
    tagEnded_ = false;
    while (true) {
        SkipSpace();
        if (AtEnd())
            break;
        const char c = text_[pos_];
        if (c == '>') {
            ++pos_;
            tagEnded_ = true;
            break;
        }
        if (c == '/' || (pseudo && c == '?')) {
            selfClosing = selfClosing || c == '/';
            ++pos_;
            continue;
        }
        const size_t nameStart = pos_;
        while (!AtEnd()) {
            const char d = text_[pos_];
            if (AsciiChars::IsSpace(d) || d == '=' || d == '>' || (pseudo ? d == '?' : d == '/'))
                break;
            ++pos_;
        }
        std::string name(text_.substr(nameStart, pos_ - nameStart));
        auto dropped = [pseudo](char d) { return d == '"' || (!pseudo && (d == '\'' || d == '<')); };
        name.erase(std::remove_if(name.begin(), name.end(), dropped), name.end());
        if (!pseudo)
            std::replace(name.begin(), name.end(), ':', '_');
        // A leading "/" (left over once quotes are gone) would read as the end
        // of the tag when the document is written and read again.
        name.erase(0, name.find_first_not_of('/'));

        std::string_view raw;
        SkipSpace();
        if (!AtEnd() && text_[pos_] == '=') {
            ++pos_;
            SkipSpace();
            raw = ReadValue(syntax);
        }
        if (name.empty())
            continue;
        if (raw.find('&') == std::string_view::npos) {
            node.AppendAttr(name, raw);   // nothing to decode
            continue;
        }
        scratch_.clear();
        XmlEntities::AppendDecoded(raw, scratch_);
        node.AppendAttr(name, scratch_);
    }
    return selfClosing;
}

// A quoted value runs to the matching quote (or the end); a bare value to
// whitespace, ">" or a "/" that closes the tag.
std::string_view XmlParser::ReadValue(AttrSyntax syntax)
{
    if (AtEnd())
        return {};
    const char quote = text_[pos_];
    const bool quoted = quote == '"' || quote == '\'';
    if (quoted)
        ++pos_;
    const size_t start = pos_;
    while (!AtEnd()) {
        const char c = text_[pos_];
        if (quoted) {
            if (c == quote || (syntax == AttrSyntax::Pseudo && (c == '\r' || c == '\n')))
                break;
        } else if (AsciiChars::IsSpace(c) || c == '>' || c == '"' || c == '\'' ||
                   (syntax == AttrSyntax::Pseudo && c == '?') ||
                   (c == '/' && pos_ + 1 < text_.size() && text_[pos_ + 1] == '>')) {
            break;
        }
        ++pos_;
    }
    std::string_view value = text_.substr(start, pos_ - start);
    if (quoted && !AtEnd() && text_[pos_] == quote)
        ++pos_;
    return value;
}

void XmlParser::CloseCurrent()
{
    if (!current_)
        return;
    TreeNode* parent = current_->Parent();
    if (!parent)
        completed_ = std::move(open_);   // deletes an earlier complete top-level element
    current_ = parent;
}

} // namespace plentor
