#include "module/win32/ComDeliciousSubmit.h"

#include "module/win32/AutomationValue.h"

namespace plentor::com {

HRESULT ComDeliciousSubmit::get_Password(BSTR* value) { return AutomationValue::Out(object_.GetPassword(), value); }

HRESULT ComDeliciousSubmit::put_Password(BSTR value)
{
    object_.SetPassword(AutomationValue::In(value));
    return S_OK;
}

HRESULT ComDeliciousSubmit::SubmitUrl(BSTR url, LONG* success)
{
    return AutomationValue::Out(object_.SubmitUrl(AutomationValue::In(url)), success);
}

HRESULT ComDeliciousSubmit::SubmitExplicit(BSTR url, BSTR title, BSTR extended, BSTR tags, LONG* success)
{
    return AutomationValue::Out(object_.SubmitExplicit(AutomationValue::In(url), AutomationValue::In(title),
                                                            AutomationValue::In(extended),
                                                            AutomationValue::In(tags)),
                                     success);
}

HRESULT ComDeliciousSubmit::get_Login(BSTR* value) { return AutomationValue::Out(object_.GetLogin(), value); }

HRESULT ComDeliciousSubmit::put_Login(BSTR value)
{
    object_.SetLogin(AutomationValue::In(value));
    return S_OK;
}

HRESULT ComDeliciousSubmit::get_LastTitle(BSTR* value) { return AutomationValue::Out(object_.GetLastTitle(), value); }

HRESULT ComDeliciousSubmit::get_LastExtended(BSTR* value)
{
    return AutomationValue::Out(object_.GetLastExtended(), value);
}

HRESULT ComDeliciousSubmit::get_LastTags(BSTR* value) { return AutomationValue::Out(object_.GetLastTags(), value); }

HRESULT ComDeliciousSubmit::FetchPageInfo(BSTR url, LONG* success)
{
    return AutomationValue::Out(object_.FetchPageInfo(AutomationValue::In(url)), success);
}

HRESULT ComDeliciousSubmit::get_NumLinks(LONG* value) { return AutomationValue::Out(object_.GetNumLinks(), value); }

HRESULT ComDeliciousSubmit::GetLink(LONG index, BSTR* url) { return AutomationValue::Out(object_.GetLink(index), url); }

HRESULT ComDeliciousSubmit::ClearLinks()
{
    object_.ClearLinks();
    return S_OK;
}

HRESULT ComDeliciousSubmit::LoadUrls(BSTR filename, LONG* success)
{
    return AutomationValue::Out(object_.LoadUrls(AutomationValue::In(filename)), success);
}

HRESULT ComDeliciousSubmit::SleepSec(LONG seconds)
{
    object_.SleepSec(seconds);
    return S_OK;
}

} // namespace plentor::com
