#include "support/CommandLineTool.h"

#include "support/ChildProcess.h"
#include "support/TempDirectory.h"

#include <fstream>
#include <sstream>

namespace plentor::testsupport {
namespace {

// The tool's network commands talk to loopback servers that answer at once;
// the bound only stops a wedged run.
constexpr int kToolTimeoutMs = 60000;

} // namespace

CommandLineTool::Result CommandLineTool::Run(const std::vector<std::string>& arguments)
{
    Result result;
    TempDirectory dir("plentor-cli-");
    if (dir.Path().empty()) return result;
    std::vector<std::string> argv{PLENTOR_CLI};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    result.exitStatus = ChildProcess::Run(argv, dir.File("out"), dir.File("err"), kToolTimeoutMs);
    std::ifstream in(dir.File("out"), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    result.out = text.str();
    return result;
}

CommandLineTool::Result CommandLineTool::Run(const std::string& words)
{
    std::vector<std::string> arguments;
    std::istringstream in(words);
    for (std::string word; std::getline(in, word, ' ');) {
        if (!word.empty()) arguments.push_back(word);
    }
    return Run(arguments);
}

} // namespace plentor::testsupport
