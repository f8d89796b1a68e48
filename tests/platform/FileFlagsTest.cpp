#include "platform/FileFlags.h"
#include "platform/PermanentRemoval.h"

#include "support/FlagsReset.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cerrno>

#include <sys/stat.h>
#include <unistd.h>

namespace kestrane::platform {
namespace {

using test::TempDir;

bool exists(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

TEST(FileFlagsTest, AnOrdinaryFileAndFolderAreNotLockedAndALinkHasNoFlags) {
    TempDir temp;
    const std::string file = temp.writeFile("plain.txt", "x");
    const auto fileFlags = fileFlagsOfPath(file);
    ASSERT_TRUE(fileFlags.has_value());
    EXPECT_FALSE(fileFlags->isLocked());
    const auto folderFlags = fileFlagsOfPath(temp.path());
    ASSERT_TRUE(folderFlags.has_value());
    EXPECT_FALSE(folderFlags->isLocked());
    ::symlink(file.c_str(), (temp / "link").c_str());
    EXPECT_FALSE(fileFlagsOfPath(temp / "link").has_value());
    EXPECT_FALSE(fileFlagsOfPath(temp / "missing").has_value());
}

TEST(FileFlagsTest, ImmutableAndAppendOnlyLockAFileAndAFolderUntilCleared) {
    if (::geteuid() != 0) GTEST_SKIP() << "setting the immutable flag needs root (CAP_LINUX_IMMUTABLE)";
    TempDir temp;
    const std::string immutable = temp.writeFile("immutable.txt", "x");
    const std::string appendOnly = temp.writeFile("append.txt", "y");
    const std::string folder = temp.makeDir("locked-folder");
    const std::string inFolder = temp.writeFile("locked-folder/inside.txt", "z");
    const test::FlagsReset resetImmutable(immutable);
    const test::FlagsReset resetAppend(appendOnly);
    const test::FlagsReset resetFolder(folder);

    if (const auto error = setFileFlags(immutable, {.immutable = true}))
        GTEST_SKIP() << "this file system keeps no immutable flag: " << error->describe();
    ASSERT_EQ(setFileFlags(appendOnly, {.appendOnly = true}), std::nullopt);
    ASSERT_EQ(setFileFlags(folder, {.immutable = true}), std::nullopt);

    const auto immutableFlags = fileFlagsOfPath(immutable);
    ASSERT_TRUE(immutableFlags.has_value());
    EXPECT_TRUE(immutableFlags->immutable);
    EXPECT_FALSE(immutableFlags->appendOnly);
    const auto appendFlags = fileFlagsOfPath(appendOnly);
    ASSERT_TRUE(appendFlags.has_value());
    EXPECT_TRUE(appendFlags->appendOnly);
    EXPECT_TRUE(appendFlags->isLocked());

    // Even root cannot remove them while they are locked.
    EXPECT_EQ(removePermanently(immutable)->code, EPERM);
    EXPECT_EQ(removePermanently(appendOnly)->code, EPERM);
    EXPECT_EQ(removePermanently(inFolder)->code, EPERM);
    EXPECT_TRUE(exists(immutable));
    EXPECT_TRUE(exists(inFolder));

    ASSERT_EQ(setFileFlags(immutable, {}), std::nullopt);
    ASSERT_EQ(setFileFlags(folder, {}), std::nullopt);
    EXPECT_FALSE(fileFlagsOfPath(immutable)->isLocked());
    EXPECT_EQ(removePermanently(immutable), std::nullopt);
    EXPECT_EQ(removePermanently(folder), std::nullopt);
    EXPECT_FALSE(exists(inFolder));
}

TEST(FileFlagsTest, AFileThatCannotBeOpenedStillShowsItsFlags) {
    if (::geteuid() != 0) GTEST_SKIP() << "setting the immutable flag needs root (CAP_LINUX_IMMUTABLE)";
    TempDir temp;
    ::chmod(temp.path().c_str(), 0755);
    const std::string secret = temp.writeFile("secret.txt", "x");
    ::chmod(secret.c_str(), 0600);
    const test::FlagsReset reset(secret);
    if (setFileFlags(secret, {.immutable = true})) GTEST_SKIP() << "this file system keeps no immutable flag";
    // Unreadable for nobody, so the flags come from statx instead of the ioctl.
    test::expectAsUnprivilegedUser([&] {
        const auto flags = fileFlagsOfPath(secret);
        return flags && flags->immutable;
    });
}

}  // namespace
}  // namespace kestrane::platform
