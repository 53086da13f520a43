// Plentor.dll seen from a client that loads it directly: the class factories,
// the unload rule, aggregation, early-bound calls through the interfaces'
// slot tables, and IDispatch answered from the embedded type library.

#include "ComTestSupport.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <oleauto.h>

#include <cstdio>
#include <string>

namespace {

using plentor::testsupport::Bstr;
using plentor::testsupport::ClassCase;
using plentor::testsupport::kClasses;

class ComModuleTest : public plentor::testsupport::ComModuleFixture {};

TEST_F(ComModuleTest, EachClassHasOneCachedFactory)
{
    for (const ClassCase& c : kClasses) {
        SCOPED_TRACE(c.name);
        IClassFactory* first = Factory(*c.clsid);
        IClassFactory* second = Factory(*c.clsid);
        ASSERT_NE(first, nullptr);
        EXPECT_EQ(first, second);
        second->Release();
        first->Release();
    }
}

TEST_F(ComModuleTest, FactoryErrors)
{
    EXPECT_EQ(getClassObject_(CLSID_Simpy, IID_IClassFactory, nullptr), E_POINTER);

    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(getClassObject_(IID_ISimpy, IID_IClassFactory, &out), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(out, nullptr);

    IClassFactory* factory = Factory(CLSID_Simpy);
    ASSERT_NE(factory, nullptr);
    IUnknown* outer = reinterpret_cast<IUnknown*>(factory);   // any non-null outer object
    out = reinterpret_cast<void*>(1);
    EXPECT_EQ(factory->CreateInstance(outer, IID_ISimpy, &out), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IClassFactory, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_ISimpy, nullptr), E_POINTER);
    factory->Release();
}

TEST_F(ComModuleTest, ModuleStaysLoadedWhileObjectsOrLocksLive)
{
    EXPECT_EQ(canUnloadNow_(), S_OK);

    IShadows* shadows = Create<IShadows>(CLSID_Shadows, IID_IShadows);
    ASSERT_NE(shadows, nullptr);
    EXPECT_EQ(canUnloadNow_(), S_FALSE);
    shadows->Release();
    EXPECT_EQ(canUnloadNow_(), S_OK);

    IClassFactory* factory = Factory(CLSID_Shadows);
    ASSERT_NE(factory, nullptr);
    EXPECT_EQ(canUnloadNow_(), S_FALSE) << "a factory held by a client keeps the module";
    EXPECT_EQ(factory->LockServer(TRUE), S_OK);
    factory->Release();
    EXPECT_EQ(canUnloadNow_(), S_FALSE) << "a server lock keeps the module";
    factory = Factory(CLSID_Shadows);
    EXPECT_EQ(factory->LockServer(FALSE), S_OK);
    factory->Release();
    EXPECT_EQ(canUnloadNow_(), S_OK);
}

// An outer object that counts the references it is asked for and hands out
// the inner object's interfaces as its own.
class Outer : public IUnknown {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        ++queries;
        if (IsEqualIID(iid, IID_IUnknown)) {
            *out = this;
            AddRef();
            return S_OK;
        }
        return inner->QueryInterface(iid, out);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++references); }
    ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(--references); }

    IUnknown* inner = nullptr;
    long references = 1;
    int queries = 0;
};

TEST_F(ComModuleTest, AggregatedObjectAnswersThroughItsOuterObject)
{
    IClassFactory* factory = Factory(CLSID_Simpy);
    ASSERT_NE(factory, nullptr);
    Outer outer;
    ASSERT_EQ(factory->CreateInstance(&outer, IID_IUnknown, reinterpret_cast<void**>(&outer.inner)), S_OK);
    factory->Release();
    ASSERT_NE(outer.inner, nullptr);

    // The interface handed out counts on the outer object, which owns it.
    ISimpy* simpy = nullptr;
    ASSERT_EQ(outer.inner->QueryInterface(IID_ISimpy, reinterpret_cast<void**>(&simpy)), S_OK);
    EXPECT_EQ(outer.references, 2);
    const long before = outer.references;
    simpy->AddRef();
    EXPECT_EQ(outer.references, before + 1);
    simpy->Release();
    IUnknown* identity = nullptr;
    ASSERT_EQ(simpy->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)), S_OK);
    EXPECT_EQ(identity, &outer);
    EXPECT_GE(outer.queries, 1);
    identity->Release();

    // The object still works while aggregated.
    Bstr name(L"someone");
    EXPECT_EQ(simpy->put_Login(name.Get()), S_OK);
    Bstr read;
    EXPECT_EQ(simpy->get_Login(read.Out()), S_OK);
    EXPECT_EQ(read.Text(), L"someone");

    simpy->Release();   // goes to the outer object, as the interface's owner
    EXPECT_EQ(outer.inner->Release(), 0u);
    EXPECT_EQ(canUnloadNow_(), S_OK);
}

