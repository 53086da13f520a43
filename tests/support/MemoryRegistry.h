#pragma once

#include "platform/Registry.h"

#include <map>
#include <string>

namespace plentor::testsupport {

using platform::RegistryRoot;

// The registry as a map of key paths to their values, standing in for the
// system's, which only Windows has. It can be told to fail its Nth write.
class MemoryRegistry : public platform::Registry {
public:
    long CreateKey(RegistryRoot root, const std::u16string& path) override
    {
        if (FailNow())
            return kFailure;
        for (size_t at = 0; at != std::u16string::npos;) {
            at = path.find(u'\\', at + (at != 0));
            keys_[Key(root, path.substr(0, at))];
            if (at == std::u16string::npos)
                break;
        }
        return 0;
    }
    bool KeyExists(RegistryRoot root, const std::u16string& path) override { return keys_.count(Key(root, path)) > 0; }
    bool HasSubkeys(RegistryRoot root, const std::u16string& path) override
    {
        const std::u16string prefix = Key(root, path) + u'\\';
        const auto next = keys_.upper_bound(prefix);
        return next != keys_.end() && next->first.compare(0, prefix.size(), prefix) == 0;
    }
    long SetString(RegistryRoot root, const std::u16string& path, const std::u16string& name,
                   const std::u16string& value) override
    {
        if (FailNow())
            return kFailure;
        auto key = keys_.find(Key(root, path));
        if (key == keys_.end())
            return kNotFound;
        key->second[name] = value;
        return 0;
    }
    long DeleteValue(RegistryRoot root, const std::u16string& path, const std::u16string& name) override
    {
        auto key = keys_.find(Key(root, path));
        if (key != keys_.end())
            key->second.erase(name);
        return 0;
    }
    long DeleteTree(RegistryRoot root, const std::u16string& path) override
    {
        const std::u16string key = Key(root, path);
        keys_.erase(key);
        const std::u16string prefix = key + u'\\';
        for (auto it = keys_.lower_bound(prefix); it != keys_.end() && it->first.compare(0, prefix.size(), prefix) == 0;)
            it = keys_.erase(it);
        return 0;
    }

    // The default value (empty name) or a named value; "-" when absent.
    std::u16string Value(const std::u16string& path, const std::u16string& name = u"") const
    {
        auto key = keys_.find(Key(RegistryRoot::ClassesRoot, path));
        if (key == keys_.end())
            return u"-";
        auto value = key->second.find(name);
        return value == key->second.end() ? u"-" : value->second;
    }
    bool Has(const std::u16string& path) const { return keys_.count(Key(RegistryRoot::ClassesRoot, path)) > 0; }
    size_t KeyCount() const { return keys_.size(); }
    void FailWriteNumber(int n) { failAt_ = n; writes_ = 0; }

    static constexpr long kFailure = 5;     // access denied
    static constexpr long kNotFound = 2;

private:
    static std::u16string Key(RegistryRoot root, const std::u16string& path)
    {
        return std::u16string(1, static_cast<char16_t>(u'0' + static_cast<int>(root))) + u'\\' + path;
    }
    bool FailNow() { return failAt_ > 0 && ++writes_ == failAt_; }

    std::map<std::u16string, std::map<std::u16string, std::u16string>> keys_;
    int failAt_ = 0;
    int writes_ = 0;
};

} // namespace plentor::testsupport
