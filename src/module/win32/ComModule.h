#pragma once

#include <windows.h>
#include <oaidl.h>

#include <atomic>
#include <string>

namespace plentor::com {

// The state of the loaded module: its instance handle, the count of live
// objects and server locks that keeps it loaded, the guard around class
// factory creation, and the type library the objects dispatch through.
class ComModule {
public:
    static ComModule& Instance();

    void Attach(HINSTANCE instance);
    // Releases the cached class factories and the type library.
    void Detach();

    HINSTANCE Handle() const { return instance_; }
    // The module's full file name.
    std::wstring FileName() const;

    void Lock() { ++locks_; }
    void Unlock() { --locks_; }
    long LockCount() const { return locks_.load(); }

    CRITICAL_SECTION& FactoryLock() { return factoryLock_; }

    // The type information of a dual interface from the module's own type
    // library: its dispatch half, as hosts are shown it, and its slot table,
    // which calls are dispatched through.
    HRESULT InterfaceTypeInfo(REFIID iid, ITypeInfo** dispatch, ITypeInfo** slots);
    // The type information of a class (coclass).
    HRESULT ClassTypeInfo(REFCLSID clsid, ITypeInfo** out);

    // Loads the type library from the module's file, or from the file of the
    // same name with the extension ".tlb"; path gets the file it came from.
    HRESULT LoadTypeLibrary(ITypeLib** out, std::wstring& path);

private:
    ComModule() = default;
    HRESULT TypeLibrary(ITypeLib** out);

    HINSTANCE instance_ = nullptr;
    std::atomic<long> locks_{0};
    CRITICAL_SECTION factoryLock_{};
    CRITICAL_SECTION typeLibLock_{};
    ITypeLib* typeLib_ = nullptr;
};

} // namespace plentor::com
