#pragma once

#include <windows.h>

namespace plentor::com {

// The eight classes the module serves, in their fixed order, with their
// registration scripts and cached class factories.
class ClassTable {
public:
    // Hands out the factory of a class, created on first demand.
    static HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void** out);
    // Runs every class's registration script in order; stops at the first failure.
    static HRESULT RegisterClasses();
    // Runs every script in unregister mode; failures are ignored.
    static void UnregisterClasses();
    static void ReleaseFactories();
};

} // namespace plentor::com
