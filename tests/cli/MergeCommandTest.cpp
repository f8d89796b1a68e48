// End-to-end tests of `kestrane merge`: the built binary on generated folder pairs.

#include "support/ChildProcess.h"
#include "support/ReportJson.h"
#include "support/SimilarFolders.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrane {
namespace {

namespace fs = std::filesystem;
using test::ChildProcess;
using test::kBinary;

using test::fileContent;

bool isTemporaryName(const std::string& name) {
    return name.starts_with(".") && name.find(".kestrane-") != std::string::npos;
}

// Every regular file below a folder: relative path -> a digest of its content
// (temporary copies in the making left out).
std::map<std::string, std::size_t> filesBelow(const std::string& folder) {
    std::map<std::string, std::size_t> files;
    if (!fs::exists(folder)) return files;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (!entry.is_regular_file() || isTemporaryName(entry.path().filename().string())) continue;
        files[fs::relative(entry.path(), folder).string()] = std::hash<std::string>{}(fileContent(entry.path().string()));
    }
    return files;
}

std::multiset<std::size_t> contents(const std::map<std::string, std::size_t>& files) {
    std::multiset<std::size_t> digests;
    for (const auto& [path, digest] : files) digests.insert(digest);
    return digests;
}

// Names, kinds, sizes and modification times below a folder: what "left as it was" compares.
std::map<std::string, std::string> snapshot(const std::string& folder) {
    std::map<std::string, std::string> entries;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        struct stat info {};
        ::lstat(entry.path().c_str(), &info);
        entries[fs::relative(entry.path(), folder).string()] =
            std::to_string(info.st_mode) + "/" + std::to_string(info.st_size) + "/" +
            std::to_string(info.st_mtim.tv_sec) + "." + std::to_string(info.st_mtim.tv_nsec) + "/" +
            (entry.is_regular_file() ? std::to_string(std::hash<std::string>{}(fileContent(entry.path().string()))) : "");
    }
    return entries;
}

class MergeCommandTest : public test::IsolatedHomeTest {
protected:
    void SetUp() override {
        IsolatedHomeTest::SetUp();
        m_library = m_tree.makeDir("library");
        m_old = m_library + "/Old";
        m_new = m_library + "/New";
    }
    void write(const std::string& relative, const std::string& content) { m_tree.writeFile("library/" + relative, content); }
    // Two similar folders (test::writeSimilarFolders).
    void makePair() { test::writeSimilarFolders(m_tree, "library"); }
    ChildProcess::Result merge(std::vector<std::string> args) {
        args.insert(args.begin(), "merge");
        return ChildProcess::run(kBinary, args);
    }

    test::TempDir m_tree;
    std::string m_library;
    std::string m_old;
    std::string m_new;
};

TEST_F(MergeCommandTest, ACopyMergeLeavesTheSourceAndGivesTheDestinationEveryFileOfBoth) {
    makePair();
    const auto oldBefore = snapshot(m_old);
    const auto oldFiles = filesBelow(m_old);
    const auto newFiles = filesBelow(m_new);

    const auto result = merge({"--copy", "--no-different-names", "--yes", m_old, m_new});
    ASSERT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_EQ(result.out,
              "3 files from \"Old\" will be copied to \"New\" folder.\n"
              "You can customize Merge using the options below or changing direction.\n"
              "\n"
              "Unique Files\n"
              "  copy  c.jpg\n"
              "  copy  photos.2019/ -> photos.2019 1/\n"
              "  copy  report.pdf -> report 2.pdf\n"
              "Duplicate Files\n"
              "  skip  a.jpg (already in \"New\")\n"
              "  skip  b.jpg (already in \"New\")\n"
              "  skip  beach.jpg (in \"New\" as IMG_0042.jpg; --different-names takes it over)\n"
              "3 files were copied succesfully.\n");
    EXPECT_EQ(snapshot(m_old), oldBefore);

    // Every file of both, by content: what New had, and what only Old had.
    const auto merged = filesBelow(m_new);
    for (const auto& [path, digest] : newFiles) EXPECT_EQ(merged.at(path), digest) << path;
    const auto all = contents(merged);
    for (const auto& [path, digest] : oldFiles) EXPECT_TRUE(all.contains(digest)) << path;
    EXPECT_EQ(fileContent(m_new + "/report 2.pdf"), "the report of this year");
    EXPECT_EQ(merged.at("photos.2019 1/deeper/z.jpg"), oldFiles.at("photos.2019/deeper/z.jpg"));
    EXPECT_EQ(merged.size(), newFiles.size() + 4);

    // Merging again finds nothing left to copy.
    const auto again = merge({"--copy", "--no-different-names", "--yes", m_old, m_new});
    EXPECT_EQ(again.exitStatus, 0) << again.err;
    EXPECT_TRUE(again.out.starts_with("There is nothing to merge from \"Old\" to \"New\" folder.\n"
                                      "Change Merge options or direction to process.\n"))
        << again.out;
    EXPECT_EQ(filesBelow(m_new), merged);
}

