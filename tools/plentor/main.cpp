// plentor: command-line access to the library's operations.
#include "Command.h"
#include "StandardIo.h"

#include "platform/CommandLine.h"

#include <cstdio>
#include <string>
#include <vector>

using plentor::cli::Command;

namespace {

void PrintOverview(FILE* to)
{
    // The usage lines in the form help2man reads as the man page's synopsis.
    std::fprintf(to, "Usage: plentor COMMAND [ARGS...]\n"
                     "  or:  plentor COMMAND --help\n"
                     "  or:  plentor --version\n\n"
                     "Commands:\n");
    for (const Command* c : Command::All())
        std::fprintf(to, "  %-12s %s\n", c->name, c->summary);
}

void PrintCommandHelp(const Command& c)
{
    std::printf("usage: plentor %s\n\n%s\n", c.synopsis, c.summary);
    if (c.help && *c.help)
        std::printf("\n%s", c.help);
}

} // namespace

int main(int argc, char** argv)
{
    // Commands read and write bytes: page bodies, converted text, XML.
    plentor::cli::PrepareStandardStreams();
    std::vector<std::string> args = plentor::platform::Utf8Arguments(argc, argv);
    if (args.empty()) {
        PrintOverview(stderr);
        return plentor::cli::kExitUsage;
    }
    const std::string name = args.front();
    args.erase(args.begin());
    if (name == "--help" || name == "-h" || name == "help") {
        PrintOverview(stdout);
        return plentor::cli::kExitOk;
    }
    if (name == "--version") {
        std::printf("plentor %s\n", PLENTOR_VERSION);
        return plentor::cli::kExitOk;
    }
    const Command* command = Command::Find(name);
    if (!command) {
        std::fprintf(stderr, "plentor: unknown command '%s'\nusage: plentor COMMAND [ARGS...] (plentor --help lists them)\n",
                     name.c_str());
        return plentor::cli::kExitUsage;
    }
    for (const std::string& a : args) {
        if (a == "--help" || a == "-h") {
            PrintCommandHelp(*command);
            return plentor::cli::kExitOk;
        }
    }
    return command->run(args);
}
