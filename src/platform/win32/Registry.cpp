#include "platform/Registry.h"

#include <windows.h>

namespace plentor::platform {

namespace {

HKEY RootKey(RegistryRoot root)
{
    switch (root) {
    case RegistryRoot::ClassesRoot: return HKEY_CLASSES_ROOT;
    case RegistryRoot::CurrentUser: return HKEY_CURRENT_USER;
    case RegistryRoot::LocalMachine: return HKEY_LOCAL_MACHINE;
    case RegistryRoot::Users: return HKEY_USERS;
    case RegistryRoot::CurrentConfig: return HKEY_CURRENT_CONFIG;
    }
    return HKEY_CLASSES_ROOT;
}

const wchar_t* Wide(const std::u16string& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }

// An open key, closed at the end of its scope.
class OpenKey {
public:
    OpenKey(RegistryRoot root, const std::u16string& path, REGSAM access)
        : status_(RegOpenKeyExW(RootKey(root), Wide(path), 0, access, &key_))
    {
    }
    ~OpenKey()
    {
        if (status_ == ERROR_SUCCESS)
            RegCloseKey(key_);
    }
    OpenKey(const OpenKey&) = delete;
    OpenKey& operator=(const OpenKey&) = delete;

    LONG Status() const { return status_; }
    HKEY Get() const { return key_; }

private:
    HKEY key_ = nullptr;
    LONG status_;
};

class SystemRegistryImpl : public Registry {
public:
    long CreateKey(RegistryRoot root, const std::u16string& path) override
    {
        HKEY key = nullptr;
        const LONG status = RegCreateKeyExW(RootKey(root), Wide(path), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                            KEY_READ | KEY_WRITE, nullptr, &key, nullptr);
        if (status == ERROR_SUCCESS)
            RegCloseKey(key);
        return status;
    }

    bool KeyExists(RegistryRoot root, const std::u16string& path) override
    {
        return OpenKey(root, path, KEY_READ).Status() == ERROR_SUCCESS;
    }

    bool HasSubkeys(RegistryRoot root, const std::u16string& path) override
    {
        OpenKey key(root, path, KEY_READ);
        DWORD subkeys = 0;
        return key.Status() == ERROR_SUCCESS &&
               RegQueryInfoKeyW(key.Get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr, nullptr,
                                nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
               subkeys > 0;
    }

    long SetString(RegistryRoot root, const std::u16string& path, const std::u16string& name,
                   const std::u16string& value) override
    {
        OpenKey key(root, path, KEY_SET_VALUE);
        if (key.Status() != ERROR_SUCCESS)
            return key.Status();
        const DWORD bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
        return RegSetValueExW(key.Get(), name.empty() ? nullptr : Wide(name), 0, REG_SZ,
                              reinterpret_cast<const BYTE*>(value.c_str()), bytes);
    }

    long DeleteValue(RegistryRoot root, const std::u16string& path, const std::u16string& name) override
    {
        OpenKey key(root, path, KEY_SET_VALUE);
        if (key.Status() != ERROR_SUCCESS)
            return key.Status();
        const LONG status = RegDeleteValueW(key.Get(), name.empty() ? nullptr : Wide(name));
        return status == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : status;
    }

    long DeleteTree(RegistryRoot root, const std::u16string& path) override
    {
        // The subkeys first, then the key itself (RegDeleteTree with a
        // subkey name removes both, but is missing on the oldest systems).
        {
            OpenKey key(root, path, KEY_READ | KEY_WRITE | DELETE);
            if (key.Status() == ERROR_FILE_NOT_FOUND)
                return ERROR_SUCCESS;
            if (key.Status() != ERROR_SUCCESS)
                return key.Status();
            for (;;) {
                wchar_t name[256];   // the longest key name the registry allows, with its zero
                DWORD length = 256;
                const LONG status = RegEnumKeyExW(key.Get(), 0, name, &length, nullptr, nullptr, nullptr, nullptr);
                if (status == ERROR_NO_MORE_ITEMS)
                    break;
                if (status != ERROR_SUCCESS)
                    return status;
                const std::u16string child = path + u'\\' + reinterpret_cast<const char16_t*>(name);
                const long error = DeleteTree(root, child);
                if (error != ERROR_SUCCESS)
                    return error;
            }
        }
        return RegDeleteKeyW(RootKey(root), Wide(path));
    }
};

} // namespace

Registry& SystemRegistry()
{
    static SystemRegistryImpl registry;
    return registry;
}

} // namespace plentor::platform
