#include "folders/FolderSeparator.h"

#include "duplicates/DuplicateItem.h"
#include "duplicates/DuplicatesCategory.h"
#include "duplicates/DuplicatesContainer.h"
#include "duplicates/DuplicatesGroup.h"
#include "folders/FolderSeparatorForContainer.h"
#include "folders/ScannedFolders.h"
#include "platform/SerialQueue.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace kestrane {
namespace {

using test::folderAt;
using test::itemAt;
using test::PathSets;
using test::pathsOf;

PathSets pathsOf(const FolderSets& sets) {
    PathSets result;
    for (const auto& set : sets) {
        std::set<std::string> paths;
        for (const auto* folder : set) paths.insert(folder->path());
        result.insert(std::move(paths));
    }
    return result;
}

// Records what a FolderSeparatorForContainer reports (on the separators' queue).
class AdapterListener : public FolderSeparatorForContainerListener {
public:
    void updateCountOfCheckedFolders(std::uint64_t count) override {
        EXPECT_TRUE(FolderSeparator::workingQueue().runsOnCurrentQueue());
        std::lock_guard lock(m_mutex);
        counts.push_back(count);
    }
    void onFinishFolderSeparatorWithResultToContainer(FolderSeparatorForContainer&, const FolderSets& found,
                                                      const std::shared_ptr<DuplicatesContainer>& into) override {
        EXPECT_TRUE(FolderSeparator::workingQueue().runsOnCurrentQueue());
        std::lock_guard lock(m_mutex);
        result = found;
        container = into;
        if (++finishes == 1) m_done.set_value();
    }
    bool waitForFinish() {
        const bool ready = m_done.get_future().wait_for(std::chrono::seconds(20)) == std::future_status::ready;
        // Anything that would come after the first report is queued by now.
        FolderSeparator::workingQueue().drain();
        FolderSeparator::workingQueue().drain();
        return ready;
    }

    std::vector<std::uint64_t> counts;
    FolderSets result;
    std::shared_ptr<DuplicatesContainer> container;
    int finishes = 0;

private:
    std::mutex m_mutex;
    std::promise<void> m_done;
};

// Records what a FolderSeparator tells its delegate.
class RecordingDelegate : public FolderSeparatorDelegate {
public:
    void onProcessedItemsCount(std::uint64_t count, FolderSeparator&) override { lastCount = count; }
    void processIndermediateItemsWithSameHash(const FileSeparatorMap& items) override {
        intermediateItems += items.objectCount();
    }
    void onFinishSeparateFolderItemsSeparator(const FolderSets& found, FolderSeparator&) override {
        result = found;
        if (++finishes == 1) m_done.set_value();
    }
    bool waitForFinish() {
        const bool ready = m_done.get_future().wait_for(std::chrono::seconds(20)) == std::future_status::ready;
        FolderSeparator::workingQueue().drain();
        FolderSeparator::workingQueue().drain();
        return ready;
    }

