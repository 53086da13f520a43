#include "http/cookies/CookieStore.h"

#include "text/HashMap.h"

namespace plentor {

CookieStore::CookieStore() : buckets_(kBucketCount) {}

CookieStore::Bucket& CookieStore::BucketFor(std::string_view name)
{
    return buckets_[HashMap::BucketOf(name, kBucketCount)];
}

const CookieStore::Bucket& CookieStore::BucketFor(std::string_view name) const
{
    return buckets_[HashMap::BucketOf(name, kBucketCount)];
}

const std::string* CookieStore::Find(std::string_view name) const
{
    const Bucket& bucket = BucketFor(name);
    auto it = bucket.find(name);
    return it == bucket.end() ? nullptr : &it->second;
}

void CookieStore::Set(std::string_view name, std::string text)
{
    Bucket& bucket = BucketFor(name);
    auto it = bucket.find(name);
    if (it != bucket.end()) {
        it->second = std::move(text);
        return;
    }
    bucket.emplace(std::string(name), std::move(text));
    ++count_;
}

bool CookieStore::Remove(std::string_view name)
{
    Bucket& bucket = BucketFor(name);
    auto it = bucket.find(name);
    if (it == bucket.end())
        return false;
    bucket.erase(it);
    --count_;
    return true;
}

void CookieStore::Clear()
{
    for (Bucket& bucket : buckets_)
        bucket.clear();
    count_ = 0;
}

} // namespace plentor
