#pragma once

#include <windows.h>
#include <unknwn.h>

namespace plentor::com {

using CreateFunction = HRESULT (*)(IUnknown* outer, REFIID iid, void** out);

// The class factory of one class. The module's class table keeps one
// reference for the module's life; any reference beyond that keeps the
// module loaded, as a server lock does.
class ClassFactory : public IClassFactory {
public:
    explicit ClassFactory(CreateFunction create) : create_(create) {}
    virtual ~ClassFactory() = default;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override;
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override;

private:
    CreateFunction create_;
    LONG references_ = 1;
};

} // namespace plentor::com
