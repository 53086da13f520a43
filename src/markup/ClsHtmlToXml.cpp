#include "markup/ClsHtmlToXml.h"

#include "markup/HtmlHelp.h"
#include "markup/XmlRepair.h"
#include "markup/TreeNode.h"
#include "markup/XmlWriter.h"
#include "platform/CodePage.h"
#include "text/CharsetNames.h"
#include "text/EncodingConvert.h"

namespace plentor {

namespace {

constexpr std::string_view kBareAnchorLower = "<a>";
constexpr std::string_view kBareAnchorUpper = "<A>";
constexpr std::string_view kAnchorEnd = "</a>";

} // namespace

void ClsHtmlToXml::SetHtml(std::string_view html, TextForm form)
{
    form_ = form;
    html_.clear();
    refusedSize_ = 0;
    if (html.size() > HtmlParse::kMaxHtmlBytes) {
        refusedSize_ = html.size();   // no copy of a page that ToXml would refuse
        return;
    }
    if (!EndBareAnchors(html, html_))
        html_.assign(html);
}

bool ClsHtmlToXml::EndBareAnchors(std::string_view html, std::string& out)
{
    size_t done = 0;
    for (size_t lt = html.find('<'); lt != std::string_view::npos; lt = html.find('<', lt + 1)) {
        const std::string_view at = html.substr(lt, kBareAnchorLower.size());
        if (at != kBareAnchorLower && at != kBareAnchorUpper)
            continue;
        if (done == 0) {
            out.clear();
            out.reserve(html.size());
        }
        out.append(html.substr(done, lt - done));
        out.append(kAnchorEnd);
        done = lt + kBareAnchorLower.size();
    }
    if (done == 0)
        return false;
    out.append(html.substr(done));
    return true;
}

int ClsHtmlToXml::TextCodePage() const
{
    if (form_ == TextForm::Utf8)
        return EncodingConvert::kUtf8;
    const int ansi = platform::ActiveAnsiCodePage();
    return ansi == EncodingConvert::kUsAscii ? EncodingConvert::kLatin1 : ansi;
}

// The declaration must name the encoding the text is really in: a meta
// charset naming another one (the page was converted to UTF-8 on its way
// here) would make an XML reader decode the text wrongly.
void ClsHtmlToXml::ChooseEncoding(int codePage, StringBuffer& name) const
{
    if (!charset_.IsEmpty()) {
        name.SetFromBuffer(charset_);
        return;
    }
    StringBuffer meta;
    HtmlHelp::GetMetaCharset(html_, meta);
    meta.Trim();
    // The name goes into the declaration as it stands, so it must be a plain
    // name: CodePageFromName reads only up to a zero byte.
    const std::string_view metaName(meta.GetString(), static_cast<size_t>(meta.GetLength()));
    if (!meta.IsEmpty() && XmlRepair::IsName(metaName) &&
        CharsetNames::CodePageFromName(meta.GetString()) == codePage) {
        name.SetFromBuffer(meta);
        return;
    }
    if (!CharsetNames::CanonicalName(codePage, name))
        name.SetString("utf-8");
}

bool ClsHtmlToXml::ToXml(StringBuffer& out)
{
    LogContext context(log_, "ToXml");
    out.Clear();
    const int codePage = TextCodePage();
    TreeNodePtr root;
    if (refusedSize_ > 0) {
        log_.LogError("HTML text too large");
        log_.LogDataLong("size", static_cast<int64_t>(refusedSize_));
        log_.LogDataLong("maxSize", static_cast<int64_t>(HtmlParse::kMaxHtmlBytes));
    } else {
        root = parser_.Convert(html_, codePage, log_);
    }
    if (!root) {
        log_.LogError("Failed to parse HTML");
        return false;
    }
    StringBuffer encoding;
    ChooseEncoding(codePage, encoding);
    root->SetDeclarationAttr("encoding", std::string_view(encoding.GetString(), encoding.GetLength()));
    XmlWriter::Write(*root, out, written_);
    if (written_.capacity() > kKeptScratchBytes)
        written_ = std::string();   // a rare huge page does not pin its size
    return true;
}

} // namespace plentor
