#include "module/win32/ClassFactory.h"

#include "module/win32/ComModule.h"

namespace plentor::com {

HRESULT ClassFactory::QueryInterface(REFIID iid, void** out)
{
    if (out == nullptr)
        return E_POINTER;
    *out = nullptr;
    if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IClassFactory))
        return E_NOINTERFACE;
    *out = static_cast<IClassFactory*>(this);
    AddRef();
    return S_OK;
}

ULONG ClassFactory::AddRef()
{
    const LONG n = InterlockedIncrement(&references_);
    if (n == 2)
        ComModule::Instance().Lock();   // a host holds the factory
    return static_cast<ULONG>(n);
}

ULONG ClassFactory::Release()
{
    const LONG n = InterlockedDecrement(&references_);
    if (n == 1)
        ComModule::Instance().Unlock();
    else if (n == 0)
        delete this;
    return static_cast<ULONG>(n);
}

HRESULT ClassFactory::CreateInstance(IUnknown* outer, REFIID iid, void** out)
{
    if (out == nullptr)
        return E_POINTER;
    *out = nullptr;
    // An outer object may only hold the inner object's own IUnknown.
    if (outer != nullptr && !IsEqualIID(iid, IID_IUnknown))
        return CLASS_E_NOAGGREGATION;
    return create_(outer, iid, out);
}

HRESULT ClassFactory::LockServer(BOOL lock)
{
    if (lock)
        ComModule::Instance().Lock();
    else
        ComModule::Instance().Unlock();
    return S_OK;
}

} // namespace plentor::com
