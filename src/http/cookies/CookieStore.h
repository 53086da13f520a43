#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace plentor {

// The in-memory cookie location: the XML text of each domain's cookie
// document, keyed by the domain's cookie file name. Owned by the HTTP
// settings, so cookies live exactly as long as the facade that holds them.
class CookieStore {
public:
    // Fixed bucket count of the table; a key's bucket is chosen as in HashMap.
    static constexpr unsigned kBucketCount = 400;

    CookieStore();

    // The document text stored under the name, or null.
    const std::string* Find(std::string_view name) const;
    // Stores text under the name, replacing any earlier document.
    void Set(std::string_view name, std::string text);
    // False when nothing was stored under the name.
    bool Remove(std::string_view name);
    void Clear();

    size_t Count() const { return count_; }

private:
    struct KeyHash {
        using is_transparent = void;  // lets a string_view be looked up without a copy
        size_t operator()(std::string_view key) const { return std::hash<std::string_view>{}(key); }
    };
    using Bucket = std::unordered_map<std::string, std::string, KeyHash, std::equal_to<>>;

    Bucket& BucketFor(std::string_view name);
    const Bucket& BucketFor(std::string_view name) const;

    std::vector<Bucket> buckets_;
    size_t count_ = 0;
};

} // namespace plentor
