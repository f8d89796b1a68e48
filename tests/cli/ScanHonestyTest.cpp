// End-to-end: what the reports say about copies that are one file, about how
// groups were compared, and about what the scan could not read.

#include "support/ChildProcess.h"
#include "support/ReportJson.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <map>
#include <set>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace kestrane {
namespace {

using nlohmann::json;
using test::ChildProcess;
using test::TempDir;

using test::kBinary;

class ScanHonestyTest : public test::IsolatedHomeTest {
protected:
    // As root the scan runs as nobody, who cannot read what has no read
    // permission; as anyone else it runs as that user.
    static int unprivilegedUser() { return ::geteuid() == 0 ? 65534 : -1; }

    ChildProcess::Result scan(std::vector<std::string> args, int uid = -1) {
        args.insert(args.begin(), "scan");
        auto result = ChildProcess::run(kBinary, args, uid);
        if (result.exitStatus == 126 || result.exitStatus == 127) m_cannotRun = true;
        return result;
    }
    json jsonScan(std::vector<std::string> args, int uid = -1) {
        args.insert(args.begin(), {"--format", "json"});
        return test::reportOf(scan(args, uid));
    }
    // kind -> paths of the report's problems.
    static std::map<std::string, std::set<std::string>> problemsIn(const json& report) {
        std::map<std::string, std::set<std::string>> problems;
        for (const auto& problem : report["problems"]) problems[problem["kind"]].insert(test::realPath(problem));
        return problems;
    }
    // Opens the tree to other users (mkdtemp makes it private).
    void openTreeToEveryone() {
        for (const std::string& path : {m_sandbox.path(), m_home, m_tree.path()}) ::chmod(path.c_str(), 0755);
    }

    TempDir m_tree;
    bool m_cannotRun = false;
};

TEST_F(ScanHonestyTest, OtherNamesOfAFileAreListedWithItAndGroupsSayHowTheyWereCompared) {
    const std::string big = test::noise(300000, 21);
    const std::string first = m_tree.writeFile("a/big.bin", big);
    m_tree.makeDir("b");
    ASSERT_EQ(::link(first.c_str(), (m_tree / "b/big.bin").c_str()), 0);
    m_tree.writeFile("c/big-copy.bin", big);
    m_tree.writeFile("c/notes.txt", "c only");
    m_tree.writeFile("small/one.bin", "tiny and identical");
    m_tree.writeFile("small/two.bin", "tiny and identical");

    for (const bool fullHash : {false, true}) {
        SCOPED_TRACE(fullHash ? "full keys" : "default keys");
        std::vector<std::string> args = {m_tree.path()};
        if (fullHash) args.insert(args.begin(), "--full-hash");
        const json report = jsonScan(args);
        EXPECT_EQ(report["otherNamesCount"], 1);
        std::map<std::string, std::string> comparedBySize;
        for (const auto& group : report["categories"][5]["groups"]) {
            comparedBySize[std::to_string(group["size"].get<long long>())] = group["compared"];
            for (const auto& item : group["items"]) {
                if (test::realPath(item) != first) {
                    EXPECT_FALSE(item.contains("otherNames")) << item;
                    continue;
                }
                ASSERT_TRUE(item.contains("otherNames"));
                ASSERT_EQ(item["otherNames"].size(), 1u);
                EXPECT_EQ(test::realPath(item["otherNames"][0]), m_tree / "b/big.bin");
            }
        }
        EXPECT_EQ(test::groupsIn(report, 5), (std::set<std::set<std::string>>{
                                                 {first, m_tree / "c/big-copy.bin"},
                                                 {m_tree / "small/one.bin", m_tree / "small/two.bin"}}));
        EXPECT_EQ(comparedBySize["300000"], fullHash ? "whole" : "partial");
        EXPECT_EQ(comparedBySize["18"], "whole");
        EXPECT_EQ(report["removableSize"], 300000 + 18);
    }

    const auto human = scan({"--no-progress", m_tree.path()});
    EXPECT_NE(human.out.find("(group 1, compared in part)"), std::string::npos) << human.out;
    EXPECT_NE(human.out.find("same file as " + m_tree / "b/big.bin"), std::string::npos) << human.out;
    EXPECT_NE(human.out.find("removal compares whole files first"), std::string::npos) << human.out;
}

TEST_F(ScanHonestyTest, UnreadableFilesAndFoldersAreListedInEveryReportAndNeverCompared) {
    const std::string content = test::noise(40000, 22);
    m_tree.writeFile("open/a.jpg", content);
    m_tree.writeFile("open/b.jpg", content);
    const std::string lockedFile = m_tree.writeFile("open/c.jpg", content);
    const std::string lockedFolder = m_tree.makeDir("locked");
    m_tree.writeFile("locked/d.jpg", content);
    for (int i = 0; i < 5; ++i) m_tree.makeDir("walled/" + std::to_string(i));
    openTreeToEveryone();
    for (const std::string& path : {m_tree / "open", m_tree / "walled"}) ::chmod(path.c_str(), 0755);
    for (const std::string& path : {m_tree / "open/a.jpg", m_tree / "open/b.jpg"}) ::chmod(path.c_str(), 0644);
    ASSERT_EQ(::chmod(lockedFile.c_str(), 0), 0);
    ASSERT_EQ(::chmod(lockedFolder.c_str(), 0), 0);
    for (int i = 0; i < 5; ++i) ::chmod((m_tree / ("walled/" + std::to_string(i))).c_str(), 0);

    const json report = jsonScan({m_tree.path()}, unprivilegedUser());
    if (m_cannotRun) GTEST_SKIP() << "the binary cannot be run as uid 65534 from where it was built";
    EXPECT_EQ(test::groupsIn(report, 0), (std::set<std::set<std::string>>{{m_tree / "open/a.jpg", m_tree / "open/b.jpg"}}));
    auto problems = problemsIn(report);
    EXPECT_EQ(problems["unreadable-file"], (std::set<std::string>{lockedFile}));
    EXPECT_EQ(problems["unreadable-folder"].size(), 6u);
    EXPECT_TRUE(problems["unreadable-folder"].contains(lockedFolder));
    for (const auto& problem : report["problems"]) EXPECT_EQ(problem["error"], "Permission denied") << problem;

    // The human report counts them, names the first few and all of them with --all.
    const auto human = scan({"--no-progress", m_tree.path()}, unprivilegedUser());
    EXPECT_NE(human.out.find("6 folders could not be read:"), std::string::npos) << human.out;
    EXPECT_NE(human.out.find("1 file could not be read:\n    " + lockedFile + " (Permission denied)"),
              std::string::npos)
        << human.out;
    EXPECT_NE(human.out.find("and 3 more (--all lists them)"), std::string::npos) << human.out;
    const auto all = scan({"--no-progress", "--all", m_tree.path()}, unprivilegedUser());
    for (int i = 0; i < 5; ++i)
        EXPECT_NE(all.out.find(m_tree / ("walled/" + std::to_string(i))), std::string::npos) << all.out;
    // CSV lists copies only.
    const auto csv = scan({"--format", "csv", m_tree.path()}, unprivilegedUser());
    EXPECT_EQ(csv.out.find("locked"), std::string::npos) << csv.out;
}

}  // namespace
}  // namespace kestrane
