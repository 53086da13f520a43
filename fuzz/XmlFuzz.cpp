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

// Whether the written text is one the fixed-point check holds for. Left out
// until the loader and the writer agree on them: a document declared UTF-7
// (the writer encodes the markup characters too, "<" as "+ADw-", so the text
// does not load back), and a declaration naming "encoding" more than once,
// such as inside another pseudo-attribute's value (the loader's look-up of
// the declared encoding does not skip values the way the parser does).
bool Checkable(const DataBuffer& written)
{
    const std::string_view text(reinterpret_cast<const char*>(written.Data()), written.Size());
    if (text.starts_with("+ADw-"))
        return false;
    const std::string_view declaration = text.substr(0, text.find("?>"));
    const size_t first = declaration.find("encoding");
    return first == std::string_view::npos || declaration.find("encoding", first + 1) == std::string_view::npos;
}

DataBuffer Written(ClsXml& xml)
{
    DataBuffer out;
    xml.GetXmlBytes(out);
    return out;
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

    const DataBuffer first = Written(xml);
    if (!Checkable(first))
        return 0;
    // An element whose name the parser kept as "?xml..." is written as a
    // declaration and does not load back either (reported, not yet fixed).
    ClsXml again;
    if (!again.LoadXmlBytes(first.Data(), first.Size(), mode))
        return 0;
    if (mode == XmlParser::TextMode::Keep)
        return 0;
    const DataBuffer second = Written(again);
    ClsXml third;
    Require(third.LoadXmlBytes(second.Data(), second.Size(), mode));
    const DataBuffer last = Written(third);
    Require(last.Equals(second.Data(), second.Size()));
    return 0;
}
