// What the client programs of Plentor.dll share: the table of its classes,
// a BSTR and an interface reference released at the end of their scope, and
// a fixture that loads the module directly (no registration) and creates its
// objects through the class factories.

#pragma once

#include "module/win32/Plentor.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <oleauto.h>

#include <string>
#include <utility>

namespace plentor::testsupport {

// Whether a class keeps a login and a password as properties of its own.
enum class Credentials { None, Properties };

struct ClassCase {
    const char* name;
    const CLSID* clsid;
    const IID* iid;
    const wchar_t* caption;   // the line of text the control draws
    Credentials credentials;
};

inline const ClassCase kClasses[] = {
    {"DeliciousSubmit", &CLSID_DeliciousSubmit, &IID_IDeliciousSubmit, L"DeliciousSubmit", Credentials::Properties},
    {"FurlSubmit", &CLSID_FurlSubmit, &IID_IFurlSubmit, L"ATL 3.0 : FurlSubmit", Credentials::None},
    {"Netvouz", &CLSID_Netvouz, &IID_INetvouz, L"ATL 3.0 : Netvouz", Credentials::None},
    {"Shadows", &CLSID_Shadows, &IID_IShadows, L"ATL 3.0 : Shadows", Credentials::Properties},
    {"Spurl", &CLSID_Spurl, &IID_ISpurl, L"ATL 3.0 : Spurl", Credentials::None},
    {"Blogmarks", &CLSID_Blogmarks, &IID_IBlogmarks, L"ATL 3.0 : Blogmarks", Credentials::None},
    {"QuorlaneSubmit", &CLSID_QuorlaneSubmit, &IID_IQuorlaneSubmit, L"ATL 3.0 : QuorlaneSubmit", Credentials::None},
    {"Simpy", &CLSID_Simpy, &IID_ISimpy, L"ATL 3.0 : Simpy", Credentials::Properties},
};

// A BSTR released at the end of its scope.
class Bstr {
public:
    Bstr() = default;
    explicit Bstr(const wchar_t* text) : value_(SysAllocString(text)) {}
    Bstr(const wchar_t* text, UINT length) : value_(SysAllocStringLen(text, length)) {}
    ~Bstr() { SysFreeString(value_); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;

    BSTR* Out()
    {
        SysFreeString(value_);
        value_ = nullptr;
        return &value_;
    }
    BSTR Get() const { return value_; }
    std::wstring Text() const { return std::wstring(value_, SysStringLen(value_)); }

private:
    BSTR value_ = nullptr;
};

// An interface reference released at the end of its scope.
template <class Interface>
class ComRef {
public:
    ComRef() = default;
    explicit ComRef(Interface* pointer) : pointer_(pointer) {}
    ~ComRef() { Reset(); }
    ComRef(ComRef&& other) noexcept : pointer_(std::exchange(other.pointer_, nullptr)) {}
    ComRef& operator=(ComRef&& other) noexcept
    {
        if (this != &other) {
            Reset();
            pointer_ = std::exchange(other.pointer_, nullptr);
        }
        return *this;
    }
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;

    Interface* operator->() const { return pointer_; }
    Interface* Get() const { return pointer_; }
    explicit operator bool() const { return pointer_ != nullptr; }
    Interface** Out()
    {
        Reset();
        return &pointer_;
    }
    void** OutVoid() { return reinterpret_cast<void**>(Out()); }
    void Reset()
    {
        if (pointer_ != nullptr)
            pointer_->Release();
        pointer_ = nullptr;
    }

private:
    Interface* pointer_ = nullptr;
};

using GetClassObjectFunction = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
using CanUnloadNowFunction = HRESULT(STDAPICALLTYPE*)();

// Loads Plentor.dll by its file name, as a host that does not use the
// registry would, and hands out its class factories and new objects.
class ComModuleFixture : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        CoInitialize(nullptr);
        module_ = LoadLibraryW(PLENTOR_COM_DLL);
        ASSERT_NE(module_, nullptr) << "Plentor.dll did not load, error " << GetLastError();
        getClassObject_ = reinterpret_cast<GetClassObjectFunction>(
            reinterpret_cast<void*>(GetProcAddress(module_, "DllGetClassObject")));
        canUnloadNow_ = reinterpret_cast<CanUnloadNowFunction>(
            reinterpret_cast<void*>(GetProcAddress(module_, "DllCanUnloadNow")));
        ASSERT_NE(getClassObject_, nullptr);
        ASSERT_NE(canUnloadNow_, nullptr);
    }

    static IClassFactory* Factory(const CLSID& clsid)
    {
        IClassFactory* factory = nullptr;
        EXPECT_EQ(getClassObject_(clsid, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
        return factory;
    }

    template <class Interface>
    static Interface* Create(const CLSID& clsid, const IID& iid)
    {
        IClassFactory* factory = Factory(clsid);
        if (factory == nullptr)
            return nullptr;
        Interface* object = nullptr;
        EXPECT_EQ(factory->CreateInstance(nullptr, iid, reinterpret_cast<void**>(&object)), S_OK);
        factory->Release();
        return object;
    }

    static inline HMODULE module_ = nullptr;
    static inline GetClassObjectFunction getClassObject_ = nullptr;
    static inline CanUnloadNowFunction canUnloadNow_ = nullptr;
};

} // namespace plentor::testsupport
