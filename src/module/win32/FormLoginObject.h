#pragma once

#include "module/win32/AutomationValue.h"
#include "module/win32/ControlClasses.h"
#include "module/win32/ControlObject.h"
#include "module/win32/DispatchObject.h"

namespace plentor::com {

// The objects of the services that log in through a web form once and then
// post bookmarks with the login cookie (Netvouz, Spurl, Blogmarks): the same
// two methods over their own interfaces and their own portable objects.
template <class Interface, const IID& Iid, const ControlClass& Control, class Object>
class FormLoginObject : public DispatchObject<Interface> {
public:
    explicit FormLoginObject(IUnknown* outer) : DispatchObject<Interface>(outer, Iid, Control) {}

    HRESULT STDMETHODCALLTYPE Login(BSTR username, BSTR password, LONG* success) override
    {
        return AutomationValue::Out(
            object_.Login(AutomationValue::In(username), AutomationValue::In(password)), success);
    }

    HRESULT STDMETHODCALLTYPE Submit(BSTR url, BSTR title, BSTR extended, BSTR tags, LONG* success) override
    {
        return AutomationValue::Out(object_.Submit(AutomationValue::In(url), AutomationValue::In(title),
                                                        AutomationValue::In(extended), AutomationValue::In(tags)),
                                         success);
    }

private:
    Object object_;
};

} // namespace plentor::com
