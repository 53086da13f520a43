#pragma once

#include "text/ZentrelInt.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace plentor {

// Table from byte-string keys to int values with a bucket count fixed at
// construction. Keys compare as exact, case-sensitive bytes; a key's bucket
// is the CRC-32 of its MD5 digest, modulo the bucket count.
class HashMap {
public:
    explicit HashMap(unsigned bucketCount);

    // The value stored under key, or null.
    ZentrelInt* Find(std::string_view key);
    const ZentrelInt* Find(std::string_view key) const;

    // Stores value under key, replacing any earlier value.
    void Set(std::string_view key, int value);

    unsigned EntryCount() const { return entryCount_; }
    unsigned BucketCount() const { return static_cast<unsigned>(buckets_.size()); }

    // The bucket a key falls in for the given bucket count.
    static unsigned BucketOf(std::string_view key, unsigned bucketCount);

private:
    // Each bucket is itself hashed, so that a table holding far more keys than
    // buckets still finds a key in constant time instead of walking a chain.
    struct KeyHash {
        using is_transparent = void;  // lets a string_view be looked up without a copy
        size_t operator()(std::string_view key) const { return std::hash<std::string_view>{}(key); }
    };
    using Bucket = std::unordered_map<std::string, ZentrelInt, KeyHash, std::equal_to<>>;

    Bucket& BucketFor(std::string_view key) { return buckets_[BucketOf(key, BucketCount())]; }
    const Bucket& BucketFor(std::string_view key) const { return buckets_[BucketOf(key, BucketCount())]; }

    std::vector<Bucket> buckets_;
    unsigned entryCount_ = 0;
};

} // namespace plentor
