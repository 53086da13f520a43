#include "platform/CommandLine.h"

namespace plentor::platform {

std::vector<std::string> Utf8Arguments(int argc, char** argv)
{
    if (argc < 1 || argv == nullptr)
        return {};
    return std::vector<std::string>(argv + 1, argv + argc);
}

std::string FileNameFromUtf8(const std::string& utf8) { return utf8; }

} // namespace plentor::platform
