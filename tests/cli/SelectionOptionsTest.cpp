// The selection options of `kestrane scan`: parsed in order, checked before
// the scan, applied after it, and shown in the reports.

#include "cli/ScanCommand.h"
#include "cli/SelectionOptions.h"
#include "support/ChildProcess.h"
#include "support/ReportJson.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <map>
#include <string>
#include <vector>

namespace kestrane {
namespace {

using nlohmann::json;
using test::ChildProcess;
using test::kBinary;
using test::realPath;

TEST(SelectionOptionsParseTest, OptionsKeepTheirOrderAndEveryOneIsInTheHelp) {
    std::string error;
    auto options = cli::parseScanCommandOptions(
        {"--select-in", "a", "x", "--select-in=b c", "-m", "all", "--select-in", "a"}, error);
    ASSERT_TRUE(options) << error;
    std::vector<std::string> given;
    for (const auto& request : options->selection) given.push_back(std::string(request.option->name) + " " + request.value);
    EXPECT_EQ(given, (std::vector<std::string>{"--select-in a", "--select-in b c", "--select-in a"}));
    EXPECT_EQ(options->folders, (std::vector<std::string>{"x"}));

    EXPECT_FALSE(cli::parseScanCommandOptions({"x", "--select-in"}, error));
    EXPECT_EQ(error, "option --select-in needs a value");
    EXPECT_FALSE(cli::parseScanCommandOptions({"x", "--select-in="}, error));

    const std::string help = cli::scanHelpText();
    for (const auto& option : cli::selectionOptions()) {
        EXPECT_NE(help.find(std::string(option.name) + " " + std::string(option.valueName)), std::string::npos)
            << option.name;
        EXPECT_NE(cli::findSelectionOption(option.name), nullptr);
    }
    const std::string entries = cli::selectionOptionsHelp();
    for (std::size_t start = 0, end = 0; start < entries.size(); start = end + 1) {
        end = entries.find('\n', start);
        EXPECT_LE(end - start, 78u) << entries.substr(start, end - start);
    }
}

class SelectionOptionsTest : public test::IsolatedHomeTest {
protected:
    void SetUp() override {
        IsolatedHomeTest::SetUp();
        // a: one copy inside "in", two outside; b: one inside, one outside;
        // c: both copies inside; T1, T2: identical folders.
        for (const char* path : {"tree/in/a", "tree/out/a", "tree/out/deep/a"})
            m_dir.writeFile(path, test::noise(5000, 1));
        for (const char* path : {"tree/in/b", "tree/out/b"}) m_dir.writeFile(path, test::noise(5100, 2));
        for (const char* path : {"tree/in/c", "tree/in/sub/c"}) m_dir.writeFile(path, test::noise(5200, 3));
        for (const char* path : {"tree/T1/t", "tree/T2/t"}) m_dir.writeFile(path, test::noise(5300, 4));
        for (const char* path : {"tree/T1/u", "tree/T2/u"}) m_dir.writeFile(path, test::noise(5400, 5));
    }

    ChildProcess::Result scan(std::vector<std::string> extra) {
        std::vector<std::string> args = {"scan", "-q", "-m", "all"};
        args.insert(args.end(), extra.begin(), extra.end());
        return ChildProcess::run(kBinary, args);
    }

    // Path (relative to the tree) -> selected, for every copy of the report.
    std::map<std::string, bool> selection(const json& report) {
        std::map<std::string, bool> copies;
        const std::string base = m_dir / "tree/";
        auto take = [&](const json& groups) {
            for (const auto& group : groups)
                for (const auto& item : group["items"])
                    copies[realPath(item).substr(base.size())] = item["selected"].get<bool>();
        };
        for (const auto& category : report["categories"]) take(category["groups"]);
        take(report["insideDuplicateFolders"]);
        return copies;
    }

