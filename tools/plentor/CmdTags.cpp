// plentor tags: suggests tags for an HTML page, as the Delicious object does.
#include "Command.h"
#include "StandardIo.h"

#include "base/LogNull.h"
#include "markup/HtmlParse.h"
#include "services/KeywordExtractor.h"
#include "services/StopWords.h"
#include "services/WordList.h"
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

int RunTags(const std::vector<std::string>& args);

const Command kTags = {
    "tags",
    "tags [FILE] [--charset NAME]",
    "suggest up to ten tags for an HTML page",
    "Reads the page from FILE (or standard input when FILE is absent or \"-\")\n"
    "and prints one line: up to ten suggested tags, separated by spaces, in\n"
    "UTF-8. The tags are frequent words of the page's text outside script and\n"
    "style elements, its title and its keywords and description meta tags,\n"
    "leaving out the built-in stop words, words shorter than three bytes and\n"
    "words with digits; they are listed in a fixed hash order, so a page\n"
    "always gets the same tags. An empty line means no word qualified.\n"
    "\n"
    "The page is taken to be UTF-8. With --charset, its bytes are converted\n"
    "from the named charset (such as windows-1252 or iso-8859-5) first.\n"
    "\n"
    "Exit status: 2 for an unknown charset name or bad arguments; 1 when FILE\n"
    "cannot be read or is larger than the HTML converter accepts.\n",
    RunTags,
};

const Command::Registrar kRegistrar(kTags);

// Tags the Delicious object asks for.
constexpr int kTagCount = 10;

struct TagsArgs {
    std::string file;      // empty or "-": standard input
    std::string charset;   // empty: the page is UTF-8
};

// Fills parsed from args; an empty result means success, otherwise the reason.
std::string ParseArgs(const std::vector<std::string>& args, TagsArgs& parsed)
{
    bool haveFile = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--charset") {
            if (i + 1 >= args.size() || args[i + 1].empty())
                return "--charset needs a charset name";
            parsed.charset = args[++i];
        } else if (a.size() > 1 && a[0] == '-') {
            return "unknown option '" + a + "'";
        } else if (haveFile) {
            return "more than one FILE given";
        } else {
            parsed.file = a;
            haveFile = true;
        }
    }
    return {};
}

int Fail(const std::string& message)
{
    std::fprintf(stderr, "plentor tags: %s\n", message.c_str());
    return kExitFailure;
}

// The page in UTF-8: converted from codePage, or taken as it is for 0.
std::string ToUtf8(const std::vector<uint8_t>& bytes, int codePage)
{
    if (codePage == 0 || codePage == EncodingConvert::kUtf8)
        return std::string(bytes.begin(), bytes.end());
    DataBuffer converted;
    EncodingConvert converter;
    LogNull quiet;   // bytes without a mapping are dropped; the rest of the page still counts
    converter.Convert(codePage, EncodingConvert::kUtf8, bytes.data(), static_cast<unsigned>(bytes.size()),
                      converted, quiet);
    return std::string(reinterpret_cast<const char*>(converted.Data()), converted.Size());
}

int RunTags(const std::vector<std::string>& args)
{
    TagsArgs parsed;
    const std::string why = ParseArgs(args, parsed);
    if (!why.empty())
        return UsageError(kTags, why);
    int codePage = 0;
    if (!parsed.charset.empty()) {
        codePage = CharsetNames::CodePageFromName(parsed.charset.c_str());
        if (codePage == 0 || !EncodingConvert::IsSupported(codePage)) {
            std::fprintf(stderr, "plentor tags: unknown charset '%s'\n", parsed.charset.c_str());
            return kExitUsage;
        }
    }

    // Pages above the HTML converter's limit are refused: reading stops there.
    std::vector<uint8_t> bytes;
    std::string reason;
    if (!ReadInput(parsed.file, HtmlParse::kMaxHtmlBytes, bytes, reason))
        return Fail("cannot read " + InputName(parsed.file) + (reason.empty() ? "" : ": " + reason));
    const std::string page = ToUtf8(bytes, codePage);

    WordList stopList;
    StopWords().AddTo(stopList);
    StringBuffer tags;
    KeywordExtractor::SuggestTagsFromHtml(page, stopList, kTagCount, tags);

    WriteOutput(tags);
    std::fputc('\n', stdout);
    if (std::fflush(stdout) != 0 || std::ferror(stdout))
        return Fail("cannot write the tags");
    return kExitOk;
}

} // namespace

} // namespace plentor::cli
