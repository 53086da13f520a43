#pragma once

#include <string>

namespace plentor::platform {

// The registry, reduced to what self-registration needs. Paths are key names
// below a root, separated by backslashes; names and values are UTF-16. Every
// operation answers the platform's error number, 0 on success.
enum class RegistryRoot { ClassesRoot, CurrentUser, LocalMachine, Users, CurrentConfig };

class Registry {
public:
    virtual ~Registry() = default;

    // Creates the key and any missing parents, or opens it when it exists.
    virtual long CreateKey(RegistryRoot root, const std::u16string& path) = 0;
    virtual bool KeyExists(RegistryRoot root, const std::u16string& path) = 0;
    // True when the key exists and holds at least one subkey.
    virtual bool HasSubkeys(RegistryRoot root, const std::u16string& path) = 0;
    // Sets a string value of an existing key; an empty name is the default value.
    virtual long SetString(RegistryRoot root, const std::u16string& path, const std::u16string& name,
                           const std::u16string& value) = 0;
    virtual long DeleteValue(RegistryRoot root, const std::u16string& path, const std::u16string& name) = 0;
    // Deletes the key with everything below it.
    virtual long DeleteTree(RegistryRoot root, const std::u16string& path) = 0;
};

// The system's registry (Windows only).
Registry& SystemRegistry();

} // namespace plentor::platform
