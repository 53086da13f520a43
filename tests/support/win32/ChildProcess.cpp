#include "support/ChildProcess.h"

#include "support/TempDirectory.h"
#include "support/UnixHost.h"

#include <windows.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>
#include <thread>

namespace plentor::testsupport {
namespace {

constexpr int kPollMs = 5;
// The shell writes the pid before anything else; a kill must find it soon.
constexpr int kPidWaitMs = 5000;
// After a KILL the shell notes the end at once.
constexpr int kKillWaitMs = 5000;
// `command -v` answers at once; the bound stops a wedged shell.
constexpr int kFindTimeoutMs = 10000;

std::wstring Widen(const std::string& text, UINT codePage)
{
    const int n = MultiByteToWideChar(codePage, 0, text.c_str(), -1, nullptr, 0);
    if (n <= 0) return std::wstring();
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(codePage, 0, text.c_str(), -1, wide.data(), n);
    wide.resize(static_cast<size_t>(n - 1));
    return wide;
}

// One argument as CommandLineToArgvW (and Wine, for a Unix program) splits
// it back: quoted, with backslashes doubled only before a quote.
std::string QuoteForWindows(const std::string& arg)
{
    if (!arg.empty() && arg.find_first_of(" \t\n\v\"") == std::string::npos) return arg;
    std::string out = "\"";
    size_t backslashes = 0;
    for (char c : arg) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        out.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, '\\');
    return out + "\"";
}

// One word for /bin/sh.
std::string QuoteForShell(const std::string& arg)
{
    std::string out = "'";
    for (char c : arg) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

std::string ReadSmallFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// A number the shell wrote on a line of its own; -1 until the line is complete.
long ReadNumberLine(const std::string& path)
{
    const std::string text = ReadSmallFile(path);
    if (text.empty() || text.back() != '\n') return -1;
    return std::strtol(text.c_str(), nullptr, 10);
}

// Starts a program without handles to keep: a Unix program under Wine gives
// none anyway.
bool Launch(const std::string& commandLine, const std::string& directory, bool inheritHandles, STARTUPINFOW& startup,
            PROCESS_INFORMATION& info)
{
    std::wstring line = Widen(commandLine, CP_UTF8);
    const std::wstring dir = Widen(directory, CP_ACP);
    startup.cb = sizeof startup;
    return CreateProcessW(nullptr, line.data(), nullptr, nullptr, inheritHandles, CREATE_NO_WINDOW, nullptr,
                          dir.empty() ? nullptr : dir.c_str(), &startup, &info) != 0;
}

bool LaunchShell(const std::string& script, const std::string& directory)
{
    STARTUPINFOW startup{};
    PROCESS_INFORMATION info{};
    if (!Launch("/bin/sh -c " + QuoteForWindows(script), directory, false, startup, info)) return false;
    if (info.hProcess != nullptr) CloseHandle(info.hProcess);
    if (info.hThread != nullptr) CloseHandle(info.hThread);
    return true;
}

// A Unix process that lives as long as this test run: Z:\proc\self names the
// process that opens our files, which is the wineserver (or, in a Wine that
// opens files in-process, the test itself). 0 when unknown.
long SessionPid()
{
    static const long pid = std::strtol(ReadSmallFile(UnixHost::LocalPath("/proc/self/stat")).c_str(), nullptr, 10);
    return pid;
}

// The shell script that runs a Unix program: it notes the program's pid,
// kills the program should the test run end without stopping it, and notes
// the exit status when it ends.
std::string WrapperScript(const std::vector<std::string>& argv, const std::string& out, const std::string& err,
                          const std::string& control)
{
    std::string command;
    for (const std::string& a : argv) command += QuoteForShell(a) + " ";
    command += ">>" + QuoteForShell(out) + (err == out ? " 2>&1" : " 2>>" + QuoteForShell(err));
    std::string script = "exec </dev/null >>" + QuoteForShell(control + "/shell.log") + " 2>&1; " + command +
                         " & child=$!; echo $child >" + QuoteForShell(control + "/pid") + "; ";
    if (SessionPid() > 0) {
        script += "( while kill -0 " + std::to_string(SessionPid()) +
                  " 2>/dev/null; do sleep 1; done; kill -KILL $child ) & dog=$!; wait $child; status=$?; "
                  "kill $dog 2>/dev/null; ";
    } else {
        script += "wait $child; status=$?; ";
    }
    return script + "echo $status >" + QuoteForShell(control + "/status");
}

HANDLE OpenForChild(const std::string& path, DWORD access, DWORD disposition)
{
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    return CreateFileW(Widen(path, CP_ACP).c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                       &inherit, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

void CloseIfOpen(HANDLE h)
{
    if (h != nullptr && h != INVALID_HANDLE_VALUE) CloseHandle(h);
}

} // namespace

struct ChildProcess::State {
    HANDLE process = nullptr;                  // a Windows program
    std::unique_ptr<TempDirectory> control;    // a Unix program: where its shell writes pid and status

    bool IsUnix() const { return control != nullptr; }
    std::string ControlFile(const char* name) const { return control->File(name); }
};

ChildProcess::ChildProcess() : state_(std::make_unique<State>()) {}

ChildProcess::~ChildProcess() { Stop(0); }

bool ChildProcess::Start(const std::vector<std::string>& argv, const std::string& outFile, const std::string& errFile)
{
    if (started_ || argv.empty()) {
        error_ = started_ ? "already started" : "no program";
        return false;
    }
    status_ = kNoStatus;
    if (argv[0].rfind('/', 0) == 0) {
        if (!UnixHost::Reachable()) {
            error_ = "Unix programs start only under Wine, not on Windows itself";
            return false;
        }
        state_->control = std::make_unique<TempDirectory>("plentor-child-", TempDirectory::Place::SharedWithUnix);
        const std::string control = UnixHost::UnixPath(state_->control->Path());
        if (state_->control->Path().empty() || control.empty()) {
            error_ = "cannot make a control folder for " + argv[0];
            return false;
        }
        const std::string script =
            WrapperScript(argv, UnixHost::UnixPath(outFile), UnixHost::UnixPath(errFile), control);
        if (!LaunchShell(script, state_->control->Path())) {
            error_ = "cannot start /bin/sh for " + argv[0] + " (error " + std::to_string(GetLastError()) + ")";
            return false;
        }
        started_ = true;
        return true;
    }
    std::string commandLine;
    for (const std::string& a : argv) commandLine += (commandLine.empty() ? "" : " ") + QuoteForWindows(a);
    STARTUPINFOW startup{};
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = OpenForChild("NUL", GENERIC_READ, OPEN_EXISTING);
    startup.hStdOutput = OpenForChild(outFile, FILE_APPEND_DATA, OPEN_ALWAYS);
    startup.hStdError = errFile == outFile ? startup.hStdOutput : OpenForChild(errFile, FILE_APPEND_DATA, OPEN_ALWAYS);
    PROCESS_INFORMATION info{};
    const bool ok = Launch(commandLine, std::string(), true, startup, info);
    const DWORD error = GetLastError();
    CloseIfOpen(startup.hStdInput);
    CloseIfOpen(startup.hStdOutput);
    if (startup.hStdError != startup.hStdOutput) CloseIfOpen(startup.hStdError);
    if (!ok) {
        error_ = "cannot start " + argv[0] + " (error " + std::to_string(error) + ")";
        return false;
    }
    CloseHandle(info.hThread);
    state_->process = info.hProcess;
    started_ = true;
    return true;
}

bool ChildProcess::Wait(int timeoutMs)
{
    if (!started_) return true;
    if (!state_->IsUnix()) {
        if (WaitForSingleObject(state_->process, static_cast<DWORD>(timeoutMs)) != WAIT_OBJECT_0) return false;
        DWORD code = 0;
        GetExitCodeProcess(state_->process, &code);
        status_ = static_cast<int>(code);
        CloseHandle(state_->process);
        state_->process = nullptr;
        started_ = false;
        return true;
    }
    for (int waited = 0;; waited += kPollMs) {
        const long status = ReadNumberLine(state_->ControlFile("status"));
        if (status >= 0) {
            status_ = static_cast<int>(status);
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
    if (!state_->IsUnix()) {
        TerminateProcess(state_->process, 1);
        Wait(kKillWaitMs);
        return;
    }
    long pid = -1;
    for (int waited = 0; (pid = ReadNumberLine(state_->ControlFile("pid"))) <= 0 && waited < kPidWaitMs;
         waited += kPollMs)
        std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
    if (pid > 0) {
        LaunchShell("kill -TERM " + std::to_string(pid), state_->control->Path());
        if (Wait(graceMs)) return;
        LaunchShell("kill -KILL " + std::to_string(pid), state_->control->Path());
    }
    Wait(kKillWaitMs);
    started_ = false;
}

std::string ChildProcess::FindProgram(const std::string& name, const std::vector<std::string>& fallbacks)
{
    if (!UnixHost::Reachable()) return std::string();
    static std::mutex mutex;
    static std::map<std::string, std::string> found;
    std::lock_guard<std::mutex> lock(mutex);
    auto known = found.find(name);
    if (known != found.end()) return known->second;
    // The Unix PATH is the shell's, not this process's Windows one.
    std::string path;
    TempDirectory dir("plentor-which-", TempDirectory::Place::SharedWithUnix);
    const std::string out = dir.File("which.txt");
    if (Run({"/bin/sh", "-c", "command -v " + QuoteForShell(name)}, out, out, kFindTimeoutMs) == 0) {
        path = ReadSmallFile(out);
        while (!path.empty() && (path.back() == '\n' || path.back() == '\r')) path.pop_back();
        if (path.rfind('/', 0) != 0) path.clear();
    }
    for (size_t i = 0; path.empty() && i < fallbacks.size(); ++i) {
        const DWORD attributes = GetFileAttributesA(UnixHost::LocalPath(fallbacks[i]).c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) path = fallbacks[i];
    }
    found[name] = path;
    return path;
}

} // namespace plentor::testsupport
