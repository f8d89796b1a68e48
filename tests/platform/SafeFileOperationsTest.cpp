#include "platform/SafeFileOperations.h"

#include "support/TestSupport.h"
#include "support/TmpfsMount.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using namespace kestrane::platform;
using kestrane::test::TempDir;

std::set<std::string> namesIn(const std::string& folder) {
    std::set<std::string> names;
    if (DIR* dir = ::opendir(folder.c_str())) {
        while (const dirent* entry = ::readdir(dir))
            if (std::string(entry->d_name) != "." && std::string(entry->d_name) != "..") names.insert(entry->d_name);
        ::closedir(dir);
    }
    return names;
}

struct stat attributesOf(const std::string& path) {
    struct stat attributes {};
    ::lstat(path.c_str(), &attributes);
    return attributes;
}

TEST(SafeFileOperationsTest, RenamingNeverReplacesAndSaysWhy) {
    TempDir dir;
    const std::string a = dir.writeFile("a.txt", "A");
    const std::string b = dir.writeFile("b.txt", "B");
    EXPECT_EQ(renameWithoutReplacing(a, b), EEXIST);
    EXPECT_EQ(kestrane::test::fileContent(a), "A");
    EXPECT_EQ(kestrane::test::fileContent(b), "B");
    EXPECT_EQ(renameWithoutReplacing(dir / "missing", dir / "c.txt"), ENOENT);

    const std::string folder = dir.makeDir("folder/inner");
    EXPECT_EQ(renameWithoutReplacing(a, dir / "folder/inner/a.txt"), 0);
    EXPECT_EQ(kestrane::test::fileContent(dir / "folder/inner/a.txt"), "A");
    EXPECT_EQ(renameWithoutReplacing(dir / "folder", dir / "renamed"), 0);
    EXPECT_EQ(kestrane::test::fileContent(dir / "renamed/inner/a.txt"), "A");
    EXPECT_EQ(renameWithoutReplacing(dir / "renamed", dir / "renamed/inner/below"), EINVAL);
    (void)folder;
}

TEST(SafeFileOperationsTest, AtomicWritesReplaceTheWholeFileAndLeaveNothingBehind) {
    TempDir dir;
    const std::string path = dir / "log.json";
    ASSERT_FALSE(writeFileAtomically(path, "first", 0600));
    EXPECT_EQ(kestrane::test::fileContent(path), "first");
    EXPECT_EQ(attributesOf(path).st_mode & 07777, 0600u);
    ASSERT_FALSE(writeFileAtomically(path, std::string(100000, 'z'), 0644));
    EXPECT_EQ(kestrane::test::fileContent(path), std::string(100000, 'z'));
    EXPECT_EQ(namesIn(dir.path()), std::set<std::string>{"log.json"});

    const auto missingFolder = writeFileAtomically(dir / "no/such/folder/file", "x");
    ASSERT_TRUE(missingFolder);
    EXPECT_EQ(missingFolder->code, ENOENT);
}

