#include "text/HashMap.h"

#include <gtest/gtest.h>

#include <string>

namespace plentor {
namespace {

using namespace std::string_literals;

// Expected buckets computed independently: CRC-32 of the key's MD5 digest, mod 499.
TEST(HashMapTest, BucketIsCrcOfMd5Digest)
{
    struct Case {
        const char* key;
        unsigned bucket;
    };
    const Case cases[] = {{"", 115}, {"a", 342}, {"http://example.com/", 482}, {"HTTP://EXAMPLE.COM/", 489}};
    for (const Case& c : cases)
        EXPECT_EQ(HashMap::BucketOf(c.key, 499), c.bucket) << c.key;
}

TEST(HashMapTest, KeysAreExactBytes)
{
    HashMap map(499);
    map.Set("http://a.com/", 1);
    map.Set("http://A.com/", 2);
    map.Set("a\0b"s, 3);
    map.Set("http://a.com/", 4);  // replaces

    EXPECT_EQ(map.EntryCount(), 3u);
    ASSERT_NE(map.Find("http://a.com/"), nullptr);
    EXPECT_EQ(map.Find("http://a.com/")->Value(), 4);
    EXPECT_EQ(map.Find("http://A.com/")->Value(), 2);
    ASSERT_NE(map.Find("a\0b"s), nullptr);
    EXPECT_EQ(map.Find("a\0b"s)->Value(), 3);
    EXPECT_EQ(map.Find("a"), nullptr);
    EXPECT_EQ(map.Find("http://a.com"), nullptr);
}

// Far more keys than buckets: every one must still be found with its own value.
TEST(HashMapTest, HoldsManyKeysPerBucket)
{
    HashMap map(499);
    const int kKeys = 20000;
    for (int i = 0; i < kKeys; ++i)
        map.Set("http://site.com/page" + std::to_string(i), i);
    EXPECT_EQ(map.EntryCount(), static_cast<unsigned>(kKeys));
    for (int i = 0; i < kKeys; i += 997) {
        const ZentrelInt* v = map.Find("http://site.com/page" + std::to_string(i));
        ASSERT_NE(v, nullptr) << i;
        EXPECT_EQ(v->Value(), i);
    }
}

} // namespace
} // namespace plentor
