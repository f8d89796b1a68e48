#include "app/ScanFlowController.h"

#include "duplicates/DuplicatesContainer.h"
#include "duplicates/DuplicatesManager.h"
#include "duplicates/DuplicatesGroup.h"
#include "platform/MainQueue.h"
#include "platform/NotificationCenter.h"
#include "settings/Settings.h"
#include "support/FakeVolumes.h"
#include "support/ScanTestSupport.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace kestrane {
namespace {

using namespace std::chrono_literals;
using test::TempDir;

class RecordingListener : public ScanFlowListener {
public:
    void onAddPathsFinished() override { ++batchesFinished; }
    void onStartRefusedWithLabel(const std::string& label) override { refusedLabel = label; }
    void onScanFinishedWithDuplicates(bool found) override { finished.push_back(found); }
    void onShowResults() override { ++resultsShown; }
    void onWelcomeShown() override { ++welcomeShown; }

    int batchesFinished = 0;
    std::string refusedLabel;
    std::vector<bool> finished;
    int resultsShown = 0;
    int welcomeShown = 0;
};

// Keeps every question with its answer function, to be answered by the test.
class HeldQuestions : public QuestionAsker {
public:
    void ask(const Question& question, std::function<void(Answer)> answer) override {
        asked.push_back(question);
        pending.push_back(std::move(answer));
    }
    void answer(std::size_t button) {
        auto next = std::move(pending.front());
        pending.erase(pending.begin());
        next(Answer{button, false});
    }
    std::vector<Question> asked;
    std::vector<std::function<void(Answer)>> pending;
};

class ScanFlowControllerTest : public test::IsolatedHomeTest {
protected:
    void SetUp() override {
        IsolatedHomeTest::SetUp();
        m_listener = std::make_shared<RecordingListener>();
        m_questions = std::make_shared<HeldQuestions>();
        m_flow = ScanFlowController::create(Settings::standard(), m_listener, m_questions);
    }
    void TearDown() override {
        m_flow.reset();
        DuplicatesManager::sharedManager().setDuplicateContainer(nullptr);
        platform::setVolumeInfoProvider(nullptr);
        IsolatedHomeTest::TearDown();
    }
    bool waitForFinishedScans(std::size_t count) {
        return test::runMainQueueUntil([&] { return m_listener->finished.size() >= count; });
    }
    // Runs the main queue until a scan the flow let go is gone: nothing of it
    // is left that could still report.
    static void waitUntilGone(std::weak_ptr<FoldersScanner> scanner) {
        EXPECT_TRUE(test::runMainQueueUntil([&] { return scanner.expired(); })) << "the dropped scan lives on";
    }

