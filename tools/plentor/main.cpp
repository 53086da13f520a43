// plentor: command-line access to the library's operations.
#include "Command.h"

#include <cstdio>
#include <string>
#include <vector>

using plentor::cli::Command;

namespace {

void PrintOverview(FILE* to)
{
    std::fprintf(to, "usage: plentor COMMAND [ARGS...]\n"
                     "       plentor COMMAND --help\n\n"
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
    if (argc < 2) {
        PrintOverview(stderr);
        return plentor::cli::kExitUsage;
    }
    std::string name = argv[1];
    if (name == "--help" || name == "-h" || name == "help") {
        PrintOverview(stdout);
        return plentor::cli::kExitOk;
    }
    const Command* command = Command::Find(name);
    if (!command) {
        std::fprintf(stderr, "plentor: unknown command '%s'\nusage: plentor COMMAND [ARGS...] (plentor --help lists them)\n",
                     name.c_str());
        return plentor::cli::kExitUsage;
    }
    std::vector<std::string> args(argv + 2, argv + argc);
    for (const std::string& a : args) {
        if (a == "--help" || a == "-h") {
            PrintCommandHelp(*command);
            return plentor::cli::kExitOk;
        }
    }
    return command->run(args);
}
