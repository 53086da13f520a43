#pragma once

#include "module/Simpy.h"
#include "module/win32/AccountObject.h"
#include "module/win32/ControlClasses.h"
#include "module/win32/Plentor.h"

namespace plentor::com {

// The Simpy object as the host sees it.
class ComSimpy : public AccountObject<ISimpy, IID_ISimpy, kSimpyControl, Simpy> {
public:
    using AccountObject::AccountObject;

    HRESULT STDMETHODCALLTYPE Submit(BSTR url, BSTR title, BSTR tags, LONG* success) override
    {
        return AutomationValue::Out(
            object_.Submit(AutomationValue::In(url), AutomationValue::In(title), AutomationValue::In(tags)),
            success);
    }
};

} // namespace plentor::com
