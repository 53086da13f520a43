#pragma once

#include <string>
#include <vector>

namespace plentor::cli {

// Exit codes shared by every command.
constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;   // the operation failed
constexpr int kExitUsage = 2;     // unknown command, flag or malformed arguments

// One subcommand of the plentor tool. Each command lives in its own source
// file and registers itself with a static Command::Registrar.
struct Command {
    const char* name;
    const char* synopsis;   // "links FILE..."
    const char* summary;    // one line for the command list
    const char* help;       // the text of `plentor COMMAND --help`, after the usage line
    int (*run)(const std::vector<std::string>& args);

    struct Registrar {
        explicit Registrar(const Command& command);
    };

    static const std::vector<const Command*>& All();
    static const Command* Find(const std::string& name);
};

// Prints "usage: plentor SYNOPSIS" to stderr and returns kExitUsage.
int UsageError(const Command& command, const std::string& why);

// Prints "plentor NAME: WHY" to stderr and returns kExitFailure.
int Failure(const Command& command, const std::string& why);

} // namespace plentor::cli
