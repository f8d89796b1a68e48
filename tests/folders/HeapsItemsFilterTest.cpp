#include "folders/HeapsItemsFilter.h"

#include "duplicates/DuplicateItem.h"
#include "duplicates/DuplicatesCategory.h"
#include "duplicates/DuplicatesContainer.h"
#include "duplicates/DuplicatesGroup.h"
#include "duplicates/FileCategory.h"
#include "duplicates/ModelTestTree.h"
#include "folders/DuplicatesHeap.h"
#include "folders/DuplicatesHeaps.h"
#include "folders/HeapsFolderData.h"
#include "folders/HeapsGroup.h"
#include "platform/MainQueue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <future>
#include <mutex>
#include <vector>

namespace kestrane {
namespace {

using test::entryOf;

class RecordingDelegate : public HeapsItemsFilterDelegate {
public:
    std::shared_ptr<HeapsValidateProgressListener> getHeapsValidateProgressListener() override { return nullptr; }
    bool isHeapsItemsFilterCanceled() override { return canceled.load(); }
    void onHeapsItemsFilterStartSeparateItems() override { ++started; }
    void onHeapsItemsFilterFoundDuplicatesCount(std::uint64_t count) override {
        std::lock_guard lock(mutex);
        found.push_back(count);
    }
    void onHeapsItemsFilterFinishedWork() override {
        if (++finished == 1) done.set_value();
    }
    std::vector<std::uint64_t> foundCounts() {
        std::lock_guard lock(mutex);
        auto sorted = found;
        std::sort(sorted.begin(), sorted.end());
        return sorted;
    }

    std::atomic<bool> canceled{false};
    std::atomic<int> started{0};
    std::atomic<int> finished{0};
    std::promise<void> done;
    std::mutex mutex;
    std::vector<std::uint64_t> found;
};

class HeapsItemsFilterTest : public test::IsolatedHomeTest {
protected:
    void SetUp() override {
        IsolatedHomeTest::SetUp();
        m_container->saveRoots({m_tree.rootPtr()});
        // A and B are similar folders: p and q in both.
        shared("p.txt", "0123456789", {"A", "B"});
        shared("q.txt", "abcde", {"A", "B"});
    }
    void TearDown() override {
        platform::MainQueue::shared().runPending();
        IsolatedHomeTest::TearDown();
    }

    // A file the duplicate search already hashed and found unique.
    FileSystemItem* checkedFile(const std::string& relative, const std::string& content) {
        FileSystemItem* item = m_tree.file(relative, content);
        item->setIsCheckedForDuplicates(true);
        return item;
    }
    void shared(const std::string& name, const std::string& content, const std::vector<std::string>& folders) {
        std::vector<FileSystemItem*> items;
        for (const auto& folder : folders) items.push_back(checkedFile(folder + "/" + name, content));
        ASSERT_TRUE(m_container->addGroupWithItems(items));
    }
    // Runs the phase on this thread and waits for its end.
    void runFilter() {
        m_tree.calculateSizes();
        m_tree.root().recalculateCountOfDeepChildren();
        auto filter = HeapsItemsFilter::create(m_delegate);
        filter->filterUsingContainerIncludeHiddenFiles(m_container, m_heaps, false, SeparationOptions{});
        auto done = m_delegate->done.get_future();
        ASSERT_EQ(done.wait_for(std::chrono::seconds(30)), std::future_status::ready);
        EXPECT_EQ(filter->getContainer(), m_container);
        EXPECT_EQ(m_delegate->finished.load(), 1);
    }
    std::shared_ptr<DuplicatesHeap> heapAB() const {
        const auto& all = m_heaps->getAllFoldersData();
        const auto a = all.find(m_tree.path() + "/A");
        const auto b = all.find(m_tree.path() + "/B");
        if (a == all.end() || b == all.end()) return nullptr;
        const auto group = m_heaps->getHeapsGroupForFolderData(*a->second);
        return group ? group->getHeapForKey(b->second->getID()) : nullptr;
    }
    // The items of the group the item is in (empty without one).
    static std::vector<FileSystemItem*> groupOf(const FileSystemItem* item) {
        const auto entry = entryOf(item);
        const auto group = entry ? entry->getGroup() : nullptr;
        return group ? group->getFileSystemItems() : std::vector<FileSystemItem*>{};
    }

