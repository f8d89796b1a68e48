// The selection options of `kestrane scan`: parsed in order, checked before
// the scan, applied after it, and shown in the reports.

#include "cli/ScanCommand.h"
#include "cli/SelectionOptions.h"
#include "support/ChildProcess.h"
#include "support/GeneratedTree.h"
#include "support/ReportJson.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <map>
#include <optional>
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


TEST_F(SelectionOptionsTest, TheFolderTreeShowsEachFoldersDuplicatesSelectionAndOtherFiles) {
    const auto result = scan({"-F", "json", "--folders", m_dir / "tree", "--select-in", m_dir / "tree/in"});
    const json report = test::reportOf(result);
    ASSERT_EQ(report["folderTree"].size(), 1u);
    const json& top = report["folderTree"][0];
    EXPECT_EQ(realPath(top), m_dir / "tree");
    // Every group is held whole by the scanned folder: 9 copies, other files there.
    EXPECT_EQ(top["duplicates"], 0);
    EXPECT_EQ(top["otherFiles"], 9);
    EXPECT_EQ(top["foldersWithDuplicates"], 6);
    std::vector<std::string> names;
    for (const auto& folder : top["folders"]) names.push_back(realPath(folder).substr(m_dir.path().size() + 6));
    EXPECT_EQ(names, (std::vector<std::string>{"T1", "T2", "in", "out"}));  // all hold duplicates: by name
    const json& in = top["folders"][2];
    EXPECT_EQ(in["duplicates"], 2);
    EXPECT_EQ(in["selected"], 2);
    EXPECT_EQ(in["selectedHere"], 2);
    EXPECT_EQ(in["selectedSize"], 10100);
    EXPECT_EQ(in["otherFiles"], 2);  // c's two copies
    ASSERT_EQ(in["folders"].size(), 1u);
    EXPECT_EQ(in["folders"][0]["duplicates"], 1);
    EXPECT_EQ(in["folders"][0]["selected"], 0);
    EXPECT_TRUE(top["folders"][0]["duplicateFolder"].get<bool>());
    EXPECT_FALSE(in["kept"].get<bool>());

    const auto human = scan({"--folders", m_dir / "tree", "--keep-in", m_dir / "tree/out"});
    EXPECT_NE(human.out.find("\n  " + m_dir / "tree" + ": 0 duplicates, 9 other files\n"), std::string::npos)
        << human.out;
    EXPECT_NE(human.out.find("\n    out: 3 duplicates, kept\n      deep: 1 duplicate, kept\n"),
              std::string::npos)
        << human.out;
    EXPECT_NE(human.out.find("\n    in: 2 duplicates, 2 selected (10 KB), 2 other files\n"), std::string::npos)
        << human.out;
    // Without --folders there is no tree.
    EXPECT_FALSE(test::reportOf(scan({"-F", "json", m_dir / "tree"})).contains("folderTree"));
}

TEST_F(SelectionOptionsTest, SelectSimilarTakesTheFoldersSharedCopiesAndKeepsTheLastOnesUnlessAllowed) {
    for (const char* side : {"sim/S1/", "sim/S2/"}) {
        m_dir.writeFile(std::string(side) + "a", test::noise(6000, 11));
        m_dir.writeFile(std::string(side) + "b", test::noise(6100, 12));
    }
    m_dir.writeFile("sim/S1/own", test::noise(6200, 13));
    m_dir.writeFile("sim/S2/own", test::noise(6300, 14));
    const std::string s1 = m_dir / "sim/S1", s2 = m_dir / "sim/S2";

    const auto first = scan({"-F", "json", m_dir / "sim", "--select-similar", s1, "--select-similar", s2});
    auto copies = [&](const json& report) {
        std::map<std::string, bool> selected;
        for (const auto& category : report["categories"])
            for (const auto& group : category["groups"])
                for (const auto& item : group["items"])
                    selected[realPath(item).substr(m_dir.path().size() + 5)] = item["selected"].get<bool>();
        return selected;
    };
    EXPECT_EQ(copies(test::reportOf(first)),
              (std::map<std::string, bool>{{"S1/a", true}, {"S1/b", true}, {"S2/a", false}, {"S2/b", false}}));
    EXPECT_NE(first.err.find("--select-similar " + s2 + ": nothing changed\n"), std::string::npos) << first.err;
    EXPECT_NE(first.err.find("--select-similar " + s2 + ": This folder has the last unselected copies of duplicates. "
                             "If you want to select all copies change the option in Preferences. (kestrane prefs set "
                             "KEY_allowRemovingAllDuplicateCopies on)"),
              std::string::npos)
        << first.err;

    // When every copy may go, selecting the last ones is asked first.
    ASSERT_EQ(ChildProcess::run(kBinary, {"prefs", "set", "KEY_allowRemovingAllDuplicateCopies", "on"}).exitStatus, 0);
    const auto refused = scan({"-F", "json", m_dir / "sim", "--select-similar", s1, "--select-similar", s2});
    EXPECT_EQ(copies(test::reportOf(refused)).at("S2/a"), false);
    EXPECT_NE(refused.err.find(s2 + ": Attention. You are selecting the last copies of duplicates in the folder "
                                    "\"S2\" including the original ones. Answered \"Cancel\""),
              std::string::npos)
        << refused.err;
    const auto accepted = scan({"-F", "json", "--yes", m_dir / "sim", "--select-similar", s1, "--select-similar", s2});
    for (const auto& [path, selected] : copies(test::reportOf(accepted))) EXPECT_TRUE(selected) << path;

    // A folder without similar folders, and one that is a duplicate folder.
    const auto none = scan({"-F", "json", m_dir / "tree", "--select-similar", m_dir / "tree/in/sub",
                            "--select-similar", m_dir / "tree/T1"});
    EXPECT_NE(none.err.find("tree/in/sub: has no similar folders: nothing to select"), std::string::npos) << none.err;
    EXPECT_NE(none.err.find("tree/T1: a duplicate folder, which goes whole: select it with --select-in"),
              std::string::npos)
        << none.err;
}

