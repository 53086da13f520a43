// The registration-script reader, run in both modes against a registry kept
// in memory whose Nth write may fail. A registration that fails part way
// leaves the (empty) registry as it found it.

#include "FuzzInput.h"

#include "module/RegistryScript.h"
#include "platform/Registry.h"

#include <map>
#include <string>

using namespace plentor;
using namespace plentor::fuzz;

namespace {

using platform::RegistryRoot;

// Key paths with their values; the Nth write can be made to fail so that the
// undo path runs.
class MemoryRegistry : public platform::Registry {
public:
    explicit MemoryRegistry(int failAt) : failAt_(failAt) {}

    long CreateKey(RegistryRoot root, const std::u16string& path) override
    {
        if (FailNow())
            return kFailure;
        for (size_t at = 0; at != std::u16string::npos;) {
            at = path.find(u'\\', at + (at != 0));
            keys_[Key(root, path.substr(0, at))];
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
    size_t KeyCount() const { return keys_.size(); }

private:
    static constexpr long kFailure = 5;
    static constexpr long kNotFound = 2;

    static std::u16string Key(RegistryRoot root, const std::u16string& path)
    {
        return std::u16string(1, static_cast<char16_t>(u'0' + static_cast<int>(root))) + u'\\' + path;
    }
    bool FailNow() { return failAt_ > 0 && ++writes_ == failAt_; }

    std::map<std::u16string, std::map<std::u16string, std::u16string>> keys_;
    int failAt_;
    int writes_ = 0;
};

// Bytes as UTF-16: each byte one unit, or pairs of bytes little-endian.
std::u16string Widen(std::string_view bytes, bool pairs)
{
    std::u16string out;
    if (!pairs) {
        for (char c : bytes)
            out += static_cast<char16_t>(static_cast<unsigned char>(c));
        return out;
    }
    for (size_t i = 0; i + 1 < bytes.size(); i += 2)
        out += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) | static_cast<unsigned char>(bytes[i + 1]) << 8);
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput in(data, size);
    const uint8_t flags = in.Byte();
    const bool pairs = flags & 1;
    RegistryScript::Replacements replacements;
    replacements[u"MODULE"] = Widen(in.Piece('\n'), false);
    replacements[u"CLSID"] = u"{11111111-2222-3333-4444-555555555555}";
    const std::u16string text = Widen(in.Rest(), pairs);

    // The high four bits name the write that fails; 0 lets every write succeed.
    MemoryRegistry registry(flags >> 4);
    RegistryScript script(text, replacements, registry);
    const long registered = script.Register();
    if (registered != 0) {
        Require(registry.KeyCount() == 0);
        return 0;
    }
    RegistryScript again(text, replacements, registry);
    again.Unregister();
    if (flags & 2)
        again.Unregister();   // a second pass over keys that are gone
    return 0;
}
