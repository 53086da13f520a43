#include "markup/ClsXml.h"

#include "base/LogNull.h"
#include "markup/AttributeSet.h"
#include "markup/TreeInfo.h"
#include "markup/TreeNode.h"
#include "platform/Files.h"
#include "text/AsciiChars.h"
#include "text/CharsetNames.h"
#include "text/DataBuffer.h"
#include "text/EncodingConvert.h"

#include <algorithm>
#include <string>
#include <vector>

namespace plentor {

namespace {

constexpr int kUtf8 = EncodingConvert::kUtf8;

std::string_view ViewOf(const char* text) { return text ? std::string_view(text) : std::string_view(); }

std::string_view ViewOf(const StringBuffer& text)
{
    return std::string_view(text.GetString(), static_cast<size_t>(text.GetLength()));
}

// The one place a charset name becomes a code page (0: unknown).
int CodePageOfCharset(std::string_view name)
{
    return CharsetNames::CodePageFromName(std::string(name).c_str());
}

bool IsWideCodePage(int codePage)
{
    return codePage == EncodingConvert::kUtf16Le || codePage == EncodingConvert::kUtf16Be ||
           codePage == EncodingConvert::kUtf32Le || codePage == EncodingConvert::kUtf32Be;
}

// The EBCDIC code pages with a table, the most common first. In all of them
// "<?xm" is 4C 6F A7 94; the quote and some letters move between them.
constexpr int kEbcdicCodePages[] = {
    37,    500,   1047,  1140,  1141,  1142,  1143,  1144,  1145,  1146,  1147,  1148,  1149,
    20273, 20277, 20278, 20280, 20284, 20285, 20297, 20871, 20924, 870,   875,   1026,  20420,
    20423, 20424, 20838, 20880, 20905, 21025};

bool IsEbcdicCodePage(int codePage)
{
    return std::find(std::begin(kEbcdicCodePages), std::end(kEbcdicCodePages), codePage) !=
           std::end(kEbcdicCodePages);
}

// The code page the parsed document's declaration names; 0 when it names
// none, or none that is known. The parser decides which "<?xml ...?>" is
// the declaration and where its pseudo-attributes start and end, so the
// encoding read here is the one the writer will use.
int CodePageOfEncoding(std::string_view encoding)
{
    encoding = AsciiChars::Trim(encoding);
    if (encoding.empty())
        return 0;
    return AsciiChars::EqualsNoCase(encoding, "utf-8") ? kUtf8 : CodePageOfCharset(encoding);
}

int DeclaredCodePage(const TreeNode& document)
{
    const TreeNode* declaration = document.Document()->Declaration();
    std::string_view encoding;
    if (!declaration || !declaration->AttrValue("encoding", encoding))
        return 0;
    return CodePageOfEncoding(encoding);
}

// Converts into out; out is reserved for the largest possible result first
// so that the conversion never grows it step by step.
bool Convert(int from, int to, std::string_view bytes, size_t maxGrowth, DataBuffer& out, LogBase& log)
{
    out.Reserve(static_cast<unsigned>(bytes.size() * maxGrowth + 16));
    EncodingConvert converter;
    return converter.Convert(from, to, bytes.data(), static_cast<unsigned>(bytes.size()), out, log);
}

std::string_view Bytes(const DataBuffer& data)
{
    return std::string_view(reinterpret_cast<const char*>(data.Data()), data.Size());
}

TreeNodePtr Parse(std::string_view text, XmlParser::TextMode mode, LogBase& log)
{
    XmlParser::Options options;
    options.textMode = mode;
    return XmlParser::Parse(text, options, log);
}

// Whether the bytes hold an ISO-2022-JP escape (ESC "$" or ESC "(").
bool HasIso2022JpEscape(std::string_view bytes)
{
    for (size_t at = bytes.find('\x1B'); at != std::string_view::npos; at = bytes.find('\x1B', at + 1)) {
        if (at + 1 < bytes.size() && (bytes[at + 1] == '$' || bytes[at + 1] == '('))
            return true;
    }
    return false;
}

bool IsIso2022JpCodePage(int codePage)
{
    return codePage >= EncodingConvert::kIso2022Jp && codePage <= EncodingConvert::kIso2022Jp + 2;
}

// Whether the bytes, read as they are, hold an encoding attribute whose
// value names ISO-2022-JP (white space around "=", either quote or none).
// A value is read no further than a name can be long, so that a document
// of nothing but "encoding=" is still read once.
bool RawEncodingNamesIso2022Jp(std::string_view bytes)
{
    constexpr std::string_view kKey = "encoding";
    constexpr size_t kLongestName = 64;
    for (size_t at = bytes.find(kKey); at != std::string_view::npos; at = bytes.find(kKey, at + 1)) {
        size_t i = at + kKey.size();
        while (i < bytes.size() && AsciiChars::IsSpace(bytes[i]))
            ++i;
        if (i == bytes.size() || bytes[i] != '=')
            continue;
        ++i;
        while (i < bytes.size() && AsciiChars::IsSpace(bytes[i]))
            ++i;
        char quote = 0;
        if (i < bytes.size() && (bytes[i] == '"' || bytes[i] == '\''))
            quote = bytes[i++];
        const size_t limit = std::min(bytes.size(), i + kLongestName);
        size_t end = i;
        if (quote != 0) {
            while (end < limit && bytes[end] != quote)
                ++end;
        } else {
            while (end < limit && !AsciiChars::IsSpace(bytes[end]) && bytes[end] != '?' && bytes[end] != '>')
                ++end;
        }
        if (IsIso2022JpCodePage(CodePageOfEncoding(bytes.substr(i, end - i))))
            return true;
    }
    return false;
}

// The encoding the declaration of a document in EBCDIC names. The
// declaration (up to the first ">") is read in each EBCDIC code page in
// turn, and the first whose reading names that same code page wins; when
// none does, the document is read as code page 37.
int EbcdicCodePage(std::string_view bytes)
{
    constexpr size_t kMaxDeclaration = 4096;
    const size_t end = bytes.substr(0, kMaxDeclaration).find('\x6E');
    if (end == std::string_view::npos)
        return kEbcdicCodePages[0];
    const std::string_view head = bytes.substr(0, end + 1);
    LogNull quiet;
    for (int codePage : kEbcdicCodePages) {
        DataBuffer text;
        Convert(codePage, kUtf8, head, 3, text, quiet);
        text.AppendBytes("<a/>", 4);
        TreeNodePtr declared = XmlParser::Parse(Bytes(text), XmlParser::Options(), quiet);
        if (declared && DeclaredCodePage(*declared) == codePage)
            return codePage;
    }
    return kEbcdicCodePages[0];
}

// Trims and turns spaces into underscores, as element names are given to NewChild.
std::string ChildTagName(const char* tag)
{
    std::string name(AsciiChars::Trim(ViewOf(tag)));
    std::replace(name.begin(), name.end(), ' ', '_');
    return name;
}

std::string TrimmedName(const char* name) { return std::string(AsciiChars::Trim(ViewOf(name))); }

} // namespace

ClsXml::ClsXml() : node_(TreeNode::CreateRoot("unnamed").release()) { node_->AddRef(); }

ClsXml::ClsXml(TreeNode* node) : node_(node) { node_->AddRef(); }

ClsXml::~ClsXml() { TreeNode::Release(node_); }

void ClsXml::Point(TreeNode* node)
{
    node->AddRef();   // first, so that moving within one document never frees it
    TreeNode* old = node_;
    node_ = node;
    TreeNode::Release(old);
}

std::unique_ptr<ClsXml> ClsXml::FacadeOn(TreeNode* node) const
{
    if (!node)
        return nullptr;
    return std::unique_ptr<ClsXml>(new ClsXml(node));
}

TreeNodePtr ClsXml::ParseText(std::string_view text, XmlParser::TextMode mode)
{
    return Parse(text, mode, log_);
}

TreeNodePtr ClsXml::ParseIso2022Jp(std::string_view bytes, XmlParser::TextMode mode)
{
    // Escapes alone do not make a document ISO-2022-JP: a UTF-8 document can
    // hold ESC "$" in its text. It is one when its bytes are all 7-bit, name
    // ISO-2022-JP as they stand (escapes and SI vanish when decoded, so
    // "iso-2022-" ESC "(B" "jp" names it only after decoding), decode
    // without error, and parse into a document whose declaration names it.
    // Otherwise nothing is kept and the caller reads the bytes as they are.
    if (std::any_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; }) ||
        !RawEncodingNamesIso2022Jp(bytes))
        return nullptr;
    DataBuffer converted;
    LogNull quiet;
    if (!Convert(EncodingConvert::kIso2022Jp, kUtf8, bytes, 3, converted, quiet))
        return nullptr;
    TreeNodePtr document = Parse(Bytes(converted), mode, quiet);
    if (!document || !IsIso2022JpCodePage(DeclaredCodePage(*document)))
        return nullptr;
    return document;
}

