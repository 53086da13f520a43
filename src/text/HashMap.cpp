#include "text/HashMap.h"

#include "text/Crc32.h"
#include "text/Md5.h"

namespace plentor {

HashMap::HashMap(unsigned bucketCount) : buckets_(bucketCount > 0 ? bucketCount : 1) {}

unsigned HashMap::BucketOf(std::string_view key, unsigned bucketCount)
{
    uint8_t digest[Md5::kDigestSize];
    Md5::Digest(key.data(), key.size(), digest);
    return Crc32::Compute(digest, sizeof digest) % (bucketCount > 0 ? bucketCount : 1);
}

ZentrelInt* HashMap::Find(std::string_view key)
{
    Bucket& bucket = BucketFor(key);
    auto it = bucket.find(key);
    return it == bucket.end() ? nullptr : &it->second;
}

const ZentrelInt* HashMap::Find(std::string_view key) const
{
    const Bucket& bucket = BucketFor(key);
    auto it = bucket.find(key);
    return it == bucket.end() ? nullptr : &it->second;
}

void HashMap::Set(std::string_view key, int value)
{
    auto [it, inserted] = BucketFor(key).try_emplace(std::string(key), value);
    if (inserted)
        ++entryCount_;
    else
        it->second.Set(value);
}

} // namespace plentor
