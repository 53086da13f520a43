#pragma once

#include "module/AccountObject.h"

namespace plentor {

// The Simpy object: an account object whose bookmark carries url, title and
// tags (the service takes no extended text).
class Simpy : public AccountObject {
public:
    Simpy();

    // Saves one bookmark with the stored account: 1 when the service took it, else 0.
    long Submit(HostString url, HostString title, HostString tags);
};

} // namespace plentor
