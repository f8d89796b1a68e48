#include "log/BaseRemovedItem.h"
#include "log/RestoreController.h"
#include "log/RestoreControllersContainer.h"
#include "log/RestoreKernelManager.h"
#include "support/ChildProcess.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <csignal>
#include <dirent.h>
#include <set>
#include <sstream>
#include <string>

namespace {

using namespace kestrane;

// The number in the last complete "reported N" line.
std::uint64_t lastReported(const std::string& output) {
    std::uint64_t last = 0;
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);)
        if (line.starts_with("reported ") && !lines.eof()) last = std::stoull(line.substr(9));
    return last;
}

class DurableLogTest : public kestrane::test::IsolatedHomeTest {};

TEST_F(DurableLogTest, ARecorderKilledMidRunLeavesALogOfEverythingItReported) {
    const std::string folder = m_sandbox / "Removed";
    // 3,000 groups of two files: each flush rewrites a log of 6,000 records;
    // reported 10 at a time, the run needs 300 flushes, far more than the
    // test lets it make before the kill.
    kestrane::test::ChildProcess recorder(KESTRANE_TEST_RECORDER, {folder, "3000", "10"});
    ASSERT_TRUE(recorder.readOutputUntil([](const std::string& out) { return lastReported(out) >= 40; },
                                         std::chrono::seconds(120)));
    recorder.sendSignal(SIGKILL);
    const auto result = recorder.wait();
    ASSERT_EQ(result.signal, SIGKILL) << result.err;
    const std::uint64_t reported = lastReported(result.out);
    ASSERT_GE(reported, 40u);
    ASSERT_LT(reported, 3000u) << "the run ended before it was killed";

    // The history reads the log, whole, listing every file reported.
    RestoreKernelManager history;
    history.loadFromFolder(folder);
    const auto days = history.restoreControllers();
    ASSERT_EQ(days.size(), 1u);
    ASSERT_EQ(days[0]->controllers().size(), 1u);
    const auto log = days[0]->controllers()[0];
    log->loadNow();
    std::set<std::string> removed;
    for (const auto& item : log->children()) removed.insert(item->originalPath());
    EXPECT_GE(removed.size(), reported);
    for (std::uint64_t i = 0; i < reported; ++i)
        EXPECT_TRUE(removed.contains("/run/removed-" + std::to_string(i))) << i;
    // What was not reported removed is listed as kept, every group whole.
    EXPECT_EQ(log->groups().size(), removed.size());
    for (const auto& group : log->groups()) EXPECT_EQ(group->keptItems().size(), 1u);
}

}  // namespace
