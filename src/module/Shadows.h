#pragma once

#include "module/AccountObject.h"

namespace plentor {

// The Shadows object: an account object whose bookmark carries url, title,
// extended text and tags.
class Shadows : public AccountObject {
public:
    Shadows();

    // Saves one bookmark with the stored account: 1 when the service took it, else 0.
    long Submit(HostString url, HostString title, HostString extended, HostString tags);
};

} // namespace plentor
