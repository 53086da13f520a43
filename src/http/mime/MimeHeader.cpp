#include "http/mime/MimeHeader.h"

#include "base/LogBase.h"
#include "base/LogNull.h"
#include "http/cookies/Cookie.h"
#include "http/mime/MimeField.h"
#include "platform/CodePage.h"
#include "text/AsciiChars.h"
#include "text/CharsetNames.h"
#include "text/DataBuffer.h"
#include "text/EncodingConvert.h"
#include "text/StringBuffer.h"

#include <algorithm>
#include <string>
#include <string_view>

namespace plentor {

namespace {

constexpr std::string_view kCrLf = "\r\n";
constexpr std::string_view kBlankLine = "\r\n\r\n";
// A charset name inside an encoded word longer than this is not looked up.
constexpr size_t kMaxWordCharsetLength = 64;

// Case-insensitive search for a short needle.
size_t FindNoCase(std::string_view text, std::string_view needle, size_t from = 0)
{
    auto it = std::search(text.begin() + static_cast<std::ptrdiff_t>(std::min(from, text.size())), text.end(),
                          needle.begin(), needle.end(),
                          [](char a, char b) { return AsciiChars::ToLower(a) == AsciiChars::ToLower(b); });
    return it == text.end() ? std::string_view::npos : static_cast<size_t>(it - text.begin());
}

bool HasHighByte(std::string_view text)
{
    return std::any_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}

// The text before the end of the header: the first CR LF CR LF, else LF CR LF,
// else CR LF CR; the whole text when there is none.
std::string_view HeaderPart(std::string_view text)
{
    for (std::string_view end : {std::string_view("\r\n\r\n"), std::string_view("\n\r\n"), std::string_view("\r\n\r")}) {
        size_t at = text.find(end);
        if (at != std::string_view::npos)
            return text.substr(0, at);
    }
    return text;
}

// Whether every CR of text is followed by LF and every LF follows a CR.
bool HasCrLfLineEndsOnly(std::string_view text)
{
    // Every LF after a CR, and no more CRs than LFs: then every CR is one
    // of those before an LF.
    size_t lines = 0;
    for (size_t at = text.find('\n'); at != std::string_view::npos; at = text.find('\n', at + 1)) {
        if (at == 0 || text[at - 1] != '\r')
            return false;
        ++lines;
    }
    return static_cast<size_t>(std::count(text.begin(), text.end(), '\r')) == lines;
}

// Every CR removed and every LF written as CR LF: CR LF, bare LF and bare CR
// line ends all come out as CR LF (a bare CR simply disappears).
std::string NormaliseLineEnds(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    for (char c : text) {
        if (c == '\r')
            continue;
        if (c == '\n')
            out += kCrLf;
        else
            out += c;
    }
    return out;
}

// The code page named by the first encoded word: the charset between "=?"
// and the marker ("?Q?" or "?B?"); 0 when it cannot be read.
int CodePageOfFirstWord(std::string_view text, std::string_view marker)
{
    size_t open = text.find("=?");
    if (open == std::string_view::npos)
        return 0;
    size_t at = FindNoCase(text, marker, open + 2);
    if (at == std::string_view::npos || at - (open + 2) > kMaxWordCharsetLength)
        return 0;
    std::string name(text.substr(open + 2, at - (open + 2)));
    return CharsetNames::CodePageFromName(name.c_str());
}

bool ConvertsToUtf8(int codePage, std::string_view text)
{
    LogNull quiet;
    EncodingConvert conv;
    DataBuffer out;
    // UTF-8 to UTF-8 is a plain copy: check it by decoding it instead.
    int target = codePage == EncodingConvert::kUtf8 ? EncodingConvert::kUtf16Le : EncodingConvert::kUtf8;
    return conv.Convert(codePage, target, text.data(), static_cast<unsigned>(text.size()), out, quiet);
}

// A lead byte C2 or C3 followed by a continuation byte: Latin text in UTF-8.
bool LooksLikeUtf8(std::string_view text)
{
    for (size_t i = 0; i + 1 < text.size(); ++i) {
        auto c = static_cast<unsigned char>(text[i]);
        if ((c == 0xC2 || c == 0xC3) && static_cast<unsigned char>(text[i + 1]) >= 0x80)
            return true;
    }
    return false;
}

// The code page of the header's non-ASCII text: the charset of its encoded
// words, else a guess from its raw 8-bit bytes; 0 when undetermined.
int DetectCodePage(std::string_view text)
{
    // Both markers start with '?', which most headers never hold.
    const bool mayHaveWords = text.find('?') != std::string_view::npos;
    if (mayHaveWords && FindNoCase(text, "?Q?") != std::string_view::npos)
        return CodePageOfFirstWord(text, "?Q?");
    if (mayHaveWords && FindNoCase(text, "?B?") != std::string_view::npos)
        return CodePageOfFirstWord(text, "?B?");
    if (!HasHighByte(text))
        return 0;
    if (LooksLikeUtf8(text))
        return EncodingConvert::kUtf8;
    for (int codePage : {platform::ActiveAnsiCodePage(), EncodingConvert::kLatin1, 28592}) {
        if (ConvertsToUtf8(codePage, text))
            return codePage;
    }
    return 0;
}

bool IsContentType(const MimeField& field) { return field.NameIs("content-type"); }

bool BeginsWithNoCase(const StringBuffer& text, const char* prefix)
{
    std::string_view p(prefix);
    if (static_cast<size_t>(text.GetLength()) < p.size())
        return false;
    std::string_view head(text.GetString(), p.size());
    return FindNoCase(head, p) == 0;
}

} // namespace

// Collects the fields of one header text, joining continuation lines. A
// field of one line is read from the text where it stands; only a joined or
// converted one is copied.
class MimeHeader::Parser {
public:
    explicit Parser(MimeHeader& header) : header_(header) {}

