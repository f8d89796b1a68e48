#include "app/FoldersScanner.h"

#include "duplicates/DuplicatesCategory.h"
#include "duplicates/DuplicateItem.h"
#include "duplicates/DuplicatesContainer.h"
#include "duplicates/DuplicatesGroup.h"
#include "duplicates/FileSeparator.h"
#include "folders/ScannedFolders.h"
#include "platform/Clock.h"
#include "platform/MainQueue.h"
#include "platform/VolumeInfo.h"
#include "scan/FileSystemItem.h"
#include "scan/ScanProblems.h"
#include "settings/Settings.h"
#include "support/FakeVolumes.h"
#include "support/ScanTestSupport.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <map>
#include <optional>
#include <set>

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
    // Lets the scanner go and runs the main queue until it is gone: no work
    // of the scan still holds it, so nothing more can reach its listener.
    static void letGo(std::shared_ptr<FoldersScanner>& scanner) {
        const std::weak_ptr<FoldersScanner> gone = scanner;
        scanner.reset();
        EXPECT_TRUE(test::runMainQueueUntil([&] { return gone.expired(); }));
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
    EXPECT_EQ(scanner.getPossibleDuplicatesSizeOfType(FileCategory::image), 120000u);
    EXPECT_EQ(scanner.getActualDuplicatesSizeOfType(FileCategory::image), 80000u);
    EXPECT_EQ(scanner.getCountOfActualDuplicates(), 4u);
    EXPECT_EQ(test::groupsOfCategory(*outcome.container, FileCategory::image),
              (test::PathGroups{{m_tree / "a/photo.jpg", m_tree / "b/photo copy.jpg"}}));
    EXPECT_EQ(test::groupsOfCategory(*outcome.container, FileCategory::music),
              (test::PathGroups{{m_tree / "a/song.mp3", m_tree / "b/song.mp3"}}));
    EXPECT_EQ(outcome.container->buildRootFolders().size(), 3u);
    for (const FileCategory type : kAllFileCategories) {
        EXPECT_TRUE(scanner.isFinishSearchDuplicatesOfType(type));
        EXPECT_GE(scanner.getPossibleDuplicatesSizeOfType(type), scanner.getActualDuplicatesSizeOfType(type));
    }
}

TEST_F(FoldersScannerTest, AMinimalSizeBeyondTheLargestPossibleFileComparesNothing) {
    m_tree.writeFile("a/one.txt", "same");
    m_tree.writeFile("a/two.txt", "same");
    for (const std::uint64_t size : {std::uint64_t{1} << 63, FoldersScanner::kAutoDefineMinimalFileSize - 1}) {
        test::ScanOptions options;
        options.minimalSize = size;
        const auto outcome = test::scanFolders({m_tree / "a"}, options);
        ASSERT_NE(outcome.container, nullptr);
        EXPECT_TRUE(test::fileGroups(*outcome.container).empty()) << size;
        EXPECT_FALSE(outcome.scanner->isMinimalSizeAutomatic());
    }
}