bool ClsXml::LoadText(std::string_view text, XmlParser::TextMode mode)
{
    TreeNodePtr document = ParseText(text, mode);
    if (!document)
        return false;
    Point(document.release());   // the facade's reference now owns the tree
    return true;
}

bool ClsXml::LoadXml(const char* text)
{
    LogContext context(log_, "LoadXml");
    return LoadText(ViewOf(text), XmlParser::TextMode::Trim);
}

bool ClsXml::LoadXml(const StringBuffer& text)
{
    LogContext context(log_, "LoadXml");
    return LoadText(ViewOf(text), XmlParser::TextMode::Trim);
}

bool ClsXml::LoadXmlFile(const char* path, XmlParser::TextMode mode)
{
    LogContext context(log_, "LoadXmlFile");
    log_.LogData("path", path ? path : "");
    std::vector<uint8_t> bytes;
    platform::FileError err;
    if (!path || !platform::ReadWholeFileUpTo(path, kMaxFileBytes, bytes, err)) {
        log_.LogError("Failed to read XML file");
        log_.LogData("reason", err.message.c_str());
        return false;
    }
    return LoadXmlBytes(bytes.data(), bytes.size(), mode);
}

bool ClsXml::LoadXmlBytes(const void* data, size_t n, XmlParser::TextMode mode)
{
    std::string_view bytes(static_cast<const char*>(data), n);
    TreeNodePtr document;
    int from = 0;
    // A byte-order mark, or the first characters when there is none: the
    // wide forms, UTF-7 and EBCDIC cannot be read byte by byte as ASCII.
    const std::string_view start = bytes.substr(0, 4);
    if (start == std::string_view("\xFF\xFE\0\0", 4)) {
        from = EncodingConvert::kUtf32Le;
        bytes.remove_prefix(4);
    } else if (start == std::string_view("\0\0\xFE\xFF", 4)) {
        from = EncodingConvert::kUtf32Be;
        bytes.remove_prefix(4);
    } else if (start.substr(0, 2) == "\xFF\xFE") {
        from = EncodingConvert::kUtf16Le;
        bytes.remove_prefix(2);
    } else if (start.substr(0, 2) == "\xFE\xFF") {
        from = EncodingConvert::kUtf16Be;
        bytes.remove_prefix(2);
    } else if (start.substr(0, 3) == "\xEF\xBB\xBF") {
        bytes.remove_prefix(3);
    } else if (start == std::string_view("<\0\0\0", 4)) {
        from = EncodingConvert::kUtf32Le;
    } else if (start == std::string_view("\0\0\0<", 4)) {
        from = EncodingConvert::kUtf32Be;
    } else if (start == std::string_view("<\0?\0", 4)) {
        from = EncodingConvert::kUtf16Le;
    } else if (start == std::string_view("\0<\0?", 4)) {
        from = EncodingConvert::kUtf16Be;
    } else if (start == "\x1B$)C") {
        // ISO-2022-KR announces itself before the first line.
        from = EncodingConvert::kIso2022Kr;
    } else if (start == "+ADw") {
        // "<" in UTF-7's base64 form, as a document saved in UTF-7 begins.
        from = EncodingConvert::kUtf7;
    } else if (start == "\x4C\x6F\xA7\x94") {
        // "<?xm" in EBCDIC.
        from = EbcdicCodePage(bytes);
    } else {
        // The bytes as they are: UTF-8, or an encoding whose markup
        // characters are ASCII, which the declaration then names.
        // ISO-2022-JP is the exception: its two-byte codes hold "<", "=",
        // quotes and ">", so where the bytes do not parse, or their
        // declaration names no encoding, they may still be a document in it.
        const bool jisEscapes = HasIso2022JpEscape(bytes);
        LogNull quiet;
        document = jisEscapes ? Parse(bytes, mode, quiet) : ParseText(bytes, mode);
        const int codePage = document ? DeclaredCodePage(*document) : 0;
        if (jisEscapes && codePage == 0) {
            if (TreeNodePtr decoded = ParseIso2022Jp(bytes, mode)) {
                document = std::move(decoded);
            } else if (!document) {
                document = ParseText(bytes, mode);   // again, for its log lines
            }
        }
        if (!document)
            return false;
        // The markup was read byte by byte, so a wide or EBCDIC encoding
        // named there is not what the bytes are.
        if (codePage != 0 && codePage != kUtf8 && !IsWideCodePage(codePage) && !IsEbcdicCodePage(codePage)) {
            from = codePage;
            document.reset();
            log_.LogInfo("Reading the document again in its declared encoding");
        }
    }
    DataBuffer converted;
    if (from != 0) {
        if (!Convert(from, kUtf8, bytes, 3, converted, log_))
            log_.LogInfo("Some characters of the XML file did not convert to UTF-8");
        bytes = Bytes(converted);
    }
    if (!document)
        document = ParseText(bytes, mode);
    if (!document)
        return false;
    Point(document.release());   // the facade's reference now owns the tree
    std::string_view encoding;
    TreeNode* declaration = node_->Document()->Declaration();
    if (declaration && declaration->AttrValue("encoding", encoding) &&
        (AsciiChars::EqualsNoCase(encoding, "utf-16") || AsciiChars::EqualsNoCase(encoding, "ucs-2") ||
         AsciiChars::EqualsNoCase(encoding, "unicode")))
        declaration->ReplaceAttr("encoding", "utf-8");
    return true;
}

