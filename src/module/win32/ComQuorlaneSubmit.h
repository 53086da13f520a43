#pragma once

#include "module/QuorlaneSubmit.h"
#include "module/win32/AutomationValue.h"
#include "module/win32/ControlClasses.h"
#include "module/win32/DispatchObject.h"
#include "module/win32/Plentor.h"

namespace plentor::com {

// The Quorlane object as the host sees it: its text stays Unicode and goes
// out as UTF-8.
class ComQuorlaneSubmit : public DispatchObject<IQuorlaneSubmit> {
public:
    explicit ComQuorlaneSubmit(IUnknown* outer) : DispatchObject(outer, IID_IQuorlaneSubmit, kQuorlaneSubmitControl) {}

    HRESULT STDMETHODCALLTYPE Login(BSTR username, BSTR password, LONG* success) override
    {
        return AutomationValue::Out(
            object_.Login(AutomationValue::In(username), AutomationValue::In(password)), success);
    }
    HRESULT STDMETHODCALLTYPE Submit1(BSTR category, BSTR tag, BSTR url, BSTR title, BSTR extended,
                                      LONG* success) override
    {
        return AutomationValue::Out(
            object_.Submit1(AutomationValue::In(category), AutomationValue::In(tag), AutomationValue::In(url),
                            AutomationValue::In(title), AutomationValue::In(extended)),
            success);
    }
    HRESULT STDMETHODCALLTYPE Submit(BSTR category, BSTR url, BSTR title, BSTR extended, BSTR tags,
                                     LONG* success) override
    {
        return AutomationValue::Out(
            object_.Submit(AutomationValue::In(category), AutomationValue::In(url), AutomationValue::In(title),
                           AutomationValue::In(extended), AutomationValue::In(tags)),
            success);
    }

private:
    QuorlaneSubmit object_;
};

} // namespace plentor::com
