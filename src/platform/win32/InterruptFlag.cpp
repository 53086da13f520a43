#include "platform/InterruptFlag.h"

#include <windows.h>

#include <atomic>

namespace plentor::platform {

namespace {

std::atomic<bool> raised{false};

// Runs on a thread of its own. Taking the first interrupt keeps the process
// alive; declining the next lets the default handler end it.
BOOL WINAPI OnControl(DWORD event)
{
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT)
        return FALSE;
    return raised.exchange(true) ? FALSE : TRUE;
}

} // namespace

InterruptFlag::InterruptFlag()
{
    raised = false;
    SetConsoleCtrlHandler(OnControl, TRUE);
}

InterruptFlag::~InterruptFlag() { SetConsoleCtrlHandler(OnControl, FALSE); }

bool InterruptFlag::Raised() const { return raised.load(); }

} // namespace plentor::platform
