#pragma once

namespace plentor::platform {

// While it lives, the console interrupt (Ctrl-C: SIGINT on POSIX,
// CTRL_C_EVENT or CTRL_BREAK_EVENT on Windows) no longer ends the process
// but raises a flag, so that a long run can finish the step in flight and
// stop between two steps. Only the first interrupt is caught: a second one
// ends the process as usual. A POSIX process started with the interrupt
// ignored (a background job of a shell without job control) keeps ignoring
// it. One at a time.
class InterruptFlag {
public:
    InterruptFlag();
    ~InterruptFlag();
    InterruptFlag(const InterruptFlag&) = delete;
    InterruptFlag& operator=(const InterruptFlag&) = delete;

    // Whether an interrupt arrived since construction.
    bool Raised() const;
};

} // namespace plentor::platform
