// The XML model: load bytes (byte-order mark or declared encoding), walk and
// edit the tree, write it and load what was written. In trim mode a document
// the model wrote loads again and is written the same way (in keep mode the
// line breaks the writer adds become text).

#include "FuzzInput.h"

#include "markup/ClsXml.h"
#include "markup/XmlParser.h"
#include "text/DataBuffer.h"
#include "text/StringBuffer.h"

#include <memory>
#include <string>
#include <string_view>

using namespace plentor;
using namespace plentor::fuzz;

namespace {

// Visits every element breadth first down to a bounded number, reading
// what the callers read.
void Walk(ClsXml& xml)
{
    StringBuffer text;
    xml.GetTextOfTag("text", text, "script|style");
    int visited = 0;
    std::unique_ptr<ClsXml> child = xml.FirstChild();
    while (child && ++visited < 1000) {
        StringBuffer value;
        child->AttrValue("name", value);
        child->AttrValueInt("count");
        child->TagName();
        child->Content();
        child->NumChildren();
        if (!child->MoveToNextSibling())
            break;
    }
    xml.FindChildByAttr("cookie", "key", "*example*");
}

// The document's bytes in its declared encoding; false when some text has
// no form in that encoding (the writer then fails, and nothing is checked).
bool Written(ClsXml& xml, DataBuffer& out)
{
    out.Clear();
    return xml.GetXmlBytes(out);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput in(data, size);
    const uint8_t flags = in.Byte();
    const auto mode = (flags & 1) ? XmlParser::TextMode::Keep : XmlParser::TextMode::Trim;
    const std::string edit = CString(in.Piece('\n'));
    const std::string_view document = in.Rest();

    ClsXml xml;
    if (!xml.LoadXmlBytes(document.data(), document.size(), mode))
        return 0;
    Walk(xml);
    if (flags & 2) {
        std::unique_ptr<ClsXml> added = xml.NewChild("edit", edit.c_str());
        added->SetAttr("value", edit.c_str());
        added->ReplaceAttrInt("n", static_cast<int>(size));
    }
    if (flags & 4)
        ClsXml::WildcardMatch(document.substr(0, 200), edit);

    DataBuffer first;
    if (!Written(xml, first))
        return 0;
    ClsXml again;
    Require(again.LoadXmlBytes(first.Data(), first.Size(), mode));
    if (mode == XmlParser::TextMode::Keep)
        return 0;
    DataBuffer second;
    Require(Written(again, second));
    ClsXml third;
    Require(third.LoadXmlBytes(second.Data(), second.Size(), mode));
    DataBuffer last;
    Require(Written(third, last));
    Require(last.Equals(second.Data(), second.Size()));
    return 0;
}
