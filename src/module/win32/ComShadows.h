#pragma once

#include "module/Shadows.h"
#include "module/win32/AccountObject.h"
#include "module/win32/ControlClasses.h"
#include "module/win32/Plentor.h"

namespace plentor::com {

// The Shadows object as the host sees it.
class ComShadows : public AccountObject<IShadows, IID_IShadows, kShadowsControl, Shadows> {
public:
    using AccountObject::AccountObject;

    HRESULT STDMETHODCALLTYPE Submit(BSTR url, BSTR title, BSTR extended, BSTR tags, LONG* success) override
    {
        return AutomationValue::Out(object_.Submit(AutomationValue::In(url), AutomationValue::In(title),
                                                        AutomationValue::In(extended), AutomationValue::In(tags)),
                                         success);
    }
};

} // namespace plentor::com
