// The module's exported entry points (undecorated through Plentor.def).

#include "module/win32/ClassTable.h"
#include "module/win32/ComModule.h"
#include "module/win32/TypeLibraryRegistration.h"

#include <windows.h>

using plentor::com::ClassTable;
using plentor::com::ComModule;
using plentor::com::TypeLibraryRegistration;

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
        ComModule::Instance().Attach(instance);
        DisableThreadLibraryCalls(instance);
    } else if (reason == DLL_PROCESS_DETACH) {
        ComModule::Instance().Detach();
    }
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* out)
{
    return ClassTable::GetClassObject(clsid, iid, out);
}

STDAPI DllCanUnloadNow()
{
    return ComModule::Instance().LockCount() == 0 ? S_OK : S_FALSE;
}

STDAPI DllRegisterServer()
{
    const HRESULT hr = ClassTable::RegisterClasses();
    return FAILED(hr) ? hr : TypeLibraryRegistration::Register();
}

STDAPI DllUnregisterServer()
{
    ClassTable::UnregisterClasses();
    TypeLibraryRegistration::Unregister();
    return S_OK;
}

} // extern "C"
