#include "folders/DuplicatesHeaps.h"

#include "duplicates/DuplicateItem.h"
#include "duplicates/DuplicatesCategory.h"
#include "duplicates/DuplicatesContainer.h"
#include "duplicates/DuplicatesGroup.h"
#include "duplicates/FileCategory.h"
#include "duplicates/HeapsValidateProgressListener.h"
#include "duplicates/ModelTestTree.h"
#include "folders/DuplicatesHeap.h"
#include "folders/HeapsFolderData.h"
#include "folders/HeapsGroup.h"
#include "platform/Clock.h"
#include "platform/MainQueue.h"

#include <gtest/gtest.h>

#include <array>
#include <thread>
#include <utility>
#include <vector>

namespace kestrane {
namespace {

using test::entryOf;

class RecordingProgress : public HeapsValidateProgressListener {
public:
    // Asked before each folder: cancels from the (cancelAfter + 1)th question on.
    bool isHeapsValidationCanceled() override { return cancelAfter >= 0 && ++asked > cancelAfter; }
    void onHeapsCheckedFolders(std::uint64_t count) override { checked += count; }
    void onHeapsSizeChangedWithProgress(std::uint64_t size, float progress) override {
        reports.emplace_back(size, progress);
    }
    bool finished() const { return !reports.empty() && reports.back().second == 1.0f; }

    int cancelAfter = -1;
    int asked = 0;
    std::uint64_t checked = 0;
    std::vector<std::pair<std::uint64_t, float>> reports;
};

using Figures = std::array<std::uint64_t, 4>;

// Statistics as {items, selected, similar selected, size}.
Figures figuresOf(const HeapsItemsStatistics& statistics) {
    return {statistics.countOfItems, statistics.countOfSelectedItems, statistics.countOfSimilarSelectedItems,
            statistics.totalSize};
}

class DuplicatesHeapsTest : public test::IsolatedHomeTest {
protected:
    void SetUp() override {
        IsolatedHomeTest::SetUp();
        m_container->saveRoots({m_tree.rootPtr()});
    }
    void TearDown() override {
        platform::MainQueue::shared().runPending();
        IsolatedHomeTest::TearDown();
    }

    FileSystemItem* file(const std::string& relative, const std::string& content) { return m_tree.file(relative, content); }
    std::string pathOf(const std::string& relative) const { return m_tree.path() + "/" + relative; }
    std::shared_ptr<DuplicatesGroup> group(std::vector<FileSystemItem*> items) {
        return m_container->addGroupWithItems(items);
    }
    // The same file in every folder, one group.
    std::shared_ptr<DuplicatesGroup> shared(const std::string& name, const std::string& content,
                                            const std::vector<std::string>& folders) {
        std::vector<FileSystemItem*> items;
        for (const auto& folder : folders) items.push_back(file(folder + "/" + name, content));
        return group(items);
    }
    void validate(const std::shared_ptr<HeapsValidateProgressListener>& listener = nullptr) {
        m_container->validateEmptyDataAfterRemoveWithListener(listener);
    }
    // The record of a shown (or, with hidden, a set-aside) folder, or null.
    std::shared_ptr<HeapsFolderData> record(const std::string& relative, bool hidden = false) const {
        const auto& all = hidden ? m_heaps->getHiddenFoldersData() : m_heaps->getAllFoldersData();
        const auto it = all.find(pathOf(relative));
        return it == all.end() ? nullptr : it->second;
    }
    // The heap main -> second of the last computation, or null.
    std::shared_ptr<DuplicatesHeap> heap(const std::string& main, const std::string& second) const {
        const auto mainRecord = record(main);
        const auto secondRecord = record(second);
        if (!mainRecord || !secondRecord) return nullptr;
        const auto heaps = m_heaps->getHeapsGroupForFolderData(*mainRecord);
        return heaps ? heaps->getHeapForKey(secondRecord->getID()) : nullptr;
    }
    // The kept pairs as the report lists them: "main+second half groups".
    std::vector<std::string> listedPairs() const {
        std::vector<std::string> pairs;
        m_heaps->forEachPairLargestFirst([&](const HeapsFolderData& main, const HeapsFolderData& second,
                                             std::uint64_t halfSize, std::uint32_t groups) {
            const auto name = [&](const HeapsFolderData& record) {
                return record.getFolderPath().substr(m_tree.path().size() + 1);
            };
            pairs.push_back(name(main) + "+" + name(second) + " " + std::to_string(halfSize) + " " +
                            std::to_string(groups));
            return true;
        });
        return pairs;
    }
    std::vector<std::string> shownFolders() const {
        std::vector<std::string> names;
        for (const auto& [path, data] : m_heaps->getAllFoldersData()) names.emplace_back(path.substr(m_tree.path().size() + 1));
        return names;
    }

