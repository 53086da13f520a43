#include "support/ChildProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <sstream>
#include <thread>

namespace plentor::testsupport {
namespace {

constexpr int kPollMs = 5;

bool IsExecutable(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

int StatusOf(int waitStatus)
{
    if (WIFEXITED(waitStatus)) return WEXITSTATUS(waitStatus);
    if (WIFSIGNALED(waitStatus)) return 128 + WTERMSIG(waitStatus);
    return ChildProcess::kNoStatus;
}

// Runs in the forked child: only async-signal-safe calls until exec.
[[noreturn]] void BecomeProgram(char* const* argv, const char* outFile, const char* errFile, pid_t parent)
{
    // A test process that dies must not leave its helpers behind.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent) ::_exit(127);
    const int in = ::open("/dev/null", O_RDONLY);
    const int out = ::open(outFile, O_WRONLY | O_CREAT | O_APPEND, 0600);
    const int err = *errFile == '\0' ? out : ::open(errFile, O_WRONLY | O_CREAT | O_APPEND, 0600);
    if (in >= 0) ::dup2(in, STDIN_FILENO);
    if (out >= 0) ::dup2(out, STDOUT_FILENO);
    if (err >= 0) ::dup2(err, STDERR_FILENO);
    ::execv(argv[0], argv);
    ::_exit(127);
}

} // namespace

struct ChildProcess::State {
    pid_t pid = -1;
};

ChildProcess::ChildProcess() : state_(std::make_unique<State>()) {}

ChildProcess::~ChildProcess() { Stop(0); }

bool ChildProcess::Start(const std::vector<std::string>& argv, const std::string& outFile, const std::string& errFile)
{
    if (started_ || argv.empty()) {
        error_ = started_ ? "already started" : "no program";
        return false;
    }
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    // The same file for both streams is opened once, so the two do not
    // overwrite each other's output.
    const std::string errPath = errFile == outFile ? std::string() : errFile;
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid < 0) {
        error_ = "fork failed";
        return false;
    }
    if (pid == 0) BecomeProgram(args.data(), outFile.c_str(), errPath.c_str(), parent);
    state_->pid = pid;
    started_ = true;
    status_ = kNoStatus;
    return true;
}

bool ChildProcess::Wait(int timeoutMs)
{
    if (!started_) return true;
    for (int waited = 0;; waited += kPollMs) {
        int waitStatus = 0;
        if (::waitpid(state_->pid, &waitStatus, WNOHANG) == state_->pid) {
            status_ = StatusOf(waitStatus);
            state_->pid = -1;
            started_ = false;
            return true;
        }
        if (waited >= timeoutMs) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
    }
}

void ChildProcess::Stop(int graceMs)
{
    if (!started_ || Wait(0)) return;
    ::kill(state_->pid, SIGTERM);
    if (Wait(graceMs)) return;
    ::kill(state_->pid, SIGKILL);
    int waitStatus = 0;
    ::waitpid(state_->pid, &waitStatus, 0);
    status_ = StatusOf(waitStatus);
    state_->pid = -1;
    started_ = false;
}

std::string ChildProcess::FindProgram(const std::string& name, const std::vector<std::string>& fallbacks)
{
    if (const char* path = std::getenv("PATH")) {
        std::istringstream dirs(path);
        std::string dir;
        while (std::getline(dirs, dir, ':')) {
            if (!dir.empty() && IsExecutable(dir + "/" + name)) return dir + "/" + name;
        }
    }
    for (const std::string& candidate : fallbacks) {
        if (IsExecutable(candidate)) return candidate;
    }
    return std::string();
}

} // namespace plentor::testsupport
