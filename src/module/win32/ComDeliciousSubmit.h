#pragma once

#include "module/DeliciousSubmit.h"
#include "module/win32/ControlClasses.h"
#include "module/win32/DispatchObject.h"
#include "module/win32/Plentor.h"

namespace plentor::com {

// The Delicious object as the host sees it: submissions, page info and the
// link list.
class ComDeliciousSubmit : public DispatchObject<IDeliciousSubmit> {
public:
    explicit ComDeliciousSubmit(IUnknown* outer) : DispatchObject(outer, IID_IDeliciousSubmit, kDeliciousSubmitControl) {}

    HRESULT STDMETHODCALLTYPE get_Password(BSTR* value) override;
    HRESULT STDMETHODCALLTYPE put_Password(BSTR value) override;
    HRESULT STDMETHODCALLTYPE SubmitUrl(BSTR url, LONG* success) override;
    HRESULT STDMETHODCALLTYPE SubmitExplicit(BSTR url, BSTR title, BSTR extended, BSTR tags, LONG* success) override;
    HRESULT STDMETHODCALLTYPE get_Login(BSTR* value) override;
    HRESULT STDMETHODCALLTYPE put_Login(BSTR value) override;
    HRESULT STDMETHODCALLTYPE get_LastTitle(BSTR* value) override;
    HRESULT STDMETHODCALLTYPE get_LastExtended(BSTR* value) override;
    HRESULT STDMETHODCALLTYPE get_LastTags(BSTR* value) override;
    HRESULT STDMETHODCALLTYPE FetchPageInfo(BSTR url, LONG* success) override;
    HRESULT STDMETHODCALLTYPE get_NumLinks(LONG* value) override;
    HRESULT STDMETHODCALLTYPE GetLink(LONG index, BSTR* url) override;
    HRESULT STDMETHODCALLTYPE ClearLinks() override;
    HRESULT STDMETHODCALLTYPE LoadUrls(BSTR filename, LONG* success) override;
    HRESULT STDMETHODCALLTYPE SleepSec(LONG seconds) override;

private:
    DeliciousSubmit object_;
};

} // namespace plentor::com
