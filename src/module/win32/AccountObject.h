#pragma once

#include "module/win32/AutomationValue.h"
#include "module/win32/ControlClasses.h"
#include "module/win32/ControlObject.h"
#include "module/win32/DispatchObject.h"

namespace plentor::com {

// The objects of the services that take the account with every request
// (Shadows, Simpy): Login and Password are properties kept in the object;
// each class adds its own Submit.
template <class Interface, const IID& Iid, const ControlClass& Control, class Object>
class AccountObject : public DispatchObject<Interface> {
public:
    explicit AccountObject(IUnknown* outer) : DispatchObject<Interface>(outer, Iid, Control) {}

    HRESULT STDMETHODCALLTYPE get_Login(BSTR* value) override { return AutomationValue::Out(object_.GetLogin(), value); }
    HRESULT STDMETHODCALLTYPE put_Login(BSTR value) override
    {
        object_.SetLogin(AutomationValue::In(value));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_Password(BSTR* value) override
    {
        return AutomationValue::Out(object_.GetPassword(), value);
    }
    HRESULT STDMETHODCALLTYPE put_Password(BSTR value) override
    {
        object_.SetPassword(AutomationValue::In(value));
        return S_OK;
    }

protected:
    Object object_;
};

} // namespace plentor::com