TEST_F(ComModuleTest, DeliciousPropertiesAndLinkListEarlyBound)
{
    IDeliciousSubmit* delicious = Create<IDeliciousSubmit>(CLSID_DeliciousSubmit, IID_IDeliciousSubmit);
    ASSERT_NE(delicious, nullptr);

    // A fresh object reads back allocated empty strings and no links.
    using Getter = HRESULT (STDMETHODCALLTYPE IDeliciousSubmit::*)(BSTR*);
    const Getter getters[] = {&IDeliciousSubmit::get_Login, &IDeliciousSubmit::get_Password,
                              &IDeliciousSubmit::get_LastTitle, &IDeliciousSubmit::get_LastExtended,
                              &IDeliciousSubmit::get_LastTags};
    for (Getter getter : getters) {
        Bstr value;
        EXPECT_EQ((delicious->*getter)(value.Out()), S_OK);
        ASSERT_NE(value.Get(), nullptr);
        EXPECT_EQ(SysStringLen(value.Get()), 0u);
    }
    LONG links = -1;
    EXPECT_EQ(delicious->get_NumLinks(&links), S_OK);
    EXPECT_EQ(links, 0);

    // Writes replace the whole value; a null string reads as empty; a
    // string is taken with its length, characters after a zero included.
    Bstr first(L"first"), second(L"second");
    delicious->put_Login(first.Get());
    delicious->put_Login(second.Get());
    Bstr login;
    delicious->get_Login(login.Out());
    EXPECT_EQ(login.Text(), L"second");
    delicious->put_Login(nullptr);
    delicious->get_Login(login.Out());
    ASSERT_NE(login.Get(), nullptr);
    EXPECT_EQ(login.Text(), L"");
    Bstr withZero(L"ab\0cd", 5);
    delicious->put_Password(withZero.Get());
    Bstr password;
    delicious->get_Password(password.Out());
    EXPECT_EQ(password.Text(), std::wstring(L"ab\0cd", 5));

    // The link list from a file; an index outside it gives an empty string.
    wchar_t folder[MAX_PATH], file[MAX_PATH];
    ASSERT_NE(GetTempPathW(MAX_PATH, folder), 0u);
    ASSERT_NE(GetTempFileNameW(folder, L"plk", 0, file), 0u);
    FILE* f = _wfopen(file, L"wb");
    ASSERT_NE(f, nullptr);
    std::fputs("http://a.example/\r\n\r\nhttp://b.example/\nhttp://a.example/\n", f);
    std::fclose(f);
    Bstr fileName(file);
    LONG success = -1;
    EXPECT_EQ(delicious->LoadUrls(fileName.Get(), &success), S_OK);
    EXPECT_EQ(success, 1);
    DeleteFileW(file);
    delicious->get_NumLinks(&links);
    EXPECT_EQ(links, 2);
    Bstr link;
    EXPECT_EQ(delicious->GetLink(1, link.Out()), S_OK);
    EXPECT_EQ(link.Text(), L"http://b.example/");
    for (LONG outside : {-1L, 2L}) {
        EXPECT_EQ(delicious->GetLink(outside, link.Out()), S_OK);
        ASSERT_NE(link.Get(), nullptr);
        EXPECT_EQ(link.Text(), L"");
    }
    EXPECT_EQ(delicious->ClearLinks(), S_OK);
    delicious->get_NumLinks(&links);
    EXPECT_EQ(links, 0);
    Bstr missing(L"Z:\\no\\such\\folder\\links.txt");
    EXPECT_EQ(delicious->LoadUrls(missing.Get(), &success), S_OK);
    EXPECT_EQ(success, 0);
    EXPECT_EQ(delicious->SleepSec(0), S_OK);

    EXPECT_EQ(delicious->get_NumLinks(nullptr), E_POINTER);
    EXPECT_EQ(delicious->get_Login(nullptr), E_POINTER);
    delicious->Release();
}