TEST(SafeFileOperationsTest, CopiesKeepBytesModesAndTimesAndNeverShowAPartialCopy) {
    TempDir dir;
    const std::string source = dir.writeFile("src/photo.jpg", kestrane::test::noise(300000, 7));
    ::chmod(source.c_str(), 0640);
    kestrane::test::setModificationTime(source, 1700000000, 123456789);
    const std::string target = dir.makeDir("dst") + "/photo.jpg";

    { const auto error = copyWithoutReplacing(source, target); ASSERT_FALSE(error) << error->describe(); }
    EXPECT_EQ(kestrane::test::fileContent(target), kestrane::test::fileContent(source));
    const auto copied = attributesOf(target);
    EXPECT_EQ(copied.st_mode & 07777, 0640u);
    EXPECT_EQ(copied.st_mtim.tv_sec, 1700000000);
    EXPECT_EQ(copied.st_mtim.tv_nsec, 123456789);
    EXPECT_EQ(namesIn(dir / "dst"), std::set<std::string>{"photo.jpg"});

    // Taken: refused, the file there untouched, no temporary copy left.
    dir.writeFile("dst/taken.jpg", "mine");
    const auto refused = copyWithoutReplacing(source, dir / "dst/taken.jpg");
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->code, EEXIST);
    EXPECT_EQ(kestrane::test::fileContent(dir / "dst/taken.jpg"), "mine");
    EXPECT_EQ(namesIn(dir / "dst"), (std::set<std::string>{"photo.jpg", "taken.jpg"}));

    // A folder tree: files, sub-folders and links (copied as links), with
    // the folders' own times.
    dir.writeFile("tree/a.txt", "a");
    dir.writeFile("tree/sub/b.txt", "b");
    ASSERT_EQ(::symlink("../a.txt", (dir / "tree/sub/link").c_str()), 0);
    ASSERT_EQ(::symlink("/etc/passwd", (dir / "tree/outside").c_str()), 0);
    kestrane::test::setModificationTime(dir / "tree/sub", 1600000000, 5);
    kestrane::test::setModificationTime(dir / "tree", 1500000000, 0);
    ASSERT_FALSE(copyWithoutReplacing(dir / "tree", dir / "dst/tree"));
    EXPECT_EQ(kestrane::test::fileContent(dir / "dst/tree/sub/b.txt"), "b");
    EXPECT_TRUE(S_ISLNK(attributesOf(dir / "dst/tree/sub/link").st_mode));
    EXPECT_TRUE(S_ISLNK(attributesOf(dir / "dst/tree/outside").st_mode));
    EXPECT_EQ(attributesOf(dir / "dst/tree/sub").st_mtim.tv_sec, 1600000000);
    EXPECT_EQ(attributesOf(dir / "dst/tree").st_mtim.tv_sec, 1500000000);

    // Something that cannot be copied: the tree is not put in place, and its
    // partial copy is gone.
    ASSERT_EQ(::mkfifo((dir / "tree/sub/pipe").c_str(), 0600), 0);
    const auto fifo = copyWithoutReplacing(dir / "tree", dir / "dst/tree2");
    ASSERT_TRUE(fifo);
    EXPECT_NE(fifo->path.find("sub/pipe"), std::string::npos);
    EXPECT_EQ(namesIn(dir / "dst"), (std::set<std::string>{"photo.jpg", "taken.jpg", "tree"}));
}

TEST(SafeFileOperationsTest, CopiesCrossVolumes) {
    TempDir dir;
    kestrane::test::TmpfsMount volume(dir / "volume");
    if (!volume.mounted()) GTEST_SKIP() << volume.skipReason();
    const std::string source = dir.writeFile("big.bin", kestrane::test::noise(3 << 20, 3));
    kestrane::test::setModificationTime(source, 1234567890, 42);
    EXPECT_EQ(renameWithoutReplacing(source, volume.path() + "/big.bin"), EXDEV);
    ASSERT_FALSE(copyWithoutReplacing(source, volume.path() + "/big.bin"));
    EXPECT_EQ(kestrane::test::md5sum(volume.path() + "/big.bin"), kestrane::test::md5sum(source));
    EXPECT_EQ(attributesOf(volume.path() + "/big.bin").st_mtim.tv_nsec, 42);
}

TEST(SafeFileOperationsTest, PathPartsAndFolders) {
    EXPECT_EQ(lastPathComponent("/a/b"), "b");
    EXPECT_EQ(lastPathComponent("/a/b//"), "b");
    EXPECT_EQ(lastPathComponent("b"), "b");
    EXPECT_EQ(parentPath("/a/b"), "/a");
    EXPECT_EQ(parentPath("/a//b/"), "/a");
    EXPECT_EQ(parentPath("/a"), "/");
    EXPECT_EQ(parentPath("a"), "");

    TempDir dir;
    EXPECT_TRUE(makeFolders(dir / "x/y/z"));
    EXPECT_TRUE(S_ISDIR(attributesOf(dir / "x/y/z").st_mode));
    dir.writeFile("file", "f");
    EXPECT_FALSE(makeFolders(dir / "file/below"));
    EXPECT_TRUE(pathExists(dir / "file"));
    ASSERT_EQ(::symlink("nowhere", (dir / "dangling").c_str()), 0);
    EXPECT_TRUE(pathExists(dir / "dangling"));
    EXPECT_FALSE(pathExists(dir / "nothing"));
}

}  // namespace
