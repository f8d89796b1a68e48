#include "merge/MergeColorTag.h"
#include "merge/MergeFileOperation.h"
#include "platform/FileFacts.h"
#include "support/SimilarFolders.h"
#include "support/TestSupport.h"
#include "support/TmpfsMount.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <map>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace kestrane {
namespace {

namespace fs = std::filesystem;

using test::fileContent;

// Every entry below a folder, by relative path: "d" for a folder, "l:" and
// the target for a link, the content for a file.
std::map<std::string, std::string> treeOf(const std::string& folder) {
    std::map<std::string, std::string> tree;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        const std::string relative = fs::relative(entry.path(), folder).string();
        if (entry.is_symlink()) tree[relative] = "l:" + fs::read_symlink(entry.path()).string();
        else if (entry.is_directory()) tree[relative] = "d";
        else tree[relative] = fileContent(entry.path().string());
    }
    return tree;
}

platform::FileTime modificationOf(const std::string& path) { return platform::factsOfPath(path)->modification; }

void setModification(const std::string& path, std::int64_t seconds, long nanoseconds) {
    const timespec times[2] = {{seconds, nanoseconds}, {seconds, nanoseconds}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0);
}

class MergeFileOperationTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_source = m_dir.makeDir("Old");
        m_destination = m_dir.makeDir("New");
    }

    // The task for an item of the source folder, as a merge prepares it.
    MergeFileTask task(const std::string& name, MergeAction action, std::string destination = {}) const {
        MergeFileTask task;
        task.action = action;
        task.sourceFolder = m_source;
        task.name = name;
        task.destinationFolder = destination.empty() ? m_destination : destination;
        task.seen = platform::factsOfPath(m_source + "/" + name);
        task.isFolder = task.seen && task.seen->type == platform::DirectoryEntryType::directory;
        task.size = task.seen ? task.seen->size : 0;
        return task;
    }
    MergeFileOutcome perform(const MergeFileTask& task) { return MergeFileOperation::perform(task, m_stop); }

    test::TempDir m_dir;
    std::string m_source;
    std::string m_destination;
    std::atomic<bool> m_stop{false};
};

TEST_F(MergeFileOperationTest, AMoveRenamesTheFileItselfUnderTheFirstFreeName) {
    m_dir.writeFile("Old/report.pdf", "new report");
    m_dir.writeFile("New/report.pdf", "old report");
    m_dir.writeFile("New/report 1.pdf", "older report");
    const auto before = platform::factsOfPath(m_source + "/report.pdf");

    const auto outcome = perform(task("report.pdf", MergeAction::Move));
    ASSERT_TRUE(outcome.result.isSuccessful()) << outcome.result.error->describe();
    EXPECT_EQ(outcome.destinationPath, m_destination + "/report 2.pdf");
    EXPECT_TRUE(outcome.arrived);
    EXPECT_TRUE(outcome.originalRemoved);
    // The same file (a rename), and nothing that was there was touched.
    EXPECT_EQ(platform::factsOfPath(outcome.destinationPath)->identity, before->identity);
    EXPECT_FALSE(fs::exists(m_source + "/report.pdf"));
    EXPECT_EQ(treeOf(m_destination), (std::map<std::string, std::string>{
                                         {"report.pdf", "old report"},
                                         {"report 1.pdf", "older report"},
                                         {"report 2.pdf", "new report"}}));
}

