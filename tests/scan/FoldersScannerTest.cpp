#include "scan/FoldersScanner.h"

#include "duplicates/DuplicatesCategory.h"
#include "duplicates/DuplicatesContainer.h"
#include "duplicates/FileSeparator.h"
#include "folders/ScannedFolders.h"
#include "platform/MainQueue.h"
#include "platform/VolumeInfo.h"
#include "settings/Settings.h"
#include "support/FakeVolumes.h"
#include "support/ScanTestSupport.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>

namespace kestrane {
namespace {

using test::TempDir;

using test::FakeVolumes;

TEST(FoldersScannerTopFoldersTest, OuterFoldersWinAndTrailingSlashesGo) {
    FakeVolumes volumes({"/", "/mnt/disk"});
    EXPECT_EQ(FoldersScanner::chooseTopFolders({"/a", "/a/b", "/a"}, volumes), (std::vector<std::string>{"/a"}));
    EXPECT_EQ(FoldersScanner::chooseTopFolders({"/a/", "/b"}, volumes), (std::vector<std::string>{"/a", "/b"}));
    EXPECT_EQ(FoldersScanner::chooseTopFolders({"/ab", "/a"}, volumes), (std::vector<std::string>{"/ab", "/a"}));
    EXPECT_EQ(FoldersScanner::chooseTopFolders({"/"}, volumes), (std::vector<std::string>{"/"}));
    // A folder on another volume is not inside "/" for this rule: both stay.
    EXPECT_EQ(FoldersScanner::chooseTopFolders({"/", "/mnt/disk/photos"}, volumes),
              (std::vector<std::string>{"/", "/mnt/disk/photos"}));

    FakeVolumes onlyMnt({"/mnt"});
    EXPECT_EQ(FoldersScanner::chooseTopFolders({"/home/x", "/mnt/y"}, onlyMnt), (std::vector<std::string>{"/mnt/y"}));
}

class FoldersScannerTest : public test::IsolatedHomeTest {
protected:
    void TearDown() override {
        platform::setVolumeInfoProvider(nullptr);
        test::IsolatedHomeTest::TearDown();
    }
    TempDir m_tree;
};

TEST_F(FoldersScannerTest, BackupsAtTheVolumeRootAreReportedWhenTheSettingIsOn) {
    m_tree.makeDir("Backups.backupdb/machine");
    platform::setVolumeInfoProvider(std::make_shared<FakeVolumes>(std::vector<std::string>{m_tree.path()}));
    EXPECT_TRUE(FoldersScanner::create({m_tree.path()}, {})->isBackupsWereSkipped());
    EXPECT_FALSE(FoldersScanner::create({m_tree / "Backups.backupdb"}, {})->isBackupsWereSkipped());

    auto settings = Settings::standard();
    settings.saveBoolValue(false, Settings::kKeyExcludeTimeMachineBackups);
    EXPECT_FALSE(FoldersScanner::create({m_tree.path()}, {}, settings)->isBackupsWereSkipped());
}

TEST_F(FoldersScannerTest, AWholeScanFindsDuplicateFilesAndCountsThemOnTheWay) {
    const std::string photo(40000, 'p');
    m_tree.writeFile("a/photo.jpg", photo);
    m_tree.writeFile("b/photo copy.jpg", photo);
    m_tree.writeFile("b/same-size.jpg", std::string(40000, 'q'));
    m_tree.writeFile("a/song.mp3", "music");
    m_tree.writeFile("b/song.mp3", "music");
    m_tree.writeFile("c/unique.txt", "alone");

    test::ScanOptions options;
    options.folderStages = false;  // the folder stage sets the sizes of the categories to the groups found
    auto outcome = test::scanFolders({m_tree / "a", m_tree / "b", m_tree / "c", m_tree / "a"}, options);
    ASSERT_NE(outcome.container, nullptr);
    auto& scanner = *outcome.scanner;
    EXPECT_EQ(scanner.getCurrentState(), FoldersScanner::kCompleted);
    EXPECT_EQ(scanner.getFoldersForScan().size(), 3u);
    EXPECT_EQ(scanner.getCountOfScannedFiles(), 6u);
    // Three same-size images: 2 when the second arrives, 1 more for the third.
    EXPECT_EQ(scanner.getCountOfPossibleDuplicates(), 5u);
    EXPECT_EQ(scanner.getPossibleDuplicatesSizeOfType(0), 120000u);
    EXPECT_EQ(scanner.getActualDuplicatesSizeOfType(0), 80000u);
    EXPECT_EQ(scanner.getCountOfActualDuplicates(), 4u);
    EXPECT_EQ(test::groupsOfCategory(*outcome.container, 0),
              (test::PathGroups{{m_tree / "a/photo.jpg", m_tree / "b/photo copy.jpg"}}));
    EXPECT_EQ(test::groupsOfCategory(*outcome.container, 2),
              (test::PathGroups{{m_tree / "a/song.mp3", m_tree / "b/song.mp3"}}));
    EXPECT_EQ(outcome.container->buildRootFolders().size(), 3u);
    for (std::int32_t type = 0; type <= 6; ++type) {
        EXPECT_TRUE(scanner.isFinishSearchDuplicatesOfType(type));
        EXPECT_GE(scanner.getPossibleDuplicatesSizeOfType(type), scanner.getActualDuplicatesSizeOfType(type));
    }
    EXPECT_FALSE(scanner.isFinishSearchDuplicatesOfType(7));
}

TEST_F(FoldersScannerTest, IdenticalFoldersBecomeAFolderGroupAndStagesCanBeSwitchedOff) {
    for (const char* top : {"one", "two"}) {
        m_tree.writeFile(std::string(top) + "/album/a.jpg", std::string(3000, 'a'));
        m_tree.writeFile(std::string(top) + "/album/b.jpg", std::string(5000, 'b'));
    }
    auto full = test::scanFolders({m_tree.path()});
    ASSERT_NE(full.container, nullptr);
    EXPECT_EQ(test::groupsOfCategory(*full.container, 6).size(), 1u);
    // Every stage ran, one after the other, within the scan's time.
    const auto stages = full.scanner->getStageDurations();
    double sum = 0;
    for (double seconds : stages) {
        EXPECT_GT(seconds, 0.0);
        sum += seconds;
    }
    EXPECT_LE(sum, full.scanner->getTimeFromStart());

    test::ScanOptions noFolders;
    noFolders.folderStages = false;
    auto filesOnly = test::scanFolders({m_tree.path()}, noFolders);
    ASSERT_NE(filesOnly.container, nullptr);
    EXPECT_TRUE(test::groupsOfCategory(*filesOnly.container, 6).empty());
    EXPECT_EQ(test::fileGroups(*filesOnly.container).size(), 2u);
    EXPECT_EQ(filesOnly.container->getHeaps(), nullptr);
    const auto filesOnlyStages = filesOnly.scanner->getStageDurations();
    EXPECT_GT(filesOnlyStages[1], 0.0);
    EXPECT_EQ(filesOnlyStages[2], 0.0);  // the duplicate-folder stage never began
}

using CountingListener = test::ResultListener;

// Stops the scan as soon as it reaches a state, with or without its result.
struct StopCase {
    std::int32_t state;
    bool ignoreResult;
};

class FoldersScannerStopTest : public FoldersScannerTest, public ::testing::WithParamInterface<StopCase> {};

TEST_P(FoldersScannerStopTest, EndsInTheCompletedStateWithOrWithoutTheResult) {
    for (int f = 0; f < 6; ++f)
        for (const char* top : {"x", "y"})
            m_tree.writeFile(std::string(top) + "/d/f" + std::to_string(f) + ".jpg", std::string(100 + f, 'z'));
    m_tree.writeFile("x/d/only-here.txt", "keeps x/d and y/d from being identical folders");
    auto listener = std::make_shared<CountingListener>();
    auto scanner = FoldersScanner::create({m_tree.path()}, listener);
    scanner->startScanAndUseMinimalFileSizeFullHashCalculation(0, false);
    const auto [state, ignore] = GetParam();
    ASSERT_TRUE(test::runMainQueueUntil([&] {
        return scanner->getCurrentState() == state || scanner->getCurrentState() == FoldersScanner::kCompleted;
    }));
    ASSERT_EQ(scanner->getCurrentState(), state) << "the scan ended before reaching the state";
    scanner->stopWithIgnoreResult(ignore);
    EXPECT_EQ(scanner->getCurrentState(), FoldersScanner::kStopped);
    test::runMainQueueUntil([&] { return scanner->getCurrentState() == FoldersScanner::kCompleted; });
    platform::MainQueue::shared().runUntil([] { return false; }, std::chrono::milliseconds(50));
    EXPECT_EQ(listener->calls, ignore ? 0 : 1);
    if (!ignore) {
        ASSERT_NE(listener->container, nullptr);
        // Stopped after the files were searched, the groups are all there.
        if (state >= FoldersScanner::kSearchingDuplicateFolders) {
            EXPECT_EQ(test::fileGroups(*listener->container).size(), 6u);
        }
    }
    scanner->stopWithIgnoreResult(true);  // nothing happens once completed
    EXPECT_EQ(scanner->getCurrentState(), FoldersScanner::kCompleted);
}

INSTANTIATE_TEST_SUITE_P(EveryStage, FoldersScannerStopTest,
                         ::testing::Values(StopCase{1, false}, StopCase{1, true}, StopCase{2, false}, StopCase{2, true},
                                           StopCase{3, false}, StopCase{3, true}, StopCase{4, false},
                                           StopCase{4, true}));

// A new scan stops the running one with its result ignored and lets it go at
// once. What the stopped scan still has queued on the separators' working
// queue then runs after the scanner (and its roots) are gone, and must still
// find the items it was given. Run under AddressSanitizer this catches an
// item freed too early; the waits are gates, not timings.
TEST_F(FoldersScannerTest, AScanDroppedRightAfterAnIgnoringStopLeavesItsQueuedSeparationsAValidTree) {
    // Sets of more than one batch: the keys of the first batch coming back
    // lead to the second batch being read.
    constexpr int kSets = 8;
    constexpr std::size_t kCopies = FileSeparator::kBatchSize + 2;
    for (int set = 0; set < kSets; ++set)
        for (std::size_t copy = 0; copy < kCopies; ++copy)
            m_tree.writeFile("d" + std::to_string(copy) + "/f" + std::to_string(set) + ".jpg",
                             std::string(500 + static_cast<std::size_t>(set), 'k'));
    auto& working = FileSeparator::workingQueue();
    for (int round = 0; round < 6; ++round) {
        // Even rounds: the first separation has not begun; odd rounds: its
        // keys are computed and on their way back.
        const bool keysOnTheirWay = round % 2 == 1;
        SCOPED_TRACE(keysOnTheirWay ? "keys on their way back" : "separation not begun");
        auto listener = std::make_shared<CountingListener>();
        auto scanner = FoldersScanner::create({m_tree.path()}, listener);
        scanner->enableSearchDuplicatesFoldersAndSimilars(round % 4 < 2);
        auto first = std::make_unique<test::QueueGate>(working);
        scanner->startScanAndUseMinimalFileSizeFullHashCalculation(0, false);
        ASSERT_TRUE(first->waitUntilSomethingWaits());  // the first separation waits
        ASSERT_EQ(scanner->getCurrentState(), FoldersScanner::kSearchingDuplicateFiles);
        std::optional<test::QueueGate> second;
        if (keysOnTheirWay) {
            second.emplace(working);  // behind the first separation's start
            first->open();
            ASSERT_TRUE(second->waitUntilSomethingWaits());  // its keys wait behind the second gate
        }

        scanner->stopWithIgnoreResult(true);
        std::weak_ptr<FoldersScanner> gone = scanner;
        scanner.reset();
        EXPECT_TRUE(gone.expired()) << "the scan outlived its last owner";

        first.reset();
        second.reset();
        // The working queue ends the separation; the search queue then ends the
        // filter, whose last report may queue one more step here.
        working.drain();
        platform::MainQueue::shared().runUntil([] { return false; }, std::chrono::milliseconds(30));
        working.drain();
        EXPECT_EQ(listener->calls, 0);
    }
}

TEST_F(FoldersScannerTest, StopWhileReadingTheSecondOfThreeFoldersSkipsTheThird) {
    m_tree.writeFile("1/a.jpg", "same bytes");
    m_tree.writeFile("1/b.jpg", "same bytes");
    for (int i = 0; i < 300; ++i) m_tree.writeFile("2/f" + std::to_string(i) + ".txt", std::to_string(i));
    m_tree.writeFile("3/c.jpg", "same bytes");
    auto listener = std::make_shared<CountingListener>();
    auto scanner = FoldersScanner::create({m_tree / "1", m_tree / "2", m_tree / "3"}, listener);
    scanner->startScanAndUseMinimalFileSizeFullHashCalculation(0, false);
    ASSERT_TRUE(test::runMainQueueUntil([&] { return scanner->getScannedFolders().size() == 2; }));
    scanner->stopWithIgnoreResult(false);
    test::runMainQueueUntil([&] { return listener->calls > 0; });
    EXPECT_EQ(scanner->getScannedFolders().size(), 2u);
    ASSERT_NE(listener->container, nullptr);
    EXPECT_EQ(test::groupsOfCategory(*listener->container, 0),
              (test::PathGroups{{m_tree / "1/a.jpg", m_tree / "1/b.jpg"}}));
    EXPECT_EQ(listener->container->findExistedSystemItemWithPath(m_tree / "3/c.jpg"), nullptr);
}

TEST_F(FoldersScannerTest, ASecondStartIsIgnored) {
    m_tree.writeFile("a.jpg", "x");
    auto listener = std::make_shared<CountingListener>();
    auto scanner = FoldersScanner::create({m_tree.path()}, listener);
    EXPECT_TRUE(scanner->isFinishSearchDuplicatesOfType(0));  // state 0
    EXPECT_LT(scanner->getTimeFromStart(), 0);
    scanner->startScanAndUseMinimalFileSizeFullHashCalculation(0, false);
    scanner->startScanAndUseAutoDefineMinimalFileSizeWithFullHashCalculation(true);
    EXPECT_FALSE(scanner->isMinimalDuplicatesSizeWasDefinedAutomatically());
    test::runMainQueueUntil([&] { return listener->calls > 0; });
    platform::MainQueue::shared().runUntil([] { return false; }, std::chrono::milliseconds(50));
    EXPECT_EQ(listener->calls, 1);
}

TEST_F(FoldersScannerTest, AnAutomaticSearchThatRanToItsEndComparesFoldersOfEverySizeBucketByBucket) {
    for (const char* top : {"one", "two"}) {
        m_tree.writeFile(std::string(top) + "/album/a.jpg", std::string(3000, 'a'));
        m_tree.writeFile(std::string(top) + "/album/b.jpg", std::string(5000, 'b'));
    }
    auto listener = std::make_shared<CountingListener>();
    auto scanner = FoldersScanner::create({m_tree.path()}, listener);
    scanner->startScanAndUseAutoDefineMinimalFileSizeWithFullHashCalculation(false);
    // Right when the similar-folder stage begins, the folder stage's last
    // report is the one shown: a stage that went through every bucket is
    // complete (a time-limited one would show the share of its time limit).
    ASSERT_TRUE(test::runMainQueueUntil(
        [&] { return scanner->getCurrentState() >= FoldersScanner::kSearchingSimilarFolders; }));
    ASSERT_EQ(scanner->getCurrentState(), FoldersScanner::kSearchingSimilarFolders);
    EXPECT_EQ(scanner->getDuplicatesFoldersFilterProgress(), 1.0f);
    test::runMainQueueUntil([&] { return listener->calls > 0; });
    ASSERT_NE(listener->container, nullptr);
    EXPECT_EQ(test::groupsOfCategory(*listener->container, 6),
              (test::PathGroups{{m_tree / "one", m_tree / "two"}}));
    EXPECT_EQ(scanner->finalMinimalDuplicatesSize(), 0u);
}

TEST_F(FoldersScannerTest, AutomaticSizeStopsAtTheFirstGroupBelowOneMegabyteAfterTheTimeLimit) {
    // Largest first: 1,000,000 bytes (does not stop the search), 999,999 (stops it), then many smaller sets.
    std::vector<std::size_t> sizes{1000000, 999999};
    for (std::size_t i = 0; i < 60; ++i) sizes.push_back(300000 - i);
    for (std::size_t size : sizes) {
        const std::string content(size, static_cast<char>('a' + size % 7));
        m_tree.writeFile("x/" + std::to_string(size) + ".bin", content);
        m_tree.writeFile("y/" + std::to_string(size) + ".bin", content);
    }
    auto listener = std::make_shared<CountingListener>();
    auto scanner = FoldersScanner::create({m_tree.path()}, listener);
    scanner->setAutoModeSearchTimeLimit(std::chrono::milliseconds(0));
    scanner->enableSearchDuplicatesFoldersAndSimilars(false);  // x and y would be identical folders
    scanner->startScanAndUseAutoDefineMinimalFileSizeWithFullHashCalculation(false);
    test::runMainQueueUntil([&] { return listener->calls > 0; });
    ASSERT_NE(listener->container, nullptr);
    EXPECT_TRUE(scanner->isMinimalDuplicatesSizeWasDefinedAutomatically());
    const auto groups = test::groupsOfCategory(*listener->container, 5);
    EXPECT_TRUE(groups.count({m_tree / "x/1000000.bin", m_tree / "y/1000000.bin"}));
    EXPECT_TRUE(groups.count({m_tree / "x/999999.bin", m_tree / "y/999999.bin"}));
    // The stop reaches the search while it goes on, so a few smaller sets may
    // still be done; never all of them.
    EXPECT_LT(groups.size(), sizes.size());
    EXPECT_LE(scanner->finalMinimalDuplicatesSize(), 999999u);
    EXPECT_GT(scanner->finalMinimalDuplicatesSize(), 0u);
}

}  // namespace
}  // namespace kestrane
