#include "module/win32/ComModule.h"

#include "module/win32/ClassTable.h"

#include <oleauto.h>

namespace plentor::com {

namespace {

// Long enough for any path the loader hands out (the \\?\ form included).
constexpr DWORD kMaxModulePath = 32768;

} // namespace

ComModule& ComModule::Instance()
{
    static ComModule module;
    return module;
}

void ComModule::Attach(HINSTANCE instance)
{
    instance_ = instance;
    InitializeCriticalSection(&factoryLock_);
    InitializeCriticalSection(&typeLibLock_);
}

void ComModule::Detach()
{
    ClassTable::ReleaseFactories();
    if (typeLib_ != nullptr) {
        typeLib_->Release();
        typeLib_ = nullptr;
    }
    DeleteCriticalSection(&typeLibLock_);
    DeleteCriticalSection(&factoryLock_);
}

std::wstring ComModule::FileName() const
{
    std::wstring path(kMaxModulePath, L'\0');
    const DWORD n = GetModuleFileNameW(instance_, path.data(), kMaxModulePath);
    path.resize(n < kMaxModulePath ? n : 0);
    return path;
}

HRESULT ComModule::LoadTypeLibrary(ITypeLib** out, std::wstring& path)
{
    *out = nullptr;
    path = FileName();
    if (path.empty())
        return HRESULT_FROM_WIN32(GetLastError());
    HRESULT hr = LoadTypeLibEx(path.c_str(), REGKIND_NONE, out);
    if (SUCCEEDED(hr))
        return hr;
    // A type library beside the module: the same name with ".tlb".
    const size_t dot = path.find_last_of(L'.');
    std::wstring tlb = (dot == std::wstring::npos ? path : path.substr(0, dot)) + L".tlb";
    const HRESULT second = LoadTypeLibEx(tlb.c_str(), REGKIND_NONE, out);
    if (FAILED(second))
        return hr;
    path = tlb;
    return second;
}

HRESULT ComModule::TypeLibrary(ITypeLib** out)
{
    EnterCriticalSection(&typeLibLock_);
    HRESULT hr = S_OK;
    if (typeLib_ == nullptr) {
        std::wstring path;
        hr = LoadTypeLibrary(&typeLib_, path);
    }
    if (SUCCEEDED(hr)) {
        typeLib_->AddRef();
        *out = typeLib_;
    }
    LeaveCriticalSection(&typeLibLock_);
    return hr;
}

HRESULT ComModule::InterfaceTypeInfo(REFIID iid, ITypeInfo** dispatch, ITypeInfo** slots)
{
    *dispatch = nullptr;
    *slots = nullptr;
    ITypeLib* lib = nullptr;
    HRESULT hr = TypeLibrary(&lib);
    if (FAILED(hr))
        return hr;
    hr = lib->GetTypeInfoOfGuid(iid, dispatch);
    lib->Release();
    if (FAILED(hr))
        return hr;
    // A dual interface is found as its dispatch half; its slot table is the
    // type that half refers to as implementation -1.
    HREFTYPE ref = 0;
    hr = (*dispatch)->GetRefTypeOfImplType(static_cast<UINT>(-1), &ref);
    if (SUCCEEDED(hr))
        hr = (*dispatch)->GetRefTypeInfo(ref, slots);
    if (FAILED(hr)) {
        (*dispatch)->Release();
        *dispatch = nullptr;
    }
    return hr;
}

HRESULT ComModule::ClassTypeInfo(REFCLSID clsid, ITypeInfo** out)
{
    *out = nullptr;
    ITypeLib* lib = nullptr;
    HRESULT hr = TypeLibrary(&lib);
    if (FAILED(hr))
        return hr;
    hr = lib->GetTypeInfoOfGuid(clsid, out);
    lib->Release();
    return hr;
}

} // namespace plentor::com