// With --keep-in A on a generated tree: no copy inside A is selected, and
// every group with copies inside and outside A has its outside copies
// selected; a copy inside a duplicate folder goes with its folder.
TEST_F(SelectionOptionsTest, KeepInSelectsEveryCopyOutsideTheKeptFolderOfEveryGroupItHolds) {
    const std::string tree = test::writeGeneratedTree(m_dir, "gen", 5, 500);
    const json plain = test::reportOf(scan({"-F", "json", "--folders", tree}));
    // A: the top folder holding most duplicates that is no duplicate folder.
    std::string kept;
    std::int64_t most = 0;
    for (const auto& folder : plain["folderTree"][0]["folders"]) {
        if (folder["duplicateFolder"].get<bool>() || folder["duplicates"].get<std::int64_t>() <= most) continue;
        most = folder["duplicates"].get<std::int64_t>();
        kept = realPath(folder);
    }
    ASSERT_GT(most, 5) << "the generated tree should have a folder with duplicates";

    const auto result = scan({"-F", "json", tree, "--keep-in", kept});
    const json report = test::reportOf(result);
    std::map<std::string, bool> folders;  // every duplicate folder, selected or not
    for (const auto& group : report["categories"][6]["groups"])
        for (const auto& item : group["items"]) folders[realPath(item)] = item["selected"].get<bool>();
    auto inside = [](const std::string& path, const std::string& folder) { return path.starts_with(folder + "/"); };
    auto enclosingFolder = [&](const std::string& path) -> std::optional<bool> {
        std::optional<std::string> outermost;
        for (const auto& [folder, selected] : folders)
            if (inside(path, folder) && (!outermost || folder.size() < outermost->size())) outermost = folder;
        if (!outermost) return std::nullopt;
        return folders.at(*outermost);
    };
    int groupsAcross = 0, selectedOutside = 0;
    for (const auto& category : report["categories"]) {
        for (const auto& group : category["groups"]) {
            bool hasInside = false, hasOutside = false, allSelected = true;
            for (const auto& item : group["items"]) {
                (inside(realPath(item), kept) || realPath(item) == kept ? hasInside : hasOutside) = true;
                allSelected = allSelected && item["selected"].get<bool>();
            }
            EXPECT_FALSE(allSelected) << "a group lost every copy";
            for (const auto& item : group["items"]) {
                const std::string path = realPath(item);
                const bool selected = item["selected"].get<bool>();
                if (inside(path, kept) || path == kept) {
                    EXPECT_FALSE(selected) << path << " lies in the kept folder";
                } else if (const auto folder = enclosingFolder(path)) {
                    EXPECT_EQ(selected, *folder) << path << " goes with its duplicate folder";
                } else if (hasInside) {
                    EXPECT_TRUE(selected) << path << " has a copy in the kept folder";
                    ++selectedOutside;
                } else {
                    EXPECT_FALSE(selected) << path << " has no copy in the kept folder";
                }
            }
            groupsAcross += hasInside && hasOutside;
        }
    }
    EXPECT_GT(groupsAcross, 5);
    EXPECT_GT(selectedOutside, 5);
    EXPECT_EQ(report["removalList"]["count"].get<int>() > 0, true);
    EXPECT_NE(result.err.find("--keep-in " + kept + ": "), std::string::npos) << result.err;
}

}  // namespace
}  // namespace kestrane
