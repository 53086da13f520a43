#pragma once

#include "platform/Registry.h"

#include <map>
#include <string>
#include <vector>

namespace plentor {

// A registration script in the registry script language's common subset,
// run against a registry in register or unregister mode:
//
//   HKCR { Name = s 'default' { val Named = s 'text'  ForceRemove 'Sub' { ... }  NoRemove Other } }
//
// Before parsing, every %NAME% is replaced by its value from the replacement
// map, with each single quote doubled so the value reads back unchanged
// inside a quoted string; "%%" stands for "%". Register creates every key and
// sets every value, recreating ForceRemove keys from nothing, and undoes what
// it did when a step fails. Unregister walks the same keys depth first,
// deletes the listed values and every key not marked NoRemove (a ForceRemove
// key with all it holds, any other key once nothing is left below it); keys
// named CLSID or TYPELIB are never removed by force.
class RegistryScript {
public:
    using Replacements = std::map<std::u16string, std::u16string>;

    // Error number of a script that cannot be read (the platform's "the data
    // is invalid"); Error() says what is wrong with it.
    static constexpr long kInvalidScript = 13;

    RegistryScript(std::u16string text, Replacements replacements, platform::Registry& registry);

    // 0 on success, otherwise the registry's error number or kInvalidScript.
    long Register();
    // 0 on success; keys that do not exist are skipped.
    long Unregister();

    const std::string& Error() const { return error_; }

    struct Node {
        bool isValue = false;          // "val NAME = s '...'"
        std::u16string name;
        bool hasDefault = false;       // a key's "= s '...'"
        std::u16string value;
        bool forceRemove = false;
        bool noRemove = false;
        std::vector<Node> children;
    };
    struct RootBlock {
        platform::RegistryRoot root;
        std::vector<Node> keys;
    };

private:
    bool Prepare();
    long RegisterKeys(platform::RegistryRoot root, const std::u16string& parent, const std::vector<Node>& nodes);
    long UnregisterKeys(platform::RegistryRoot root, const std::u16string& parent, const std::vector<Node>& nodes);
    void Undo();

    struct Step {
        platform::RegistryRoot root;
        std::u16string path;
        std::u16string valueName;
        bool createdKey;   // else a value that was set
    };

    std::u16string text_;
    Replacements replacements_;
    platform::Registry& registry_;
    std::vector<RootBlock> blocks_;
    std::vector<Step> done_;
    std::string error_;
};

} // namespace plentor