bool ClsXml::GetXmlBytes(DataBuffer& out)
{
    TreeInfo& document = *node_->Document();
    std::string encoding;
    if (const TreeNode* declaration = document.Declaration()) {
        std::string_view value;
        if (declaration->AttrValue("encoding", value))
            encoding = std::string(value);
    }
    if (encoding.empty()) {
        encoding = "utf-8";
        document.SetDeclarationAttr("encoding", encoding);
    }
    StringBuffer text;
    node_->GetXml(text);
    const int codePage = CodePageOfEncoding(encoding);
    if (codePage == kUtf8 || codePage == 0) {
        if (codePage == 0) {
            log_.LogInfo("Unknown charset in the XML declaration; writing UTF-8");
            log_.LogData("charset", encoding.c_str());
        }
        out.AppendBytes(text.GetString(), static_cast<unsigned>(text.GetLength()));
        return true;
    }
    // A wide encoding carries its byte-order mark.
    if (codePage == EncodingConvert::kUtf16Le)
        out.AppendBytes("\xFF\xFE", 2);
    else if (codePage == EncodingConvert::kUtf16Be)
        out.AppendBytes("\xFE\xFF", 2);
    else if (codePage == EncodingConvert::kUtf32Le)
        out.AppendBytes("\xFF\xFE\0\0", 4);
    else if (codePage == EncodingConvert::kUtf32Be)
        out.AppendBytes("\0\0\xFE\xFF", 4);
    if (!Convert(kUtf8, codePage, ViewOf(text), 2, out, log_)) {
        log_.LogError("Failed to convert XML text to its declared charset");
        log_.LogData("charset", encoding.c_str());
        return false;
    }
    return true;
}