    // False when the text has more than kMaxLines lines.
    bool Run(std::string_view text)
    {
        size_t pos = 0;
        int lines = 0;
        bool complete = true;
        while (pos < text.size()) {
            if (++lines > kMaxLines) {
                complete = false;
                break;
            }
            size_t end = text.find(kCrLf, pos);
            if (end == std::string_view::npos)
                end = text.size();
            TakeLine(text.substr(pos, end - pos));
            pos = end + kCrLf.size();
        }
        EndField();
        KeepLastContentType();
        return complete;
    }

private:
    void TakeLine(std::string_view line)
    {
        if (line.starts_with("From "))
            return;
        if (!line.empty() && (line.front() == ' ' || line.front() == '\t')) {
            line.remove_prefix(1);
            size_t k = line.find_first_not_of(" \t");
            if (k != std::string_view::npos && line.substr(k).starts_with("=?"))
                line.remove_prefix(k);
            if (!joined_)
                joinedText_.assign(field_);
            joinedText_.append(line);
            joined_ = true;
            open_ = true;
            return;
        }
        EndField();
        field_ = line;
        open_ = true;
    }

    void EndField()
    {
        if (!open_)
            return;
        open_ = false;
        std::string_view text = joined_ ? std::string_view(joinedText_) : field_;
        joined_ = false;
        if (HasHighByte(text))
            text = ConvertToUtf8(text);
        std::unique_ptr<MimeField> field = header_.TakeSpareField();
        if (field->ParseReceived(text.data(), static_cast<int>(text.size())))
            header_.fields_.push_back(std::move(field));
        else
            header_.KeepSpareField(std::move(field));
    }

    // The text in UTF-8, held in joinedText_; as it was when it does not convert.
    std::string_view ConvertToUtf8(std::string_view text)
    {
        int from = header_.codePage_ != 0 ? header_.codePage_ : platform::ActiveAnsiCodePage();
        if (from == EncodingConvert::kUtf8)
            return text;
        LogNull quiet;
        EncodingConvert conv;
        DataBuffer out;
        conv.Convert(from, EncodingConvert::kUtf8, text.data(), static_cast<unsigned>(text.size()), out, quiet);
        if (out.IsEmpty())
            return text;
        joinedText_.assign(reinterpret_cast<const char*>(out.Data()), out.Size());
        return joinedText_;
    }

    // A later Content-Type field replaces every earlier one.
    void KeepLastContentType()
    {
        auto& fields = header_.fields_;
        auto last = std::find_if(fields.rbegin(), fields.rend(), [](const auto& f) { return IsContentType(*f); });
        if (last == fields.rend())
            return;
        const MimeField* keep = last->get();
        std::erase_if(fields, [keep](const auto& f) { return f.get() != keep && IsContentType(*f); });
    }

