// End-to-end: the built `kestrane remove` on generated trees, then
// `kestrane history` and `kestrane restore` putting everything back.
#include "support/ChildProcess.h"
#include "support/ReportJson.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

namespace kestrane {
namespace {

using nlohmann::json;
using test::ChildProcess;
using test::kBinary;

bool exists(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

// Every file below a folder, by path.
std::set<std::string> filesUnder(const std::string& root) {
    std::set<std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root))
        if (entry.is_regular_file()) files.insert(entry.path().string());
    return files;
}

class RemoveCommandTest : public test::IsolatedHomeTest {
protected:
    // A tree of groups of copies: a kept copy in keep/, the others in dups/
    // (one with an odd name), and a file with no copy.
    void SetUp() override {
        IsolatedHomeTest::SetUp();
        m_root = m_sandbox.makeDir("tree");
        for (int group = 0; group < 4; ++group) {
            const std::string bytes = test::noise(20000 + 1000 * group, static_cast<std::uint32_t>(group + 1));
            const std::string name = "photo" + std::to_string(group);
            m_kept.push_back(m_sandbox.writeFile("tree/keep/" + name + ".jpg", bytes));
            m_selected.push_back(m_sandbox.writeFile("tree/dups/" + name + " copy.jpg", bytes));
            if (group == 0)
                m_selected.push_back(m_sandbox.writeFile("tree/dups/more/\"odd\"\nname \xff " + name + " (1).jpg", bytes));
        }
        m_unique = m_sandbox.writeFile("tree/dups/unique.txt", "no other copy");
        for (const auto& path : filesUnder(m_root)) m_digests[path] = test::md5sum(path);
    }

    // What `kestrane scan` with these options would select for removal.
    std::set<std::string> removalListOfScan(const std::vector<std::string>& selection) {
        std::vector<std::string> args = {"scan", "--no-progress", "-F", "json"};
        args.insert(args.end(), selection.begin(), selection.end());
        args.push_back(m_root);
        const auto scan = ChildProcess::run(kBinary, args);
        EXPECT_EQ(scan.exitStatus, 0) << scan.err;
        std::set<std::string> paths;
        const json report = json::parse(scan.out, nullptr, false);
        if (report.is_discarded()) return paths;
        for (const auto& item : report["removalList"]["items"]) paths.insert(test::realPath(item));
        return paths;
    }

    // After a removal of exactly `removed`: every other file is there,
    // unchanged, and every group keeps a copy.
    void expectExactlyRemoved(const std::set<std::string>& removed) {
        std::set<std::string> expected;
        for (const auto& [path, digest] : m_digests)
            if (!removed.contains(path)) expected.insert(path);
        EXPECT_EQ(filesUnder(m_root), expected);
        for (const auto& path : expected) EXPECT_EQ(test::md5sum(path), m_digests[path]) << path;
        for (const auto& path : m_kept) EXPECT_TRUE(exists(path)) << "a group lost its last copy: " << path;
    }

    ChildProcess::Result remove(std::vector<std::string> extra) {
        std::vector<std::string> args = {"remove", "--no-progress", "--select-in", m_root + "/dups"};
        args.insert(args.end(), extra.begin(), extra.end());
        args.push_back(m_root);
        return ChildProcess::run(kBinary, args);
    }

    void expectRestoredByteForByte() {
        const auto history = ChildProcess::run(kBinary, {"history", "--format", "json"});
        ASSERT_EQ(history.exitStatus, 0) << history.err;
        const json runs = json::parse(history.out);
        ASSERT_FALSE(runs.dump().empty());
        const auto restore = ChildProcess::run(kBinary, {"restore", "1", "--yes"});
        EXPECT_EQ(restore.exitStatus, 0) << restore.out << restore.err;
        EXPECT_EQ(filesUnder(m_root).size(), m_digests.size());
        for (const auto& [path, digest] : m_digests) EXPECT_EQ(test::md5sum(path), digest) << path;
    }