TEST_F(ComModuleTest, AccountObjectsKeepTheirCredentials)
{
    IShadows* shadows = Create<IShadows>(CLSID_Shadows, IID_IShadows);
    ISimpy* simpy = Create<ISimpy>(CLSID_Simpy, IID_ISimpy);
    ASSERT_NE(shadows, nullptr);
    ASSERT_NE(simpy, nullptr);
    Bstr a(L"shadow-user"), b(L"simpy-user");
    shadows->put_Login(a.Get());
    simpy->put_Login(b.Get());
    Bstr readA, readB;
    shadows->get_Login(readA.Out());
    simpy->get_Login(readB.Out());
    EXPECT_EQ(readA.Text(), L"shadow-user");
    EXPECT_EQ(readB.Text(), L"simpy-user") << "objects share nothing";
    Bstr password;
    simpy->get_Password(password.Out());
    ASSERT_NE(password.Get(), nullptr);
    EXPECT_EQ(password.Text(), L"");
    shadows->Release();
    simpy->Release();
}

TEST_F(ComModuleTest, FailedFlowsGiveZeroNotAnError)
{
    // Nothing listens on port 9 of the loopback address: every flow fails,
    // and only the success value says so.
    for (const char* variable : {"PLENTOR_NETVOUZ_URL", "PLENTOR_FURL_URL", "PLENTOR_QUORLANE_URL"})
        _putenv_s(variable, "http://127.0.0.1:9");
    Bstr user(L"demo"), url(L"http://example.org/"), text(L"t");
    LONG success = -1;

    INetvouz* netvouz = Create<INetvouz>(CLSID_Netvouz, IID_INetvouz);
    ASSERT_NE(netvouz, nullptr);
    EXPECT_EQ(netvouz->Login(user.Get(), user.Get(), &success), S_OK);
    EXPECT_EQ(success, 0);
    success = -1;
    EXPECT_EQ(netvouz->Submit(url.Get(), text.Get(), text.Get(), text.Get(), &success), S_OK);
    EXPECT_EQ(success, 0);
    netvouz->Release();

    IFurlSubmit* furl = Create<IFurlSubmit>(CLSID_FurlSubmit, IID_IFurlSubmit);
    ASSERT_NE(furl, nullptr);
    success = -1;
    EXPECT_EQ(furl->QuickSubmit2(text.Get(), url.Get(), &success), S_OK);
    EXPECT_EQ(success, 0);
    furl->Release();

    IQuorlaneSubmit* quorlane = Create<IQuorlaneSubmit>(CLSID_QuorlaneSubmit, IID_IQuorlaneSubmit);
    ASSERT_NE(quorlane, nullptr);
    success = -1;
    EXPECT_EQ(quorlane->Submit(text.Get(), url.Get(), text.Get(), text.Get(), text.Get(), &success), S_OK);
    EXPECT_EQ(success, 0);
    quorlane->Release();

    for (const char* variable : {"PLENTOR_NETVOUZ_URL", "PLENTOR_FURL_URL", "PLENTOR_QUORLANE_URL"})
        _putenv_s(variable, "");
}

struct DispatchCase {
    const CLSID* clsid;
    const IID* iid;
    const wchar_t* name;
    DISPID id;
};

TEST_F(ComModuleTest, DispatchIdentifiersComeFromTheTypeLibrary)
{
    const DispatchCase cases[] = {
        {&CLSID_DeliciousSubmit, &IID_IDeliciousSubmit, L"Password", 1},
        {&CLSID_DeliciousSubmit, &IID_IDeliciousSubmit, L"SubmitExplicit", 3},
        {&CLSID_DeliciousSubmit, &IID_IDeliciousSubmit, L"lasttags", 8},
        {&CLSID_DeliciousSubmit, &IID_IDeliciousSubmit, L"SleepSec", 17},
        {&CLSID_FurlSubmit, &IID_IFurlSubmit, L"QuickSubmit1", 3},
        {&CLSID_Netvouz, &IID_INetvouz, L"Submit", 2},
        {&CLSID_Shadows, &IID_IShadows, L"Password", 2},
        {&CLSID_QuorlaneSubmit, &IID_IQuorlaneSubmit, L"Submit1", 2},
        {&CLSID_Simpy, &IID_ISimpy, L"Submit", 3},
    };
    for (const DispatchCase& c : cases) {
        SCOPED_TRACE(testing::Message() << std::string(c.name, c.name + wcslen(c.name)));
        IDispatch* object = Create<IDispatch>(*c.clsid, IID_IDispatch);
        ASSERT_NE(object, nullptr);
        LPOLESTR name = const_cast<LPOLESTR>(c.name);
        DISPID id = 0;
        EXPECT_EQ(object->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id), S_OK);
        EXPECT_EQ(id, c.id);
        LPOLESTR unknown = const_cast<LPOLESTR>(L"NoSuchMember");
        EXPECT_EQ(object->GetIDsOfNames(IID_NULL, &unknown, 1, LOCALE_USER_DEFAULT, &id), DISP_E_UNKNOWNNAME);
        object->Release();
    }
}

