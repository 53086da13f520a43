#include "support/ChildProcess.h"

namespace plentor::testsupport {

// The same on every system: what differs is in posix/ and win32/.
int ChildProcess::Run(const std::vector<std::string>& argv, const std::string& outFile, const std::string& errFile,
                      int timeoutMs)
{
    ChildProcess child;
    if (!child.Start(argv, outFile, errFile)) return kNoStatus;
    if (child.Wait(timeoutMs)) return child.ExitStatus();
    child.Stop(0);
    return kNoStatus;
}

} // namespace plentor::testsupport
