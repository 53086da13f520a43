#pragma once

#include <windows.h>

namespace plentor::com {

// Registration of the module's type library.
class TypeLibraryRegistration {
public:
    // Registers the library with the file it was loaded from and that file's
    // folder as help folder.
    static HRESULT Register();
    // Removes the library's registration through the automation library's
    // own function, looked up at run time; skipped when it is missing.
    static void Unregister();
};

} // namespace plentor::com
