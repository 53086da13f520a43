#pragma once

#include <windows.h>

namespace plentor::com {

// Runs a class's registration script, a "REGISTRY" resource of the module,
// against the system registry, with the module's file name, the class
// identifier and the type library identifier as its replacements.
class RegistrationScript {
public:
    enum class Mode { Register, Unregister };

    static HRESULT Run(UINT resource, REFCLSID clsid, Mode mode);
};

} // namespace plentor::com
