// plentor html2xml: converts an HTML page to the library's XML form.
#include "Command.h"
#include "StandardIo.h"

#include "base/LogNull.h"
#include "markup/ClsHtmlToXml.h"
#include "markup/HtmlHelp.h"
#include "text/CharsetNames.h"
#include "text/DataBuffer.h"
#include "text/EncodingConvert.h"
#include "text/StringBuffer.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace plentor::cli {

namespace {

int RunHtml2xml(const std::vector<std::string>& args);

const Command kHtml2xml = {
    "html2xml",
    "html2xml [FILE]",
    "convert an HTML page to XML",
    "Reads the page from FILE (or standard input when FILE is absent or \"-\")\n"
    "and writes it to standard output as the library's HTML converter renders\n"
    "it: one root element \"root\", the page's elements below it, every run of\n"
    "text in an element \"text\", script code and numeric character references\n"
    "in CDATA sections, inline formatting tags (b, i, font, ...) dropped, and\n"
    "the end tags a page may leave out supplied. CR LF line ends.\n"
    "\n"
    "A page whose content-type meta tag names a charset other than UTF-8 is\n"
    "converted from that charset first; the XML is always UTF-8.\n",
    RunHtml2xml,
};

const Command::Registrar kRegistrar(kHtml2xml);

int Fail(const std::string& message)
{
    std::fprintf(stderr, "plentor html2xml: %s\n", message.c_str());
    return kExitFailure;
}

// The converter reads UTF-8: a page declaring another charset is brought to
// UTF-8 first, as the HTTP facade does with the pages it fetches.
void ToUtf8(std::string& page)
{
    StringBuffer charset;
    HtmlHelp::GetMetaCharset(page, charset);
    if (charset.IsEmpty())
        HtmlHelp::GetMetaCharsetAttribute(page, charset);
    const int codePage = CharsetNames::CodePageFromName(charset.GetString());
    if (codePage == 0 || codePage == EncodingConvert::kUtf8 || codePage == EncodingConvert::kUsAscii)
        return;
    DataBuffer converted;
    EncodingConvert converter;
    LogNull quiet;   // characters without a mapping are dropped; the rest of the page still converts
    converter.Convert(codePage, EncodingConvert::kUtf8, page.data(), static_cast<unsigned>(page.size()), converted,
                      quiet);
    if (converted.Size() > 0)
        page.assign(reinterpret_cast<const char*>(converted.Data()), converted.Size());
}

int RunHtml2xml(const std::vector<std::string>& args)
{
    std::string path;
    for (const std::string& a : args) {
        if (a.size() > 1 && a[0] == '-')
            return UsageError(kHtml2xml, "unknown option '" + a + "'");
        if (!path.empty())
            return UsageError(kHtml2xml, "more than one FILE given");
        path = a;
    }
    // The converter refuses pages above its limit: reading stops there.
    std::vector<uint8_t> bytes;
    std::string reason;
    if (!ReadInput(path, HtmlParse::kMaxHtmlBytes, bytes, reason))
        return Fail("cannot read " + InputName(path) + (reason.empty() ? "" : ": " + reason));
    std::string page(bytes.begin(), bytes.end());
    ToUtf8(page);

    ClsHtmlToXml converter;
    converter.SetHtml(page);
    StringBuffer xml;
    if (!converter.ToXml(xml))
        return Fail("cannot convert " + InputName(path));
    WriteOutput(xml);
    if (std::fflush(stdout) != 0 || std::ferror(stdout))
        return Fail("cannot write the XML");
    return kExitOk;
}

} // namespace

} // namespace plentor::cli
