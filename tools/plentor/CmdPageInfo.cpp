// plentor page-info: derives a bookmark's title, description and tags from a page.
#include "Command.h"
#include "StandardIo.h"

#include "services/DeliciousClient.h"
#include "text/StringBuffer.h"
#include "text/XString.h"

#include <cstdio>
#include <string>

namespace plentor::cli {

namespace {

int RunPageInfo(const std::vector<std::string>& args);

const Command kPageInfo = {
    "page-info",
    "page-info URL",
    "fetch a page and derive a bookmark's title, description and tags",
    "Fetches URL as the Delicious object does and prints, in UTF-8:\n"
    "\n"
    "  title: the page title, white space collapsed (on a few dictionary\n"
    "         sites cut before its first \"-\" and capitalised)\n"
    "  extended: the content of the description meta tag\n"
    "  tags: up to ten suggested tags, separated by spaces\n"
    "  link: one line per link of the page to its own site, made absolute,\n"
    "        each distinct link once, in document order\n"
    "\n"
    "Exit status: 0 when the page was fetched; 1 when it could not be fetched\n"
    "or answered with status 400 or above; 2 for bad arguments.\n",
    RunPageInfo,
};

const Command::Registrar kRegistrar(kPageInfo);

void PrintLine(const char* key, const StringBuffer& value)
{
    std::printf("%s: ", key);
    WriteOutput(value);
    std::fputc('\n', stdout);
}

int RunPageInfo(const std::vector<std::string>& args)
{
    if (args.size() != 1) return UsageError(kPageInfo, args.empty() ? "no URL given" : "more than one argument");
    if (args[0].empty() || args[0][0] == '-') return UsageError(kPageInfo, "unknown option '" + args[0] + "'");
    // The client takes the URL as the object hands it over: in the active ANSI code page.
    XString url;
    url.SetUtf8(args[0].c_str());
    if (!url.IsAnsiExact()) return UsageError(kPageInfo, "the URL does not fit the active code page");

    DeliciousClient client;
    StringBuffer title, extended, tags;
    if (!client.FetchPageInfo(url.GetAnsi(), title, extended, tags)) {
        const int status = client.GetLastFetchStatus();
        const std::string why = status != 0 ? "status " + std::to_string(status) : "no reply";
        std::fprintf(stderr, "plentor page-info: cannot fetch %s (%s)\n", args[0].c_str(), why.c_str());
        return kExitFailure;
    }
    PrintLine("title", title);
    PrintLine("extended", extended);
    PrintLine("tags", tags);
    StringBuffer link;
    for (int i = 0; i < client.Links().Count(); ++i) {
        client.Links().GetString(i, link);
        PrintLine("link", link);
    }
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "plentor page-info: cannot write the result\n");
        return kExitFailure;
    }
    return kExitOk;
}

} // namespace

} // namespace plentor::cli
