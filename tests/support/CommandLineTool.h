#pragma once

#include <string>
#include <vector>

namespace plentor::testsupport {

// The command-line tool (tools/plentor, plentor.exe in the Windows build),
// run once with the given arguments and an empty standard input.
class CommandLineTool {
public:
    struct Result {
        int exitStatus = -1;   // -1 when it could not run or had to be killed
        std::string out;       // standard output, byte for byte
    };

    static Result Run(const std::vector<std::string>& arguments);
    // The arguments of a command written as words separated by single spaces.
    static Result Run(const std::string& words);
};

} // namespace plentor::testsupport
