#include "merge/MergeOperationData.h"

#include "duplicates/DuplicateItem.h"
#include "duplicates/DuplicatesContainer.h"
#include "duplicates/DuplicatesGroup.h"
#include "duplicates/HeapsCollection.h"
#include "folders/DuplicatesHeap.h"
#include "folders/HeapsFolderData.h"
#include "merge/OneFileMergeOperation.h"
#include "platform/FileFacts.h"
#include "platform/MainQueue.h"
#include "scan/FolderSystemItem.h"
#include "support/ScanTestSupport.h"
#include "support/SimilarFolders.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <map>
#include <set>
#include <sys/stat.h>

namespace kestrane {
namespace {

namespace fs = std::filesystem;

using test::fileContent;

// The files directly in a folder: name -> content.
std::map<std::string, std::string> filesIn(const std::string& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::directory_iterator(folder))
        files[entry.path().filename().string()] = entry.is_directory() ? "<folder>" : fileContent(entry.path().string());
    return files;
}

// Every pair of similar folders the registry lists: "main|second|groups|half size".
std::set<std::string> listedPairs(const DuplicatesContainer& container) {
    std::set<std::string> pairs;
    container.getHeaps()->forEachPairLargestFirst([&](const HeapsFolderData& main, const HeapsFolderData& second,
                                                      std::uint64_t halfSize, std::uint32_t groups) {
        pairs.insert(main.getFolderPath() + "|" + second.getFolderPath() + "|" + std::to_string(groups) + "|" +
                     std::to_string(halfSize));
        return true;
    });
    return pairs;
}

std::vector<std::string> plannedNames(const MergeOperationData& merge) {
    std::vector<std::string> names;
    for (const MergeItem* item : merge.plannedItems()) names.push_back(item->name() + ">" + item->plannedName());
    return names;
}

class RecordingListener : public MergeOperationDataListener, public MergeFolderListener {
public:
    void onMergePlanChanged(const MergeOperationData&) override { ++planChanges; }
    void onMergeStateChanged(const MergeOperationData& merge) override { states.push_back(merge.state()); }
    void onMergeProgress(const MergeOperationData&, const MergeOperationProgressInfo& info) override {
        ++progressReports;
        for (const auto& result : info.resultFromLastUpdate) reportedResults.push_back(result.originalURL);
        lastMerged = info.sizeOfMergedItems;
        allSize = info.sizeOfAllItems;
    }
    void onMergeFolderChanged(const MergeFolder&) override { ++folderChanges; }

    int planChanges = 0;
    int folderChanges = 0;
    int progressReports = 0;
    std::vector<MergeState> states;
    std::vector<std::string> reportedResults;
    double lastMerged = 0;
    double allSize = 0;
};

// A library of two similar folders (test::writeSimilarFolders).
class MergeOperationDataTest : public test::IsolatedHomeTest {
protected:
    void SetUp() override {
        IsolatedHomeTest::SetUp();
        m_library = test::writeSimilarFolders(m_dir, "library");
        m_old = m_library + "/Old";
        m_new = m_library + "/New";
    }
    void TearDown() override {
        m_merge.reset();
        m_scan = {};
        platform::MainQueue::shared().runPending();
        IsolatedHomeTest::TearDown();
    }

    void write(const std::string& relative, const std::string& content) { m_dir.writeFile("library/" + relative, content); }

    // Scans the library and makes the merge of Old into New.
    std::shared_ptr<MergeOperationData> prepare(MergeOperationOptions options) {
        m_scan = test::scanFolders({m_library});
        if (!m_scan.container) return nullptr;
        auto heap = MergeOperationData::heapOfFolders(*m_scan.container, m_old, m_new);
        if (!heap) return nullptr;
        m_merge = MergeOperationData::create(heap, m_scan.container, options);
        return m_merge;
    }
    bool performAndWait(MergeOperationData& merge) {
        std::string refusal;
        if (!merge.perform(&refusal)) {
            ADD_FAILURE() << refusal;
            return false;
        }
        return test::runMainQueueUntil([&] { return merge.state() == MergeState::ViewResult; });
    }
    // What a new scan of the library finds: the merge must have left the
    // result model telling the same.
    void expectModelAsANewScanFindsIt() {
        const auto again = test::scanFolders({m_library});
        ASSERT_TRUE(again.container);
        EXPECT_EQ(test::fileGroups(*m_scan.container), test::fileGroups(*again.container));
        EXPECT_EQ(test::groupsOfCategory(*m_scan.container, FileCategory::folders),
                  test::groupsOfCategory(*again.container, FileCategory::folders));
        EXPECT_EQ(listedPairs(*m_scan.container), listedPairs(*again.container));
    }