    std::uint64_t lastCount = 0;
    std::size_t intermediateItems = 0;
    FolderSets result;
    int finishes = 0;

private:
    std::promise<void> m_done;
};

class FolderSeparatorTest : public test::ScannedTreeTest {
protected:
    void scan() {
        ScannedTreeTest::scan();
        if (m_root) m_container->saveRoots({m_root});
    }
    std::vector<FolderSystemItem*> folders(const std::vector<std::string>& relatives) {
        std::vector<FolderSystemItem*> result;
        for (const auto& relative : relatives) result.push_back(folderAt(*m_root, relative));
        return result;
    }
    std::shared_ptr<DuplicatesContainer> m_container = DuplicatesContainer::create(nullptr, nullptr);
};

TEST_F(FolderSeparatorTest, IdenticalFoldersBecomeOneGroupAndWhatWasHashedOnTheWayBecomesSmallDuplicates) {
    for (const std::string folder : {"A", "B", "C"}) {
        m_dir.writeFile(folder + "/f.txt", folder == "C" ? "hellO" : "hello");  // same size everywhere
        m_dir.writeFile(folder + "/sub/g.txt", "world");
    }
    scan();
    auto listener = std::make_shared<AdapterListener>();
    auto adapter = FolderSeparatorForContainer::create(SeparationOptions{});
    adapter->separateItemsToContainerWithListener(folders({"A", "B", "C"}), m_container, listener);
    ASSERT_TRUE(listener->waitForFinish());

    EXPECT_EQ(listener->finishes, 1);
    EXPECT_EQ(listener->container, m_container);
    EXPECT_EQ(pathsOf(listener->result), (PathSets{paths({"A", "B"})}));
    const auto folderGroups = m_container->getCategoryWithType(FileCategory::folders);
    EXPECT_EQ(pathsOf(*folderGroups), (PathSets{paths({"A", "B"})}));

    // The files and subfolders compared on the way: f.txt of A and B (C's
    // differs), then the subfolders of A and B with their g.txt. C was told
    // apart by its f.txt, so its subfolder was never looked at.
    EXPECT_EQ(pathsOf(*m_container->getSmallDuplicatesCategory()),
              (PathSets{paths({"A/f.txt", "B/f.txt"}), paths({"A/sub", "B/sub"}), paths({"A/sub/g.txt", "B/sub/g.txt"})}));
    EXPECT_TRUE(item("C/f.txt")->isCheckedForDuplicates());
    EXPECT_EQ(item("C/f.txt")->getDuplicateItem(), nullptr);
    EXPECT_FALSE(item("C/sub")->isCheckedForDuplicates());
    for (const char* folder : {"A", "B", "C", "A/sub", "B/sub"}) EXPECT_TRUE(item(folder)->isCheckedForDuplicates()) << folder;

    // Every folder finished counts once: A, B, C and the two subfolders, the last count always delivered.
    ASSERT_FALSE(listener->counts.empty());
    EXPECT_EQ(listener->counts.back(), 5u);
}

TEST_F(FolderSeparatorTest, ASplitGathersEachFolderWithTheFirstSubGroupItMatches) {
    // A and B each hold a copy from group G, C a copy from group H: listed
    // A, C, B the list splits after A, and B joins A, not C.
    for (const std::string folder : {"A", "B", "C", "D"}) m_dir.writeFile(folder + "/x.bin", folder == "C" || folder == "D" ? "22" : "11");
    scan();
    for (const char* file : {"A/x.bin", "B/x.bin", "C/x.bin", "D/x.bin"}) item(file)->setIsCheckedForDuplicates(true);
    ASSERT_TRUE(m_container->addGroupWithItems({item("A/x.bin"), item("B/x.bin")}));
    ASSERT_TRUE(m_container->addGroupWithItems({item("C/x.bin"), item("D/x.bin")}));

    auto delegate = std::make_shared<RecordingDelegate>();
    auto separator = FolderSeparator::create(SeparationOptions{});
    separator->separateItemsWithDelegate(folders({"A", "C", "B"}), delegate);
    ASSERT_TRUE(delegate->waitForFinish());

    EXPECT_EQ(delegate->finishes, 1);
    EXPECT_EQ(pathsOf(delegate->result), (PathSets{paths({"A", "B"})}));
    EXPECT_EQ(delegate->intermediateItems, 0u);  // everything was compared already
    EXPECT_EQ(delegate->lastCount, 3u);
    for (const char* folder : {"A", "B", "C"}) EXPECT_TRUE(item(folder)->isCheckedForDuplicates()) << folder;
    EXPECT_FALSE(item("D")->isCheckedForDuplicates());
}

TEST_F(FolderSeparatorTest, ADifferenceDeepDownKeepsEveryLevelApart) {
    m_dir.writeFile("A/sub/deep/z.txt", "aaa");
    m_dir.writeFile("A/top.txt", "same");
    m_dir.writeFile("B/sub/deep/z.txt", "aab");
    m_dir.writeFile("B/top.txt", "same");
    scan();
    auto listener = std::make_shared<AdapterListener>();
    auto adapter = FolderSeparatorForContainer::create(SeparationOptions{});
    adapter->separateItemsToContainerWithListener(folders({"A", "B"}), m_container, listener);
    ASSERT_TRUE(listener->waitForFinish());

    EXPECT_EQ(listener->finishes, 1);
    EXPECT_TRUE(listener->result.empty());
    EXPECT_EQ(m_container->getCategoryWithType(FileCategory::folders)->getGroupsCount(), 0u);
    // top.txt matched; nothing below it did.
    EXPECT_EQ(pathsOf(*m_container->getSmallDuplicatesCategory()), (PathSets{paths({"A/top.txt", "B/top.txt"})}));
    for (const char* folder : {"A", "B", "A/sub", "B/sub", "A/sub/deep", "B/sub/deep"})
        EXPECT_TRUE(item(folder)->isCheckedForDuplicates()) << folder;
    EXPECT_EQ(item("A/sub")->getDuplicateItem(), nullptr);
}

TEST_F(FolderSeparatorTest, StopWhileFilesAreHashedReportsOnceWithNothingAndUnmarksTheFiles) {
    for (const std::string folder : {"A", "B"}) {
        m_dir.writeFile(folder + "/one.txt", "first");
        m_dir.writeFile(folder + "/two.txt", "second file");
    }
    scan();
    auto listener = std::make_shared<AdapterListener>();
    auto adapter = FolderSeparatorForContainer::create(SeparationOptions{});
    {
        // The first batch of files waits behind the gate while the stop goes through.
        test::QueueGate gate(FileSeparator::workingQueue());
        adapter->separateItemsToContainerWithListener(folders({"A", "B"}), m_container, listener);
        ASSERT_TRUE(gate.waitUntilSomethingWaits());
        adapter->stop();
        ASSERT_TRUE(test::runMainQueueUntil([] { return FileSeparator::workingQueue().pendingCount() > 2; }));
    }
    ASSERT_TRUE(listener->waitForFinish());

    EXPECT_EQ(listener->finishes, 1);
    EXPECT_TRUE(listener->result.empty());
    EXPECT_EQ(m_container->getCategoryWithType(FileCategory::folders)->getGroupsCount(), 0u);
    EXPECT_EQ(m_container->getSmallDuplicatesCategory()->getGroupsCount(), 0u);
    for (const char* file : {"A/one.txt", "B/one.txt", "A/two.txt", "B/two.txt"})
        EXPECT_FALSE(item(file)->isCheckedForDuplicates()) << file;
    // The folders are settled for this scan.
    EXPECT_TRUE(item("A")->isCheckedForDuplicates());
    EXPECT_TRUE(item("B")->isCheckedForDuplicates());
}

TEST_F(FolderSeparatorTest, AStoppedSeparationDroppedByItsOwnersKeepsTheTreeUntilItsWorkEnds) {
    for (const std::string folder : {"A", "B"}) {
        m_dir.writeFile(folder + "/one.txt", "first");
        m_dir.writeFile(folder + "/two.txt", "second file");
    }
    scan();
    const std::weak_ptr<VolumeSystemItem> tree = m_root;
    auto listener = std::make_shared<AdapterListener>();
    auto adapter = FolderSeparatorForContainer::create(SeparationOptions{});
    // The first batch of files waits behind the gate; meanwhile the
    // separation is stopped and every owner of the result lets go.
    auto gate = std::make_unique<test::QueueGate>(FileSeparator::workingQueue());
    adapter->separateItemsToContainerWithListener(folders({"A", "B"}), m_container, listener);
    ASSERT_TRUE(gate->waitUntilSomethingWaits());
    adapter->stop();
    FolderSeparator::workingQueue().drain();
    adapter.reset();
    listener.reset();
    m_container.reset();
    m_root.reset();
    EXPECT_FALSE(tree.expired()) << "nothing kept the folders of the queued work";

    gate.reset();
    // The hashing threads let go of a stopped pass in their own time; the
    // tree must go with the last of them.
    EXPECT_TRUE(test::pollUntil(
        [&] {
            FileSeparator::workingQueue().drain();
            FolderSeparator::workingQueue().drain();
            return tree.expired();
        },
        std::chrono::seconds(20)))
        << "the work kept the tree after it ended";
}

}  // namespace
}  // namespace kestrane
