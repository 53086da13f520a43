#include "platform/InterruptFlag.h"

#include <csignal>

namespace plentor::platform {

namespace {

volatile sig_atomic_t raised = 0;
struct sigaction previous {};
bool caught = false;   // whether the handler below was installed

void Raise(int) { raised = 1; }

} // namespace

InterruptFlag::InterruptFlag()
{
    raised = 0;
    sigaction(SIGINT, nullptr, &previous);
    caught = previous.sa_handler != SIG_IGN;
    if (!caught)
        return;
    struct sigaction handler {};
    handler.sa_handler = Raise;
    sigemptyset(&handler.sa_mask);
    // Restarted calls keep a transfer in flight going; the handler is
    // dropped after one signal, so a second interrupt ends the process.
    handler.sa_flags = SA_RESTART | SA_RESETHAND;
    sigaction(SIGINT, &handler, nullptr);
}

InterruptFlag::~InterruptFlag()
{
    if (caught)
        sigaction(SIGINT, &previous, nullptr);
}

bool InterruptFlag::Raised() const { return raised != 0; }

} // namespace plentor::platform
