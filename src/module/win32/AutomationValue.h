#pragma once

#include "module/HostString.h"

#include <windows.h>
#include <oleauto.h>

#include <string>

namespace plentor::com {

// Values crossing the objects' boundary. Automation strings: a null string
// reads as empty, a string is taken with its own length (it may hold zero
// characters), and a string handed out is always allocated, also when it is
// empty. Numbers go out through the method's out-parameter.
class AutomationValue {
public:
    static HostString In(BSTR text)
    {
        if (text == nullptr)
            return HostString();
        return HostString(std::u16string_view(reinterpret_cast<const char16_t*>(text), SysStringLen(text)));
    }

    static HRESULT Out(const std::u16string& text, BSTR* out)
    {
        if (out == nullptr)
            return E_POINTER;
        *out = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()), static_cast<UINT>(text.size()));
        return *out == nullptr ? E_OUTOFMEMORY : S_OK;
    }

    static HRESULT Out(long value, LONG* out)
    {
        if (out == nullptr)
            return E_POINTER;
        *out = value;
        return S_OK;
    }
};

} // namespace plentor::com
