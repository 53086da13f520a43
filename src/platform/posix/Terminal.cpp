#include "platform/Terminal.h"

#include <cerrno>
#include <csignal>
#include <termios.h>
#include <unistd.h>

namespace plentor::platform {

namespace {

// The signals that may end the process while the echo is off.
constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
constexpr size_t kSignalCount = sizeof kEndingSignals / sizeof kEndingSignals[0];

// The terminal's settings before the echo went off; read by the handler.
termios savedSettings;

// Brings the echo back, then lets the signal do what it would have done.
void RestoreAndResend(int number)
{
    tcsetattr(STDIN_FILENO, TCSANOW, &savedSettings);
    signal(number, SIG_DFL);
    raise(number);
}

// Takes the ending signals while the echo is off, except those the process
// ignores; old keeps what was there.
void CatchEndingSignals(struct sigaction (&old)[kSignalCount])
{
    struct sigaction restore {};
    restore.sa_handler = RestoreAndResend;
    sigemptyset(&restore.sa_mask);
    for (size_t i = 0; i < kSignalCount; ++i) {
        sigaction(kEndingSignals[i], nullptr, &old[i]);
        if (old[i].sa_handler != SIG_IGN)
            sigaction(kEndingSignals[i], &restore, nullptr);
    }
}

void ReleaseEndingSignals(const struct sigaction (&old)[kSignalCount])
{
    for (size_t i = 0; i < kSignalCount; ++i)
        sigaction(kEndingSignals[i], &old[i], nullptr);
}

// Reads up to the line end, byte by byte so nothing after it is consumed.
bool ReadLine(std::string& line)
{
    line.clear();
    for (;;) {
        char c = 0;
        const ssize_t got = read(STDIN_FILENO, &c, 1);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        if (c == '\n')
            break;
        if (line.size() < kMaxHiddenLine)
            line.push_back(c);
    }
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return true;
}

} // namespace

bool IsTerminal(FILE* stream) { return stream != nullptr && isatty(fileno(stream)) == 1; }

bool ReadHiddenLine(const std::string& prompt, std::string& line)
{
    if (!isatty(STDIN_FILENO) || tcgetattr(STDIN_FILENO, &savedSettings) != 0)
        return false;
    termios quiet = savedSettings;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHOE | ECHOK | ECHONL);
    struct sigaction old[kSignalCount];
    CatchEndingSignals(old);
    const bool quieted = tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet) == 0;
    if (quieted) {
        std::fputs(prompt.c_str(), stderr);
        std::fflush(stderr);
    }
    const bool read = quieted && ReadLine(line);
    tcsetattr(STDIN_FILENO, TCSANOW, &savedSettings);
    if (quieted)
        std::fputc('\n', stderr);
    ReleaseEndingSignals(old);
    return read;
}

} // namespace plentor::platform
