#pragma once

#include <memory>
#include <string>
#include <vector>

namespace plentor::testsupport {

// A program the tests start: a Unix helper (nginx, openssl, python3), named
// by a Unix path, or one of our own Windows programs, named by a local path.
// Its standard input is empty; its output and errors are appended to files
// (local paths; the same file may take both). A child still running when the
// object goes is stopped.
//
// Under Wine a Unix program is started through /bin/sh, which writes the
// program's pid and, when it ends, its exit status into a control folder
// shared with the Unix side (Wine gives no process handle for a Unix
// program). On Windows without Wine no Unix program can start.
class ChildProcess {
public:
    // A status for "did not run to its end": not started, or stopped by us.
    static constexpr int kNoStatus = -1;

    ChildProcess();
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Starts argv (argv[0] a path); false, with Error(), when it could not.
    bool Start(const std::vector<std::string>& argv, const std::string& outFile, const std::string& errFile);
    // Waits at most timeoutMs for the program to end; true when it has ended.
    bool Wait(int timeoutMs);
    // The exit status once ended (128 + the signal when a signal ended a Unix
    // program), else kNoStatus.
    int ExitStatus() const { return status_; }
    bool Running() { return started_ && !Wait(0); }
    // Asks the program to end (TERM), kills it after graceMs; returns once
    // it has ended. Does nothing when none runs.
    void Stop(int graceMs);
    const std::string& Error() const { return error_; }

    // Runs argv to its end within timeoutMs (killed then): its exit status,
    // or kNoStatus when it could not start or was killed.
    static int Run(const std::vector<std::string>& argv, const std::string& outFile, const std::string& errFile,
                   int timeoutMs);

    // The Unix path of the first program called name on the Unix PATH, else
    // the first existing fallback (Unix paths); empty when there is none.
    static std::string FindProgram(const std::string& name, const std::vector<std::string>& fallbacks = {});

private:
    struct State;   // what the platform keeps about a running child
    std::unique_ptr<State> state_;
    bool started_ = false;
    int status_ = kNoStatus;
    std::string error_;
};

} // namespace plentor::testsupport
