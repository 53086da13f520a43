// HTML to XML, checked by libxml2 for well-formedness when it is there, the
// page text read straight from the converter against the document's, and
// the readers of raw HTML: title, meta tags, attributes, tag lists, links.

#include "FuzzInput.h"

#include "base/LogNull.h"
#include "markup/ClsHtmlToXml.h"
#include "markup/ClsXml.h"
#include "markup/Html.h"
#include "markup/HtmlHelp.h"
#include "markup/HtmlPageText.h"
#include "markup/XmlRepair.h"
#include "services/ClsHtmlUtil.h"
#include "services/ClsStringArray.h"
#include "text/StringBuffer.h"

#include <string>
#include <vector>

#if PLENTOR_FUZZ_LIBXML2
#include <libxml/parser.h>
#endif

using namespace plentor;
using namespace plentor::fuzz;

namespace {

enum class Mode { ToXml, Readers, TagLists, Repair, Count };

// Whether a strict XML parser reads the converter's output.
bool WellFormed(const StringBuffer& xml)
{
#if PLENTOR_FUZZ_LIBXML2
    const int options = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_HUGE;
    xmlDocPtr doc = xmlReadMemory(xml.GetString(), xml.GetLength(), "page.xml", nullptr, options);
    if (!doc)
        return false;
    xmlFreeDoc(doc);
#else
    (void)xml;
#endif
    return true;
}

void ToXml(FuzzInput& in)
{
    const uint8_t flags = in.Byte();
    const std::string_view html = in.Rest();
    ClsHtmlToXml converter;
    converter.SetHtml(html, (flags & 1) ? ClsHtmlToXml::TextForm::Ansi : ClsHtmlToXml::TextForm::Utf8);
    StringBuffer xml;
    Require(converter.ToXml(xml));
    Require(WellFormed(xml));
    ClsXml facade;
    Require(facade.LoadXml(xml));
    Require(facade.TagName() == StringBuffer("root"));
    if (flags & 1)
        return;
    // Page info reads the text straight from the converter: it must be the document's.
    StringBuffer text;
    facade.GetTextOfTag("text", text, "script|style");
    StringBuffer collected;
    LogNull log;
    Require(HtmlPageText::Collect(html, "script|style", collected, log));
    Require(collected == text);
}

void Readers(FuzzInput& in)
{
    const std::string name(in.Piece('\n').substr(0, 64));
    const std::string_view html = in.Rest();
    StringBuffer out;
    HtmlHelp::GetTitle(html, out);
    HtmlHelp::GetMetaContent(html, name, out);
    HtmlHelp::GetMetaContent(html, "description", out);
    HtmlHelp::GetMetaCharset(html, out);
    HtmlHelp::GetMetaCharsetAttribute(html, out);
    HtmlHelp::GetAttribute(html, name, out);
    HtmlHelp::GetAttribute(html, "href", out);
    LogNull log;
    HtmlHelp::CleanTag(html, out, &log);
    for (auto quotes : {HtmlHelp::Quotes::Always, HtmlHelp::Quotes::NotAfterClose}) {
        std::vector<std::string_view> tags;
        HtmlHelp::FindTags(html, "<a ", quotes, tags);
        for (size_t i = 1; i < tags.size(); ++i)
            Require(tags[i - 1].data() + tags[i - 1].size() <= tags[i].data());   // never overlapping
    }
}

void TagLists(FuzzInput& in)
{
    const uint8_t flags = in.Byte();
    const std::string pageUrl = CString(in.Piece('\n'));
    const std::string_view html = in.Rest();
    Html page;
    page.SetHtml(html);
    std::vector<StringBuffer> list;
    page.GetTags((flags & 1) ? "img" : "a", (flags & 2) ? Html::TagForm::Cleaned : Html::TagForm::Raw, list);
    page.GetLinks(list);
    ClsStringArray links;
    ClsHtmlUtil::ExtractPageLinks(pageUrl.c_str(), html, links, (flags & 4) ? "example" : "");
}

void Repair(FuzzInput& in)
{
    const auto encoding = (in.Byte() & 1) ? XmlRepair::Encoding::Ansi : XmlRepair::Encoding::Utf8;
    const std::string_view text = in.Rest();
    std::string repaired;
    if (XmlRepair::RepairText(text, encoding, repaired)) {
        std::string twice;
        Require(!XmlRepair::RepairText(repaired, encoding, twice));   // once repaired, nothing left to do
    }
    std::string name(text.substr(0, 256));
    XmlRepair::RepairName(name, encoding);
    Require(XmlRepair::IsName(name));
    std::string value(text);
    XmlRepair::RepairReferences(value);
    Require(XmlRepair::HasOnlyGoodReferences(value));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput in(data, size);
    switch (static_cast<Mode>(in.Pick(static_cast<unsigned>(Mode::Count)))) {
    case Mode::ToXml:
        ToXml(in);
        break;
    case Mode::Readers:
        Readers(in);
        break;
    case Mode::TagLists:
        TagLists(in);
        break;
    default:
        Repair(in);
        break;
    }
    return 0;
}
