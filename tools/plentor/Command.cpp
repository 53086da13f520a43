#include "Command.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace plentor::cli {

namespace {

std::vector<const Command*>& Registry()
{
    static std::vector<const Command*> commands;
    return commands;
}

} // namespace

Command::Registrar::Registrar(const Command& command)
{
    auto& all = Registry();
    auto at = std::lower_bound(all.begin(), all.end(), &command,
                               [](const Command* a, const Command* b) { return std::strcmp(a->name, b->name) < 0; });
    all.insert(at, &command);
}

const std::vector<const Command*>& Command::All() { return Registry(); }

const Command* Command::Find(const std::string& name)
{
    for (const Command* c : Registry())
        if (name == c->name)
            return c;
    return nullptr;
}

int UsageError(const Command& command, const std::string& why)
{
    std::fprintf(stderr, "plentor %s: %s\nusage: plentor %s\n", command.name, why.c_str(), command.synopsis);
    return kExitUsage;
}

int Failure(const Command& command, const std::string& why)
{
    std::fprintf(stderr, "plentor %s: %s\n", command.name, why.c_str());
    return kExitFailure;
}

} // namespace plentor::cli