    MimeHeader& header_;
    std::string_view field_;     // the one line of the field being collected
    std::string joinedText_;     // the field with its continuation lines, or converted
    bool joined_ = false;        // the field being collected is joinedText_
    bool open_ = false;          // a field is being collected
};

MimeHeader::MimeHeader() = default;

MimeHeader::MimeHeader(const MimeHeader& other) : ZentrelObject(other) { CopyFrom(other); }

MimeHeader& MimeHeader::operator=(const MimeHeader& other)
{
    if (this != &other)
        CopyFrom(other);
    return *this;
}

MimeHeader::~MimeHeader() = default;

bool MimeHeader::Parse(const char* text, unsigned n, LogBase& log)
{
    Clear();
    if (!text || n == 0)
        return true;
    if (n > kMaxHeaderBytes) {
        log.LogError("Header too large");
        log.LogDataLong("headerSize", n);
        log.LogDataLong("maxHeaderSize", kMaxHeaderBytes);
        return false;
    }
    // The usual header has only CR LF line ends already and is read where it is.
    std::string_view header = HeaderPart(std::string_view(text, n));
    std::string normalised;
    if (!HasCrLfLineEndsOnly(header)) {
        normalised = NormaliseLineEnds(header);
        header = normalised;
    }
    size_t blank = header.find(kBlankLine);
    if (blank != std::string_view::npos)
        header = header.substr(0, blank);
    codePage_ = DetectCodePage(header);
    Parser parser(*this);
    if (parser.Run(header))
        return true;
    log.LogError("Too many header lines");
    log.LogDataLong("maxLines", kMaxLines);
    return false;
}

const MimeField* MimeHeader::FindField(const char* name) const
{
    for (const auto& field : fields_) {
        if (field->NameIs(name))
            return field.get();
    }
    return nullptr;
}

bool MimeHeader::GetField(const char* name, StringBuffer& out) const
{
    const MimeField* field = FindField(name);
    if (!field)
        return false;
    out.AppendBuffer(field->GetValue());
    return true;
}

bool MimeHeader::HasField(const char* name) const { return FindField(name) != nullptr; }

bool MimeHeader::ViewField(const char* name, std::string_view& value) const
{
    const MimeField* field = FindField(name);
    if (!field)
        return false;
    value = std::string_view(field->GetValue().GetString(), static_cast<size_t>(field->GetValue().GetLength()));
    return true;
}

bool MimeHeader::GetFieldParam(const char* fieldName, const char* paramName, StringBuffer& out) const
{
    const MimeField* field = FindField(fieldName);
    if (!field || !paramName || !field->GetValue().ContainsNoCase(paramName))
        return false;
    std::vector<StringBuffer> pieces;
    field->GetValue().Split(pieces, ';', StringBuffer::SplitGuard::QuotesAndBackslash);
    for (const StringBuffer& piece : pieces) {
        if (!piece.HasChar('='))
            continue;
        StringBuffer name, value;
        piece.SplitNameValue(name, value);
        if (name.EqualsNoCase(paramName)) {
            value.Trim();   // white space inside the quotes
            out.AppendBuffer(value);
            return true;
        }
    }
    return false;
}

void MimeHeader::SetField(const char* name, const char* value)
{
    RemoveField(name);
    if (!value)
        return;
    StringBuffer trimmed(value);
    trimmed.Trim();
    if (!trimmed.IsEmpty())
        fields_.push_back(std::make_unique<MimeField>(name, value));
}

void MimeHeader::RemoveField(const char* name)
{
    std::erase_if(fields_, [name](const auto& f) { return f->NameIs(name); });
}

void MimeHeader::AddField(std::unique_ptr<MimeField> field)
{
    if (field)
        fields_.push_back(std::move(field));
}

void MimeHeader::CopyFrom(const MimeHeader& other)
{
    if (this == &other)
        return;
    codePage_ = other.codePage_;
    fields_.clear();
    fields_.reserve(other.fields_.size());
    for (const auto& field : other.fields_)
        fields_.push_back(std::make_unique<MimeField>(*field));
}

void MimeHeader::Clear()
{
    codePage_ = 0;
    for (auto& field : fields_)
        KeepSpareField(std::move(field));
    fields_.clear();
}

std::unique_ptr<MimeField> MimeHeader::TakeSpareField()
{
    if (spare_.empty())
        return std::make_unique<MimeField>();
    std::unique_ptr<MimeField> field = std::move(spare_.back());
    spare_.pop_back();
    return field;
}

void MimeHeader::KeepSpareField(std::unique_ptr<MimeField> field)
{
    if (spare_.size() < kMaxSpareFields)
        spare_.push_back(std::move(field));
}

void MimeHeader::Write(StringBuffer& out, const char* excludedPrefix, int codePage) const
{
    const int cp = codePage != 0 ? codePage : codePage_;
    const bool exclude = excludedPrefix && *excludedPrefix;
    StringBuffer text;
    for (const auto& field : fields_) {
        if (exclude && BeginsWithNoCase(field->GetName(), excludedPrefix))
            continue;
        StringBuffer line;
        field->WriteTo(line, cp);
        line.Trim();
        text.AppendBuffer(line);
        text.Append("\r\n");
    }
    while (text.EndsWith("\r\n"))
        text.DropLast(2);
    out.AppendBuffer(text);
}

void MimeHeader::CollectResponseCookies(std::vector<std::unique_ptr<Cookie>>& list, const char* defaultDomain,
                                        LogBase& log) const
{
    for (const auto& field : fields_) {
        const StringBuffer& name = field->GetName();
        if (!BeginsWithNoCase(name, "Set-Cookie"))
            continue;
        std::unique_ptr<Cookie> cookie =
            Cookie::FromResponseField(name.GetString(), field->GetValue().GetString(), defaultDomain, log);
        if (cookie)
            list.push_back(std::move(cookie));
    }
}

} // namespace plentor
