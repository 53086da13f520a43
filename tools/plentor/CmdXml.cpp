// plentor xml: loads an XML document and writes it back with the library's writer.
#include "Command.h"
#include "StandardIo.h"

#include "log/LogEntry2.h"
#include "markup/ClsXml.h"
#include "platform/CommandLine.h"
#include "text/DataBuffer.h"

#include <cstdio>
#include <cstdint>
#include <string>
#include <vector>

namespace plentor::cli {

namespace {

int RunXml(const std::vector<std::string>& args);

const Command kXml = {
    "xml",
    "xml [--keep] [FILE]",
    "load an XML document and write it back",
    "Reads FILE (or standard input when FILE is absent or \"-\") the way the\n"
    "library loads XML files: a UTF-16 or UTF-8 byte-order mark, or else the\n"
    "encoding named in the XML declaration, brings the bytes to UTF-8. The\n"
    "document is parsed leniently (unclosed elements are closed, the last\n"
    "complete top-level element wins) and written to standard output as the\n"
    "library saves it: with a declaration, in the encoding it names, one\n"
    "element per line, CR LF line ends.\n"
    "\n"
    "Text runs lose their surrounding whitespace unless --keep is given.\n"
    "Input that holds no element at all is an error (exit status 1).\n",
    RunXml,
};

const Command::Registrar kRegistrar(kXml);

int Fail(const std::string& message)
{
    std::fprintf(stderr, "plentor xml: %s\n", message.c_str());
    return kExitFailure;
}

int RunXml(const std::vector<std::string>& args)
{
    XmlParser::TextMode mode = XmlParser::TextMode::Trim;
    std::string path;
    for (const std::string& a : args) {
        if (a == "--keep")
            mode = XmlParser::TextMode::Keep;
        else if (a.size() > 1 && a[0] == '-')
            return UsageError(kXml, "unknown option '" + a + "'");
        else if (!path.empty())
            return UsageError(kXml, "more than one FILE given");
        else
            path = a;
    }
    ClsXml xml;
    bool loaded;
    if (IsStandardInput(path)) {
        std::vector<uint8_t> bytes;
        std::string reason;
        if (!ReadStandardInput(ClsXml::kMaxFileBytes, bytes, reason))
            return Fail("cannot read standard input: " + reason);
        loaded = xml.LoadXmlBytes(bytes.data(), bytes.size(), mode);
    } else {
        loaded = xml.LoadXmlFile(platform::FileNameFromUtf8(path).c_str(), mode);
        if (const std::string* reason = xml.Log().Tree().Root().FindData("reason"); !loaded && reason)
            return Fail("cannot read " + path + (reason->empty() ? "" : ": " + *reason));
    }
    if (!loaded)
        return Fail("no XML element in " + InputName(path));

    DataBuffer out;
    if (!xml.GetXmlBytes(out))
        return Fail("cannot convert the document to the charset its declaration names");
    WriteOutput(out);
    if (std::fflush(stdout) != 0 || std::ferror(stdout))
        return Fail("cannot write the document");
    return kExitOk;
}

} // namespace

} // namespace plentor::cli
