#include "module/win32/RegistrationScript.h"

#include "module/RegistryScript.h"
#include "module/win32/ComModule.h"
#include "module/win32/Plentor.h"
#include "platform/Registry.h"

#include <string>

namespace plentor::com {

namespace {

// Room for a GUID in braces with its terminating zero.
constexpr int kGuidChars = 39;

std::u16string GuidText(REFGUID guid)
{
    wchar_t text[kGuidChars] = {};
    const int n = StringFromGUID2(guid, text, kGuidChars);
    return n > 0 ? std::u16string(reinterpret_cast<const char16_t*>(text), static_cast<size_t>(n - 1)) : std::u16string();
}

// The script resource's text; its bytes are ASCII.
HRESULT LoadScript(UINT resource, std::u16string& text)
{
    HINSTANCE module = ComModule::Instance().Handle();
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(resource), L"REGISTRY");
    HGLOBAL loaded = found == nullptr ? nullptr : LoadResource(module, found);
    const void* bytes = loaded == nullptr ? nullptr : LockResource(loaded);
    if (bytes == nullptr)
        return HRESULT_FROM_WIN32(GetLastError());
    const DWORD size = SizeofResource(module, found);
    const auto* p = static_cast<const unsigned char*>(bytes);
    text.assign(p, p + size);
    return S_OK;
}

} // namespace

HRESULT RegistrationScript::Run(UINT resource, REFCLSID clsid, Mode mode)
{
    std::u16string text;
    HRESULT hr = LoadScript(resource, text);
    if (FAILED(hr))
        return hr;
    const std::wstring file = ComModule::Instance().FileName();
    RegistryScript::Replacements replacements = {
        {u"MODULE", std::u16string(reinterpret_cast<const char16_t*>(file.data()), file.size())},
        {u"CLSID", GuidText(clsid)},
        {u"LIBID", GuidText(LIBID_PLENTORLib)},
    };
    RegistryScript script(std::move(text), std::move(replacements), platform::SystemRegistry());
    const long error = mode == Mode::Register ? script.Register() : script.Unregister();
    return error == 0 ? S_OK : HRESULT_FROM_WIN32(static_cast<unsigned long>(error));
}

} // namespace plentor::com
