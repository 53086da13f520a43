#pragma once

#include "module/win32/ComModule.h"
#include "module/win32/ControlObject.h"

#include <windows.h>
#include <oleauto.h>

#include <new>

namespace plentor::com {

// The shared frame of every scriptable object: reference counting with
// aggregation, IDispatch answered from the type library's description of
// the object's dual interface, and the control interfaces of its
// ControlObject part. An object derives from DispatchObject with its
// interface and implements only that interface's own methods.
//
// The object keeps the module loaded while it lives. When created inside an
// outer object, its IUnknown methods go to the outer one, and the outer one
// holds the object through Inner(), which counts and answers for it alone.
template <class Interface>
class DispatchObject : public Interface {
public:
    DispatchObject(IUnknown* outer, REFIID iid, const ControlClass& control)
        : iid_(iid), outer_(outer ? outer : &inner_), control_(outer_, control)
    {
        inner_.owner = this;
        ComModule::Instance().Lock();
    }
    virtual ~DispatchObject()
    {
        if (dispatchInfo_ != nullptr)
            dispatchInfo_->Release();
        if (slotInfo_ != nullptr)
            slotInfo_->Release();
        ComModule::Instance().Unlock();
    }
    DispatchObject(const DispatchObject&) = delete;
    DispatchObject& operator=(const DispatchObject&) = delete;

    // The object's own IUnknown, which the class factory hands out.
    IUnknown* Inner() { return &inner_; }

    // IUnknown: the controlling unknown decides.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override { return outer_->QueryInterface(iid, out); }
    ULONG STDMETHODCALLTYPE AddRef() override { return outer_->AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return outer_->Release(); }

    // IDispatch
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override
    {
        if (count == nullptr)
            return E_POINTER;
        *count = 1;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo** out) override
    {
        if (out == nullptr)
            return E_POINTER;
        *out = nullptr;
        if (index != 0)
            return DISP_E_BADINDEX;
        const HRESULT hr = LoadTypeInfo();
        if (SUCCEEDED(hr)) {
            dispatchInfo_->AddRef();
            *out = dispatchInfo_;
        }
        return hr;
    }

    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID, DISPID* ids) override
    {
        if (!IsEqualIID(riid, IID_NULL))
            return DISP_E_UNKNOWNINTERFACE;
        const HRESULT hr = LoadTypeInfo();
        return FAILED(hr) ? hr : DispGetIDsOfNames(slotInfo_, names, count, ids);
    }

    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO* exception, UINT* argError) override
    {
        if (!IsEqualIID(riid, IID_NULL))
            return DISP_E_UNKNOWNINTERFACE;
        const HRESULT hr = LoadTypeInfo();
        if (FAILED(hr))
            return hr;
        return DispInvoke(static_cast<Interface*>(this), slotInfo_, id, flags, params, result, exception, argError);
    }

private:
    // The non-delegating IUnknown: the object's identity and its count.
    struct InnerUnknown : IUnknown {
        DispatchObject* owner = nullptr;
        LONG references = 0;

        HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
        {
            if (out == nullptr)
                return E_POINTER;
            *out = nullptr;
            if (IsEqualIID(iid, IID_IUnknown)) {
                *out = static_cast<IUnknown*>(this);
            } else if (IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, owner->iid_)) {
                *out = static_cast<Interface*>(owner);
            } else if (void* part = owner->control_.Find(iid)) {
                *out = part;
            } else {
                return E_NOINTERFACE;
            }
            static_cast<IUnknown*>(*out)->AddRef();
            return S_OK;
        }
        ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&references)); }
        ULONG STDMETHODCALLTYPE Release() override
        {
            const LONG left = InterlockedDecrement(&references);
            if (left == 0)
                delete owner;
            return static_cast<ULONG>(left);
        }
    };

    HRESULT LoadTypeInfo()
    {
        if (slotInfo_ != nullptr)
            return S_OK;
        return ComModule::Instance().InterfaceTypeInfo(iid_, &dispatchInfo_, &slotInfo_);
    }

    const IID& iid_;
    InnerUnknown inner_;
    IUnknown* outer_;
    ControlObject control_;
    ITypeInfo* dispatchInfo_ = nullptr;
    ITypeInfo* slotInfo_ = nullptr;
};

// Creates an object of class T (constructed from the outer unknown, which may
// be null) and asks it for the interface; the object is gone again when the
// question fails.
template <class T>
HRESULT CreateObject(IUnknown* outer, REFIID iid, void** out)
{
    T* object = new (std::nothrow) T(outer);
    if (object == nullptr)
        return E_OUTOFMEMORY;
    IUnknown* inner = object->Inner();
    inner->AddRef();
    const HRESULT hr = inner->QueryInterface(iid, out);
    inner->Release();
    return hr;
}

} // namespace plentor::com