    test::TempDir m_dir;
    std::string m_library;
    std::string m_old;
    std::string m_new;
    test::ScanOutcome m_scan;
    std::shared_ptr<MergeOperationData> m_merge;
};

TEST_F(MergeOperationDataTest, TheFoldersSplitIntoUniqueItemsAndCopiesOfTheOtherSide) {
    const auto merge = prepare({.action = MergeAction::Copy});
    ASSERT_TRUE(merge);
    const MergeFolder& source = *merge->sourceFolder();
    const MergeFolder& destination = *merge->destinationFolder();
    EXPECT_EQ(source.path(), m_old);
    EXPECT_EQ(destination.name(), "New");
    EXPECT_EQ(source.role(), MergeFolderRole::Source);
    EXPECT_EQ(destination.role(), MergeFolderRole::Destination);
    std::set<std::string> unique, duplicates;
    for (const MergeItem* item : source.uniqueItems()) unique.insert(item->name());
    for (const MergeItem* item : source.duplicates()) duplicates.insert(item->name());
    EXPECT_EQ(unique, (std::set<std::string>{"c.jpg", "report.pdf", "photos.2019"}));
    EXPECT_EQ(duplicates, (std::set<std::string>{"a.jpg", "b.jpg", "beach.jpg"}));
    const MergeItem* beach = source.itemWithName("beach.jpg");
    ASSERT_TRUE(beach);
    const auto copies = destination.copiesOf(*beach);
    ASSERT_EQ(copies.size(), 1u);
    EXPECT_EQ(copies.front()->name(), "IMG_0042.jpg");
    EXPECT_EQ(beach->url(), m_old + "/beach.jpg");
    EXPECT_EQ(source.itemWithName("photos.2019")->isFolder(), true);
    EXPECT_EQ(source.itemWithName("Beach.jpg"), nullptr);
}

TEST_F(MergeOperationDataTest, ThePlanFollowsTheOptionsAndTheDirection) {
    const auto merge = prepare({});
    ASSERT_TRUE(merge);
    auto listener = std::make_shared<RecordingListener>();
    merge->addListener(listener);
    merge->sourceFolder()->addListener(listener);

    // No action: nothing, whatever the folders hold.
    EXPECT_EQ(merge->countOfAffectedItems(), 0u);
    EXPECT_EQ(merge->preview().message, "There is nothing to merge from \"Old\" to \"New\" folder.");
    EXPECT_EQ(merge->preview().hint, "Change Merge options or direction to process.");

    merge->setOptions({.action = MergeAction::Copy});
    EXPECT_EQ(listener->planChanges, 1);
    EXPECT_EQ(listener->folderChanges, 1);
    EXPECT_EQ(plannedNames(*merge), (std::vector<std::string>{"c.jpg>c.jpg", "photos.2019>photos.2019 1",
                                                              "report.pdf>report 2.pdf"}));
    EXPECT_EQ(merge->countOfAffectedItems(), 3u);
    EXPECT_EQ(merge->preview().message, "3 files from \"Old\" will be copied to \"New\" folder.");
    EXPECT_EQ(merge->preview().hint, "You can customize Merge using the options below or changing direction.");
    // Setting the same options again changes nothing and tells nobody.
    merge->setOptions({.action = MergeAction::Copy});
    EXPECT_EQ(listener->planChanges, 1);

    // The picture New holds under another name comes too, under its own name.
    merge->setOptions({.action = MergeAction::Move, .mergeDuplicatesWithDifferentNames = true});
    EXPECT_EQ(merge->countOfAffectedItems(), 4u);
    EXPECT_EQ(merge->sourceFolder()->itemWithName("beach.jpg")->action(), MergeAction::Move);
    EXPECT_EQ(merge->sourceFolder()->itemWithName("a.jpg")->action(), std::nullopt);
    EXPECT_EQ(merge->preview().message, "4 files from \"Old\" will be moved to \"New\" folder.");

    // The other way round: New's own files go to Old; its two reports take
    // free names one after the other.
    merge->setDirection(MergeDirection::RightToLeft);
    EXPECT_EQ(listener->planChanges, 3);
    EXPECT_EQ(merge->sourceFolder()->path(), m_new);
    EXPECT_EQ(merge->leftFolder()->role(), MergeFolderRole::Destination);
    EXPECT_EQ(merge->sourceFolder()->itemWithName("beach.jpg"), nullptr);
    EXPECT_EQ(plannedNames(*merge),
              (std::vector<std::string>{"IMG_0042.jpg>IMG_0042.jpg", "photos.2019>photos.2019 1",
                                        "report 1.pdf>report 1.pdf", "report.pdf>report 2.pdf"}));
    // Old's items no longer carry the plan's actions.
    for (const auto& item : merge->leftFolder()->items()) EXPECT_EQ(item->action(), std::nullopt) << item->name();
}

TEST_F(MergeOperationDataTest, TheDestinationIsNeverPartOfThePlan) {
    write("Old/New2/a.jpg", test::noise(5000, 1));
    write("Old/New2/b.jpg", test::noise(6000, 2));
    m_scan = test::scanFolders({m_library});
    ASSERT_TRUE(m_scan.container);
    const auto heap = MergeOperationData::heapOfFolders(*m_scan.container, m_old, m_old + "/New2");
    ASSERT_TRUE(heap);
    m_merge = MergeOperationData::create(heap, m_scan.container, {.action = MergeAction::Move});
    std::vector<std::string> names;
    for (const MergeItem* item : m_merge->plannedItems()) names.push_back(item->name());
    EXPECT_EQ(names, (std::vector<std::string>{"beach.jpg", "c.jpg", "photos.2019", "report.pdf"}));
}

TEST_F(MergeOperationDataTest, ACopyMergeLeavesTheSourceAndBringsTheResultIntoTheModel) {
    const auto merge = prepare({.action = MergeAction::Copy});
    ASSERT_TRUE(merge);
    auto listener = std::make_shared<RecordingListener>();
    merge->addListener(listener);
    const auto sourceBefore = filesIn(m_old);
    const auto photos = filesIn(m_old + "/photos.2019");

    ASSERT_TRUE(performAndWait(*merge));
    EXPECT_EQ(listener->states, (std::vector<MergeState>{MergeState::Perform, MergeState::ViewResult}));
    EXPECT_EQ(merge->operationsStatistics(), (SubOperationsStatistics{3, 3, 0, 0}));
    EXPECT_EQ(merge->resultLines(), (std::vector<std::string>{"3 files were copied succesfully."}));
    EXPECT_EQ(listener->reportedResults.size(), 3u);
    EXPECT_EQ(listener->lastMerged, listener->allSize);
    EXPECT_EQ(filesIn(m_old), sourceBefore);

    auto expected = filesIn(m_new);
    EXPECT_EQ(expected["c.jpg"], sourceBefore.at("c.jpg"));
    EXPECT_EQ(expected["report 2.pdf"], "the report of this year");
    EXPECT_EQ(expected["report.pdf"], "the report of last year");
    EXPECT_EQ(filesIn(m_new + "/photos.2019 1"), photos);
    ASSERT_EQ(merge->results().size(), 3u);
    for (const auto& result : merge->results()) {
        EXPECT_TRUE(result.result.isSuccessful());
        EXPECT_EQ(result.action, MergeAction::Copy);
        EXPECT_TRUE(fs::exists(result.destinationURL)) << result.destinationURL;
    }
    // The destination knows what arrived.
    const MergeItem* arrived = merge->destinationFolder()->itemWithName("report 2.pdf");
    ASSERT_TRUE(arrived);
    EXPECT_EQ(arrived->createdByAction(), MergeAction::Copy);
    ASSERT_TRUE(arrived->duplicateEntry());
    EXPECT_EQ(arrived->duplicateEntry()->getGroup()->getTotalCount(), 2u);
    expectModelAsANewScanFindsIt();
}

TEST_F(MergeOperationDataTest, AMoveMergeSendsTheSourceToTheTrashWhenNothingInItWouldBeLost) {
    const auto merge =
        prepare({.action = MergeAction::Move, .removeSourceFolder = true, .mergeDuplicatesWithDifferentNames = true});
    ASSERT_TRUE(merge);
    const std::string c = fileContent(m_old + "/c.jpg");
    ASSERT_TRUE(performAndWait(*merge));
    EXPECT_EQ(merge->operationsStatistics(), (SubOperationsStatistics{4, 4, 0, 0}));
    EXPECT_EQ(merge->resultLines(), (std::vector<std::string>{"4 files were moved succesfully."}));
    ASSERT_TRUE(merge->sourceFolderOutcome());
    const SourceFolderOutcome& outcome = *merge->sourceFolderOutcome();
    EXPECT_TRUE(outcome.removed) << (outcome.error ? outcome.error->describe() : "") << outcome.withoutCopy.size();
    EXPECT_FALSE(fs::exists(m_old));
    const std::string trash = m_home + "/.local/share/Trash";
    EXPECT_EQ(outcome.trashedPath, trash + "/files/Old");
    EXPECT_TRUE(fs::exists(trash + "/info/Old.trashinfo"));
    // What was left in it had copies: a.jpg and b.jpg.
    EXPECT_EQ(filesIn(outcome.trashedPath), (std::map<std::string, std::string>{
                                                {"a.jpg", fileContent(m_new + "/a.jpg")},
                                                {"b.jpg", fileContent(m_new + "/b.jpg")}}));
    EXPECT_EQ(fileContent(m_new + "/c.jpg"), c);
    EXPECT_TRUE(fs::exists(m_new + "/beach.jpg"));
    EXPECT_TRUE(fs::exists(m_new + "/IMG_0042.jpg"));
    for (const auto& item : merge->sourceFolder()->items()) EXPECT_EQ(item->file(), nullptr);
    expectModelAsANewScanFindsIt();
}

TEST_F(MergeOperationDataTest, TheSourceStaysWhenAFileInItHasNoCopyInTheDestination) {
    const auto merge = prepare({.action = MergeAction::Move, .removeSourceFolder = true});
    ASSERT_TRUE(merge);
    // Written after the scan: it is not moved, and so has no copy in New.
    write("Old/report.pdf", "rewritten after the scan, and longer");
    ASSERT_TRUE(performAndWait(*merge));
    EXPECT_EQ(merge->operationsStatistics(), (SubOperationsStatistics{3, 2, 1, 0}));
    EXPECT_EQ(merge->resultLines(),
              (std::vector<std::string>{"2 files were moved succesfully.", "1 file could not be moved."}));
    const MergeItem* report = merge->sourceFolder()->itemWithName("report.pdf");
    ASSERT_TRUE(report && report->error());
    EXPECT_EQ(report->error()->message, "It changed since the scan and was left in place");
    ASSERT_TRUE(merge->sourceFolderOutcome());
    EXPECT_FALSE(merge->sourceFolderOutcome()->removed);
    // beach.jpg was not moved (its copy in New has another name) but has an
    // identical copy there; report.pdf has none.
    EXPECT_EQ(merge->sourceFolderOutcome()->withoutCopy, (std::vector<std::string>{"report.pdf"}));
    EXPECT_EQ(fileContent(m_old + "/report.pdf"), "rewritten after the scan, and longer");
    EXPECT_EQ(fileContent(m_new + "/report.pdf"), "the report of last year");
    EXPECT_FALSE(fs::exists(m_old + "/c.jpg"));
}

TEST_F(MergeOperationDataTest, ACopyTouchedBetweenTheScanAndTheMergeCountsAsChanged) {
    m_scan = test::scanFolders({m_library});
    ASSERT_TRUE(m_scan.container);
    // Same size and bytes, but written again after the scan compared it.
    const timespec times[2] = {{1'000'000'000, 0}, {1'000'000'000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, (m_old + "/beach.jpg").c_str(), times, 0), 0);
    m_merge = MergeOperationData::create(MergeOperationData::heapOfFolders(*m_scan.container, m_old, m_new),
                                         m_scan.container,
                                         {.action = MergeAction::Move, .mergeDuplicatesWithDifferentNames = true});
    ASSERT_TRUE(performAndWait(*m_merge));
    const MergeItem* beach = m_merge->sourceFolder()->itemWithName("beach.jpg");
    ASSERT_TRUE(beach && beach->error());
    EXPECT_EQ(beach->error()->message, "It changed since the scan and was left in place");
    EXPECT_TRUE(fs::exists(m_old + "/beach.jpg"));
    EXPECT_FALSE(fs::exists(m_new + "/beach.jpg"));
    EXPECT_EQ(m_merge->operationsStatistics(), (SubOperationsStatistics{4, 3, 1, 0}));
}

TEST_F(MergeOperationDataTest, AMergeIsPerformedOnceAndOnlyWhenItsFoldersAllowIt) {
    const auto merge = prepare({.action = MergeAction::Copy});
    ASSERT_TRUE(merge);
    fs::rename(m_new, m_library + "/Elsewhere");
    std::string refusal;
    EXPECT_FALSE(merge->perform(&refusal));
    EXPECT_EQ(refusal, "The destination \"New\" does not exist.");
    EXPECT_EQ(merge->state(), MergeState::Preview);
    fs::rename(m_library + "/Elsewhere", m_new);

    ASSERT_TRUE(performAndWait(*merge));
    EXPECT_FALSE(merge->perform(&refusal));
    EXPECT_EQ(refusal, "This merge has already been performed.");
    // Once performed, neither the direction nor the options change.
    merge->setDirection(MergeDirection::RightToLeft);
    merge->setOptions({});
    EXPECT_EQ(merge->sourceFolder()->path(), m_old);
    EXPECT_EQ(merge->options().action, MergeAction::Copy);
}

TEST_F(MergeOperationDataTest, AStoppedMergeLeavesEveryItemEitherDoneOrUntouched) {
    write("Old/big1.bin", test::noise(12u << 20, 11));
    write("Old/big2.bin", test::noise(12u << 20, 12));
    const auto merge = prepare({.action = MergeAction::Copy});
    ASSERT_TRUE(merge);
    ASSERT_TRUE(merge->perform());
    merge->stop();
    ASSERT_TRUE(test::runMainQueueUntil([&] { return merge->state() == MergeState::ViewResult; }));
    const auto& statistics = merge->operationsStatistics();
    EXPECT_EQ(statistics.totalCount, 5u);
    EXPECT_EQ(statistics.countOfSuccessfullyPerformed + statistics.countOfFailed + statistics.countOfNotPerformed, 5u);
    EXPECT_EQ(statistics.countOfFailed, 0u);
    for (std::size_t i = 0; i < merge->results().size(); ++i) {
        const auto& result = merge->results()[i];
        EXPECT_TRUE(fs::exists(result.originalURL)) << result.originalURL;
        if (result.result.kind == FileOperationResult::Kind::Unknown)
            EXPECT_FALSE(fs::exists(result.destinationURL)) << result.destinationURL;
        else
            EXPECT_TRUE(fs::exists(result.destinationURL)) << result.destinationURL;
    }
    for (const auto& entry : fs::directory_iterator(m_new))
        EXPECT_FALSE(MergeFileOperation::isTemporaryName(entry.path().filename().string())) << entry.path();
}

// Answers every message with its only button, and keeps them.
class RecordingAsker : public QuestionAsker {
public:
    void ask(const Question& question, std::function<void(Answer)> answer) override {
        asked.push_back(question);
        answer({0, false});
    }
    std::vector<Question> asked;
};

TEST_F(MergeOperationDataTest, OneFileIsMergedByTheSameRulesAndTheModelFollows) {
    m_scan = test::scanFolders({m_library});
    ASSERT_TRUE(m_scan.container);
    FileSystemItem* report = m_scan.container->findExistedSystemItemWithPath(m_old + "/report.pdf");
    ASSERT_TRUE(report);
    auto asker = std::make_shared<RecordingAsker>();
    std::optional<std::optional<std::string>> completed;
    auto copy = OneFileMergeOperation::buildOperationWithCopy(*report, m_new, m_scan.container);
    copy->start(asker, [&](std::optional<std::string> path) { completed = path; });
    ASSERT_TRUE(test::runMainQueueUntil([&] { return completed.has_value(); }));
    EXPECT_EQ(*completed, m_new + "/report 2.pdf");
    EXPECT_TRUE(asker->asked.empty());
    FileSystemItem* arrived = m_scan.container->findExistedSystemItemWithPath(m_new + "/report 2.pdf");
    ASSERT_TRUE(arrived && arrived->getDuplicateItem());
    EXPECT_EQ(arrived->getDuplicateItem()->getGroup()->getTotalCount(), 2u);

    // Into a folder that is not there: a message, and no location.
    completed.reset();
    auto move = OneFileMergeOperation::buildOperationWithMove(*report, m_library + "/Missing", m_scan.container);
    move->start(asker, [&](std::optional<std::string> path) { completed = path; });
    ASSERT_TRUE(test::runMainQueueUntil([&] { return completed.has_value(); }));
    EXPECT_EQ(*completed, std::nullopt);
    ASSERT_EQ(asker->asked.size(), 1u);
    EXPECT_EQ(asker->asked[0].kind, OneFileMergeQuestionKind::cannotMerge);
    EXPECT_EQ(asker->asked[0].title, "The destination \"Missing\" does not exist.");
    EXPECT_TRUE(fs::exists(m_old + "/report.pdf"));
}

}  // namespace
}  // namespace kestrane
