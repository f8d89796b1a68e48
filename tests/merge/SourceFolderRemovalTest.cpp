#include "merge/SourceFolderRemoval.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrane {
namespace {

namespace fs = std::filesystem;

class SourceFolderRemovalTest : public test::IsolatedHomeTest {
protected:
    std::string path(const std::string& relative) const { return m_sandbox / relative; }
    void write(const std::string& relative, const std::string& content) { m_sandbox.writeFile(relative, content); }
    SourceFolderOutcome run(std::map<std::string, std::vector<std::string>> knownCopies = {}) {
        return SourceFolderRemoval::run({path("Old"), path("New"), std::move(knownCopies)}, m_stop);
    }
    std::atomic<bool> m_stop{false};
};

TEST_F(SourceFolderRemovalTest, AnIdenticalCopyHasTheSameBytesAndIsAnotherFile) {
    write("a/photo.jpg", test::noise(100000, 1));
    write("b/photo.jpg", test::noise(100000, 1));
    write("b/other.jpg", test::noise(100000, 2));
    write("b/short.jpg", test::noise(99999, 1));
    EXPECT_TRUE(SourceFolderRemoval::isIdenticalCopy(path("a/photo.jpg"), path("b/photo.jpg")));
    EXPECT_FALSE(SourceFolderRemoval::isIdenticalCopy(path("a/photo.jpg"), path("b/other.jpg")));
    EXPECT_FALSE(SourceFolderRemoval::isIdenticalCopy(path("a/photo.jpg"), path("b/short.jpg")));
    EXPECT_FALSE(SourceFolderRemoval::isIdenticalCopy(path("a/photo.jpg"), path("b/missing.jpg")));
    // Two names of one file are one file, not a copy.
    ASSERT_EQ(::link(path("a/photo.jpg").c_str(), path("b/link.jpg").c_str()), 0);
    EXPECT_FALSE(SourceFolderRemoval::isIdenticalCopy(path("a/photo.jpg"), path("b/link.jpg")));
    // A link is a copy of a link to the same place, and of nothing else.
    fs::create_symlink("photo.jpg", path("a/to-photo"));
    fs::create_symlink("photo.jpg", path("b/to-photo"));
    fs::create_symlink("other.jpg", path("b/to-other"));
    EXPECT_TRUE(SourceFolderRemoval::isIdenticalCopy(path("a/to-photo"), path("b/to-photo")));
    EXPECT_FALSE(SourceFolderRemoval::isIdenticalCopy(path("a/to-photo"), path("b/to-other")));
    EXPECT_FALSE(SourceFolderRemoval::isIdenticalCopy(path("a/to-photo"), path("b/photo.jpg")));
    // A FIFO has no copy, not even another FIFO.
    ASSERT_EQ(::mkfifo(path("a/pipe").c_str(), 0644), 0);
    ASSERT_EQ(::mkfifo(path("b/pipe").c_str(), 0644), 0);
    EXPECT_FALSE(SourceFolderRemoval::isIdenticalCopy(path("a/pipe"), path("b/pipe")));
}

TEST_F(SourceFolderRemovalTest, AFolderIsACopyWhenEverythingInItHasACopyUnderItsName) {
    write("a/album/1.jpg", "one");
    write("a/album/deep/2.jpg", "two");
    write("b/album/1.jpg", "one");
    write("b/album/deep/2.jpg", "two");
    write("b/album/extra.jpg", "more is fine");
    EXPECT_TRUE(SourceFolderRemoval::isIdenticalCopy(path("a/album"), path("b/album")));
    write("a/album/deep/3.jpg", "only here");
    EXPECT_FALSE(SourceFolderRemoval::isIdenticalCopy(path("a/album"), path("b/album")));
    // A folder reached through a link is not looked into.
    fs::create_symlink(path("b/album"), path("b/linked"));
    EXPECT_FALSE(SourceFolderRemoval::isIdenticalCopy(path("b/album"), path("b/linked")));
}

TEST_F(SourceFolderRemovalTest, TheSourceGoesToTheTrashOnlyWhenEveryEntryHasACopy) {
    write("Old/same.jpg", "same");
    write("Old/.hidden", "hidden too");
    write("Old/renamed.jpg", "renamed");
    write("New/same.jpg", "same");
    write("New/.hidden", "hidden too");
    write("New/IMG_1.jpg", "renamed");
    write("Old/lonely.txt", "nowhere else");

    auto outcome = run({{"renamed.jpg", {path("New/IMG_1.jpg")}}});
    EXPECT_FALSE(outcome.removed);
    EXPECT_EQ(outcome.withoutCopy, (std::vector<std::string>{"lonely.txt"}));
    EXPECT_TRUE(fs::exists(path("Old/lonely.txt")));

    // A copy the scan did not know of under another name is not looked for.
    write("New/lonely copy.txt", "nowhere else");
    EXPECT_EQ(run({{"renamed.jpg", {path("New/IMG_1.jpg")}}}).withoutCopy, (std::vector<std::string>{"lonely.txt"}));

    fs::remove(path("Old/lonely.txt"));
    outcome = run({{"renamed.jpg", {path("New/IMG_1.jpg")}}});
    ASSERT_TRUE(outcome.removed) << (outcome.error ? outcome.error->describe() : "");
    EXPECT_FALSE(fs::exists(path("Old")));
    EXPECT_EQ(outcome.trashedPath, m_home + "/.local/share/Trash/files/Old");
    EXPECT_TRUE(fs::exists(outcome.trashedPath + "/.hidden"));
    EXPECT_TRUE(fs::exists(m_home + "/.local/share/Trash/info/Old.trashinfo"));
}

TEST_F(SourceFolderRemovalTest, ADestinationInsideTheSourceKeepsTheSource) {
    write("Old/New/a.txt", "a");
    const auto outcome = SourceFolderRemoval::run({path("Old"), path("Old/New"), {}}, m_stop);
    EXPECT_FALSE(outcome.removed);
    ASSERT_TRUE(outcome.error);
    EXPECT_TRUE(fs::exists(path("Old/New/a.txt")));
}

}  // namespace
}  // namespace kestrane
