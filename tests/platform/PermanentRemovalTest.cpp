#include "platform/FileFacts.h"
#include "platform/OpenParent.h"
#include "platform/PermanentRemoval.h"

#include "support/TmpfsMount.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <filesystem>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrane::platform {
namespace {

using test::TempDir;
namespace fs = std::filesystem;

bool exists(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

// A tree holding files, nested folders, an empty folder and links that lead
// out of it; what the links lead to lives beside the tree and must survive.
struct TreeWithLinksOut {
    explicit TreeWithLinksOut(const TempDir& temp) {
        outsideFile = temp.writeFile("outside/keep.txt", "precious");
        outsideFolder = temp.makeDir("outside/folder");
        temp.writeFile("outside/folder/inside.txt", "also precious");
        tree = temp.makeDir("tree");
        temp.writeFile("tree/a.txt", "a");
        temp.writeFile("tree/sub/b.txt", "b");
        temp.writeFile("tree/sub/deeper/c.txt", "c");
        temp.makeDir("tree/sub/empty");
        ::symlink(outsideFolder.c_str(), (tree + "/sub/link-to-folder").c_str());
        ::symlink(outsideFile.c_str(), (tree + "/link-to-file").c_str());
        ::symlink("/nonexistent/target", (tree + "/sub/deeper/dangling").c_str());
    }
    std::string outsideFile;
    std::string outsideFolder;
    std::string tree;
};

TEST(PermanentRemovalTest, RemovesAWholeTreeAndNothingItsLinksLeadTo) {
    TempDir temp;
    const TreeWithLinksOut fixture(temp);

    EXPECT_EQ(removePermanently(fixture.tree), std::nullopt);

    EXPECT_FALSE(exists(fixture.tree));
    EXPECT_TRUE(exists(fixture.outsideFile));
    EXPECT_TRUE(exists(fixture.outsideFolder + "/inside.txt"));
}

TEST(PermanentRemovalTest, RemovesAFileOrALinkButNeverTheLinksTarget) {
    TempDir temp;
    const std::string file = temp.writeFile("file.txt", "x");
    const std::string target = temp.writeFile("target.txt", "y");
    const std::string link = temp / "link";
    ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0);
    const std::string folderLink = temp / "folder-link";
    const std::string folder = temp.makeDir("folder");
    temp.writeFile("folder/content.txt", "z");
    ASSERT_EQ(::symlink(folder.c_str(), folderLink.c_str()), 0);

    EXPECT_EQ(removePermanently(file), std::nullopt);
    EXPECT_EQ(removePermanently(link), std::nullopt);
    EXPECT_EQ(removePermanently(folderLink), std::nullopt);

    EXPECT_FALSE(exists(file));
    EXPECT_FALSE(exists(link));
    EXPECT_FALSE(exists(folderLink));
    EXPECT_TRUE(exists(target));
    EXPECT_TRUE(exists(folder + "/content.txt"));
}

TEST(PermanentRemovalTest, APathThroughALinkIsRefusedAndItsTargetKept) {
    TempDir temp;
    const std::string real = temp.makeDir("real");
    const std::string victim = temp.writeFile("real/victim.txt", "keep me");
    ASSERT_EQ(::symlink(real.c_str(), (temp / "via").c_str()), 0);

    const auto error = removePermanently(temp / "via/victim.txt");
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->code, ENOTDIR);
    EXPECT_TRUE(exists(victim));

    std::optional<Error> openError;
    EXPECT_FALSE(OpenParent::open(temp / "via/victim.txt", openError).has_value());
    for (const std::string bad : {"relative/path", "", "/", "/a/../b", "/a/./b", "/a/.."}) {
        EXPECT_FALSE(OpenParent::open(bad, openError).has_value()) << bad;
        EXPECT_TRUE(openError.has_value()) << bad;
    }
    const auto parent = OpenParent::open(temp.path() + "//real///victim.txt/", openError);
    ASSERT_TRUE(parent.has_value());
    EXPECT_STREQ(parent->name(), "victim.txt");
}

TEST(PermanentRemovalTest, RemovesATreeDeeperThanPathMax) {
    TempDir temp;
    const std::string deep = temp.makeDeepDir("long", PATH_MAX + 600);
    TempDir::writeFileAtAnyDepth(deep + "/bottom.txt", "bottom");

    EXPECT_EQ(removePermanently(temp / "deep-long"), std::nullopt);
    EXPECT_FALSE(exists(temp / "deep-long"));
}

TEST(PermanentRemovalTest, NeverEntersAnotherFileSystem) {
    TempDir temp;
    const std::string tree = temp.makeDir("tree");
    temp.writeFile("tree/before.txt", "gone");
    const std::string mountPoint = temp.makeDir("tree/mounted");
    test::TmpfsMount mount(mountPoint);
    if (!mount.mounted()) GTEST_SKIP() << mount.skipReason();
    const std::string onMount = mountPoint + "/on-the-other-volume.txt";
    TempDir::writeFileAtAnyDepth(onMount, "must stay");

    const auto treeError = removePermanently(tree);
    ASSERT_TRUE(treeError.has_value());
    EXPECT_EQ(treeError->code, EXDEV);
    EXPECT_EQ(treeError->path, mountPoint);
    EXPECT_TRUE(exists(onMount));

    const auto mountError = removePermanently(mountPoint);
    ASSERT_TRUE(mountError.has_value());
    EXPECT_EQ(mountError->code, EBUSY);
    EXPECT_TRUE(exists(onMount));
}

TEST(PermanentRemovalTest, StopsAtTheFirstFileItMayNotRemoveAndNamesIt) {
    TempDir temp;
    const std::string tree = temp.makeDir("tree");
    const std::string guarded = temp.makeDir("tree/guarded");
    const std::string kept = temp.writeFile("tree/guarded/kept.txt", "kept");
    // Everybody may enter and read the tree; nobody may change `guarded`
    // but root.
    ::chmod(temp.path().c_str(), 0777);
    ::chmod(tree.c_str(), 0777);
    ::chmod(guarded.c_str(), 0555);
    test::expectAsUnprivilegedUser([&] {
        const auto error = removePermanently(tree);
        return error && error->code == EACCES && error->path == kept && exists(kept);
    });
    ::chmod(guarded.c_str(), 0755);
}

}  // namespace
}  // namespace kestrane::platform