    test::TempDir m_dir;
};

TEST_F(SelectionOptionsTest, SelectInSelectsTheFoldersCopiesThatHaveCopiesOutsideAndEveryReportShowsIt) {
    const auto result = scan({"-F", "json", m_dir / "tree", "--select-in", m_dir / "tree/in"});
    const json report = test::reportOf(result);
    const auto copies = selection(report);
    EXPECT_TRUE(copies.at("in/a"));
    EXPECT_TRUE(copies.at("in/b"));
    for (const char* kept : {"out/a", "out/deep/a", "out/b", "in/c", "in/sub/c", "T1", "T2"})
        EXPECT_FALSE(copies.at(kept)) << kept;
    EXPECT_EQ(report["removalList"]["count"], 2);
    EXPECT_EQ(report["removalList"]["size"], 10100);
    EXPECT_NE(result.err.find("kestrane: --select-in " + m_dir / "tree/in" + ": 2 copies (10 KB) selected\n"),
              std::string::npos)
        << result.err;

    // The human report marks each copy and says what is selected.
    const auto human = scan({m_dir / "tree", "--select-in", m_dir / "tree/in"});
    ASSERT_EQ(human.exitStatus, 0) << human.err;
    EXPECT_NE(human.out.find("[x] " + m_dir / "tree/in/a  5.0 KB"), std::string::npos) << human.out;
    EXPECT_NE(human.out.find("[ ] " + m_dir / "tree/out/a  5.0 KB"), std::string::npos) << human.out;
    EXPECT_NE(human.out.find("\n2 copies (10 KB) selected for removal.\n"), std::string::npos) << human.out;
    // CSV says it per copy.
    const auto csv = scan({"-F", "csv", m_dir / "tree", "--select-in", m_dir / "tree/in"});
    ASSERT_NE(csv.out.find(m_dir / "tree/in/b,"), std::string::npos) << csv.out;
    const auto line = csv.out.substr(csv.out.find(m_dir / "tree/in/b,"));
    EXPECT_EQ(line.substr(line.find('\r') - 5, 5), ",true") << line;

    // Options apply in their order: selecting "out" afterwards finds every
    // copy outside it selected, so its groups start again from nothing and
    // the copies in "in" become the kept ones.
    const json both = test::reportOf(
        scan({"-F", "json", m_dir / "tree", "--select-in", m_dir / "tree/in", "--select-in", m_dir / "tree/out"}));
    const auto after = selection(both);
    EXPECT_TRUE(after.at("out/a") && after.at("out/deep/a") && after.at("out/b"));
    EXPECT_FALSE(after.at("in/a") || after.at("in/b"));
}

TEST_F(SelectionOptionsTest, AFolderOutsideTheScanIsAUsageErrorAndNothingIsScanned) {
    m_dir.writeFile("elsewhere/f", "f");
    for (const std::string& wrong : {m_dir / "elsewhere", m_dir / "tree/missing", m_dir / "tree/in/a"}) {
        const auto result = scan({m_dir / "tree", "--select-in", wrong});
        EXPECT_EQ(result.exitStatus, 2) << wrong;
        EXPECT_TRUE(result.out.empty()) << result.out;
        EXPECT_NE(result.err.find("--select-in " + wrong + ": "), std::string::npos) << result.err;
    }
    // A path that names a scanned folder another way is that folder.
    const auto relative = ChildProcess::run(
        "/bin/sh", {"-c", "cd '" + m_dir.path() + "' && '" + kBinary + "' scan -q -m all -F json tree --select-in tree/in/../in/"});
    EXPECT_EQ(test::reportOf(relative)["removalList"]["count"], 2);
}

TEST_F(SelectionOptionsTest, ADuplicateFolderIsSelectedOnlyWhenTheQuestionIsAnsweredYes) {
    const auto refused = scan({"-F", "json", m_dir / "tree", "--select-in", m_dir / "tree/T1"});
    EXPECT_FALSE(selection(test::reportOf(refused)).at("T1"));
    EXPECT_NE(refused.err.find("\"T1\" is a duplicate folder. This folder will be removed along with its files. "
                               "Answered \"Cancel\" (no terminal to ask; pass --yes to go ahead anyway)"),
              std::string::npos)
        << refused.err;

    const auto accepted = scan({"-F", "json", "--yes", m_dir / "tree", "--select-in", m_dir / "tree/T1"});
    const json report = test::reportOf(accepted);
    const auto copies = selection(report);
    EXPECT_TRUE(copies.at("T1"));
    EXPECT_TRUE(copies.at("T1/t")) << "the folder's files go with it";
    EXPECT_FALSE(copies.at("T2"));
    EXPECT_EQ(report["removalList"]["count"], 1);
    EXPECT_EQ(report["removalList"]["size"], 10700);

    // A folder inside a duplicate folder goes with it and is not selected alone.
    m_dir.writeFile("tree/T1/inner/v", test::noise(5500, 6));
    m_dir.writeFile("tree/T2/inner/v", test::noise(5500, 6));
    const auto inner = scan({"-F", "json", "--yes", m_dir / "tree", "--select-in", m_dir / "tree/T1/inner"});
    EXPECT_EQ(test::reportOf(inner)["removalList"]["count"], 0);
    EXPECT_NE(inner.err.find("lies inside the duplicate folder " + m_dir / "tree/T1"), std::string::npos) << inner.err;
}

}  // namespace
}  // namespace kestrane