TEST_F(FoldersScannerTest, IdenticalFoldersBecomeAFolderGroupAndStagesCanBeSwitchedOff) {
    for (const char* top : {"one", "two"}) {
        m_tree.writeFile(std::string(top) + "/album/a.jpg", std::string(3000, 'a'));
        m_tree.writeFile(std::string(top) + "/album/b.jpg", std::string(5000, 'b'));
    }
    auto full = test::scanFolders({m_tree.path()});
    ASSERT_NE(full.container, nullptr);
    EXPECT_EQ(test::groupsOfCategory(*full.container, FileCategory::folders).size(), 1u);
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
    EXPECT_TRUE(test::groupsOfCategory(*filesOnly.container, FileCategory::folders).empty());
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
    scanner->startScanWithMinimalSize(0, false);
    const auto [state, ignore] = GetParam();
    ASSERT_TRUE(test::runMainQueueUntil([&] {
        return scanner->getCurrentState() == state || scanner->getCurrentState() == FoldersScanner::kCompleted;
    }));
    ASSERT_EQ(scanner->getCurrentState(), state) << "the scan ended before reaching the state";
    scanner->stopWithIgnoreResult(ignore);
    EXPECT_EQ(scanner->getCurrentState(), FoldersScanner::kStopped);
    test::runMainQueueUntil([&] { return scanner->getCurrentState() == FoldersScanner::kCompleted; });
    scanner->stopWithIgnoreResult(true);  // nothing happens once completed
    EXPECT_EQ(scanner->getCurrentState(), FoldersScanner::kCompleted);
    letGo(scanner);
    EXPECT_EQ(listener->calls, ignore ? 0 : 1);
    if (!ignore) {
        ASSERT_NE(listener->container, nullptr);
        // Stopped after the files were searched, the groups are all there.
        if (state >= FoldersScanner::kSearchingDuplicateFolders) {
            EXPECT_EQ(test::fileGroups(*listener->container).size(), 6u);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(EveryStage, FoldersScannerStopTest,
                         // Ignoring the result only drops the listener, whatever the stage.
                         ::testing::Values(StopCase{1, false}, StopCase{2, false}, StopCase{2, true},
                                           StopCase{3, false}, StopCase{4, false}));

// A new scan stops the running one with its result ignored and lets it go at
// once. What the stopped scan still has queued on the separators' working
// queue then runs after the scanner (and its roots) are gone, and must still
// find the items it was given. Run under AddressSanitizer this catches an
// item freed too early; the waits are gates and the end of the scan's work,
// not timings.
TEST_F(FoldersScannerTest, AScanDroppedRightAfterAnIgnoringStopLeavesItsQueuedSeparationsAValidTree) {
    // Sets of a dozen files: their keys come back to the working queue after
    // the separation began, and are recorded on items of the tree.
    constexpr int kSets = 8;
    constexpr std::size_t kCopies = 12;
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
        scanner->startScanWithMinimalSize(0, false);
        ASSERT_TRUE(first->waitUntilSomethingWaits());  // the first separation waits
        ASSERT_EQ(scanner->getCurrentState(), FoldersScanner::kSearchingDuplicateFiles);
        std::optional<test::QueueGate> second;
        if (keysOnTheirWay) {
            second.emplace(working);  // behind the first separation's start
            first->open();
            ASSERT_TRUE(second->waitUntilSomethingWaits());  // its keys wait behind the second gate
        }

        scanner->stopWithIgnoreResult(true);
        // What the scan noted is held by all of its work, to the last separation.
        const std::weak_ptr<const ScanProblems> work = scanner->getScanProblems();
        std::weak_ptr<FoldersScanner> gone = scanner;
        scanner.reset();
        EXPECT_TRUE(gone.expired()) << "the scan outlived its last owner";

        // The separation ends on the working queue; the search queue then ends
        // the filter, which may start and stop one more separation.
        first.reset();
        second.reset();
        EXPECT_TRUE(test::runMainQueueUntil([&] { return work.expired(); })) << "the scan's work never ended";
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
    scanner->startScanWithMinimalSize(0, false);
    ASSERT_TRUE(test::runMainQueueUntil([&] { return scanner->getScannedFolders().size() == 2; }));
    scanner->stopWithIgnoreResult(false);
    test::runMainQueueUntil([&] { return listener->calls > 0; });
    EXPECT_EQ(scanner->getScannedFolders().size(), 2u);
    ASSERT_NE(listener->container, nullptr);
    EXPECT_EQ(test::groupsOfCategory(*listener->container, FileCategory::image),
              (test::PathGroups{{m_tree / "1/a.jpg", m_tree / "1/b.jpg"}}));
    EXPECT_EQ(listener->container->findExistedSystemItemWithPath(m_tree / "3/c.jpg"), nullptr);
}

TEST_F(FoldersScannerTest, ASecondStartIsIgnored) {
    m_tree.writeFile("a.jpg", "x");
    auto listener = std::make_shared<CountingListener>();
    auto scanner = FoldersScanner::create({m_tree.path()}, listener);
    EXPECT_TRUE(scanner->isFinishSearchDuplicatesOfType(FileCategory::image));  // state 0
    EXPECT_LT(scanner->getTimeFromStart(), 0);
    scanner->startScanWithMinimalSize(0, false);
    scanner->startScanWithAutomaticMinimalSize(true);
    EXPECT_FALSE(scanner->isMinimalSizeAutomatic());
    test::runMainQueueUntil([&] { return listener->calls > 0; });
    letGo(scanner);
    EXPECT_EQ(listener->calls, 1);
}

TEST_F(FoldersScannerTest, AnAutomaticSearchThatRanToItsEndComparesFoldersOfEverySizeBucketByBucket) {
    for (const char* top : {"one", "two"}) {
        m_tree.writeFile(std::string(top) + "/album/a.jpg", std::string(3000, 'a'));
        m_tree.writeFile(std::string(top) + "/album/b.jpg", std::string(5000, 'b'));
    }
    auto listener = std::make_shared<CountingListener>();
    auto scanner = FoldersScanner::create({m_tree.path()}, listener);
    scanner->startScanWithAutomaticMinimalSize(false);
    // Right when the similar-folder stage begins, the folder stage's last
    // report is the one shown: a stage that went through every bucket is
    // complete (a time-limited one would show the share of its time limit).
    ASSERT_TRUE(test::runMainQueueUntil(
        [&] { return scanner->getCurrentState() >= FoldersScanner::kSearchingSimilarFolders; }));
    ASSERT_EQ(scanner->getCurrentState(), FoldersScanner::kSearchingSimilarFolders);
    EXPECT_EQ(scanner->getDuplicatesFoldersFilterProgress(), 1.0f);
    test::runMainQueueUntil([&] { return listener->calls > 0; });
    ASSERT_NE(listener->container, nullptr);
    EXPECT_EQ(test::groupsOfCategory(*listener->container, FileCategory::folders),
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
    // Within the time limit every set is compared: time, not the sizes, stops the search.
    {
        auto listener = std::make_shared<CountingListener>();
        auto scanner = FoldersScanner::create({m_tree.path()}, listener);
        scanner->setClock(std::make_shared<platform::ManualClock>());
        scanner->enableSearchDuplicatesFoldersAndSimilars(false);
        scanner->startScanWithAutomaticMinimalSize(false);
        test::runMainQueueUntil([&] { return listener->calls > 0; });
        ASSERT_NE(listener->container, nullptr);
        EXPECT_EQ(test::groupsOfCategory(*listener->container, FileCategory::other).size(), sizes.size());
        EXPECT_EQ(scanner->finalMinimalDuplicatesSize(), 0u);
    }

    auto listener = std::make_shared<CountingListener>();
    auto scanner = FoldersScanner::create({m_tree.path()}, listener);
    auto clock = std::make_shared<platform::ManualClock>();
    scanner->setClock(clock);
    scanner->enableSearchDuplicatesFoldersAndSimilars(false);  // x and y would be identical folders
    {
        // No set is compared before the time limit is over.
        test::QueueGate separations(FileSeparator::workingQueue());
        scanner->startScanWithAutomaticMinimalSize(false);
        ASSERT_TRUE(test::runMainQueueUntil(
            [&] { return scanner->getCurrentState() >= FoldersScanner::kSearchingDuplicateFiles; }));
        clock->advance(FoldersScanner::kAutoModeSearchTimeLimit + std::chrono::seconds(1));
    }
    test::runMainQueueUntil([&] { return listener->calls > 0; });
    ASSERT_NE(listener->container, nullptr);
    EXPECT_TRUE(scanner->isMinimalSizeAutomatic());
    // The stop lands right after the group that caused it, however far the
    // separation of the smaller sets has gone.
    const auto groups = test::groupsOfCategory(*listener->container, FileCategory::other);
    EXPECT_EQ(groups, (std::set<std::set<std::string>>{{m_tree / "x/1000000.bin", m_tree / "y/1000000.bin"},
                                                       {m_tree / "x/999999.bin", m_tree / "y/999999.bin"}}));
    EXPECT_EQ(scanner->finalMinimalDuplicatesSize(), 999999u);
}

std::set<std::string> pathsOf(const std::vector<FileSystemItem*>& items) {
    std::set<std::string> paths;
    for (const FileSystemItem* item : items) paths.insert(item->path());
    return paths;
}

std::set<std::pair<std::string, ScanProblemKind>> problemsOf(const DuplicatesContainer& container) {
    std::set<std::pair<std::string, ScanProblemKind>> problems;
    if (container.getScanProblems())
        for (const auto& problem : container.getScanProblems()->list()) problems.insert({problem.path, problem.kind});
    return problems;
}

TEST_F(FoldersScannerTest, NamesOfOneFileAreOneCopyTheirFolderIsNoCopyAndTheOtherNamesGoWithTheFirst) {
    const std::string content = test::noise(300000, 11);
    const std::string first = m_tree.writeFile("a/big.bin", content);
    m_tree.makeDir("b");
    m_tree.makeDir("c");
    ASSERT_EQ(::link(first.c_str(), (m_tree / "b/big.bin").c_str()), 0);
    ASSERT_EQ(::link(first.c_str(), (m_tree / "c/big.bin").c_str()), 0);
    m_tree.writeFile("d/copy.bin", content);  // a real second copy
    m_tree.writeFile("d/unique.txt", "only here");
    // A file with two names and no copy: no group at all.
    const std::string lonely = m_tree.writeFile("e/lonely.bin", test::noise(300000, 12));
    m_tree.makeDir("f");
    ASSERT_EQ(::link(lonely.c_str(), (m_tree / "f/lonely.bin").c_str()), 0);

    const auto outcome = test::scanFolders({m_tree.path()});
    ASSERT_TRUE(outcome.container);
    const DuplicatesContainer& result = *outcome.container;
    EXPECT_EQ(test::fileGroups(result), (test::PathGroups{{first, m_tree / "d/copy.bin"}}));
    // The first name by path is compared; the others are recorded with it.
    const FileSystemItem* compared = result.findExistedSystemItemWithPath(first);
    ASSERT_NE(compared, nullptr);
    ASSERT_NE(result.getOtherNames(compared), nullptr);
    EXPECT_EQ(pathsOf(*result.getOtherNames(compared)), (std::set<std::string>{m_tree / "b/big.bin", m_tree / "c/big.bin"}));
    EXPECT_EQ(result.getOtherNamesCount(), 3u);
    // Removing all but one copy frees one file's bytes, not three.
    EXPECT_EQ(result.getCategoryWithType(FileCategory::other)->getSizeThatCanBeRemoved(), 300000);
    // Folders holding only other names of a kept file are not copies that removal would free.
    EXPECT_TRUE(test::groupsOfCategory(result, FileCategory::folders).empty());
}

TEST(FoldersScannerTopFoldersTest, FoldersAreComparedByWhatTheyAreOnDisk) {
    TempDir dir;
    dir.makeDir("t1/a/inner");
    ASSERT_EQ(::symlink((dir / "t1").c_str(), (dir / "t1link").c_str()), 0);
    ASSERT_EQ(::symlink("t1/a", (dir / "alink").c_str()), 0);
    const auto& volumes = platform::volumeInfoProvider();
    const std::string t1 = dir / "t1";
    // A folder inside another chosen folder, reached through a link to either.
    EXPECT_EQ(FoldersScanner::chooseTopFolders({t1, dir / "t1link/a"}, volumes), (std::vector<std::string>{t1}));
    EXPECT_EQ(FoldersScanner::chooseTopFolders({dir / "alink", dir / "t1link"}, volumes), (std::vector<std::string>{t1}));
    // A chosen link to a folder stands for that folder, and equals it.
    EXPECT_EQ(FoldersScanner::chooseTopFolders({dir / "t1link", t1, dir / "t1/./a/.."}, volumes),
              (std::vector<std::string>{t1}));
    EXPECT_EQ(FoldersScanner::chooseTopFolders({dir / "alink/inner"}, volumes),
              (std::vector<std::string>{dir / "t1/a/inner"}));
}

TEST_F(FoldersScannerTest, AChosenLinkToAFolderIsScannedAsThatFolderAndLinksInsideStayUnfollowed) {
    m_tree.writeFile("music/one.mp3", test::noise(50000, 3));
    m_tree.writeFile("music/again/one.mp3", test::noise(50000, 3));
    ASSERT_EQ(::symlink((m_tree / "music").c_str(), (m_tree / "Music").c_str()), 0);
    ASSERT_EQ(::symlink((m_tree / "music/one.mp3").c_str(), (m_tree / "music/link.mp3").c_str()), 0);
    const auto outcome = test::scanFolders({m_tree / "Music"});
    ASSERT_TRUE(outcome.container);
    EXPECT_EQ(outcome.scanner->getFoldersForScan(), (std::vector<std::string>{m_tree / "music"}));
    EXPECT_EQ(outcome.scanner->getCountOfScannedFiles(), 2u);
    EXPECT_EQ(test::fileGroups(*outcome.container),
              (test::PathGroups{{m_tree / "music/one.mp3", m_tree / "music/again/one.mp3"}}));
}

TEST_F(FoldersScannerTest, FilesBeyondPathMaxAreReadAndCompared) {
    const std::string deep = m_tree.makeDeepDir("tree", PATH_MAX + 100);
    TempDir::writeFileAtAnyDepth(deep + "/far.jpg", test::noise(40000, 8));
    m_tree.writeFile("near.jpg", test::noise(40000, 8));
    const auto outcome = test::scanFolders({m_tree.path()});
    ASSERT_TRUE(outcome.container);
    EXPECT_EQ(test::fileGroups(*outcome.container), (test::PathGroups{{m_tree / "near.jpg", deep + "/far.jpg"}}));
    EXPECT_TRUE(problemsOf(*outcome.container).empty());
    // The far copy is there for the report and for removal too.
    for (const auto& group : outcome.container->getCategoryWithType(FileCategory::image)->getGroups()) {
        for (const auto& item : group->getItems()) {
            EXPECT_FALSE(item->isMovedByUserOrDeleted()) << item->getFileItemPath().size();
            ASSERT_NE(item->getFileSystemItem(), nullptr);
            EXPECT_TRUE(item->getFileSystemItem()->getFileItemLastModificationDate().has_value());
        }
    }
}

TEST_F(FoldersScannerTest, WhatIsLeftOutOnPurposeIsNotedWithItsReason) {
    m_tree.writeFile("photos/a.jpg", "a");
    m_tree.writeFile("photos/.thumbnails/a.jpg", "a");
    m_tree.writeFile(".cache/inner/.deeper/x", "x");
    m_tree.writeFile(".hidden-file", "h");
    m_tree.writeFile("build/out.o", "o");
    Settings::standard().setExcludeFolders(std::vector<std::string>{m_tree / "build"});

    test::ScanOptions options;
    options.includeHidden = false;
    const auto outcome = test::scanFolders({m_tree.path()}, options);
    ASSERT_TRUE(outcome.container);
    // Only the outermost hidden folders, never a hidden file or a folder inside a hidden one.
    EXPECT_EQ(problemsOf(*outcome.container), (std::set<std::pair<std::string, ScanProblemKind>>{
                                                  {m_tree / ".cache", ScanProblemKind::hiddenFolderLeftOut},
                                                  {m_tree / "photos/.thumbnails", ScanProblemKind::hiddenFolderLeftOut},
                                                  {m_tree / "build", ScanProblemKind::excludedFolder},
                                              }));
    options.includeHidden = true;
    const auto withHidden = test::scanFolders({m_tree.path()}, options);
    ASSERT_TRUE(withHidden.container);
    EXPECT_EQ(problemsOf(*withHidden.container), (std::set<std::pair<std::string, ScanProblemKind>>{
                                                     {m_tree / "build", ScanProblemKind::excludedFolder}}));
}

// Root only: bind mounts.
class FoldersScannerMountTest : public FoldersScannerTest {
protected:
    void SetUp() override {
        FoldersScannerTest::SetUp();
        if (::geteuid() != 0) GTEST_SKIP() << "bind mounts need root";
    }
    void TearDown() override {
        for (auto it = m_mounts.rbegin(); it != m_mounts.rend(); ++it) ::umount2(it->c_str(), MNT_DETACH);
        FoldersScannerTest::TearDown();
    }
    bool bind(const std::string& source, const std::string& target) {
        if (::mount(source.c_str(), target.c_str(), nullptr, MS_BIND, nullptr) != 0) return false;
        m_mounts.push_back(target);
        return true;
    }
    std::vector<std::string> m_mounts;
};

TEST_F(FoldersScannerMountTest, ABindMountOfAChosenFolderIsReadOnceAndAMountInsideIsNotEntered) {
    m_tree.writeFile("t1/a/song.mp3", test::noise(50000, 4));
    m_tree.writeFile("t1/b/other.mp3", test::noise(50000, 5));
    m_tree.writeFile("elsewhere/inside.mp3", test::noise(50000, 5));
    m_tree.makeDir("view");
    m_tree.makeDir("whole");
    m_tree.makeDir("t1/mnt");
    if (!bind(m_tree / "t1/a", m_tree / "view") || !bind(m_tree / "t1", m_tree / "whole") ||
        !bind(m_tree / "elsewhere", m_tree / "t1/mnt"))
        GTEST_SKIP() << "bind mounts are not allowed here";

    // The same folder twice: the first path stays.
    EXPECT_EQ(FoldersScanner::chooseTopFolders({m_tree / "t1", m_tree / "whole"}, platform::volumeInfoProvider()),
              (std::vector<std::string>{m_tree / "t1"}));
    // A bind mount of a folder inside another chosen folder: each file is read once.
    const auto outcome = test::scanFolders({m_tree / "t1", m_tree / "view"});
    ASSERT_TRUE(outcome.container);
    EXPECT_EQ(outcome.scanner->getCountOfScannedFiles(), 2u);
    EXPECT_TRUE(test::fileGroups(*outcome.container).empty());
    EXPECT_TRUE(test::groupsOfCategory(*outcome.container, FileCategory::folders).empty());
    EXPECT_EQ(problemsOf(*outcome.container), (std::set<std::pair<std::string, ScanProblemKind>>{
                                                  {m_tree / "t1/a", ScanProblemKind::sameFolderReadOnce},
                                                  {m_tree / "t1/mnt", ScanProblemKind::mountNotEntered},
                                              }));
}

}  // namespace
}  // namespace kestrane