bool ClsXml::SaveXml(const char* path)
{
    LogContext context(log_, "SaveXml");
    const std::string file(AsciiChars::Trim(ViewOf(path)));
    log_.LogData("path", file.c_str());
    DataBuffer bytes;
    if (!GetXmlBytes(bytes))
        return false;
    platform::FileError err;
    if (file.empty() || !platform::WriteWholeFile(file.c_str(), bytes.Data(), bytes.Size(), err)) {
        log_.LogError("Failed to write XML file");
        log_.LogData("reason", err.message.c_str());
        return false;
    }
    return true;
}

void ClsXml::GetXmlText(StringBuffer& out) const
{
    out.Clear();
    node_->GetXml(out);
}

StringBuffer ClsXml::TagName() const
{
    std::string_view tag = node_->Tag();
    return StringBuffer(tag.data(), static_cast<int>(tag.size()));
}

void ClsXml::SetTagName(const char* name)
{
    if (name)
        node_->SetTag(name);
    else
        node_->ClearTag();
}

StringBuffer ClsXml::Content() const
{
    std::string_view content = node_->Content();
    return StringBuffer(content.data(), static_cast<int>(content.size()));
}

void ClsXml::SetContent(const char* text)
{
    if (text)
        node_->SetContent(text);
    else
        node_->ClearContent();
}