    test::ModelTestTree m_tree;
    std::shared_ptr<DuplicatesHeaps> m_heaps = DuplicatesHeaps::create();
    std::shared_ptr<DuplicatesContainer> m_container = DuplicatesContainer::create(m_heaps, nullptr);
};

TEST_F(DuplicatesHeapsTest, FoldersSharingTwoGroupsFormAHeapEachWayAndOneSharedGroupIsNotEnough) {
    shared("p.txt", "0123456789", {"A", "B"});
    shared("q.txt", "abcde", {"A", "B"});
    shared("r.txt", "rrr", {"C", "D"});
    // A and B each got copies of a second group: 5 + 5 bytes may become similar folders.
    EXPECT_EQ(m_heaps->getPossibleHeapsSize(), 10u);

    auto progress = std::make_shared<RecordingProgress>();
    validate(progress);
    EXPECT_EQ(shownFolders(), (std::vector<std::string>{"A", "B"}));

    const auto ab = heap("A", "B");
    const auto ba = heap("B", "A");
    ASSERT_TRUE(ab && ba);
    EXPECT_EQ(ab->getMainFolderItem(), m_tree.folder("A"));
    EXPECT_EQ(ab->getSecondFolderItem(), m_tree.folder("B"));
    EXPECT_EQ(ba->getMainFolderItem(), m_tree.folder("B"));
    EXPECT_TRUE(ab->sameAs(*ba));
    EXPECT_TRUE(ab->revertedHeap()->sameAs(*ab));
    // Shared files of 10 and 5 bytes in each folder: items, groups, half size, size.
    EXPECT_EQ((Figures{ab->getCountOfItems(), ab->getCountOfGroups(), ab->getHeapHalfSize(), ab->getHeapSize()}),
              (Figures{4, 2, 15, 30}));
    for (const auto& item : ab->getMainFolderItems()) EXPECT_EQ(item->getParentFolderItemPath(), pathOf("A"));
    for (const auto& item : ab->getSecondFolderItems()) EXPECT_EQ(item->getParentFolderItemPath(), pathOf("B"));

    const auto groupA = m_heaps->getHeapsGroupForFolderData(*record("A"));
    EXPECT_EQ(groupA->getCountOfHeapsInGroup(), 1u);
    EXPECT_EQ(groupA->getItemsInMainFolderThatParticipateInHeaps().size(), 2u);
    EXPECT_EQ(groupA->getAllSecondFolders(), (std::vector<FolderSystemItem*>{m_tree.folder("B")}));

    // Each participating copy counts once, in its own folder.
    EXPECT_EQ(m_heaps->getTotalHeapsSize(), 30u);
    EXPECT_EQ(m_heaps->getPossibleHeapsSize(), 30u);
    EXPECT_FALSE(m_heaps->isEmpty());
    const auto progressData = m_heaps->buildProgressData();
    ASSERT_EQ(progressData.size(), 2u);
    for (const auto& entry : progressData) EXPECT_EQ(entry.items.size(), 2u);

    // The records of C and D go (one group each); then the four records are
    // checked, and A and B once more while their heaps are built.
    ASSERT_TRUE(test::runMainQueueUntil([&] { return progress->finished() && progress->checked == 6; }));
    EXPECT_EQ(progress->reports.back().first, 30u);
}

TEST_F(DuplicatesHeapsTest, AFolderFormsNoHeapWithItself) {
    group({file("F/a1.txt", "same"), file("F/a2.txt", "same")});
    group({file("F/b1.txt", "other"), file("F/b2.txt", "other")});
    validate();
    EXPECT_TRUE(m_heaps->getAllFoldersData().empty());
    EXPECT_TRUE(m_heaps->getHiddenFoldersData().empty());

    auto f = HeapsFolderData::create(m_tree.folder("F"));
    f->updateData();
    EXPECT_EQ(f->getGroups().size(), 2u);
    EXPECT_FALSE(DuplicatesHeap::buildHeapWithFolderWithFolder(f, f));
    // Another record of the same folder is still the same folder.
    auto again = HeapsFolderData::create(m_tree.folder("F"));
    again->updateData();
    EXPECT_FALSE(DuplicatesHeap::buildHeapWithFolderWithFolder(f, again));
}

TEST_F(DuplicatesHeapsTest, CopiesOfTheSameFolderFormNoHeapAndTheirOtherHeapsAreHidden) {
    shared("f1.txt", "first", {"D1", "D2", "E"});
    shared("f2.txt", "second", {"D1", "D2", "E"});
    file("E/g.txt", "only here");
    validate();
    EXPECT_TRUE(heap("D1", "D2"));  // as long as nobody knows they are copies

    m_tree.calculateSizes();
    const auto folders = group({m_tree.folder("D1"), m_tree.folder("D2")});
    ASSERT_TRUE(folders);
    ASSERT_EQ(folders->getCategory()->getType(), FileCategory::folders);
    validate();
    // D1 and D2 have no heap with each other; their heaps with E involve a
    // duplicate folder, so all three records are set aside.
    EXPECT_TRUE(m_heaps->getAllFoldersData().empty());
    ASSERT_TRUE(record("D1", true) && record("D2", true) && record("E", true));
    EXPECT_EQ(m_heaps->getTotalHeapsSize(), 0u);
    EXPECT_TRUE(m_heaps->isEmpty());

    const auto d1 = m_heaps->buildHeapsGroupForFolderWithPath(pathOf("D1"));
    ASSERT_TRUE(d1);
    EXPECT_EQ(d1->getCountOfHeapsInGroup(), 0u);
    ASSERT_EQ(d1->getAllSubHeapsWithDuplicatesFolder().size(), 1u);
    EXPECT_EQ(d1->getAllSubHeapsWithDuplicatesFolder().front()->getSecondFolderItem(), m_tree.folder("E"));
    EXPECT_FALSE(DuplicatesHeap::buildHeapWithFolderWithFolder(record("D1", true), record("D2", true)));
    EXPECT_FALSE(DuplicatesHeap::buildHeapWithFolderWithFolder(record("D2", true), record("D1", true)));

    // A duplicate folder counts as a whole.
    const auto d1Size = static_cast<std::uint64_t>(m_tree.folder("D1")->logicalSize());
    EXPECT_EQ(figuresOf(record("D1", true)->calculateStatistics()), (Figures{2, 0, 0, d1Size}));
    ASSERT_TRUE(entryOf(m_tree.folder("D1"))->selectItemForced(false));
    EXPECT_EQ(figuresOf(record("D1", true)->calculateStatistics()), (Figures{2, 2, 0, d1Size}));
}

TEST_F(DuplicatesHeapsTest, AFolderInsideADuplicateFolderIsKeptApartAndComesBackWhenTheFolderIsNoCopyAnyMore) {
    shared("f1.txt", "first", {"P1/X", "P2/X", "Y"});
    shared("f2.txt", "second", {"P1/X", "P2/X", "Y"});
    file("Y/z.txt", "only here");
    m_tree.calculateSizes();
    const auto folders = group({m_tree.folder("P1"), m_tree.folder("P2")});
    ASSERT_TRUE(folders);
    validate();

    EXPECT_TRUE(m_heaps->getAllFoldersData().empty());
    const auto y = record("Y", true);
    ASSERT_TRUE(y);  // hidden, not dropped
    const auto yHeaps = m_heaps->getHeapsGroupForFolderData(*y);
    ASSERT_TRUE(yHeaps);
    EXPECT_EQ(yHeaps->getCountOfHeapsInGroup(), 0u);
    EXPECT_EQ(yHeaps->getAllSubHeapsWithDuplicatesFolder().size(), 2u);  // with P1/X and with P2/X
    EXPECT_TRUE(yHeaps->getItemsInMainFolderThatParticipateInHeaps().empty());

    // P1 and P2 stop being copies: the hidden records are looked at again.
    m_container->getCategoryWithType(FileCategory::folders)->removeGroup(folders);
    validate();
    EXPECT_EQ(shownFolders(), (std::vector<std::string>{"P1/X", "P2/X", "Y"}));
    EXPECT_TRUE(m_heaps->getHiddenFoldersData().empty());
    ASSERT_TRUE(heap("Y", "P1/X"));
    EXPECT_TRUE(heap("Y", "P2/X"));
    EXPECT_TRUE(heap("P1/X", "P2/X"));
    EXPECT_EQ(m_heaps->getTotalHeapsSize(), 3u * (5 + 6));
}

TEST_F(DuplicatesHeapsTest, CancellingKeepsTheHeapsFoundSoFarMadeSymmetricAndDropsTheUnvisitedFolders) {
    shared("p.txt", "pp", {"A", "B"});
    shared("q.txt", "qqq", {"A", "B"});
    shared("r.txt", "rrrr", {"C", "D"});
    shared("s.txt", "sssss", {"C", "D"});
    auto progress = std::make_shared<RecordingProgress>();
    progress->cancelAfter = 1;  // A is handled, the question before B cancels
    validate(progress);

    EXPECT_EQ(shownFolders(), (std::vector<std::string>{"A", "B"}));
    ASSERT_TRUE(heap("A", "B"));
    EXPECT_TRUE(heap("B", "A"));  // made by the symmetry step
    EXPECT_EQ(m_heaps->getTotalHeapsSize(), 10u);
    ASSERT_TRUE(test::runMainQueueUntil([&] { return progress->finished() && progress->checked == 5; }));
    EXPECT_EQ(progress->reports.back().first, 5u);  // what was found before cancelling
}

TEST_F(DuplicatesHeapsTest, ReportsCloserThanHalfASecondAreDroppedUnlessForced) {
    auto clock = std::make_shared<platform::ManualClock>();
    m_heaps->setClock(clock);
    auto progress = std::make_shared<RecordingProgress>();
    EXPECT_TRUE(m_heaps->notifyHeapsSizeChangedWithProgress(progress, 1, 0.5f, false));
    EXPECT_FALSE(m_heaps->notifyHeapsSizeChangedWithProgress(progress, 2, 0.6f, false));
    EXPECT_TRUE(m_heaps->notifyHeapsSizeChangedWithProgress(progress, 3, 0.7f, true));
    EXPECT_FALSE(m_heaps->notifyHeapsSizeChangedWithProgress(progress, 4, 0.8f, false));
    // Exactly the interval after the last report is still too close; a moment later is not.
    clock->advance(DuplicatesHeaps::kNotificationInterval);
    EXPECT_FALSE(m_heaps->notifyHeapsSizeChangedWithProgress(progress, 5, 0.9f, false));
    clock->advance(std::chrono::milliseconds(1));
    EXPECT_TRUE(m_heaps->notifyHeapsSizeChangedWithProgress(progress, 6, 0.95f, false));
    EXPECT_TRUE(progress->reports.empty());  // they arrive on the main queue
    ASSERT_TRUE(test::runMainQueueUntil([&] { return progress->reports.size() == 3; }));
    EXPECT_EQ(progress->reports, (std::vector<std::pair<std::uint64_t, float>>{{1, 0.5f}, {3, 0.7f}, {6, 0.95f}}));
}

TEST_F(DuplicatesHeapsTest, StatisticsAndLastCopiesFollowTheSelection) {
    shared("p.txt", "0123456789", {"A", "B"});
    shared("q.txt", "abcde", {"A", "B"});
    validate();
    const auto a = record("A");
    const auto b = record("B");
    const auto ab = heap("A", "B");
    const auto groupA = m_heaps->getHeapsGroupForFolderData(*a);
    ASSERT_TRUE(a && b && ab && groupA);
    const auto bp = entryOf(m_tree.folder("B")->childWithName("p.txt"));
    const auto bq = entryOf(m_tree.folder("B")->childWithName("q.txt"));
    const auto ap = entryOf(m_tree.folder("A")->childWithName("p.txt"));

    ASSERT_TRUE(bp->selectItemForced(false));
    EXPECT_EQ(figuresOf(a->calculateStatistics()), (Figures{2, 0, 1, 15}));  // similar: B/p
    EXPECT_EQ(figuresOf(groupA->calculateStatistics()), (Figures{2, 0, 1, 15}));
    EXPECT_EQ(figuresOf(ab->calculateStatisticsForSecondFolder()), (Figures{2, 1, 0, 15}));  // nothing selected in A
    // The out-value form fills only what it is given.
    Figures out{9, 9, 9, 9};
    ab->calculateSelectionCountsOfSecondFolder(
        &out[0], &out[1], nullptr, &out[3]);
    EXPECT_EQ(out, (Figures{2, 1, 9, 15}));

    // A holds the last unselected copy of p; B holds no group's last copies.
    EXPECT_TRUE(ab->isHasLastItemsInMainFolder());
    EXPECT_TRUE(groupA->isHasLastItems());
    EXPECT_FALSE(ab->isHasLastItemsInSecondFolder());
    EXPECT_FALSE(ab->isOnlyLastItemsNotSelectedInMainFolder());  // q has two copies left to select
    ASSERT_TRUE(bq->selectItemForced(false));
    EXPECT_TRUE(ab->isOnlyLastItemsNotSelectedInMainFolder());
    EXPECT_FALSE(ab->isOnlyLastItemsNotSelectedInSecondFolder());  // nothing left to select in B
    EXPECT_EQ(b->calculateCountOfGroupsThatFullySelected(), 0u);

    // Every copy of p selected: a fully selected group, seen from either folder.
    ASSERT_TRUE(ap->selectItemForced(true));
    EXPECT_EQ(b->calculateCountOfGroupsThatFullySelected(), 1u);
    EXPECT_EQ(a->calculateCountOfGroupsThatFullySelected(), 1u);
    EXPECT_EQ(a->calculateStatistics().countOfSelectedItems, 1u);
    EXPECT_EQ(ab->calculateStatisticsForSecondFolder().countOfSimilarSelectedItems, 1u);  // A/p
}

TEST_F(DuplicatesHeapsTest, AfterARemovalAPairThatSharesOneGroupIsNoHeapAnyMore) {
    shared("p.txt", "0123456789", {"A", "B"});
    shared("q.txt", "abcde", {"A", "B"});
    shared("r.txt", "rr", {"A", "B", "C"});
    shared("s.txt", "ss", {"A", "C"});
    validate();
    EXPECT_EQ(shownFolders(), (std::vector<std::string>{"A", "B", "C"}));
    // A: p, q, r, s; B: p, q, r; C: r, s.
    EXPECT_EQ(m_heaps->getTotalHeapsSize(), 19u + 17u + 4u);

    // C's copy of r goes: A and C share only s.
    m_container->removeEntries({entryOf(m_tree.folder("C")->childWithName("r.txt"))});
    validate();
    EXPECT_EQ(shownFolders(), (std::vector<std::string>{"A", "B"}));
    EXPECT_FALSE(heap("A", "C"));
    ASSERT_TRUE(heap("A", "B"));
    EXPECT_EQ(heap("A", "B")->getCountOfGroups(), 3u);
    EXPECT_EQ(m_heaps->getTotalHeapsSize(), 17u + 17u);
}

TEST_F(DuplicatesHeapsTest, AGroupAddedLaterJoinsFoldersThatAlreadyHadOtherHeaps) {
    shared("p.txt", "pp", {"A", "B"});
    shared("q.txt", "qq", {"A", "B"});
    shared("r.txt", "rr", {"A", "C"});
    shared("s.txt", "ss", {"A", "C"});
    shared("t.txt", "tt", {"B", "C"});
    validate();
    ASSERT_TRUE(heap("B", "A"));
    ASSERT_TRUE(heap("C", "A"));
    EXPECT_FALSE(heap("B", "C"));

    shared("u.txt", "uu", {"B", "C"});
    validate();
    EXPECT_TRUE(heap("B", "C"));
    EXPECT_TRUE(heap("C", "B"));
    EXPECT_TRUE(heap("B", "A"));
}

TEST_F(DuplicatesHeapsTest, ABoundedComputationKeepsTheBiggestPairsFromBothFoldersAndCountsTheOthers) {
    // A and B share two big files; C, D, E and F are all alike: six pairs of one size.
    shared("p.bin", std::string(1000, 'p'), {"A", "B"});
    shared("q.bin", std::string(1000, 'q'), {"A", "B"});
    shared("r.txt", "rrrrrrrrrr", {"C", "D", "E", "F"});
    shared("s.txt", "ssssssssss", {"C", "D", "E", "F"});
    validate();
    const std::vector<std::string> all = {"A+B 2000 2", "C+D 20 2", "C+E 20 2", "C+F 20 2",
                                          "D+E 20 2",   "D+F 20 2", "E+F 20 2"};
    EXPECT_EQ(listedPairs(), all);
    EXPECT_EQ(m_heaps->getCountOfPairs(), 7u);
    EXPECT_EQ(m_heaps->getCountOfLeftOutPairs(), 0u);
    const std::uint64_t total = m_heaps->getTotalHeapsSize();
    EXPECT_EQ(total, 4000u + 4u * 20u);

    // Room for three: the biggest, then the first two of the tie in folder order.
    m_heaps->setMaximalPairCount(3);
    validate();
    EXPECT_EQ(listedPairs(), (std::vector<std::string>{"A+B 2000 2", "C+D 20 2", "C+E 20 2"}));
    EXPECT_EQ(m_heaps->getCountOfPairs(), 3u);
    EXPECT_EQ(m_heaps->getCountOfLeftOutPairs(), 4u);
    // A kept pair is kept from both folders, a left-out one from neither.
    EXPECT_TRUE(heap("E", "C"));
    EXPECT_TRUE(heap("C", "E"));
    EXPECT_FALSE(heap("E", "F"));
    EXPECT_FALSE(heap("F", "E"));
    // What the folders found is still whole: F keeps its record, its heap
    // count and its copies, and the size does not change.
    EXPECT_EQ(shownFolders(), (std::vector<std::string>{"A", "B", "C", "D", "E", "F"}));
    const auto f = m_heaps->getHeapsGroupForFolderData(*record("F"));
    ASSERT_TRUE(f);
    EXPECT_EQ(f->getCountOfHeapsInGroup(), 0u);
    EXPECT_EQ(f->getCountOfLeftOutHeaps(), 3u);
    EXPECT_EQ(f->getItemsInMainFolderThatParticipateInHeaps().size(), 2u);
    EXPECT_EQ(m_heaps->getTotalHeapsSize(), total);

    // Room for none: every pair is counted as left out, nothing else changes.
    m_heaps->setMaximalPairCount(0);
    validate();
    EXPECT_TRUE(listedPairs().empty());
    EXPECT_EQ(m_heaps->getCountOfLeftOutPairs(), 7u);
    EXPECT_EQ(shownFolders().size(), 6u);
    EXPECT_EQ(m_heaps->getTotalHeapsSize(), total);

    // Room again: the next computation keeps them all.
    m_heaps->setMaximalPairCount(DuplicatesHeaps::kDefaultMaximalPairCount);
    validate();
    EXPECT_EQ(listedPairs(), all);
}

TEST_F(DuplicatesHeapsTest, APairWithACopiedFolderCountsTowardsTheBoundButIsNeverListed) {
    // X1 and X2 are copies of each other; both are alike with Y (kept apart),
    // and Y is alike with Z.
    shared("f1.txt", "first", {"X1", "X2", "Y", "Z"});
    shared("f2.txt", "second", {"X1", "X2", "Y", "Z"});
    file("Y/y.txt", "only in Y");
    file("Z/z.txt", "only in Z");
    m_tree.calculateSizes();
    ASSERT_TRUE(group({m_tree.folder("X1"), m_tree.folder("X2")}));
    validate();
    EXPECT_EQ(listedPairs(), (std::vector<std::string>{"Y+Z 11 2"}));
    EXPECT_EQ(m_heaps->getCountOfLeftOutPairs(), 0u);

    // Five pairs of one size (Y-Z and the four of a copy with Y or Z)
    // compete for two places: the first in folder order take them, X1's two
    // pairs kept apart, and Y-Z is left out. The copies stay set aside, Y and
    // Z stay shown.
    m_heaps->setMaximalPairCount(2);
    validate();
    EXPECT_TRUE(listedPairs().empty());
    EXPECT_EQ(m_heaps->getCountOfPairs(), 0u);
    EXPECT_EQ(m_heaps->getCountOfLeftOutPairs(), 1u);
    ASSERT_TRUE(record("X1", true) && record("X2", true));
    const auto x1 = m_heaps->getHeapsGroupForFolderData(*record("X1", true));
    ASSERT_TRUE(x1);
    EXPECT_EQ(x1->getAllSubHeapsWithDuplicatesFolder().size(), 2u);
    EXPECT_EQ(shownFolders(), (std::vector<std::string>{"Y", "Z"}));
}

}  // namespace
}  // namespace kestrane