TEST_F(ComModuleTest, InvokeReachesTheObject)
{
    IDispatch* simpy = Create<IDispatch>(CLSID_Simpy, IID_IDispatch);
    ASSERT_NE(simpy, nullptr);
    VARIANT value;
    VariantInit(&value);
    value.vt = VT_BSTR;
    value.bstrVal = SysAllocString(L"by-name");
    DISPID putId = DISPID_PROPERTYPUT;
    DISPPARAMS put = {&value, &putId, 1, 1};
    EXPECT_EQ(simpy->Invoke(1, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &put, nullptr, nullptr, nullptr),
              S_OK);
    VariantClear(&value);

    VARIANT result;
    VariantInit(&result);
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    EXPECT_EQ(simpy->Invoke(1, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, &result, nullptr, nullptr),
              S_OK);
    ASSERT_EQ(result.vt, VT_BSTR);
    EXPECT_EQ(std::wstring(result.bstrVal), L"by-name");
    VariantClear(&result);

    ITypeInfo* info = nullptr;
    ASSERT_EQ(simpy->GetTypeInfo(0, LOCALE_USER_DEFAULT, &info), S_OK);
    TYPEATTR* attributes = nullptr;
    ASSERT_EQ(info->GetTypeAttr(&attributes), S_OK);
    EXPECT_TRUE(IsEqualGUID(attributes->guid, IID_ISimpy));
    info->ReleaseTypeAttr(attributes);
    info->Release();
    simpy->Release();
}

TEST_F(ComModuleTest, TypeLibraryCarriesTheHelpStrings)
{
    ITypeLib* lib = nullptr;
    ASSERT_EQ(LoadTypeLibEx(PLENTOR_COM_DLL, REGKIND_NONE, &lib), S_OK);
    TLIBATTR* attributes = nullptr;
    ASSERT_EQ(lib->GetLibAttr(&attributes), S_OK);
    EXPECT_TRUE(IsEqualGUID(attributes->guid, LIBID_PLENTORLib));
    EXPECT_EQ(attributes->wMajorVerNum, 1);
    EXPECT_EQ(attributes->wMinorVerNum, 0);
    EXPECT_EQ(attributes->lcid, 0x409u);
    lib->ReleaseTLibAttr(attributes);

    struct HelpCase {
        const GUID* guid;
        MEMBERID member;   // MEMBERID_NIL: the type itself
        INVOKEKIND kind;
        const wchar_t* help;
    };
    const HelpCase cases[] = {
        {&CLSID_DeliciousSubmit, MEMBERID_NIL, INVOKE_FUNC, L"DeliciousSubmit Class"},
        {&CLSID_QuorlaneSubmit, MEMBERID_NIL, INVOKE_FUNC, L"QuorlaneSubmit Class"},
        {&IID_INetvouz, MEMBERID_NIL, INVOKE_FUNC, L"INetvouz Interface"},
        {&IID_ISimpy, MEMBERID_NIL, INVOKE_FUNC, L"ISimpy Interface"},
        {&IID_IDeliciousSubmit, 2, INVOKE_FUNC, L"method SubmitUrl"},
        {&IID_IDeliciousSubmit, 13, INVOKE_PROPERTYGET, L"property NumLinks"},
        {&IID_IShadows, 1, INVOKE_PROPERTYGET, L"property Login"},
        {&IID_IFurlSubmit, 2, INVOKE_FUNC, L"method QuickSubmit2"},
    };
    for (const HelpCase& c : cases) {
        SCOPED_TRACE(testing::Message() << std::string(c.help, c.help + wcslen(c.help)));
        ITypeInfo* info = nullptr;
        ASSERT_EQ(lib->GetTypeInfoOfGuid(*c.guid, &info), S_OK);
        BSTR help = nullptr;
        EXPECT_EQ(info->GetDocumentation(c.member, nullptr, &help, nullptr, nullptr), S_OK);
        EXPECT_EQ(std::wstring(help ? help : L""), c.help);
        SysFreeString(help);
        info->Release();
    }
    lib->Release();
}

} // namespace