bool ClsXml::AttrValue(const char* name, StringBuffer& out) const
{
    out.Clear();
    std::string_view value;
    if (!node_->AttrValue(TrimmedName(name), value))
        return false;
    out.AppendBytes(value.data(), static_cast<int>(value.size()));
    return true;
}

int ClsXml::AttrValueInt(const char* name) const
{
    StringBuffer value;
    return AttrValue(name, value) ? value.ParseInt() : 0;
}

void ClsXml::SetAttr(const char* name, const char* value) { node_->AppendAttr(TrimmedName(name), ViewOf(value)); }

void ClsXml::ReplaceAttr(const char* name, const char* value)
{
    node_->ReplaceAttr(TrimmedName(name), ViewOf(value));
}

void ClsXml::ReplaceAttrInt(const char* name, int value) { ReplaceAttr(name, std::to_string(value).c_str()); }

bool ClsXml::HasAttrValue(const char* name, const char* value) const
{
    const AttributeSet* attributes = node_->Attributes();
    if (!attributes)
        return false;
    const std::string wanted = TrimmedName(name);
    for (const AttributeSet::Entry& a : *attributes)
        if (a.name == wanted && a.value == ViewOf(value))
            return true;
    return false;
}

std::unique_ptr<ClsXml> ClsXml::NewChild(const char* tag, const char* content)
{
    return FacadeOn(node_->AppendNewChild(ChildTagName(tag), content));
}

void ClsXml::AppendChild(const char* tag, const char* content) { node_->AppendNewChild(ChildTagName(tag), content); }

bool ClsXml::AddChildTree(ClsXml& tree)
{
    if (node_->AppendChild(tree.node_))
        return true;
    log_.LogError("Cannot append a node that has a parent or belongs to this document");
    return false;
}

std::unique_ptr<ClsXml> ClsXml::FirstChild() const { return FacadeOn(node_->FirstChild()); }

std::unique_ptr<ClsXml> ClsXml::FindChild(const char* tag) const
{
    for (TreeNode* c = node_->FirstChild(); c; c = c->NextSibling())
        if (c->HasTag() && c->Tag() == ViewOf(tag))
            return FacadeOn(c);
    return nullptr;
}

std::unique_ptr<ClsXml> ClsXml::FindChildByAttr(const char* tag, const char* attrName, const char* valuePattern) const
{
    const std::string_view name = ViewOf(attrName);
    for (TreeNode* c = node_->FirstChild(); c; c = c->NextSibling()) {
        if (!c->HasTag() || c->Tag() != ViewOf(tag) || !c->Attributes())
            continue;
        for (const AttributeSet::Entry& a : *c->Attributes())
            if (a.name == name && WildcardMatch(a.value, ViewOf(valuePattern)))
                return FacadeOn(c);
    }
    return nullptr;
}

bool ClsXml::MoveToParent()
{
    if (!node_->Parent())
        return false;
    Point(node_->Parent());
    return true;
}

bool ClsXml::MoveToFirstChild()
{
    if (!node_->FirstChild())
        return false;
    Point(node_->FirstChild());
    return true;
}

bool ClsXml::MoveToNextSibling()
{
    if (!node_->NextSibling())
        return false;
    Point(node_->NextSibling());
    return true;
}

int ClsXml::NumChildren() const { return static_cast<int>(node_->ChildCount()); }

void ClsXml::GetTextOfTag(const char* tag, StringBuffer& out, const char* exclude) const
{
    if (!tag)
        return;
    node_->GetTextOfTag(tag, out, ViewOf(exclude));
}

// Greedy match that backtracks only to the last "*", so it never explores
// more than text length times pattern length steps.
bool ClsXml::WildcardMatch(std::string_view text, std::string_view pattern)
{
    size_t t = 0;
    size_t p = 0;
    size_t starP = std::string_view::npos;
    size_t starT = 0;
    while (t < text.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starT = t;
        } else if (p < pattern.size() && pattern[p] == text[t]) {
            ++p;
            ++t;
        } else if (starP != std::string_view::npos) {
            p = starP + 1;
            t = ++starT;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

} // namespace plentor