TEST_F(MergeCommandTest, AMoveWithRemoveSourceTrashesTheSourceOnlyWhenNothingOfItIsLost) {
    makePair();
    const auto oldFiles = filesBelow(m_old);
    auto result = merge({"--move", "--remove-source", "--different-names", "--yes", m_old, m_new});
    ASSERT_EQ(result.exitStatus, 0) << result.err;
    const std::string trash = m_home + "/.local/share/Trash";
    EXPECT_NE(result.out.find("4 files were moved succesfully.\n"
                              "The source folder \"Old\" went to the Trash: " + trash + "/files/Old\n"),
              std::string::npos)
        << result.out;
    EXPECT_FALSE(fs::exists(m_old));
    EXPECT_TRUE(fs::exists(trash + "/info/Old.trashinfo"));
    // Nothing lost: every file of Old is in New, by content; what went to
    // the Trash had copies there.
    const auto all = contents(filesBelow(m_new));
    for (const auto& [path, digest] : oldFiles) EXPECT_TRUE(all.contains(digest)) << path;
    EXPECT_EQ(filesBelow(trash + "/files/Old").size(), 2u);

    // A FIFO cannot be merged: the next source keeps it, and so stays.
    write("Again/a.jpg", test::noise(5000, 1));
    write("Again/b.jpg", test::noise(6000, 2));
    write("Again/new.txt", "only here");
    ASSERT_EQ(::mkfifo((m_library + "/Again/pipe").c_str(), 0644), 0);
    result = merge({"--move", "--remove-source", "--yes", m_library + "/Again", m_new});
    EXPECT_EQ(result.exitStatus, 1) << result.err;
    EXPECT_NE(result.out.find("  skip  pipe (only files and folders are merged)\n"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("1 file was moved succesfully.\n"
                              "The source folder \"Again\" stays: 1 item in it has no identical copy in \"New\": pipe\n"),
              std::string::npos)
        << result.out;
    EXPECT_TRUE(fs::is_fifo(m_library + "/Again/pipe"));
    EXPECT_EQ(fileContent(m_new + "/new.txt"), "only here");
}

TEST_F(MergeCommandTest, FoldersThatAreNoPairAreRefusedAndNothingChanges) {
    write("One/a.jpg", test::noise(5000, 1));
    write("Two/a.jpg", test::noise(5000, 1));
    write("One/own.txt", "one");
    write("Same1/a.jpg", test::noise(5000, 2));
    write("Same1/b.jpg", test::noise(6000, 3));
    write("Same2/a.jpg", test::noise(5000, 2));
    write("Same2/b.jpg", test::noise(6000, 3));
    const auto before = snapshot(m_library);

    auto result = merge({"--copy", "--yes", m_library + "/One", m_library + "/Two"});
    EXPECT_EQ(result.exitStatus, 2);
    EXPECT_NE(result.err.find("cannot be merged: they are not similar folders"), std::string::npos) << result.err;
    EXPECT_TRUE(result.out.empty()) << result.out;
    result = merge({"--copy", "--yes", m_library + "/Same1", m_library + "/Same2"});
    EXPECT_EQ(result.exitStatus, 2);
    EXPECT_NE(result.err.find("cannot be merged: they are identical folders"), std::string::npos) << result.err;
    EXPECT_EQ(snapshot(m_library), before);
}

TEST_F(MergeCommandTest, APreviewOrAnUnconfirmedMergeChangesNothingAndMistakesAreSaidBeforeAnyScan) {
    makePair();
    const auto before = snapshot(m_library);
    auto result = merge({"--move", "--preview", m_old, m_new});
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_TRUE(result.out.starts_with("4 files from \"Old\" will be moved to \"New\" folder.\n")) << result.out;
    // No terminal and no --yes: the merge is not confirmed.
    result = merge({"--copy", m_old, m_new});
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_NE(result.err.find("pass --yes"), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("nothing was merged"), std::string::npos) << result.err;
    result = merge({"--copy", "--no", m_old, m_new});
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(snapshot(m_library), before);

    for (const auto& wrong : std::vector<std::vector<std::string>>{{m_old},
                                                                   {m_old, m_new, m_library},
                                                                   {"--copy", "--remove-source", m_old, m_new},
                                                                   {"--copy", "--move", m_old, m_new},
                                                                   {"--format", "json", m_old, m_new},
                                                                   {"--output=x", m_old, m_new},
                                                                   {"--select-in", m_old, m_old, m_new},
                                                                   {"--review", m_old, m_new},
                                                                   {m_old, m_old}}) {
        result = merge(wrong);
        EXPECT_EQ(result.exitStatus, 2) << wrong.front();
        EXPECT_TRUE(result.err.starts_with("kestrane merge: ")) << result.err;
    }
    EXPECT_EQ(merge({m_old, m_library + "/Missing"}).exitStatus, 3);
    EXPECT_NE(merge({"--help"}).out.find("Usage: kestrane merge [OPTIONS] SOURCE DESTINATION"), std::string::npos);
    EXPECT_EQ(snapshot(m_library), before);
}

// A merge killed (SIGKILL) in the middle: every file still exists in full
// somewhere, and no name in the destination holds a partial file.
class MergeKilledTest : public MergeCommandTest {
protected:
    // Big files only Old has, so that the merge is still copying when killed.
    void makeBigPair() {
        write("Old/a.jpg", test::noise(5000, 1));
        write("New/a.jpg", test::noise(5000, 1));
        write("Old/b.jpg", test::noise(6000, 2));
        write("New/b.jpg", test::noise(6000, 2));
        for (int i = 0; i < 4; ++i) write("Old/clip" + std::to_string(i) + ".mov", test::noise(16u << 20, 10 + i));
    }
    // Starts the merge, kills it once a copy is being made in New, and waits for it.
    ChildProcess::Result killWhileCopying(const std::vector<std::string>& args) {
        std::vector<std::string> all = {"merge"};
        all.insert(all.end(), args.begin(), args.end());
        ChildProcess child(kBinary, all);
        const bool copying = test::pollUntil(
            [&] {
                if (!fs::exists(m_new)) return false;
                for (const auto& entry : fs::directory_iterator(m_new))
                    if (isTemporaryName(entry.path().filename().string())) return true;
                return false;
            },
            std::chrono::minutes(3));
        child.sendSignal(SIGKILL);
        auto result = child.wait();
        EXPECT_TRUE(copying) << "no copy was seen in the making";
        EXPECT_EQ(result.signal, SIGKILL) << result.out << result.err;
        return result;
    }
    // Every file Old had is still in Old or New in full; every file under a
    // real name in New is whole (one that was there, or one of Old's).
    void expectNothingLostNorPartial(const std::map<std::string, std::size_t>& oldFiles,
                                     const std::map<std::string, std::size_t>& newFiles) {
        auto everywhere = contents(filesBelow(m_old));
        for (const auto digest : contents(filesBelow(m_new))) everywhere.insert(digest);
        for (const auto& [path, digest] : oldFiles) EXPECT_TRUE(everywhere.contains(digest)) << path << " was lost";
        auto known = contents(oldFiles);
        for (const auto digest : contents(newFiles)) known.insert(digest);
        for (const auto& [path, digest] : filesBelow(m_new))
            EXPECT_TRUE(known.contains(digest)) << path << " is not a whole file";
    }
};

TEST_F(MergeKilledTest, ACopyMergeKilledLeavesNoPartialFileUnderARealName) {
    makeBigPair();
    const auto oldFiles = filesBelow(m_old);
    const auto newFiles = filesBelow(m_new);
    killWhileCopying({"--copy", "--yes", m_old, m_new});
    EXPECT_EQ(filesBelow(m_old), oldFiles);
    expectNothingLostNorPartial(oldFiles, newFiles);
}

TEST_F(MergeKilledTest, AMoveAcrossFileSystemsKilledLosesNothing) {
    if (::geteuid() != 0) GTEST_SKIP() << "mounting a second volume needs root";
    makeBigPair();
    // New on a volume of its own: each move is a copy, then the original's removal.
    const std::string newOnDisk = m_library + "/New";
    const auto newFiles = filesBelow(newOnDisk);
    fs::rename(newOnDisk, m_library + "/New.saved");
    fs::create_directory(newOnDisk);
    if (::mount("kestrane-test", newOnDisk.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, "size=512m") != 0)
        GTEST_SKIP() << "cannot mount a tmpfs";
    for (const auto& entry : fs::directory_iterator(m_library + "/New.saved"))
        fs::copy(entry.path(), newOnDisk + "/" + entry.path().filename().string());
    fs::remove_all(m_library + "/New.saved");
    const auto oldFiles = filesBelow(m_old);
    killWhileCopying({"--move", "--yes", m_old, m_new});
    expectNothingLostNorPartial(oldFiles, newFiles);
    ::umount2(newOnDisk.c_str(), MNT_DETACH);
}

TEST_F(MergeKilledTest, AMoveMergeKilledLosesNothing) {
    write("Old/a.jpg", test::noise(5000, 1));
    write("New/a.jpg", test::noise(5000, 1));
    write("Old/b.jpg", test::noise(6000, 2));
    write("New/b.jpg", test::noise(6000, 2));
    for (int i = 0; i < 3000; ++i) write("Old/f" + std::to_string(i) + ".txt", "file number " + std::to_string(i));
    const auto oldFiles = filesBelow(m_old);
    const auto newFiles = filesBelow(m_new);
    ChildProcess child(kBinary, {"merge", "--move", "--yes", m_old, m_new});
    // Killed once the moves have begun.
    const bool moving = test::pollUntil([&] { return fs::exists(m_new + "/f0.txt") || fs::exists(m_new + "/f1.txt"); },
                                        std::chrono::minutes(3));
    child.sendSignal(SIGKILL);
    const auto result = child.wait();
    ASSERT_TRUE(moving);
    EXPECT_EQ(result.signal, SIGKILL);
    expectNothingLostNorPartial(oldFiles, newFiles);
    // Each file is in one place: a rename is all or nothing.
    EXPECT_EQ(filesBelow(m_old).size() + filesBelow(m_new).size(), oldFiles.size() + newFiles.size());
}

}  // namespace
}  // namespace kestrane
