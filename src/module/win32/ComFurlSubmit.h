#pragma once

#include "module/FurlSubmit.h"
#include "module/win32/AutomationValue.h"
#include "module/win32/ControlClasses.h"
#include "module/win32/DispatchObject.h"
#include "module/win32/Plentor.h"

namespace plentor::com {

// The Furl object as the host sees it.
class ComFurlSubmit : public DispatchObject<IFurlSubmit> {
public:
    explicit ComFurlSubmit(IUnknown* outer) : DispatchObject(outer, IID_IFurlSubmit, kFurlSubmitControl) {}

    HRESULT STDMETHODCALLTYPE Login(BSTR username, BSTR password, LONG* success) override
    {
        return AutomationValue::Out(
            object_.Login(AutomationValue::In(username), AutomationValue::In(password)), success);
    }
    HRESULT STDMETHODCALLTYPE QuickSubmit2(BSTR title, BSTR url, LONG* success) override
    {
        return AutomationValue::Out(
            object_.QuickSubmit2(AutomationValue::In(title), AutomationValue::In(url)), success);
    }
    HRESULT STDMETHODCALLTYPE QuickSubmit1(BSTR url, LONG* success) override
    {
        return AutomationValue::Out(object_.QuickSubmit1(AutomationValue::In(url)), success);
    }

private:
    FurlSubmit object_;
};

} // namespace plentor::com
