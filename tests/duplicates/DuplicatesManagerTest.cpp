#include "duplicates/DuplicatesManager.h"

#include "duplicates/DuplicateItem.h"
#include "duplicates/DuplicatesContainer.h"
#include "duplicates/DuplicatesGroup.h"
#include "folders/DuplicatesHeap.h"
#include "folders/DuplicatesHeaps.h"
#include "folders/HeapsFolderData.h"
#include "platform/MainQueue.h"
#include "settings/Settings.h"
#include "support/ScanTestSupport.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <limits>
#include <tuple>
#include <set>

namespace kestrane {
namespace {

using Paths = DuplicatesManager::Paths;

class RecordingDelegate : public DuplicatesManagerDelegate {
public:
    void onCalculatedTenBiggestHeaps(const DuplicatesManager::Heaps& heaps) override { record(tenBiggest, heaps); }
    void onCalculateBiggestEasyForRemoveHeaps(const DuplicatesManager::Heaps& heaps) override { record(easy, heaps); }
    void onCalculatedBiggestGroups(const DuplicatesManager::Groups& groups) override { record(biggestGroups, groups); }

    template <typename List>
    void record(std::optional<List>& slot, const List& list) {
        slot = list;
        ++*calls;
        if (!platform::MainQueue::isMainThread()) offMainThread = true;
    }

    std::optional<DuplicatesManager::Heaps> tenBiggest, easy;
    std::optional<DuplicatesManager::Groups> biggestGroups;
    std::shared_ptr<std::atomic<int>> calls = std::make_shared<std::atomic<int>>(0);
    bool offMainThread = false;
};

class DuplicatesManagerTest : public test::IsolatedHomeTest {
protected:
    void SetUp() override {
        IsolatedHomeTest::SetUp();
        reset();
    }
    void TearDown() override {
        reset();
        platform::MainQueue::shared().runPending();
        IsolatedHomeTest::TearDown();
    }
    // The manager is process-wide: every test starts from a first scan.
    static void reset() {
        auto& m = DuplicatesManager::sharedManager();
        m.setDuplicateContainer(nullptr);
        m.setScannedFolders(std::nullopt);
        m.setPreviousScanScannedFolders(std::nullopt);
        m.setPreviousScanMinimalSizeWasAutomatic(false);
    }

    // Twelve pairs of similar folders pN/a and pN/b: two shared files each, and
    // one file of its own per folder so that no two folders are identical.
    // Half sizes fall with N; the pairs 9 and 10 tie.
    void makeSimilarPairs() {
        for (std::size_t n = 0; n < 12; ++n) {
            const std::string pair = name(n);
            std::size_t first = 3000 - 200 * n;
            const std::size_t second = 50 + n;
            if (n == 10) first = 3000 - 200 * 9 - 1;  // the same half size as pair 9, other contents
            for (const char* side : {"a", "b"}) {
                m_tree.writeFileOfSize(pair + "/" + side + "/x.bin", first, 'x');
                m_tree.writeFileOfSize(pair + "/" + side + "/y.bin", second, 'y');
                m_tree.writeFile(pair + "/" + side + "/own.txt", pair + side + " alone");
            }
            m_halfSizes.push_back(first + second);
        }
        m_outcome = test::scanFolders({m_tree.path()});
        ASSERT_NE(m_outcome.container, nullptr);
        DuplicatesManager::sharedManager().setDuplicateContainer(m_outcome.container);
    }

    static std::string name(std::size_t n) { return (n < 10 ? "p0" : "p") + std::to_string(n); }

    // Pairs as their two folders (either way round) and half size.
    using Described = std::vector<std::pair<std::set<std::string>, std::uint64_t>>;
    static Described described(const DuplicatesManager::Heaps& heaps) {
        Described result;
        for (const auto& heap : heaps)
            result.push_back({{heap->getMainHeapsFolderData()->getFolderPath(),
                               heap->getSecondHeapsFolderData()->getFolderPath()},
                              heap->getHeapHalfSize()});
        return result;
    }
    Described expectedPairs(std::size_t count) const {
        Described pairs;
        for (std::size_t n = 0; n < count; ++n)
            pairs.push_back({{m_tree / name(n) + "/a", m_tree / name(n) + "/b"}, m_halfSizes[n]});
        return pairs;
    }

