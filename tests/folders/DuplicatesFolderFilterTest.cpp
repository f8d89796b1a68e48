#include "folders/DuplicatesFolderFilter.h"

#include "duplicates/DuplicateItem.h"
#include "duplicates/DuplicatesCategory.h"
#include "duplicates/DuplicatesContainer.h"
#include "duplicates/DuplicatesGroup.h"
#include "folders/ScannedFolders.h"
#include "platform/Clock.h"
#include "platform/MainQueue.h"
#include "platform/OperationQueue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace kestrane {
namespace {

using test::folderAt;
using test::itemAt;
using test::PathSets;
using test::pathsOf;

struct Report {
    std::uint64_t totalSize = 0;
    float progress = 0;
    std::uint64_t checkedFolders = 0;
};

class FilterListener : public DuplicatesFolderFilterListener {
public:
    void onDuplicateFoldersProgress(
        std::uint64_t totalSize, float progress, std::uint64_t checkedFolders) override {
        EXPECT_TRUE(platform::MainQueue::isMainThread());
        reports.push_back({totalSize, progress, checkedFolders});
        reportCount.fetch_add(1);
    }
    void onUpdateSizesUsingContainer(const std::shared_ptr<DuplicatesContainer>& container) override {
        EXPECT_TRUE(platform::MainQueue::isMainThread());
        sizesContainers.push_back(container);
    }
    void onDuplicateFoldersFiltered(std::shared_ptr<DuplicatesContainer> container) override {
        EXPECT_FALSE(platform::MainQueue::isMainThread());
        std::lock_guard lock(m_mutex);
        completedContainer = std::move(container);
        reportsBeforeCompletion = reportCount.load();
        completions.fetch_add(1);
    }

    // Main thread only.
    std::vector<Report> reports;
    std::vector<std::shared_ptr<DuplicatesContainer>> sizesContainers;
    std::atomic<std::size_t> reportCount{0};

    std::atomic<int> completions{0};
    std::shared_ptr<DuplicatesContainer> completedContainer;  // read after completion
    std::size_t reportsBeforeCompletion = 0;

private:
    std::mutex m_mutex;
};

class DuplicatesFolderFilterTest : public test::ScannedTreeTest {
protected:
    // The container as the duplicate files stage leaves it.
    void runFilesStage(std::int64_t minimalSize) { m_container = test::runFilesStage({m_root}, minimalSize); }
    // A container the files stage never saw: no file has been compared.
    void useFreshContainer() {
        m_container = DuplicatesContainer::create(nullptr, nullptr);
        m_container->saveRoots({m_root});
    }
    std::shared_ptr<DuplicatesFolderFilter> makeFilter(std::int64_t minimalSize) {
        auto filter = DuplicatesFolderFilter::create(m_container, minimalSize, SeparationOptions{});
        filter->setListener(m_listener);
        return filter;
    }
    // Waits for the completion, then runs what the stage's queue, the main
    // queue and the background queue still hold, in the order a completion
    // travels, to see that it came only once.
    void waitForCompletion() {
        ASSERT_TRUE(test::runMainQueueUntil([&] { return m_listener->completions.load() > 0; }));
        FolderSeparator::workingQueue().drain();
        platform::MainQueue::shared().runPending();
        platform::backgroundQueue().waitUntilAllOperationsAreFinished();
        EXPECT_EQ(m_listener->completions.load(), 1);
        EXPECT_EQ(m_listener->completedContainer, m_container);
    }
    void run(std::int64_t minimalSize, bool includeHidden = false) {
        auto filter = makeFilter(minimalSize);
        filter->findFoldersDuplicatesInRootsIncludeHidden({m_root}, includeHidden);
        waitForCompletion();
    }
    PathSets folderGroups() const { return pathsOf(*m_container->getCategoryWithType(FileCategory::folders)); }

