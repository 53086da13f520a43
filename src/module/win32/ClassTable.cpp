#include "module/win32/ClassTable.h"

#include "module/win32/ClassFactory.h"
#include "module/win32/ControlClasses.h"
#include "module/win32/ComDeliciousSubmit.h"
#include "module/win32/ComFurlSubmit.h"
#include "module/win32/ComModule.h"
#include "module/win32/ComQuorlaneSubmit.h"
#include "module/win32/ComShadows.h"
#include "module/win32/ComSimpy.h"
#include "module/win32/FormLoginObject.h"
#include "module/win32/ModuleResources.h"
#include "module/win32/Plentor.h"
#include "module/win32/RegistrationScript.h"

#include "module/Blogmarks.h"
#include "module/Netvouz.h"
#include "module/Spurl.h"

namespace plentor::com {

namespace {

using ComNetvouz = FormLoginObject<INetvouz, IID_INetvouz, kNetvouzControl, Netvouz>;
using ComSpurl = FormLoginObject<ISpurl, IID_ISpurl, kSpurlControl, Spurl>;
using ComBlogmarks = FormLoginObject<IBlogmarks, IID_IBlogmarks, kBlogmarksControl, Blogmarks>;

struct ClassEntry {
    const CLSID& clsid;
    UINT script;              // the "REGISTRY" resource
    CreateFunction create;
    ClassFactory* factory;    // created on first demand, kept until detach
};

ClassEntry gClasses[] = {
    {CLSID_DeliciousSubmit, IDR_DELICIOUSSUBMIT, CreateObject<ComDeliciousSubmit>, nullptr},
    {CLSID_FurlSubmit, IDR_FURLSUBMIT, CreateObject<ComFurlSubmit>, nullptr},
    {CLSID_Netvouz, IDR_NETVOUZ, CreateObject<ComNetvouz>, nullptr},
    {CLSID_Shadows, IDR_SHADOWS, CreateObject<ComShadows>, nullptr},
    {CLSID_Spurl, IDR_SPURL, CreateObject<ComSpurl>, nullptr},
    {CLSID_Blogmarks, IDR_BLOGMARKS, CreateObject<ComBlogmarks>, nullptr},
    {CLSID_QuorlaneSubmit, IDR_QUORLANESUBMIT, CreateObject<ComQuorlaneSubmit>, nullptr},
    {CLSID_Simpy, IDR_SIMPY, CreateObject<ComSimpy>, nullptr},
};

// The row's factory, made under the factory lock when the slot is empty
// (checked again inside the lock, so two threads get the same one).
ClassFactory* FactoryOf(ClassEntry& entry)
{
    ClassFactory* factory = static_cast<ClassFactory*>(InterlockedCompareExchangePointer(
        reinterpret_cast<PVOID volatile*>(&entry.factory), nullptr, nullptr));
    if (factory != nullptr)
        return factory;
    CRITICAL_SECTION& lock = ComModule::Instance().FactoryLock();
    EnterCriticalSection(&lock);
    if (entry.factory == nullptr) {
        ClassFactory* made = new (std::nothrow) ClassFactory(entry.create);
        InterlockedExchangePointer(reinterpret_cast<PVOID volatile*>(&entry.factory), made);
    }
    factory = entry.factory;
    LeaveCriticalSection(&lock);
    return factory;
}

} // namespace

HRESULT ClassTable::GetClassObject(REFCLSID clsid, REFIID iid, void** out)
{
    if (out == nullptr)
        return E_POINTER;
    *out = nullptr;
    for (ClassEntry& entry : gClasses) {
        if (!IsEqualCLSID(entry.clsid, clsid))
            continue;
        ClassFactory* factory = FactoryOf(entry);
        return factory == nullptr ? E_OUTOFMEMORY : factory->QueryInterface(iid, out);
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT ClassTable::RegisterClasses()
{
    for (const ClassEntry& entry : gClasses) {
        const HRESULT hr = RegistrationScript::Run(entry.script, entry.clsid, RegistrationScript::Mode::Register);
        if (FAILED(hr))
            return hr;
    }
    return S_OK;
}

void ClassTable::UnregisterClasses()
{
    for (const ClassEntry& entry : gClasses)
        RegistrationScript::Run(entry.script, entry.clsid, RegistrationScript::Mode::Unregister);
}

void ClassTable::ReleaseFactories()
{
    for (ClassEntry& entry : gClasses) {
        if (entry.factory != nullptr) {
            entry.factory->Release();
            entry.factory = nullptr;
        }
    }
}

} // namespace plentor::com
