// The privileged helper as the first pass uses it: started once, asked over
// its socket, gone with this process.
#include "removal/DuplicatesRootRemover.h"

#include "platform/Process.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace kestrane {
namespace {

bool exists(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

TEST(DuplicatesRootRemoverTest, StartsTheHelperOnceAndRemovesThroughIt) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "starting the helper with administrator rights would ask for a password";
    test::TempDir temp;
    const std::string file = temp.writeFile("a/file.jpg", "x");
    const std::string tree = temp.makeDir("a/tree");
    temp.writeFile("a/tree/deep/inner.jpg", "y");
    const std::string outside = temp.writeFile("outside/keep.jpg", "keep");
    ::symlink((temp / "outside").c_str(), (tree + "/link").c_str());

    auto& remover = DuplicatesRootRemover::shared();
    remover.setHelperProgram(KESTRANE_TRELMOR);
    EXPECT_TRUE(remover.removeFileAtPath(file));
    const pid_t helper = remover.helperProcessId();
    ASSERT_GT(helper, 0);
    EXPECT_TRUE(platform::isProcessRunning(helper));
    EXPECT_TRUE(remover.removeFileAtPath(tree));
    EXPECT_EQ(remover.helperProcessId(), helper) << "a second helper was started";

    EXPECT_FALSE(exists(file));
    EXPECT_FALSE(exists(tree));
    EXPECT_TRUE(exists(outside));
    EXPECT_FALSE(remover.removeFileAtPath("relative/path"));
    EXPECT_FALSE(remover.removeFileAtPath(temp / "a/../outside/keep.jpg"));
    EXPECT_FALSE(remover.removeFileAtPath(temp / "never-there"));
    EXPECT_TRUE(exists(outside));
}

}  // namespace
}  // namespace kestrane