    std::shared_ptr<DuplicatesContainer> m_container;
    std::shared_ptr<FilterListener> m_listener = std::make_shared<FilterListener>();
};

TEST_F(DuplicatesFolderFilterTest, IdenticalFoldersBecomeAFolderGroupReportedBeforeTheSingleCompletion) {
    m_dir.writeFileOfSize("photos/a.jpg", 3000, 'p');
    m_dir.writeFile("photos/notes.txt", "notes");
    m_dir.writeFileOfSize("backup/photos/a.jpg", 3000, 'p');
    m_dir.writeFile("backup/photos/notes.txt", "notes");
    m_dir.writeFileOfSize("other/c.jpg", 3000, 'q');
    scan();
    runFilesStage(0);
    run(0);

    EXPECT_EQ(folderGroups(), (PathSets{paths({"photos", "backup/photos"})}));
    EXPECT_EQ(m_container->getSmallDuplicatesCategory()->getGroupsCount(), 0u);  // nothing needed hashing
    EXPECT_TRUE(item("backup")->isCheckedForDuplicates());  // a candidate without twin

    // The final report carries the size of the folders category and the two
    // folders compared, and reaches the listener before the completion.
    ASSERT_FALSE(m_listener->reports.empty());
    const Report& last = m_listener->reports.back();
    EXPECT_EQ(last.totalSize, static_cast<std::uint64_t>(m_container->getCategoryWithType(FileCategory::folders)->getTotalSize()));
    EXPECT_GT(last.totalSize, 0u);
    EXPECT_EQ(last.checkedFolders, 2u);
    EXPECT_FLOAT_EQ(last.progress, 1.0f);
    EXPECT_EQ(m_listener->reportsBeforeCompletion, m_listener->reports.size());
    ASSERT_FALSE(m_listener->sizesContainers.empty());
    EXPECT_EQ(m_listener->sizesContainers.back(), m_container);
}

TEST_F(DuplicatesFolderFilterTest, EmptyFoldersAreDuplicatesOnlyWhenTheirNamesMatch) {
    m_dir.makeDir("x/cache");
    m_dir.makeDir("y/cache");
    m_dir.makeDir("x/logs");
    m_dir.makeDir("y/tmp");
    scan();
    useFreshContainer();
    run(0);

    // x and y hold one empty folder each that has no twin, so only the caches match.
    EXPECT_EQ(folderGroups(), (PathSets{paths({"x/cache", "y/cache"})}));
    for (const char* folder : {"x", "y", "x/logs", "y/tmp"}) {
        EXPECT_TRUE(item(folder)->isCheckedForDuplicates()) << folder;
        EXPECT_EQ(item(folder)->getDuplicateItem(), nullptr) << folder;
    }
}

TEST_F(DuplicatesFolderFilterTest, FoldersWithUniqueContentAreNeverCandidatesAndHiddenOnesAreLeftAlone) {
    m_dir.writeFile("a/u.txt", "one");
    m_dir.writeFile("b/u.txt", "two");  // same name and size, other content
    m_dir.writeFile(".h1/k.txt", "same");
    m_dir.writeFile(".h2/k.txt", "same");
    scan();
    runFilesStage(0);
    run(0);

    EXPECT_TRUE(folderGroups().empty());
    EXPECT_EQ(m_container->getSmallDuplicatesCategory()->getGroupsCount(), 0u);
    // Settled while collecting the candidates: no folder ever reached a separator.
    EXPECT_TRUE(item("a")->isCheckedForDuplicates());
    EXPECT_TRUE(item("b")->isCheckedForDuplicates());
    ASSERT_FALSE(m_listener->reports.empty());
    EXPECT_EQ(m_listener->reports.back().checkedFolders, 0u);
    // Hidden folders are not looked at, not even marked.
    EXPECT_FALSE(item(".h1")->isCheckedForDuplicates());
    EXPECT_FALSE(item(".h2")->isCheckedForDuplicates());
}

TEST_F(DuplicatesFolderFilterTest, HiddenFoldersAreComparedWhenIncluded) {
    m_dir.writeFile(".h1/k.txt", "same");
    m_dir.writeFile(".h2/k.txt", "same");
    scan();
    useFreshContainer();
    run(0, true);
    EXPECT_EQ(folderGroups(), (PathSets{paths({".h1", ".h2"})}));
}

TEST_F(DuplicatesFolderFilterTest, FilesBelowTheMinimalSizeAreHashedOnTheWayAndTheFoldersStillMatch) {
    for (const std::string folder : {"A", "B", "C"}) {
        m_dir.writeFileOfSize(folder + "/big.bin", 5000, 'b');
        m_dir.writeFile(folder + "/small.txt", folder == "C" ? "tinY" : "tiny");
    }
    scan();
    runFilesStage(1000);
    ASSERT_FALSE(item("A/small.txt")->isCheckedForDuplicates());
    run(1000);

    EXPECT_EQ(folderGroups(), (PathSets{paths({"A", "B"})}));
    EXPECT_EQ(pathsOf(*m_container->getSmallDuplicatesCategory()), (PathSets{paths({"A/small.txt", "B/small.txt"})}));
    EXPECT_TRUE(item("C/small.txt")->isCheckedForDuplicates());
    EXPECT_EQ(item("C/small.txt")->getDuplicateItem(), nullptr);
    EXPECT_TRUE(item("C")->isCheckedForDuplicates());
    EXPECT_EQ(item("C")->getDuplicateItem(), nullptr);
}

TEST_F(DuplicatesFolderFilterTest, AutomaticModeSettlesNestedFoldersBeforeTheFoldersAroundThem) {
    for (const std::string twin : {"X", "X2"}) {
        m_dir.writeFileOfSize(twin + "/Y/f.jpg", 2000, 'f');
        m_dir.writeFile(twin + "/g.txt", "gg");
    }
    m_dir.writeFile("lone.txt", "nothing like it");
    scan();
    runFilesStage(-1);
    run(-1);

    EXPECT_EQ(folderGroups(), (PathSets{paths({"X", "X2"})}));
    // Y and Y of X2 were a bucket of their own, done first: they are one
    // group, and X's separation found its subfolder already compared (only
    // the four folders were counted, none twice).
    const DuplicateItem* y = item("X/Y")->getDuplicateItem();
    const DuplicateItem* y2 = item("X2/Y")->getDuplicateItem();
    ASSERT_TRUE(y && y2);
    ASSERT_TRUE(y->getGroup());
    EXPECT_EQ(y->getGroup(), y2->getGroup());
    EXPECT_EQ(m_container->getSmallDuplicatesCategory()->getGroupsCount(), 0u);
    ASSERT_FALSE(m_listener->reports.empty());
    EXPECT_EQ(m_listener->reports.back().checkedFolders, 4u);
}

TEST_F(DuplicatesFolderFilterTest, StopDuringSeparationCompletesOnceWithTheGroupsFoundSoFar) {
    for (const std::string twin : {"1", "2"}) {
        m_dir.writeFileOfSize("P" + twin + "/r.bin", 1500, 'r');  // the smaller bucket: done first
        m_dir.writeFileOfSize("A" + twin + "/big.bin", 2000, 'b');
        m_dir.writeFile("A" + twin + "/s.txt", "tiny");  // below the minimal size: hashed by the folder stage
    }
    scan();
    runFilesStage(1000);
    auto filter = makeFilter(1000);
    {
        test::QueueGate gate(FileSeparator::workingQueue());
        filter->findFoldersDuplicatesInRootsIncludeHidden({m_root}, false);
        ASSERT_TRUE(gate.waitUntilSomethingWaits());  // A1 and A2's small files wait to be hashed
        filter->stop();
        EXPECT_TRUE(filter->isCanceled());
        ASSERT_TRUE(test::runMainQueueUntil([] { return FileSeparator::workingQueue().pendingCount() > 2; }));
    }
    waitForCompletion();

    EXPECT_EQ(folderGroups(), (PathSets{paths({"P1", "P2"})}));
    EXPECT_EQ(m_container->getSmallDuplicatesCategory()->getGroupsCount(), 0u);
    EXPECT_FALSE(item("A1/s.txt")->isCheckedForDuplicates());
    EXPECT_FALSE(item("A2/s.txt")->isCheckedForDuplicates());
    EXPECT_EQ(item("A1")->getDuplicateItem(), nullptr);
}

TEST_F(DuplicatesFolderFilterTest, AutomaticModeTimeLimitEndsTheStageAfterTheBucketUnderWay) {
    for (const std::string twin : {"1", "2"}) {
        m_dir.writeFileOfSize("Big" + twin + "/f.bin", 3000, 'f');
        m_dir.writeFile("Small" + twin + "/g.txt", "ab");
    }
    scan();
    useFreshContainer();
    auto filter = makeFilter(-1);
    auto clock = std::make_shared<platform::ManualClock>();
    filter->setClock(clock);
    {
        // The big bucket goes first and takes longer than the limit.
        test::QueueGate gate(FileSeparator::workingQueue());
        filter->findFoldersDuplicatesInRootsIncludeHidden({m_root}, false);
        ASSERT_TRUE(gate.waitUntilSomethingWaits());
        clock->advance(std::chrono::duration_cast<platform::Clock::duration>(
            std::chrono::duration<double>(DuplicatesFolderFilter::kAutoModeTimeLimit + 1)));
    }
    waitForCompletion();

    EXPECT_FALSE(filter->isCanceled());
    EXPECT_EQ(folderGroups(), (PathSets{paths({"Big1", "Big2"})}));
    for (const char* skipped : {"Small1", "Small2", "Small1/g.txt"})
        EXPECT_FALSE(item(skipped)->isCheckedForDuplicates()) << skipped;
    ASSERT_FALSE(m_listener->reports.empty());
    EXPECT_FLOAT_EQ(m_listener->reports.back().progress, 1.0f);  // time used up
}

}  // namespace
}  // namespace kestrane
