#include "scan/ExcludeTreeCheckerByRootNode.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace kestrane {
namespace {

constexpr int kIncluded = ExcludeTreeChecker::Included;
constexpr int kExcluded = ExcludeTreeChecker::Excluded;
constexpr int kNotSet = ExcludeTreeChecker::NotSet;

using Root = std::shared_ptr<const ExcludeTreeCheckerByRootNode>;

Root treeWith(const std::vector<std::string>& excluded, const std::vector<std::string>& included) {
    return ExcludeTreeCheckerByRootNode::generateWithCreation([&](ExcludeTreeCheckerByRootNode& tree) {
        for (const auto& path : excluded) tree.excludeURL(path);
        for (const auto& path : included) tree.includeURL(path);
    });
}

// The answer for an absolute path, reached the way the scan reaches it: one
// sub-checker per folder from the root, then checkName for the last name.
int answerByWalking(const Root& root, const std::string& path) {
    ExcludeTreeChecker checker = root->rootChecker();
    std::size_t start = 1;
    for (std::size_t slash; (slash = path.find('/', start)) != std::string::npos; start = slash + 1)
        checker = checker.subCheckerByName(path.substr(start, slash - start));
    return checker.checkName(path.substr(start));
}

// The same answer through the sub-checker of the path's folder.
int answerByURL(const Root& root, const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return root->subCheckerByURL(path.substr(0, slash)).checkName(path.substr(slash + 1));
}

TEST(ExcludeTreeTest, TheNearestSetFolderDecidesByEitherWayOfWalking) {
    struct Case {
        std::vector<std::string> excluded, included;
        std::vector<std::pair<std::string, int>> answers;
    };
    const std::vector<Case> cases = {
        {{}, {}, {{"/anything", kNotSet}, {"/a/b/c/d", kNotSet}}},
        // An included folder inside an excluded one wins; below the deepest node every name answers its value.
        {{"/a"}, {"/a/b"}, {{"/a", kExcluded}, {"/other", kNotSet}, {"/a/b", kIncluded}, {"/a/x", kExcluded},
                            {"/a/x/anything", kExcluded}, {"/a/x/deeper/file.txt", kExcluded},
                            {"/a/b/c.txt", kIncluded}, {"/a/b/sub/f", kIncluded}, {"/ab", kNotSet}}},
        // Nodes made on the way to a deep path, with nothing set above them, stay unset.
        {{"/a", "/a/b/d", "/v/w/x/y"}, {"/a/b"},
         {{"/a/b/c.txt", kIncluded}, {"/a/c.txt", kExcluded}, {"/a/b/d", kExcluded}, {"/a/b/d/e/f/g", kExcluded},
          {"/v/w", kNotSet}, {"/v/w/x/other", kNotSet}, {"/v/w/x/y", kExcluded}, {"/v/w/x/y/z", kExcluded}}},
        // Excluding the root excludes everything not included.
        {{"/"}, {"/home/me"}, {{"/etc", kExcluded}, {"/home/other/f", kExcluded}, {"/home/me/f", kIncluded},
                               {"/usr/share/x", kExcluded}}},
        {{"/a", "/a/b/d", "/m/n", "/m/n/o/p", "/q"}, {"/a/b", "/m/n/o", "/q/r/s"},
         {{"/m/f", kNotSet}, {"/m/n/f", kExcluded}, {"/m/n/o/f", kIncluded}, {"/m/n/o/p/q/w", kExcluded},
          {"/m/z/w", kNotSet}, {"/q/r/t", kExcluded}, {"/q/r/s/t", kIncluded}, {"/zz/yy", kNotSet}}},
    };
    for (const Case& c : cases) {
        const Root root = treeWith(c.excluded, c.included);
        for (const auto& [path, answer] : c.answers) {
            EXPECT_EQ(answerByWalking(root, path), answer) << path;
            EXPECT_EQ(answerByURL(root, path), answer) << "by URL: " << path;
        }
    }
    EXPECT_EQ(ExcludeTreeChecker().subCheckerByName("a").checkName("b"), kNotSet);
}

TEST(ExcludeTreeTest, AdditionsOfTheSamePathAndOddPaths) {
    // The later addition of the same path wins; relative paths are ignored;
    // doubled and trailing slashes do not make empty names, in additions and
    // in look-ups alike.
    const Root root = ExcludeTreeCheckerByRootNode::generateWithCreation([](ExcludeTreeCheckerByRootNode& tree) {
        tree.excludeURL("/same");
        tree.includeURL("/same");
        tree.includeURL("/later");
        tree.excludeURL("/later");
        tree.excludeURL("relative/path");
        tree.excludeURL("");
        tree.excludeURL("//double//slash/");
        tree.excludeURL("/a/b/d");
        tree.includeURL("/a/b");
    });
    const ExcludeTreeChecker top = root->rootChecker();
    EXPECT_EQ(top.checkName("same"), kIncluded);
    EXPECT_EQ(top.checkName("later"), kExcluded);
    EXPECT_EQ(top.checkName("relative"), kNotSet);
    EXPECT_EQ(top.checkName(""), kNotSet);
    EXPECT_EQ(top.checkName("double"), kNotSet);
    EXPECT_EQ(top.subCheckerByName("double").checkName("slash"), kExcluded);
    // Relative, empty and "/" paths give the root's checker.
    for (const char* path : {"a/b", "", "/"}) EXPECT_EQ(root->subCheckerByURL(path).checkName("same"), kIncluded);
    EXPECT_EQ(root->subCheckerByURL("/a/b/").checkName("d"), kExcluded);
    EXPECT_EQ(root->subCheckerByURL("//a//b").checkName("c"), kIncluded);
}

}  // namespace
}  // namespace kestrane
