#include "duplicates/FilesAttributesCacher.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdint>

namespace kestrane {
namespace {

TEST(FilesAttributesCacherTest, ReadsOnceAndRemembersFailures) {
    test::TempDir dir;
    FilesAttributesCacher& cacher = FilesAttributesCacher::instance();
    cacher.reset();
    const std::string file = dir.writeFile("f.bin", "12345");

    const auto first = cacher.attributesOfItemAtPath(file);
    ASSERT_TRUE(first.has_value());
    EXPECT_FALSE(first->isEmpty());
    EXPECT_EQ(first->size, 5u);
    EXPECT_FALSE(first->isDirectory);
    EXPECT_EQ(first->linkCount, 1u);
    struct stat info {};
    ASSERT_EQ(::lstat(file.c_str(), &info), 0);
    EXPECT_EQ(first->modificationDate,
              (platform::FileTime{info.st_mtim.tv_sec, static_cast<std::uint32_t>(info.st_mtim.tv_nsec)}));

    // The cache answers until it is reset.
    dir.writeFile("f.bin", "1234567890");
    EXPECT_EQ(cacher.attributesOfItemAtPath(file)->size, 5u);
    cacher.reset();
    EXPECT_EQ(cacher.attributesOfItemAtPath(file)->size, 10u);

    // A path that can't be read: nothing the first time, an empty set afterwards.
    const std::string missing = dir / "missing";
    EXPECT_FALSE(cacher.attributesOfItemAtPath(missing).has_value());
    dir.writeFile("missing", "now here");
    const auto again = cacher.attributesOfItemAtPath(missing);
    ASSERT_TRUE(again.has_value());
    EXPECT_TRUE(again->isEmpty());

    EXPECT_TRUE(cacher.attributesOfItemAtPath(dir.path())->isDirectory);
    cacher.reset();
}

}  // namespace
}  // namespace kestrane
