#include "scan/ExcludeTreeCheckerByRootNode.h"
#include "scan/ExcludeTreeCheckerWithValue.h"
#include "scan/ExcludeTreeFactory.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace kestrane {
namespace {

constexpr int kIncluded = ExcludeTreeChecker::Included;
constexpr int kExcluded = ExcludeTreeChecker::Excluded;
constexpr int kNotSet = ExcludeTreeChecker::NotSet;

using Root = std::shared_ptr<const ExcludeTreeCheckerByRootNode>;

Root treeWith(const std::vector<std::string>& excluded, const std::vector<std::string>& included) {
    return ExcludeTreeFactory::generateWithCreation([&](ExcludeTreeFactory& factory) {
        for (const auto& path : excluded) factory.excludeURL(path);
        for (const auto& path : included) factory.includeURL(path);
    });
}

// The answer for an absolute path, reached the way the scan reaches it: one
// sub-checker per folder from the root, then checkName for the last name.
int answerByWalking(const Root& root, const std::string& path) {
    std::shared_ptr<const ExcludeTreeChecker> checker = root;
    std::size_t start = 1;
    while (true) {
        const std::size_t slash = path.find('/', start);
        if (slash == std::string::npos) return checker->checkName(path.substr(start));
        checker = checker->subCheckerByName(path.substr(start, slash - start));
        start = slash + 1;
    }
}

TEST(ExcludeTreeTest, NothingAddedAnswersNotSetEverywhere) {
    const Root root = ExcludeTreeFactory::generateWithCreation(nullptr);
    EXPECT_EQ(root->checkName("anything"), kNotSet);
    EXPECT_EQ(root->subCheckerByName("a")->checkName("b"), kNotSet);
    EXPECT_EQ(root->subCheckerByURL("/a/b/c")->checkName("d"), kNotSet);
    EXPECT_EQ(treeWith({}, {})->subCheckerByName("x")->subCheckerByName("y")->checkName("z"), kNotSet);
}

TEST(ExcludeTreeTest, IncludedFolderInsideExcludedOneWins) {
    const Root root = treeWith({"/a"}, {"/a/b"});

    EXPECT_EQ(root->checkName("a"), kExcluded);
    EXPECT_EQ(root->checkName("other"), kNotSet);

    const auto a = root->subCheckerByName("a");
    EXPECT_EQ(a->checkName("b"), kIncluded);
    EXPECT_EQ(a->checkName("x"), kExcluded);

    // Below the deepest node every name answers the value of that node.
    const auto x = a->subCheckerByName("x");
    ASSERT_NE(dynamic_cast<const ExcludeTreeCheckerWithValue*>(x.get()), nullptr);
    EXPECT_EQ(x->checkName("anything"), kExcluded);
    EXPECT_EQ(x->subCheckerByName("deeper")->checkName("file.txt"), kExcluded);
    EXPECT_EQ(x->subCheckerByName("deeper").get(), x.get());

    const auto b = a->subCheckerByName("b");
    EXPECT_EQ(b->checkName("c.txt"), kIncluded);
    EXPECT_EQ(b->subCheckerByName("sub")->checkName("f"), kIncluded);
}

TEST(ExcludeTreeTest, DeeperAdditionsSettleFromTheNearestSetNode) {
    const Root root = treeWith({"/a", "/a/b/d", "/v/w/x/y"}, {"/a/b"});

    EXPECT_EQ(answerByWalking(root, "/a/b/c.txt"), kIncluded);
    EXPECT_EQ(answerByWalking(root, "/a/c.txt"), kExcluded);
    EXPECT_EQ(answerByWalking(root, "/a/b/d"), kExcluded);
    EXPECT_EQ(answerByWalking(root, "/a/b/d/e"), kExcluded);
    EXPECT_EQ(answerByWalking(root, "/a/b/d/e/f/g"), kExcluded);
    // Nodes made on the way to a deep path, with nothing set above them, stay unset.
    EXPECT_EQ(answerByWalking(root, "/v/w"), kNotSet);
    EXPECT_EQ(answerByWalking(root, "/v/w/x/other"), kNotSet);
    EXPECT_EQ(answerByWalking(root, "/v/w/x/y"), kExcluded);
    EXPECT_EQ(answerByWalking(root, "/v/w/x/y/z"), kExcluded);
    EXPECT_EQ(answerByWalking(root, "/ab"), kNotSet);
}

TEST(ExcludeTreeTest, AdditionsOfTheSamePathAndOddPaths) {
    // The later addition of the same path wins; relative paths are ignored;
    // doubled and trailing slashes do not make empty names.
    const Root root = ExcludeTreeFactory::generateWithCreation([](ExcludeTreeFactory& factory) {
        factory.excludeURL("/same");
        factory.includeURL("/same");
        factory.includeURL("/later");
        factory.excludeURL("/later");
        factory.excludeURL("relative/path");
        factory.excludeURL("");
        factory.excludeURL("//double//slash/");
    });
    EXPECT_EQ(root->checkName("same"), kIncluded);
    EXPECT_EQ(root->checkName("later"), kExcluded);
    EXPECT_EQ(root->checkName("relative"), kNotSet);
    EXPECT_EQ(root->checkName(""), kNotSet);
    EXPECT_EQ(root->checkName("double"), kNotSet);
    EXPECT_EQ(root->subCheckerByName("double")->checkName("slash"), kExcluded);
}

TEST(ExcludeTreeTest, ExcludingTheRootExcludesEverything) {
    const Root root = treeWith({"/"}, {"/home/me"});
    EXPECT_EQ(root->checkName("etc"), kExcluded);
    EXPECT_EQ(answerByWalking(root, "/home/other/f"), kExcluded);
    EXPECT_EQ(answerByWalking(root, "/home/me/f"), kIncluded);
    EXPECT_EQ(root->subCheckerByURL("/usr/share")->checkName("x"), kExcluded);
}

TEST(ExcludeTreeTest, SubCheckerByURL) {
    const Root root = treeWith({"/a", "/a/b/d"}, {"/a/b"});

    // Relative, empty and "/" paths give the root checker itself.
    EXPECT_EQ(root->subCheckerByURL("a/b").get(), root.get());
    EXPECT_EQ(root->subCheckerByURL("").get(), root.get());
    EXPECT_EQ(root->subCheckerByURL("/").get(), root.get());

    EXPECT_EQ(root->subCheckerByURL("/a")->checkName("b"), kIncluded);
    EXPECT_EQ(root->subCheckerByURL("/a")->checkName("x"), kExcluded);
    EXPECT_EQ(root->subCheckerByURL("/a/b/")->checkName("d"), kExcluded);
    EXPECT_EQ(root->subCheckerByURL("//a//b")->checkName("c"), kIncluded);
    // Below the deepest node: a constant answer.
    const auto deep = root->subCheckerByURL("/a/x/y/z");
    EXPECT_NE(dynamic_cast<const ExcludeTreeCheckerWithValue*>(deep.get()), nullptr);
    EXPECT_EQ(deep->checkName("anything"), kExcluded);
    EXPECT_EQ(root->subCheckerByURL("/elsewhere/deep")->checkName("f"), kNotSet);
}

TEST(ExcludeTreeTest, SubCheckerByURLAgreesWithWalkingNameByName) {
    const Root root = treeWith({"/a", "/a/b/d", "/m/n", "/m/n/o/p", "/q"}, {"/a/b", "/m/n/o", "/q/r/s"});
    const std::vector<std::string> folders = {"/a", "/a/b", "/a/b/d", "/a/b/d/e", "/a/x", "/m", "/m/n", "/m/n/o",
                                              "/m/n/o/p", "/m/n/o/p/q", "/m/z", "/q", "/q/r", "/q/r/s", "/q/r/s/t",
                                              "/q/r/t", "/zz", "/zz/yy"};
    const std::vector<std::string> names = {"a", "b", "d", "e", "n", "o", "p", "q", "r", "s", "t", "x", "zz"};
    for (const auto& folder : folders) {
        const auto byURL = root->subCheckerByURL(folder);
        std::shared_ptr<const ExcludeTreeChecker> byName = root;
        std::size_t start = 1;
        while (start <= folder.size()) {
            std::size_t end = folder.find('/', start);
            if (end == std::string::npos) end = folder.size();
            byName = byName->subCheckerByName(folder.substr(start, end - start));
            start = end + 1;
        }
        for (const auto& name : names) {
            EXPECT_EQ(byURL->checkName(name), byName->checkName(name)) << folder << "/" << name;
            EXPECT_EQ(byURL->subCheckerByName(name)->checkName("w"), byName->subCheckerByName(name)->checkName("w"))
                << folder << "/" << name << "/w";
        }
    }
}

TEST(ExcludeTreeTest, SubCheckersKeepTheTreeAlive) {
    Root root = treeWith({"/a/b/c"}, {"/a/b/c/d"});
    auto b = root->subCheckerByURL("/a/b");
    auto a = root->subCheckerByName("a");
    root.reset();
    EXPECT_EQ(b->checkName("c"), kExcluded);
    EXPECT_EQ(b->subCheckerByName("c")->checkName("d"), kIncluded);
    EXPECT_EQ(a->subCheckerByName("b")->subCheckerByName("c")->checkName("x"), kExcluded);
}

TEST(ExcludeTreeTest, SeveralThreadsReadOneTreeAtOnce) {
    const Root root = treeWith({"/a", "/a/b/d", "/m/n"}, {"/a/b", "/m/n/o"});
    const std::vector<std::string> probes = {"/a/f", "/a/b/f", "/a/b/d/f", "/a/b/d/e/f", "/m/f", "/m/n/f",
                                             "/m/n/o/f", "/m/n/o/p/f", "/z/f", "/a/x/y/f"};
    std::vector<int> expected;
    for (const auto& probe : probes) expected.push_back(answerByWalking(root, probe));
    ASSERT_EQ(expected, (std::vector<int>{kExcluded, kIncluded, kExcluded, kExcluded, kNotSet, kExcluded, kIncluded,
                                          kIncluded, kNotSet, kExcluded}));

    std::atomic<int> mismatches{0};
    std::vector<std::thread> readers;
    for (int t = 0; t < 4; ++t) {
        readers.emplace_back([&, t] {
            for (int round = 0; round < 2000; ++round) {
                const std::size_t i = static_cast<std::size_t>(round + t) % probes.size();
                if (answerByWalking(root, probes[i]) != expected[i]) ++mismatches;
                const std::string& probe = probes[i];
                const auto folder = root->subCheckerByURL(probe.substr(0, probe.rfind('/')));
                if (folder->checkName("f") != expected[i]) ++mismatches;
            }
        });
    }
    for (auto& reader : readers) reader.join();
    EXPECT_EQ(mismatches.load(), 0);
}

}  // namespace
}  // namespace kestrane
