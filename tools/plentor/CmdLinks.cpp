// plentor links: loads files into one link list, as the Delicious object does.
#include "Command.h"
#include "StandardIo.h"

#include "log/LogEntry2.h"
#include "log/Logger.h"
#include "platform/CommandLine.h"
#include "services/ClsStringArray.h"
#include "text/StringBuffer.h"

#include <cstdio>

namespace plentor::cli {

namespace {

int RunLinks(const std::vector<std::string>& args);

const Command kLinks = {
    "links",
    "links FILE...",
    "load URL list files into one link list and print its entries",
    "Each FILE holds one URL per line, with CR LF or LF line ends; a leading\n"
    "UTF-8 byte-order mark is dropped. The files are loaded in order into one\n"
    "list that keeps each distinct line once: lines are taken exactly as\n"
    "written (spaces included), blank lines are skipped, and a line already in\n"
    "the list is not added again. The entries are printed one per line.\n"
    "\n"
    "A file that cannot be read is reported on stderr and the others are still\n"
    "loaded; the exit status is then 1.\n",
    RunLinks,
};

const Command::Registrar kRegistrar(kLinks);

// Loads one file; on failure reports it on stderr in one line.
bool LoadOne(ClsStringArray& list, const std::string& path)
{
    Logger log;
    if (list.LoadFromFile(platform::FileNameFromUtf8(path).c_str(), log))
        return true;
    const std::string* reason = log.Tree().Root().FindData("reason");
    std::fprintf(stderr, "plentor links: cannot read %s%s%s\n", path.c_str(), reason && !reason->empty() ? ": " : "",
                 reason ? reason->c_str() : "");
    return false;
}

// Writes every entry followed by LF; false when stdout could not take them.
bool PrintEntries(const ClsStringArray& list)
{
    StringBuffer entry;
    for (int i = 0; i < list.Count(); ++i) {
        list.GetString(i, entry);
        WriteOutput(entry);
        std::fputc('\n', stdout);
    }
    return std::fflush(stdout) == 0 && !std::ferror(stdout);
}

int RunLinks(const std::vector<std::string>& args)
{
    if (args.empty())
        return UsageError(kLinks, "no FILE given");
    for (const std::string& a : args)
        if (!a.empty() && a[0] == '-')
            return UsageError(kLinks, "unknown option '" + a + "'");

    // The settings of the Delicious object's list.
    ClsStringArray list;
    list.SetUnique(true);
    list.SetTrim(false);
    list.SetCrlf(true);

    bool allRead = true;
    for (const std::string& path : args)
        allRead = LoadOne(list, path) && allRead;
    if (!PrintEntries(list)) {
        std::fprintf(stderr, "plentor links: cannot write the entries\n");
        return kExitFailure;
    }
    return allRead ? kExitOk : kExitFailure;
}

} // namespace

} // namespace plentor::cli
