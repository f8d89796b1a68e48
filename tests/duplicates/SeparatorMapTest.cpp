#include "duplicates/SeparatorMap.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace kestrane {
namespace {

struct Thing {
    int id = 0;
};

TEST(SeparatorMapTest, BucketsObjectsOncePerKey) {
    Thing a{1}, b{2}, c{3};
    SeparatorMap<Thing> map;
    EXPECT_TRUE(map.addObjectWithSeparatorKey(&a, "k1"));
    EXPECT_TRUE(map.addObjectWithSeparatorKey(&b, "k1"));
    EXPECT_FALSE(map.addObjectWithSeparatorKey(&a, "k1"));  // already there
    EXPECT_TRUE(map.addObjectWithSeparatorKey(&a, "k2"));   // another key is another set
    EXPECT_TRUE(map.addObjectWithSeparatorKey(&c, "k3"));
    EXPECT_EQ(map.size(), 3u);
    EXPECT_EQ(map.objectCount(), 4u);
    ASSERT_NE(map.find("k1"), nullptr);
    EXPECT_EQ(*map.find("k1"), (SeparatorMap<Thing>::Set{&a, &b}));
    EXPECT_EQ(map.find("missing"), nullptr);

    const auto taken = map.take("k1");
    EXPECT_EQ(taken.size(), 2u);
    EXPECT_FALSE(map.contains("k1"));
    EXPECT_TRUE(map.take("k1").empty());
    EXPECT_EQ(map.size(), 2u);

    // Keys of another type, as the folder stages use them.
    SeparatorMap<Thing, std::uint64_t> bySize;
    bySize.addObjectWithSeparatorKey(&a, 4096);
    bySize.addObjectWithSeparatorKey(&b, 4096);
    EXPECT_EQ(bySize.find(4096)->size(), 2u);
}

TEST(SeparatorMapTest, NestedMapsBucketUnderTheAdditionalKey) {
    Thing a{1}, b{2}, c{3};
    NestedSeparatorMap<Thing, std::string, std::uint64_t> map;
    EXPECT_TRUE(map.addWithKeys(&a, "image", 100));
    EXPECT_TRUE(map.addWithKeys(&b, "image", 100));
    EXPECT_TRUE(map.addWithKeys(&c, "image", 200));
    EXPECT_FALSE(map.addWithKeys(&a, "image", 100));
    EXPECT_TRUE(map.addWithKeys(&a, "video", 100));
    EXPECT_EQ(map.size(), 2u);
    ASSERT_NE(map.find("image"), nullptr);
    EXPECT_EQ(map.find("image")->size(), 2u);
    EXPECT_EQ(map.find("image")->find(100)->size(), 2u);
    EXPECT_EQ(map.find("video")->objectCount(), 1u);
    EXPECT_EQ(map.find("audio"), nullptr);
}

}  // namespace
}  // namespace kestrane