    std::string m_root;
    std::vector<std::string> m_kept;
    std::vector<std::string> m_selected;
    std::string m_unique;
    std::map<std::string, std::string> m_digests;
};

TEST_F(RemoveCommandTest, AutoSelectToTheTrashRemovesExactlyItsChoiceAndRestoreBringsItBack) {
    const std::set<std::string> chosen = removalListOfScan({"--auto-select"});
    ASSERT_FALSE(chosen.empty());
    const auto result = ChildProcess::run(kBinary, {"remove", "--no-progress", "--auto-select", "--yes", "-F", "json", m_root});
    ASSERT_EQ(result.exitStatus, 0) << result.err;
    const json summary = json::parse(result.out);
    EXPECT_EQ(summary["to"], "trash");
    std::set<std::string> removed;
    for (const auto& copy : summary["removedCopies"]) removed.insert(test::realPath(copy));
    EXPECT_EQ(removed, chosen);
    EXPECT_TRUE(summary["notRemoved"].empty());
    ASSERT_TRUE(summary["log"].is_string());
    EXPECT_TRUE(exists(summary["log"].get<std::string>()));
    expectExactlyRemoved(chosen);

    const auto history = ChildProcess::run(kBinary, {"history"});
    EXPECT_NE(history.out.find(std::to_string(chosen.size()) + " files"), std::string::npos) << history.out;
    expectRestoredByteForByte();
}

TEST_F(RemoveCommandTest, AutoSelectPermanentlyAndRestoreCopiesTheKeptCopiesBack) {
    const std::set<std::string> chosen = removalListOfScan({"--auto-select"});
    ASSERT_FALSE(chosen.empty());
    const auto result =
        ChildProcess::run(kBinary, {"remove", "--no-progress", "--auto-select", "--permanently", "--yes", m_root});
    ASSERT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_NE(result.out.find("Removed " + std::to_string(chosen.size()) + " copies"), std::string::npos)
        << result.out;
    EXPECT_NE(result.out.find("permanently"), std::string::npos);
    expectExactlyRemoved(chosen);
    EXPECT_FALSE(std::filesystem::exists(m_home + "/.local/share/Trash/files"));
    expectRestoredByteForByte();
}

TEST_F(RemoveCommandTest, SelectInWithTheReviewRemovesTheCopiesOfAFolder) {
    const auto result = remove({"--yes", "--review", "list"});
    ASSERT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_NE(result.out.find("photo1 copy.jpg"), std::string::npos) << "the review lists the copies: " << result.out;
    expectExactlyRemoved({m_selected.begin(), m_selected.end()});
    EXPECT_TRUE(exists(m_unique));
}

TEST_F(RemoveCommandTest, NothingIsRemovedWithoutAConfirmation) {
    // No terminal and no --yes.
    auto result = remove({});
    EXPECT_EQ(result.exitStatus, 6) << result.err;
    EXPECT_NE(result.err.find("nothing was removed"), std::string::npos) << result.err;
    result = remove({"--no", "--permanently"});
    EXPECT_EQ(result.exitStatus, 6) << result.err;
    EXPECT_NE(result.err.find("Are you sure you want to delete some files permanently?"), std::string::npos)
        << result.err;
    for (const auto& path : m_selected) EXPECT_TRUE(exists(path)) << path;
    EXPECT_FALSE(exists(m_home + "/.local/share/Kestrane/Removed"));
}

TEST_F(RemoveCommandTest, ADryRunChecksEveryCopyAndChangesNothing) {
    auto result = remove({"--dry-run"});
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_NE(result.out.find("Would remove " + std::to_string(m_selected.size()) + " copies"), std::string::npos)
        << result.out;
    result = remove({"--dry-run", "--format", "json", "--permanently"});
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    const json summary = json::parse(result.out);
    EXPECT_TRUE(summary["dryRun"].get<bool>());
    EXPECT_EQ(summary["removedCopies"].size(), m_selected.size());
    EXPECT_TRUE(summary["log"].is_null());
    EXPECT_EQ(result.err.find("Are you sure"), std::string::npos) << "a dry run asks nothing";
    for (const auto& path : m_selected) EXPECT_TRUE(exists(path)) << path;
    EXPECT_FALSE(exists(m_home + "/.local/share/Kestrane/Removed"));
}

TEST_F(RemoveCommandTest, ASelectionThatRemovesNothingIsNoError) {
    const auto result = ChildProcess::run(kBinary, {"remove", "--no-progress", "--yes", m_root + "/keep"});
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_NE(result.err.find("nothing to remove"), std::string::npos) << result.err;
    for (const auto& path : m_selected) EXPECT_TRUE(exists(path));
}

TEST_F(RemoveCommandTest, ACopyThisUserMayNotRemoveStaysAndIsNamedWithTheReason) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root, to run the command as another user";
    // Everything belongs to nobody but the folder of one selected copy,
    // which only root may change.
    const std::string guarded = m_sandbox.makeDir("tree/dups/guarded");
    const std::string bytes = test::noise(30000, 42);
    m_sandbox.writeFile("tree/keep/guarded.jpg", bytes);
    const std::string locked = m_sandbox.writeFile("tree/dups/guarded/guarded.jpg", bytes);
    ASSERT_EQ(std::system(("chown -R 65534:65534 '" + m_sandbox.path() + "'").c_str()), 0);
    ::chown(guarded.c_str(), 0, 0);
    ::chmod(guarded.c_str(), 0755);
    ::chmod(m_sandbox.path().c_str(), 0755);

    const auto result = ChildProcess::run(
        kBinary, {"remove", "--no-progress", "--yes", "--permanently", "--select-in", m_root + "/dups", m_root}, 65534);

    EXPECT_EQ(result.exitStatus, 5) << result.out << result.err;
    EXPECT_TRUE(exists(locked));
    EXPECT_NE(result.out.find(locked + ": not removed"), std::string::npos) << result.out;
    for (const auto& path : m_kept) EXPECT_TRUE(exists(path)) << path;
    for (const auto& path : m_selected) EXPECT_FALSE(exists(path)) << path;
}

}  // namespace
}  // namespace kestrane