    TempDir m_tree;
    std::shared_ptr<RecordingListener> m_listener;
    std::shared_ptr<HeldQuestions> m_questions;
    std::shared_ptr<ScanFlowController> m_flow;
};

TEST_F(ScanFlowControllerTest, RecentFoldersKeepTheTenNewestOnceEachAndAPathAlreadyListedOnlyBecomesCurrent) {
    Settings settings = Settings::standard();
    std::vector<std::string> folders;
    for (int i = 0; i < 12; ++i) folders.push_back(m_tree.makeDir("f" + std::to_string(i)));
    for (const auto& folder : folders) m_flow->addPaths({folder});

    std::vector<std::string> newestTen(folders.rbegin(), folders.rbegin() + 10);
    EXPECT_EQ(settings.lastTenFolders(), newestTen);
    EXPECT_EQ(m_flow->folderList().size(), 12u);
    EXPECT_EQ(m_flow->folderList().front().path, folders.back());
    EXPECT_EQ(m_flow->folderList().front().name, "f11");

    // Already in the list: made current, nothing added, recent folders unchanged.
    m_flow->addPaths({folders[5]});
    EXPECT_EQ(m_flow->currentFolderPath(), folders[5]);
    EXPECT_EQ(m_flow->folderList().size(), 12u);
    EXPECT_EQ(settings.lastTenFolders(), newestTen);

    // A folder in the recent list but not in the folder list moves to the front, once.
    m_flow->removeFolderWithPath(folders[5]);
    m_flow->addPaths({folders[5]});
    auto recent = settings.lastTenFolders();
    ASSERT_EQ(recent.size(), 10u);
    EXPECT_EQ(recent.front(), folders[5]);
    EXPECT_EQ(std::count(recent.begin(), recent.end(), folders[5]), 1);

    // Paths that are not folders and application bundles are left out.
    m_flow->addPaths({m_tree.writeFile("plain.txt", "x"), m_tree / "missing", m_tree.makeDir("Tool.app")});
    EXPECT_EQ(m_flow->folderList().size(), 12u);
    EXPECT_EQ(m_listener->batchesFinished, 15);
}

TEST_F(ScanFlowControllerTest, PathsAreCheckedLastFirstAndAQuestionHoldsTheRest) {
    const std::string first = m_tree.makeDir("first");
    const std::string second = m_tree.makeDir("second");
    const std::string third = m_tree.makeDir("third");
    Settings::standard().setExcludeFolders(std::vector<std::string>{third});

    m_flow->addPaths({first, second, third});
    ASSERT_EQ(m_questions->asked.size(), 1u);
    EXPECT_EQ(m_questions->asked[0].kind, ScanFlowQuestionKind::skipListedFolder);
    EXPECT_EQ(m_questions->asked[0].title, "The folder \"third\" is added to the Skip List.");
    EXPECT_EQ(m_questions->asked[0].text, "Would you like to scan the folder anyway?");
    EXPECT_TRUE(m_flow->folderList().empty());  // the other two wait for the answer
    EXPECT_TRUE(m_flow->isAddingPaths());

    // A second batch waits behind the first.
    const std::string later = m_tree.makeDir("later");
    m_flow->addPaths({later});
    EXPECT_TRUE(m_flow->folderList().empty());

    m_questions->answer(0);  // scan it anyway
    EXPECT_EQ(m_flow->folderPaths(), (std::vector<std::string>{later, first, second, third}));
    EXPECT_FALSE(m_flow->isAddingPaths());
    EXPECT_EQ(m_listener->batchesFinished, 2);

    // The second button leaves the folder out.
    m_flow->removeFolderWithPath(third);
    m_flow->addPaths({third});
    m_questions->answer(1);
    EXPECT_EQ(m_flow->folderList().size(), 3u);
}

TEST_F(ScanFlowControllerTest, ReadOnlyVolumesAndBackupsAreAskedAbout) {
    const std::string ntfs = m_tree.makeDir("ntfs");
    const std::string cdrom = m_tree.makeDir("cdrom");
    m_tree.makeDir("disk/Backups.backupdb/host");
    platform::setVolumeInfoProvider(test::FakeVolumes::of({
        test::FakeVolumes::volume(m_tree.path()), test::FakeVolumes::volume(ntfs, "ntfs3", true),
        test::FakeVolumes::volume(cdrom, "iso9660", true), test::FakeVolumes::volume(m_tree / "disk")}));

    m_flow->addPaths({m_tree / "disk/Backups.backupdb/host", cdrom, ntfs});
    ASSERT_EQ(m_questions->asked.size(), 1u);
    EXPECT_EQ(m_questions->asked[0].kind, ScanFlowQuestionKind::readOnlyFolder);
    EXPECT_EQ(m_questions->asked[0].title,
              "The folder \"ntfs\" is a read only. You can find duplicates but cannot remove them.");
    EXPECT_NE(m_questions->asked[0].text.find("NTFS volume"), std::string::npos);
    EXPECT_EQ(m_questions->asked[0].buttons, (std::vector<std::string>{"Add Folder to Scan", "Read More"}));
    m_questions->answer(0);  // added

    ASSERT_EQ(m_questions->asked.size(), 2u);
    EXPECT_TRUE(m_questions->asked[1].text.empty());  // not NTFS
    m_questions->answer(1);  // "Read More": not added

    ASSERT_EQ(m_questions->asked.size(), 3u);
    EXPECT_EQ(m_questions->asked[2].kind, ScanFlowQuestionKind::backupItems);
    EXPECT_EQ(m_questions->asked[2].title, "Backup items cannot be scanned for duplicates");
    m_questions->answer(0);
    EXPECT_EQ(m_flow->folderPaths(), std::vector<std::string>{ntfs});
}

TEST_F(ScanFlowControllerTest, ACompletedScanFillsTheManagerAndTheResultsFollow) {
    m_tree.writeFile("a/one.txt", std::string(3000, 'a'));
    m_tree.writeFile("b/one.txt", std::string(3000, 'a'));
    m_tree.writeFile("a/only-here.txt", "so that a and b are not duplicate folders");
    Settings settings = Settings::standard();
    settings.setDefineMinimalDuplicatesFileSizeAutomatically(false);
    settings.setDefineMinimalDuplicatesFileSizeAsZero(true);

    EXPECT_FALSE(m_flow->startScan());
    EXPECT_EQ(m_listener->refusedLabel, "Add folders to scan");

    m_flow->addPaths({m_tree / "a", m_tree / "b"});
    ASSERT_TRUE(m_flow->startScan());
    EXPECT_EQ(m_flow->screen(), ScanFlowController::Screen::scan);
    ASSERT_TRUE(waitForFinishedScans(1));
    EXPECT_EQ(m_listener->finished, std::vector<bool>{true});

    DuplicatesManager& manager = DuplicatesManager::sharedManager();
    ASSERT_NE(manager.duplicateContainer(), nullptr);
    EXPECT_EQ(test::fileGroups(*manager.duplicateContainer()).size(), 1u);
    EXPECT_EQ(manager.scannedFolders(), (std::vector<std::string>{m_tree / "a", m_tree / "b"}));
    EXPECT_EQ(manager.foundSize(), std::optional<std::int64_t>(6000));
    EXPECT_TRUE(manager.scanFinishDate().has_value());
    EXPECT_FALSE(manager.isMinimalSizeAutomatic());
    EXPECT_EQ(m_flow->scanner(), nullptr);
    EXPECT_EQ(m_flow->shownProgress(), 1.0);
    EXPECT_EQ(m_flow->descriptionLine(), "Done");

    ASSERT_TRUE(test::runMainQueueUntil([&] { return m_listener->resultsShown == 1; }));
    EXPECT_EQ(m_flow->screen(), ScanFlowController::Screen::results);
}

TEST_F(ScanFlowControllerTest, TheZeroSettingFindsSmallFilesWhateverTheStoredMinimalSize) {
    m_tree.writeFile("a/small.txt", std::string(2000, 's'));
    m_tree.writeFile("b/small.txt", std::string(2000, 's'));
    Settings settings = Settings::standard();
    settings.setDefineMinimalDuplicatesFileSizeAutomatically(false);
    settings.setMinDuplicatesFileSize(5000000);
    m_flow->addPaths({m_tree.path()});

    // Minimal size 5 MB: nothing to find, so the no-duplicates view and never the results.
    ASSERT_TRUE(m_flow->startScan());
    ASSERT_TRUE(waitForFinishedScans(1));
    EXPECT_EQ(m_listener->finished.back(), false);
    EXPECT_EQ(m_flow->screen(), ScanFlowController::Screen::noDuplicates);
    EXPECT_EQ(DuplicatesManager::sharedManager().minimalDuplicatesSize(), 5000000u);

    settings.setDefineMinimalDuplicatesFileSizeAsZero(true);
    ASSERT_TRUE(m_flow->startScan());
    ASSERT_TRUE(waitForFinishedScans(2));
    EXPECT_EQ(m_listener->finished.back(), true);
    EXPECT_EQ(DuplicatesManager::sharedManager().minimalDuplicatesSize(), 0u);
    EXPECT_EQ(m_listener->resultsShown, 0);  // the first scan never led to the results screen
}

TEST_F(ScanFlowControllerTest, StartingAgainDropsTheRunningScanAndItsResultNeverArrives) {
    // Enough files that the first scan is still running when the second starts.
    for (int i = 0; i < 300; ++i) m_tree.writeFile("old/d" + std::to_string(i % 30) + "/f" + std::to_string(i), "same");
    m_tree.writeFile("new/x.bin", std::string(5000, 'n'));
    m_tree.writeFile("new/y.bin", std::string(5000, 'n'));
    Settings settings = Settings::standard();
    settings.setDefineMinimalDuplicatesFileSizeAutomatically(false);
    settings.setDefineMinimalDuplicatesFileSizeAsZero(true);

    m_flow->addPaths({m_tree / "old"});
    ASSERT_TRUE(m_flow->startScan());
    // Held only to ask its state: its queued work may be over by then.
    auto firstScanner = m_flow->scanner();
    m_flow->removeFolderWithPath(m_tree / "old");
    m_flow->addPaths({m_tree / "new"});
    ASSERT_TRUE(m_flow->startScan());
    EXPECT_EQ(firstScanner->getCurrentState(), FoldersScanner::kStopped);
    const std::weak_ptr<FoldersScanner> dropped = std::exchange(firstScanner, nullptr);

    ASSERT_TRUE(waitForFinishedScans(1));
    waitUntilGone(dropped);
    EXPECT_EQ(m_listener->finished.size(), 1u);
    const auto groups = test::fileGroups(*DuplicatesManager::sharedManager().duplicateContainer());
    EXPECT_EQ(groups, (test::PathGroups{{m_tree / "new/x.bin", m_tree / "new/y.bin"}}));
}

TEST_F(ScanFlowControllerTest, StoppingWithTheResultEndsLikeACompletedScanAndIgnoringItReturnsToWelcome) {
    for (int i = 0; i < 4; ++i) m_tree.writeFile("d" + std::to_string(i) + "/same.txt", std::string(3000, 'q'));
    Settings settings = Settings::standard();
    settings.setDefineMinimalDuplicatesFileSizeAutomatically(false);
    settings.setDefineMinimalDuplicatesFileSizeAsZero(true);
    m_flow->addPaths({m_tree.path()});

    ASSERT_TRUE(m_flow->startScan());
    m_flow->stopScanWithIgnoreResult(false);
    ASSERT_TRUE(waitForFinishedScans(1));
    EXPECT_NE(DuplicatesManager::sharedManager().duplicateContainer(), nullptr);

    ASSERT_TRUE(m_flow->startScan());
    const std::weak_ptr<FoldersScanner> second = m_flow->scanner();
    m_flow->stopScanWithIgnoreResult(true);
    EXPECT_EQ(m_flow->screen(), ScanFlowController::Screen::welcome);
    EXPECT_EQ(m_listener->welcomeShown, 1);
    EXPECT_EQ(m_flow->folderPaths(), std::vector<std::string>{m_tree.path()});
    waitUntilGone(second);
    EXPECT_EQ(m_listener->finished.size(), 1u);
}

TEST_F(ScanFlowControllerTest, NewScanAsksUnlessToldNotToAndRescanRunsTheLastFoldersAgain) {
    m_tree.writeFile("a/one.txt", std::string(3000, 'a'));
    m_tree.writeFile("b/one.txt", std::string(3000, 'a'));
    Settings settings = Settings::standard();
    settings.setDefineMinimalDuplicatesFileSizeAutomatically(false);
    settings.setDefineMinimalDuplicatesFileSizeAsZero(true);
    m_flow->addPaths({m_tree / "a", m_tree / "b"});
    ASSERT_TRUE(m_flow->startScan());
    ASSERT_TRUE(waitForFinishedScans(1));

    m_flow->newScan();
    ASSERT_EQ(m_questions->asked.size(), 1u);
    EXPECT_EQ(m_questions->asked[0].title, "Are you sure you want to run a new scan?");
    m_questions->answer(1);  // Cancel
    EXPECT_NE(m_flow->screen(), ScanFlowController::Screen::welcome);
    m_flow->newScan();
    m_questions->pending.front()(Answer{0, true});  // OK, and do not ask again
    m_questions->pending.clear();
    EXPECT_EQ(m_flow->screen(), ScanFlowController::Screen::welcome);
    EXPECT_TRUE(m_flow->selectedFoldersArray().empty());
    EXPECT_FALSE(settings.showNewScanMessage());
    // The last scan's facts became the previous scan's.
    EXPECT_EQ(DuplicatesManager::sharedManager().previousScanScannedFolders(),
              (std::vector<std::string>{m_tree / "a", m_tree / "b"}));

    // Rescan from the no-duplicates or results screen: welcome, then a full-scale scan of the same folders.
    m_flow->removeFolderWithPath(m_tree / "a");
    m_flow->startScan();
    ASSERT_TRUE(waitForFinishedScans(2));
    settings.setShowRestartScanMessage(false);
    m_flow->rescanWithTitle("Full-scale Rescan Current Folders");
    EXPECT_EQ(m_flow->screen(), ScanFlowController::Screen::welcome);
    EXPECT_EQ(m_flow->folderPaths(), std::vector<std::string>{m_tree / "b"});
    EXPECT_TRUE(settings.actualFullHashCalculationState());
    ASSERT_TRUE(waitForFinishedScans(3));
    settings.setActualStateOfFullHashCalculation(false);
}

TEST_F(ScanFlowControllerTest, AfterAScanTheSummaryTheCongratulationsAndQuittingFollowTheResult) {
    EXPECT_EQ(m_flow->folderCountLabel(), "Add folders to scan");
    m_tree.writeFile("a/x.txt", "same content");
    m_tree.writeFile("a/y.txt", "same content");
    m_flow->addPaths({m_tree / "a"});
    EXPECT_EQ(m_flow->folderCountLabel(), "1 folder added");
    // Nothing to lose yet.
    EXPECT_EQ(m_flow->decideQuit(false, true), ScanFlowController::QuitDecision::quitNow);
    Settings settings = Settings::standard();
    settings.setDefineMinimalDuplicatesFileSizeAutomatically(false);
    settings.setDefineMinimalDuplicatesFileSizeAsZero(true);
    ASSERT_TRUE(m_flow->startScan());
    ASSERT_TRUE(waitForFinishedScans(1));
    ASSERT_TRUE(test::runMainQueueUntil([&] { return m_listener->resultsShown == 1; }));

    EXPECT_EQ(m_flow->decideQuit(false, true), ScanFlowController::QuitDecision::ask);
    EXPECT_EQ(m_flow->decideQuit(true, true), ScanFlowController::QuitDecision::closePanel);
    EXPECT_EQ(m_flow->decideQuit(false, false), ScanFlowController::QuitDecision::stay);
    EXPECT_EQ(ScanFlowController::quitQuestion().title, "Are you sure you want to quit the application?");

    std::vector<std::string> posted;
    auto observation = platform::NotificationCenter::defaultCenter().addObserver(
        "", [&](const platform::Notification& note) { posted.push_back(note.name); });
    m_flow->backToInterimScreen();
    EXPECT_EQ(m_flow->screen(), ScanFlowController::Screen::interim);
    m_flow->showResultsScreen();
    EXPECT_EQ(m_flow->screen(), ScanFlowController::Screen::results);
    // Duplicates remain: the results stay.
    EXPECT_FALSE(m_flow->checkForNoDuplicatesMore());
    auto container = DuplicatesManager::sharedManager().duplicateContainer();
    ASSERT_TRUE(container);
    for (const auto& group : container->getAllFilesGroups()) container->removeEntries(group->getItems());
    container->removeGroupsOfFewerThanTwoCopies();
    EXPECT_TRUE(m_flow->checkForNoDuplicatesMore());
    EXPECT_EQ(m_flow->screen(), ScanFlowController::Screen::congratulations);
    EXPECT_EQ(m_flow->decideQuit(false, true), ScanFlowController::QuitDecision::quitNow);
    EXPECT_EQ(posted, (std::vector<std::string>{"BackToInterimScreen", "NoDuplicatesMore"}));
}

TEST(ScanFlowTextTest, TheSummaryLinesOfTheLastScan) {
    EXPECT_EQ(ScanFlowController::scannedFoldersLine(1, "today"), "1 folder was scanned on today.");
    EXPECT_EQ(ScanFlowController::scannedFoldersLine(3, "today"), "3 folders were scanned on today.");
    EXPECT_EQ(ScanFlowController::foundSizeLine("2 MB"), "2 MB of duplicates were found.");
    EXPECT_EQ(ScanFlowController::cleanedSizeLine("1 MB"), "1 MB were cleaned.");
}

TEST(ScanFlowTextTest, NumbersAreGroupedByThreeWithSpaces) {
    EXPECT_EQ(ScanFlowController::formatNumber(0), "0");
    EXPECT_EQ(ScanFlowController::formatNumber(999), "999");
    EXPECT_EQ(ScanFlowController::formatNumber(1000), "1 000");
    EXPECT_EQ(ScanFlowController::formatNumber(123456789), "123 456 789");
    EXPECT_EQ(ScanFlowController::formatNumber(18446744073709551615ull), "18 446 744 073 709 551 615");
}

}  // namespace
}  // namespace kestrane