    test::TempDir m_tree;
    test::ScanOutcome m_outcome;
    std::vector<std::uint64_t> m_halfSizes;
};

TEST_F(DuplicatesManagerTest, ClearingKeepsThePreviousScanAndResetsTheFacts) {
    auto& m = DuplicatesManager::sharedManager();
    m.clearScanBasicInformation();  // nothing scanned: nothing changes
    EXPECT_FALSE(m.previousScanScannedFolders());

    m.setScannedFolders(Paths{"/b", "/a"});
    m.setScanStartDate(std::chrono::system_clock::now());
    m.setScanFinishDate(m.scanStartDate());
    m.setIsBackupsWereSkipped(true);
    m.setMinimalSizeAutomatic(true);
    m.setMinimalDuplicatesSize(5'000'000);
    m.setFoundSize(123);
    m.setRemovedSize(7);
    m.setScanSettingsChanged(true);
    m.clearScanBasicInformation();

    EXPECT_EQ(m.previousScanScannedFolders(), (Paths{"/b", "/a"}));
    EXPECT_TRUE(m.previousScanMinimalSizeWasAutomatic());
    EXPECT_EQ(m.previousScanMinimalDuplicatesSize(), 5'000'000u);
    EXPECT_FALSE(m.scannedFolders() || m.scanStartDate() || m.scanFinishDate() || m.foundSize() || m.removedSize());
    EXPECT_FALSE(m.isBackupsWereSkipped() || m.isMinimalSizeAutomatic() ||
                 m.scanSettingsChanged());
    EXPECT_EQ(m.minimalDuplicatesSize(), 0u);

    // A second clearing in a row keeps what the first one kept.
    m.clearScanBasicInformation();
    EXPECT_EQ(m.previousScanScannedFolders(), (Paths{"/b", "/a"}));
    EXPECT_EQ(m.previousScanMinimalDuplicatesSize(), 5'000'000u);
}

TEST_F(DuplicatesManagerTest, RepeatedScanWithSmallerAutomaticSizeIsRecognised) {
    auto& m = DuplicatesManager::sharedManager();
    const auto scan = [&](Paths folders, bool automatic, std::uint64_t size) {
        m.clearScanBasicInformation();
        m.setScannedFolders(std::move(folders));
        m.setMinimalSizeAutomatic(automatic);
        m.setMinimalDuplicatesSize(size);
    };
    struct Case {
        Paths before, now;
        bool automaticBefore, automaticNow;
        std::uint64_t sizeNow;
        bool expected;
    };
    const Case cases[] = {
        {{"/a", "/b"}, {"/b", "/a"}, true, true, 1'000'000, true},
        {{"/a", "/b"}, {"/a", "/b"}, true, false, 1'000'000, false},      // set by hand now
        {{"/a", "/b"}, {"/a", "/b"}, false, true, 1'000'000, false},      // set by hand before
        {{"/a", "/b"}, {"/a", "/b"}, true, true, 5'000'000, false},       // not smaller
        {{"/a", "/b"}, {"/a", "/b", "/c"}, true, true, 1'000'000, false}, // other folders
    };
    for (const auto& c : cases) {
        scan(c.before, c.automaticBefore, 5'000'000);
        scan(c.now, c.automaticNow, c.sizeNow);
        EXPECT_EQ(m.isRescanWithSmallerAutomaticSize(), c.expected)
            << c.now.size() << " folders, automatic " << c.automaticBefore << c.automaticNow << ", " << c.sizeNow;
    }
}

TEST_F(DuplicatesManagerTest, ArraysCompareAsSortedListsAndMissingOnesDiffer) {
    const auto same = &DuplicatesManager::isArrayHasSameContentAsArray;
    EXPECT_TRUE(same(Paths{}, Paths{}));
    EXPECT_TRUE(same(Paths{"b", "a", "a"}, Paths{"a", "b", "a"}));
    EXPECT_FALSE(same(Paths{"a", "a", "b"}, Paths{"a", "b", "b"}));
    EXPECT_FALSE(same(Paths{"a"}, Paths{"a", "a"}));
    EXPECT_FALSE(same(Paths{"a"}, Paths{"A"}));
    EXPECT_FALSE(same(std::nullopt, Paths{}) || same(Paths{}, std::nullopt) || same(std::nullopt, std::nullopt));
}

// The ranked lists, computed in the background and handed over on the main
// thread to a delegate that is still alive.
TEST_F(DuplicatesManagerTest, BiggestPairsComeLargestFirstOnceEachAndKeepTies) {
    auto& m = DuplicatesManager::sharedManager();
    EXPECT_TRUE(m.pleaseCalculateBiggestHeapsWithMaxResultCount(10).empty());  // no result yet
    ASSERT_NO_FATAL_FAILURE(makeSimilarPairs());

    // The tenth and eleventh pairs tie, so both stay; the twelfth goes.
    EXPECT_EQ(described(m.pleaseCalculateBiggestHeapsWithMaxResultCount(5)), expectedPairs(5));
    EXPECT_EQ(described(m.pleaseCalculateBiggestHeapsWithMaxResultCount(50)), expectedPairs(12));

    auto gone = std::make_shared<RecordingDelegate>();
    const auto goneCalls = gone->calls;
    m.calculateTenBiggestHeapsWithDelegate(gone);
    m.calculateBiggestGroupsWithDelegate(gone);
    m.pleaseCalculateBiggestGroupsWithDelegate(gone);
    gone.reset();
    auto live = std::make_shared<RecordingDelegate>();
    m.calculateTenBiggestHeapsWithDelegate(live);
    m.calculateBiggestEasyForRemoveHeapsWithDelegate(live);
    m.calculateBiggestGroupsWithDelegate(live);
    ASSERT_TRUE(test::runMainQueueUntil([&] { return *live->calls == 3; }));
    // The main queue delivers in order: what was asked for the delegate that
    // went has been dropped (the groups, sorted elsewhere, may come later).
    EXPECT_EQ(*goneCalls, 0);
    EXPECT_EQ(*live->calls, 3);
    EXPECT_FALSE(live->offMainThread);

    EXPECT_EQ(described(*live->tenBiggest), expectedPairs(11));
    // Every folder has one similar folder: each pair once, the ten biggest.
    EXPECT_EQ(described(*live->easy), expectedPairs(10));
    // Groups by removable size: x.bin of every pair, then y.bin ones.
    const auto& groups = *live->biggestGroups;
    ASSERT_EQ(groups.size(), 24u);
    for (std::size_t i = 1; i < groups.size(); ++i)
        EXPECT_GE(groups[i - 1]->getSizeThatCanBeRemoved(), groups[i]->getSizeThatCanBeRemoved());
    EXPECT_EQ(groups.front()->getSizeThatCanBeRemoved(), 3000u);
    EXPECT_EQ(groups.back()->getSizeThatCanBeRemoved(), 50u);
}

// The report lists the pairs as the registry keeps them; they must be the
// pairs the ranked list builds afresh, in the same order, with the same
// figures: sizes that fall, sizes that tie across and within folders, and
// folders copied whole, whose pairs are never listed.
TEST_F(DuplicatesManagerTest, TheKeptPairsComeInTheOrderAndWithTheFiguresOfTheRankedList) {
    for (const char* folder : {"alike/1", "alike/2", "alike/3", "alike/4", "copied/one", "copied/two"}) {
        m_tree.writeFileOfSize(std::string(folder) + "/x.bin", 900, 'x');
        m_tree.writeFileOfSize(std::string(folder) + "/y.bin", 100, 'y');
        if (std::string(folder).starts_with("alike"))
            m_tree.writeFile(std::string(folder) + "/own.txt", std::string(folder) + " alone");
    }
    ASSERT_NO_FATAL_FAILURE(makeSimilarPairs());
    const auto& container = *m_outcome.container;
    const auto* heaps = dynamic_cast<const DuplicatesHeaps*>(container.getHeaps().get());
    ASSERT_TRUE(heaps);

    using Pair = std::tuple<std::string, std::string, std::uint64_t, std::uint64_t>;
    std::vector<Pair> ranked;
    for (const auto& heap : DuplicatesManager::biggestHeapsOf(&container, std::numeric_limits<std::size_t>::max()))
        ranked.emplace_back(heap->getMainHeapsFolderData()->getFolderPath(),
                            heap->getSecondHeapsFolderData()->getFolderPath(), heap->getHeapHalfSize(),
                            heap->getCountOfGroups());
    std::vector<Pair> kept;
    heaps->forEachPairLargestFirst([&](const HeapsFolderData& main, const HeapsFolderData& second,
                                       std::uint64_t halfSize, std::uint32_t groups) {
        kept.emplace_back(main.getFolderPath(), second.getFolderPath(), halfSize, groups);
        return true;
    });
    // Twelve pairs pN, six among the four alike folders; none of the copies.
    ASSERT_EQ(ranked.size(), 12u + 6u);
    EXPECT_EQ(kept, ranked);
    EXPECT_EQ(heaps->getCountOfPairs(), 18u);
    EXPECT_EQ(heaps->getCountOfLeftOutPairs(), 0u);
    for (const auto& [main, second, half, groups] : kept) EXPECT_EQ(main.find("copied"), std::string::npos) << main;

    // Stopping early hands over a prefix.
    std::size_t seen = 0;
    heaps->forEachPairLargestFirst([&](const HeapsFolderData&, const HeapsFolderData&, std::uint64_t, std::uint32_t) {
        return ++seen < 3;
    });
    EXPECT_EQ(seen, 3u);
}

TEST_F(DuplicatesManagerTest, WithoutFoldersOfOneSimilarFolderTheEasyListIsTheBiggestPairs) {
    // Three folders alike: each has two similar folders, none is easy to remove.
    for (const char* folder : {"a", "b", "c"}) {
        m_tree.writeFileOfSize(std::string(folder) + "/x.bin", 700, 'x');
        m_tree.writeFileOfSize(std::string(folder) + "/y.bin", 300, 'y');
        m_tree.writeFile(std::string(folder) + "/own.txt", std::string(folder) + " alone");
    }
    const auto outcome = test::scanFolders({m_tree.path()});
    ASSERT_NE(outcome.container, nullptr);
    DuplicatesManager::sharedManager().setDuplicateContainer(outcome.container);

    auto delegate = std::make_shared<RecordingDelegate>();
    DuplicatesManager::sharedManager().pleaseCalculateBiggestEasyForRemoveHeapsWithDelegate(delegate);
    ASSERT_TRUE(test::runMainQueueUntil([&] { return *delegate->calls == 1; }));
    Described pairs = described(*delegate->easy);
    std::sort(pairs.begin(), pairs.end());
    EXPECT_EQ(pairs, (Described{{{m_tree / "a", m_tree / "b"}, 1000},
                                {{m_tree / "a", m_tree / "c"}, 1000},
                                {{m_tree / "b", m_tree / "c"}, 1000}}));
}

TEST_F(DuplicatesManagerTest, CurrentContainerIsTheSettingsDeselector) {
    ASSERT_NO_FATAL_FAILURE(makeSimilarPairs());
    const auto group = m_outcome.container->getAllFilesGroups().front();
    for (const auto& item : group->getItems()) ASSERT_TRUE(group->selectItemForced(item, true));
    ASSERT_TRUE(group->isAllItemsSelected());

    Settings::standard().restoreDefaultsForAllSettings();
    EXPECT_TRUE(group->getSelectedItems().empty());

    // Once the manager lets the result go, restoring leaves selections alone.
    for (const auto& item : group->getItems()) ASSERT_TRUE(group->selectItemForced(item, true));
    DuplicatesManager::sharedManager().setDuplicateContainer(nullptr);
    Settings::standard().restoreDefaultsForAllSettings();
    EXPECT_EQ(group->getSelectedItems().size(), group->getItems().size());
}

}  // namespace
}  // namespace kestrane