    test::ModelTestTree m_tree;
    std::shared_ptr<DuplicatesHeaps> m_heaps = DuplicatesHeaps::create();
    std::shared_ptr<DuplicatesContainer> m_container = DuplicatesContainer::create(m_heaps, nullptr);
    std::shared_ptr<RecordingDelegate> m_delegate = std::make_shared<RecordingDelegate>();
};

TEST_F(HeapsItemsFilterTest, SmallFilesOfSimilarFoldersAreHashedAndTheirCopiesJoinTheHeap) {
    FileSystemItem* as = m_tree.file("A/s.txt", "tiny");
    FileSystemItem* bs = m_tree.file("B/s.txt", "tiny");
    FileSystemItem* at = m_tree.file("A/t.txt", "tint");     // same size and extension, other content
    FileSystemItem* cs = m_tree.file("C/s.txt", "tiny");     // C is no similar folder
    m_tree.file("A/lonely.dat", "nothing like it");          // alone under its key
    m_container->validateEmptyDataAfterRemoveWithListener(nullptr);
    ASSERT_TRUE(heapAB());
    ASSERT_EQ(heapAB()->getCountOfGroups(), 2u);

    runFilter();
    const auto group = groupOf(as);
    EXPECT_EQ(group.size(), 2u);
    EXPECT_TRUE(std::find(group.begin(), group.end(), bs) != group.end());
    EXPECT_EQ(entryOf(as)->getType(), typeOfFileAtPath("s.txt"));
    EXPECT_FALSE(entryOf(at));
    EXPECT_TRUE(at->isCheckedForDuplicates());
    EXPECT_FALSE(entryOf(cs));
    EXPECT_FALSE(cs->isCheckedForDuplicates());
    EXPECT_EQ(m_delegate->started.load(), 1);
    EXPECT_EQ(m_delegate->foundCounts(), (std::vector<std::uint64_t>{2}));

    // The similar folders were computed again with the new group.
    ASSERT_TRUE(heapAB());
    EXPECT_EQ(heapAB()->getCountOfGroups(), 3u);
    EXPECT_EQ(heapAB()->getHeapSize(), 30u + 8u);
    EXPECT_EQ(m_container->getSmallDuplicatesCategory()->getGroupsCount(), 0u);
}

TEST_F(HeapsItemsFilterTest, LeftoverSmallDuplicatesBecomeRegularGroupsOrAreComparedAgainWithNewCopies) {
    // Found identical while folders were compared: w in A and B, v in A and B.
    FileSystemItem* aw = checkedFile("A/w.txt", "www");
    FileSystemItem* bw = checkedFile("B/w.txt", "www");
    FileSystemItem* av = checkedFile("A/v.txt", "vv");
    FileSystemItem* bv = checkedFile("B/v.txt", "vv");
    const auto& small = m_container->getSmallDuplicatesCategory();
    ASSERT_TRUE(small->addGroupWithItems({aw, bw}));
    ASSERT_TRUE(small->addGroupWithItems({av, bv}));
    // A new copy of v that nobody hashed yet.
    FileSystemItem* av2 = m_tree.file("A/v2.txt", "vv");

    runFilter();
    EXPECT_EQ(small->getGroupsCount(), 0u);
    // w was not compared again: it is a regular group now.
    const auto w = groupOf(aw);
    EXPECT_EQ(w.size(), 2u);
    ASSERT_TRUE(entryOf(aw));
    EXPECT_EQ(entryOf(aw)->getGroup()->getCategory(), m_container->getCategoryWithType(typeOfFileAtPath("w.txt")));
    // v was hashed again together with the new copy.
    EXPECT_EQ(groupOf(av2).size(), 3u);
    EXPECT_EQ(m_delegate->foundCounts(), (std::vector<std::uint64_t>{3}));
    ASSERT_TRUE(heapAB());
    EXPECT_EQ(heapAB()->getCountOfGroups(), 4u);  // p, q, w, v
}

TEST_F(HeapsItemsFilterTest, SmallSubfoldersOfSimilarFoldersAreComparedAsFolders) {
    for (const std::string folder : {"A", "B"}) {
        m_tree.file(folder + "/sub/k1.txt", "k-one");
        m_tree.file(folder + "/sub/k2.txt", "k-two");
    }
    runFilter();
    FolderSystemItem* aSub = m_tree.folder("A/sub");
    const auto group = groupOf(aSub);
    ASSERT_EQ(group.size(), 2u);
    EXPECT_EQ(entryOf(aSub)->getType(), FileCategory::folders);
    EXPECT_EQ(m_delegate->foundCounts(), (std::vector<std::uint64_t>{2}));
    ASSERT_TRUE(heapAB());
    EXPECT_EQ(heapAB()->getCountOfGroups(), 3u);
}

TEST_F(HeapsItemsFilterTest, ACancelledPhaseComputesTheHeapsButHashesNothing) {
    FileSystemItem* as = m_tree.file("A/s.txt", "tiny");
    m_tree.file("B/s.txt", "tiny");
    FileSystemItem* aw = checkedFile("A/w.txt", "www");
    FileSystemItem* bw = checkedFile("B/w.txt", "www");
    ASSERT_TRUE(m_container->getSmallDuplicatesCategory()->addGroupWithItems({aw, bw}));
    m_delegate->canceled = true;

    runFilter();
    EXPECT_FALSE(entryOf(as));
    EXPECT_FALSE(as->isCheckedForDuplicates());
    EXPECT_FALSE(entryOf(aw));  // the scratch category is emptied all the same
    EXPECT_EQ(m_container->getSmallDuplicatesCategory()->getGroupsCount(), 0u);
    EXPECT_EQ(m_delegate->started.load(), 0);
    ASSERT_TRUE(heapAB());
    EXPECT_EQ(heapAB()->getCountOfGroups(), 2u);
}

TEST_F(HeapsItemsFilterTest, AStoppedFilterStartsNoHashing) {
    FileSystemItem* as = m_tree.file("A/s.txt", "tiny");
    m_tree.file("B/s.txt", "tiny");
    m_tree.calculateSizes();
    auto filter = HeapsItemsFilter::create(m_delegate);
    filter->stopHeapsAdditionalSmallFilesSearch();
    filter->filterUsingContainerIncludeHiddenFiles(m_container, m_heaps, false, SeparationOptions{});
    auto done = m_delegate->done.get_future();
    ASSERT_EQ(done.wait_for(std::chrono::seconds(30)), std::future_status::ready);
    EXPECT_FALSE(entryOf(as));
    EXPECT_EQ(m_delegate->started.load(), 0);
}

}  // namespace
}  // namespace kestrane