TEST_F(MergeFileOperationTest, ACopyLeavesTheSourceAsItWasAndKeepsContentTimesAndPermissions) {
    m_dir.writeFile("Old/photos.2019/a.jpg", "a");
    m_dir.writeFile("Old/photos.2019/deeper/b.jpg", test::noise(300000, 7));
    fs::create_symlink("a.jpg", m_source + "/photos.2019/link");
    ::chmod((m_source + "/photos.2019/a.jpg").c_str(), 0640);
    setModification(m_source + "/photos.2019/deeper/b.jpg", 1'234'567'890, 123456789);
    m_dir.makeDir("New/photos.2019");
    const auto sourceBefore = treeOf(m_source);

    const auto outcome = perform(task("photos.2019", MergeAction::Copy));
    ASSERT_TRUE(outcome.result.isSuccessful()) << outcome.result.error->describe();
    EXPECT_EQ(outcome.destinationPath, m_destination + "/photos.2019 1");
    EXPECT_FALSE(outcome.originalRemoved);
    EXPECT_EQ(treeOf(m_source), sourceBefore);
    EXPECT_EQ(treeOf(outcome.destinationPath), treeOf(m_source + "/photos.2019"));
    EXPECT_EQ(modificationOf(outcome.destinationPath + "/deeper/b.jpg"),
              (platform::FileTime{1'234'567'890, 123456789}));
    struct stat attributes {};
    ASSERT_EQ(::stat((outcome.destinationPath + "/a.jpg").c_str(), &attributes), 0);
    EXPECT_EQ(attributes.st_mode & 07777, 0640u);
    EXPECT_TRUE(fs::is_symlink(outcome.destinationPath + "/link"));
    // No temporary copy stays behind.
    for (const auto& entry : fs::directory_iterator(m_destination))
        EXPECT_FALSE(MergeFileOperation::isTemporaryName(entry.path().filename().string())) << entry.path();
}

TEST_F(MergeFileOperationTest, AFileThatChangedSinceItWasSeenIsLeftInPlace) {
    const std::string written = m_dir.writeFile("Old/written.txt", "first");
    const std::string touched = m_dir.writeFile("Old/touched.txt", "same");
    const std::string replaced = m_dir.writeFile("Old/replaced.txt", "same");
    // Seen with a time of their own: a file written again within the same
    // clock tick (and given the freed inode) would look the same.
    for (const auto& path : {written, touched, replaced}) setModification(path, 1'600'000'000, 0);
    const auto writtenTask = task("written.txt", MergeAction::Move);
    const auto touchedTask = task("touched.txt", MergeAction::Copy);
    const auto replacedTask = task("replaced.txt", MergeAction::Move);
    auto goneTask = task("written.txt", MergeAction::Move);
    goneTask.name = "gone.txt";

    m_dir.writeFile("Old/written.txt", "second, longer");
    setModification(touched, 1'000'000'000, 0);
    ASSERT_EQ(::unlink(replaced.c_str()), 0);
    m_dir.writeFile("Old/replaced.txt", "same");

    for (const auto& changed : {writtenTask, touchedTask, replacedTask, goneTask}) {
        const auto outcome = perform(changed);
        EXPECT_TRUE(outcome.result.isFailed()) << changed.name;
        EXPECT_FALSE(outcome.arrived) << changed.name;
        ASSERT_TRUE(outcome.result.error) << changed.name;
    }
    EXPECT_EQ(perform(writtenTask).result.error->message, "It changed since the scan and was left in place");
    EXPECT_TRUE(fs::is_empty(m_destination));
    EXPECT_EQ(fileContent(written), "second, longer");
    EXPECT_EQ(fileContent(replaced), "same");
}

TEST_F(MergeFileOperationTest, ANameTakenAfterThePlanLeadsToTheNextFreeOne) {
    m_dir.writeFile("Old/a.txt", "mine");
    const auto planned = task("a.txt", MergeAction::Copy);
    // Names appear in the destination after the merge was prepared, a
    // dangling link among them: none of them is replaced.
    m_dir.writeFile("New/a.txt", "theirs");
    fs::create_symlink("/nonexistent", m_destination + "/a 1.txt");
    const auto outcome = perform(planned);
    ASSERT_TRUE(outcome.result.isSuccessful());
    EXPECT_EQ(outcome.destinationPath, m_destination + "/a 2.txt");
    EXPECT_EQ(fileContent(m_destination + "/a.txt"), "theirs");
    EXPECT_TRUE(fs::is_symlink(m_destination + "/a 1.txt"));
    EXPECT_EQ(fileContent(outcome.destinationPath), "mine");
}

TEST_F(MergeFileOperationTest, StoppedDuringACopyNothingChanges) {
    m_dir.writeFile("Old/big.bin", test::noise(20u << 20, 3));
    const auto planned = task("big.bin", MergeAction::Copy);
    std::uint64_t reported = 0;
    // Stopped once the first block is in: the copy under way is dropped.
    const auto outcome = MergeFileOperation::perform(planned, m_stop, [&](std::uint64_t done) {
        reported = done;
        m_stop.store(true);
    });
    EXPECT_GT(reported, 0u);
    EXPECT_TRUE(outcome.cancelled);
    EXPECT_FALSE(outcome.arrived);
    EXPECT_TRUE(fs::is_empty(m_destination));
    EXPECT_EQ(fs::file_size(m_source + "/big.bin"), 20u << 20);
    // Stopped before it starts: not even looked at.
    EXPECT_TRUE(perform(task("big.bin", MergeAction::Move)).cancelled);
    EXPECT_TRUE(fs::exists(m_source + "/big.bin"));
}

TEST_F(MergeFileOperationTest, OnlyFilesAndFoldersAreMerged) {
    ASSERT_EQ(::mkfifo((m_source + "/pipe").c_str(), 0644), 0);
    m_dir.writeFile("Old/folder/inner", "x");
    ASSERT_EQ(::mkfifo((m_source + "/folder/pipe").c_str(), 0644), 0);
    EXPECT_TRUE(perform(task("pipe", MergeAction::Copy)).result.isFailed());
    // A folder holding a FIFO cannot be copied; no part of it is left behind.
    const auto folder = perform(task("folder", MergeAction::Copy));
    EXPECT_TRUE(folder.result.isFailed());
    EXPECT_TRUE(fs::is_empty(m_destination));
    // Moved within one file system, the folder goes whole, FIFO included.
    EXPECT_TRUE(perform(task("folder", MergeAction::Move)).result.isSuccessful());
    EXPECT_TRUE(fs::is_fifo(m_destination + "/folder/pipe"));
}

TEST_F(MergeFileOperationTest, AColourLabelBecomesATagBesideTheTagsAFileHas) {
    const std::string file = m_dir.writeFile("Old/tagged.txt", "x");
    if (::setxattr(file.c_str(), MergeColorTag::kAttributeName, "Work", 4, 0) != 0)
        GTEST_SKIP() << "this file system keeps no user attributes";
    auto tagged = task("tagged.txt", MergeAction::Copy);
    tagged.colorTag = 6;
    const auto outcome = perform(tagged);
    ASSERT_TRUE(outcome.result.isSuccessful());
    char value[64] = {};
    const ssize_t length = ::getxattr(outcome.destinationPath.c_str(), MergeColorTag::kAttributeName, value, sizeof value);
    ASSERT_GT(length, 0);
    // The copy does not carry the original's attributes; the label is the tag it gets.
    EXPECT_EQ(std::string(value, static_cast<std::size_t>(length)), "Red");
    EXPECT_EQ(MergeColorTag::withTag("Work,Red", "Red"), "Work,Red");
    EXPECT_EQ(MergeColorTag::withTag("Work", "Red"), "Work,Red");
    EXPECT_EQ(MergeColorTag::tagName(0), std::nullopt);
    EXPECT_EQ(MergeColorTag::tagName(8), std::nullopt);
}

TEST_F(MergeFileOperationTest, AcrossFileSystemsAMoveCopiesSyncsAndOnlyThenRemovesTheOriginal) {
    test::TmpfsMount volume(m_dir / "other");
    if (!volume.mounted()) GTEST_SKIP() << volume.skipReason();
    m_dir.writeFile("Old/clip.mov", test::noise(3u << 20, 9));
    m_dir.writeFile("Old/album/one.jpg", "1");
    m_dir.writeFile("Old/album/sub/two.jpg", "2");
    setModification(m_source + "/clip.mov", 1'500'000'000, 5);
    const std::string destination = m_dir.makeDir("other/New");
    const std::string clip = fileContent(m_source + "/clip.mov");
    const auto album = treeOf(m_source + "/album");

    const auto file = perform(task("clip.mov", MergeAction::Move, destination));
    ASSERT_TRUE(file.result.isSuccessful()) << file.result.error->describe();
    EXPECT_TRUE(file.originalRemoved);
    EXPECT_FALSE(fs::exists(m_source + "/clip.mov"));
    EXPECT_EQ(fileContent(destination + "/clip.mov"), clip);
    EXPECT_EQ(modificationOf(destination + "/clip.mov"), (platform::FileTime{1'500'000'000, 5}));

    const auto folder = perform(task("album", MergeAction::Move, destination));
    ASSERT_TRUE(folder.result.isSuccessful()) << folder.result.error->describe();
    EXPECT_FALSE(fs::exists(m_source + "/album"));
    EXPECT_EQ(treeOf(destination + "/album"), album);
    for (const auto& entry : fs::directory_iterator(destination))
        EXPECT_FALSE(MergeFileOperation::isTemporaryName(entry.path().filename().string())) << entry.path();
}

TEST(MergeFileOperationNamesTest, TemporaryNamesAreHiddenAndMarked) {
    EXPECT_TRUE(MergeFileOperation::isTemporaryName(".photo.jpg.kestrane-Ab12Cd"));
    EXPECT_FALSE(MergeFileOperation::isTemporaryName("photo.jpg.kestrane-Ab12Cd"));
    EXPECT_FALSE(MergeFileOperation::isTemporaryName(".photo.jpg.kestrane-Ab12"));
    EXPECT_FALSE(MergeFileOperation::isTemporaryName(".photo.jpg"));
}

}  // namespace
}  // namespace kestrane
