#include "module/win32/TypeLibraryRegistration.h"

#include "module/win32/ComModule.h"

#include <oleauto.h>

#include <string>

namespace plentor::com {

namespace {

using UnRegisterTypeLibFunction = HRESULT(WINAPI*)(REFGUID, WORD, WORD, LCID, SYSKIND);

// The path cut after its last backslash, slash or colon.
std::wstring FolderOf(const std::wstring& path)
{
    const size_t cut = path.find_last_of(L"\\/:");
    return cut == std::wstring::npos ? std::wstring() : path.substr(0, cut + 1);
}

} // namespace

HRESULT TypeLibraryRegistration::Register()
{
    ITypeLib* lib = nullptr;
    std::wstring path;
    HRESULT hr = ComModule::Instance().LoadTypeLibrary(&lib, path);
    if (FAILED(hr))
        return hr;
    std::wstring folder = FolderOf(path);
    hr = RegisterTypeLib(lib, path.data(), folder.empty() ? nullptr : folder.data());
    lib->Release();
    return hr;
}

void TypeLibraryRegistration::Unregister()
{
    ITypeLib* lib = nullptr;
    std::wstring path;
    if (FAILED(ComModule::Instance().LoadTypeLibrary(&lib, path)))
        return;
    TLIBATTR* attributes = nullptr;
    if (SUCCEEDED(lib->GetLibAttr(&attributes))) {
        HMODULE automation = LoadLibraryW(L"oleaut32.dll");
        auto unregister = automation == nullptr ? nullptr
                                                : reinterpret_cast<UnRegisterTypeLibFunction>(reinterpret_cast<void*>(
                                                      GetProcAddress(automation, "UnRegisterTypeLib")));
        if (unregister != nullptr)
            unregister(attributes->guid, attributes->wMajorVerNum, attributes->wMinorVerNum, attributes->lcid,
                       attributes->syskind);
        if (automation != nullptr)
            FreeLibrary(automation);
        lib->ReleaseTLibAttr(attributes);
    }
    lib->Release();
}

} // namespace plentor::com
