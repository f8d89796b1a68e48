#include "duplicates/DuplicatesFilter.h"

#include "duplicates/DuplicatesCategory.h"
#include "duplicates/DuplicatesContainer.h"
#include "duplicates/DuplicatesGroup.h"
#include "duplicates/FileSeparator.h"
#include "folders/ScannedFolders.h"
#include "platform/MainQueue.h"
#include "platform/SerialQueue.h"
#include "scan/FolderSystemItem.h"
#include "scan/VolumeSystemItem.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace kestrane {
namespace {

using test::TempDir;

class RecordingFilterListener : public DuplicatesFilterListener {
public:
    void onDuplicatesFilesFilterStartFilterFiles(std::uint64_t total) override {
        events.push_back("start " + std::to_string(total));
    }
    void onFinishSearchDuplicatesFilesWithType(FileCategory type) override {
        events.push_back("finished type " + std::to_string(numberOfFileCategory(type)));
    }
    void onDuplicatesFilesFilterProgressChanged(DuplicatesFilterProgress progress) override {
        lastProgress = progress;
    }
    void onPossibleFoldersSizeChanged(std::uint64_t, std::uint64_t folders) override {
        possibleFolders = folders;
    }
    void onFilteredFiles(std::int32_t count, std::uint64_t size,
                                                 std::optional<FileCategory> type) override {
        events.push_back("group " + std::to_string(count) + "x" + std::to_string(size) + " type " +
                         std::to_string(numberOfFileCategory(type)));
        foundBytes += static_cast<std::uint64_t>(count) * size;
    }
    void onFinishFilterWithResultContainer(std::shared_ptr<DuplicatesContainer> result,
                                           std::uint64_t minimalSize) override {
        EXPECT_TRUE(platform::MainQueue::isMainThread());
        ++finishes;
        container = std::move(result);
        minimalFileSize = minimalSize;
    }

    std::vector<std::string> events;
    DuplicatesFilterProgress lastProgress;
    std::uint64_t possibleFolders = 0;
    std::uint64_t foundBytes = 0;
    int finishes = 0;
    std::shared_ptr<DuplicatesContainer> container;
    std::uint64_t minimalFileSize = 0;
};

// A scanned tree built over real files, the way the folder scan builds it.
class DuplicatesFilterTest : public test::IsolatedHomeTest {
protected:
    FileSystemItem* file(FolderSystemItem& parent, const std::string& name, const std::string& content) {
        m_files.writeFile(relativePathOf(parent) + name, content);
        return FileSystemItem::createInParent(name, parent, 4096, name.front() == '.',
                                              static_cast<std::int64_t>(content.size()));
    }
    FolderSystemItem* folder(FolderSystemItem& parent, const std::string& name, bool package = false) {
        m_files.makeDir(relativePathOf(parent) + name);
        return FolderSystemItem::createInParent(name, parent, name.front() == '.', package);
    }
    std::string relativePathOf(const FolderSystemItem& folder) const {
        const std::string path = folder.path();
        return path.size() > m_files.path().size() ? path.substr(m_files.path().size() + 1) + "/" : "";
    }

    std::shared_ptr<DuplicatesFilter> makeFilter(std::int64_t minimalSize) {
        auto filter = DuplicatesFilter::create(minimalSize, nullptr, nullptr, SeparationOptions{});
        filter->setWorkingQueue(m_queue);
        filter->setListener(m_listener);
        return filter;
    }
    std::uint64_t offer(DuplicatesFilter& filter, FileSystemItem* item, bool includeHidden = false) {
        std::uint64_t count = 0;
        m_queue->sync([&] { count = filter.addFileItemIncludeHidden(item, includeHidden); });
        return count;
    }
    // What the filter's queries answer, asked on its queue.
    template <typename Query>
    auto onQueue(Query query) {
        decltype(query()) answer{};
        m_queue->sync([&] { answer = query(); });
        return answer;
    }
    void offerTree(DuplicatesFilter& filter) {
        for (auto* item : m_root->childrenDeepArray())
            if (!item->isDir()) offer(filter, item);
    }
    void runToEnd(DuplicatesFilter& filter) {
        filter.filterDuplicates();
        test::runMainQueueUntil([&] { return m_listener->finishes > 0; });
        settle();
    }
    // Runs what the separations, the filter's queue and then the main queue
    // still hold, in the order their work flows: anything the filter would
    // report after its end has then arrived.
    void settle() {
        FileSeparator::workingQueue().drain();
        m_queue->drain();
        platform::MainQueue::shared().runPending();
    }

    TempDir m_files;
    std::shared_ptr<VolumeSystemItem> m_root = VolumeSystemItem::create(m_files.path(), 0, 0);
    std::shared_ptr<platform::SerialQueue> m_queue = platform::SerialQueue::create("test.filter");
    std::shared_ptr<RecordingFilterListener> m_listener = std::make_shared<RecordingFilterListener>();
};

TEST_F(DuplicatesFilterTest, OnlyAcceptableFilesBecomeCandidates) {
    auto filter = makeFilter(1024);
    auto* small = file(*m_root, "small.jpg", std::string(1023, 'a'));
    auto* exact = file(*m_root, "exact.jpg", std::string(1024, 'a'));
    auto* checked = file(*m_root, "checked.jpg", std::string(2000, 'c'));
    checked->setIsCheckedForDuplicates(true);
    auto* excluded = file(*m_root, "excluded.jpg", std::string(2000, 'e'));
    excluded->markThatHasExcludeContent();
    auto* package = folder(*m_root, "Viewer.app", true);
    auto* inPackage = file(*package, "inside.jpg", std::string(2000, 'p'));
    auto* hiddenFolder = folder(*m_root, ".hidden");
    auto* inHidden = file(*hiddenFolder, "photo.jpg", std::string(2000, 'h'));

    EXPECT_EQ(offer(*filter, small), 0u);
    EXPECT_EQ(offer(*filter, exact), 1u);
    EXPECT_EQ(offer(*filter, checked), 0u);
    EXPECT_EQ(offer(*filter, excluded), 0u);
    EXPECT_EQ(offer(*filter, package), 0u);  // a folder
    EXPECT_EQ(offer(*filter, inPackage), 0u);
    EXPECT_EQ(offer(*filter, inHidden), 0u);
    EXPECT_EQ(offer(*filter, inHidden, true), 1u);  // counted only when hidden items are wanted
    EXPECT_EQ(offer(*filter, file(*m_root, "again.jpg", std::string(2000, 'x'))), 2u);
}

TEST_F(DuplicatesFilterTest, FindsGroupsOfIdenticalFilesPerCategoryAndReportsThemInOrder) {
    auto* photos = folder(*m_root, "Photos");
    auto* backup = folder(*m_root, "Backup");
    const std::string jpeg(30000, 'j');
    file(*photos, "a.jpg", jpeg);
    file(*backup, "a copy.jpg", jpeg);
    file(*backup, "other.jpg", std::string(30000, 'k'));  // same size, other content
    file(*photos, "song.mp3", "same music bytes");
    file(*backup, "song.mp3", "same music bytes");
    file(*photos, "notes.txt", "");
    file(*backup, "notes.txt", "");
    file(*backup, "unique.pdf", "only one");

    auto filter = makeFilter(0);
    offerTree(*filter);
    runToEnd(*filter);

    ASSERT_EQ(m_listener->finishes, 1);
    auto& container = *m_listener->container;
    EXPECT_EQ(container.getCategoryWithType(FileCategory::image)->getGroups().size(), 1u);
    EXPECT_EQ(container.getCategoryWithType(FileCategory::music)->getGroups().size(), 1u);
    ASSERT_EQ(container.getCategoryWithType(FileCategory::document)->getGroups().size(), 1u);  // the two empty notes.txt
    EXPECT_EQ(container.getCategoryWithType(FileCategory::image)->getTotalSize(), 60000);
    EXPECT_EQ(container.getAllFilesGroups().size(), 3u);

    // Start first, with every file of the candidate sets; categories in order.
    ASSERT_FALSE(m_listener->events.empty());
    EXPECT_EQ(m_listener->events.front(), "start 7");
    const auto& events = m_listener->events;
    auto position = [&](const std::string& text) { return std::find(events.begin(), events.end(), text) - events.begin(); };
    EXPECT_LT(position("group 2x30000 type 0"), position("group 2x16 type 2"));
    EXPECT_EQ(position("finished type 1"), position("group 2x16 type 2") - 1);
    EXPECT_EQ(position("finished type 2"), position("group 2x0 type 3") - 1);
    EXPECT_EQ(m_listener->foundBytes, 60000u + 32u);
    EXPECT_EQ(m_listener->minimalFileSize, 0u);
    EXPECT_EQ(onQueue([&] { return filter->getTotalProcessedFiles(); }), 7u);
}

TEST_F(DuplicatesFilterTest, AutomaticModeTakesTheLargestSetsFirst) {
    // Sizes only matter for the order: the files need not exist.
    for (std::int64_t size : {800, 5000000, 500, 2000000})
        for (int copy = 0; copy < 2; ++copy)
            FileSystemItem::createInParent("f" + std::to_string(size) + "-" + std::to_string(copy) + ".jpg", *m_root,
                                           0, false, size);
    auto filter = makeFilter(-1);
    ASSERT_TRUE(filter->isAutoDefineMinimalFileSize());
    offerTree(*filter);
    runToEnd(*filter);
    EXPECT_EQ(onQueue([&] { return filter->candidateKeys(); }),
              (std::vector<std::string>{"5000000_image", "2000000_image", "800_image", "500_image"}));
    EXPECT_EQ(onQueue([&] { return filter->groupCountAtAutomaticMinimalSize(); }), 3u);
    // Unreadable files give no group; the search still ends once.
    EXPECT_EQ(m_listener->finishes, 1);
    EXPECT_TRUE(m_listener->container->getAllFilesGroups().empty());
}

TEST_F(DuplicatesFilterTest, AutomaticModeWithOnlyLargeSetsCountsThemAll) {
    for (std::int64_t size : {5000000, 2000000})
        for (int copy = 0; copy < 3; ++copy)
            FileSystemItem::createInParent("v" + std::to_string(size) + std::to_string(copy) + ".mov", *m_root, 0,
                                           false, size);
    auto filter = makeFilter(-1);
    offerTree(*filter);
    runToEnd(*filter);
    EXPECT_EQ(onQueue([&] { return filter->candidateKeys(); }),
              (std::vector<std::string>{"5000000_video", "2000000_video"}));
    EXPECT_EQ(onQueue([&] { return filter->groupCountAtAutomaticMinimalSize(); }), 2u);
}

TEST_F(DuplicatesFilterTest, NoCandidatesReportsZeroAndFinishesAtOnce) {
    file(*m_root, "one.jpg", "1");
    file(*m_root, "two.jpg", "22");
    auto filter = makeFilter(0);
    offerTree(*filter);
    runToEnd(*filter);
    EXPECT_EQ(m_listener->events, (std::vector<std::string>{"start 0"}));
    EXPECT_EQ(m_listener->finishes, 1);
    EXPECT_TRUE(m_listener->container->getAllFilesGroups().empty());
}

TEST_F(DuplicatesFilterTest, EstimatesPossibleDuplicateFoldersFromTheParentsOfCopies) {
    auto* a = folder(*m_root, "A");
    auto* b = folder(*m_root, "B");
    for (auto* dir : {a, b}) {
        file(*dir, "photo.jpg", std::string(100, 'p'));
        file(*dir, "text.txt", std::string(50, 't'));
    }
    m_root->calculateTotalSize();
    m_root->recalculateCountOfDeepChildren();
    auto filter = makeFilter(0);
    offerTree(*filter);
    runToEnd(*filter);
    EXPECT_EQ(m_listener->container->getAllFilesGroups().size(), 2u);
    // A and B look alike (same size and item count): both count once, with their 150 bytes of files.
    EXPECT_EQ(onQueue([&] { return filter->getPossibleDuplicateFoldersSize(); }), 300u);
    EXPECT_EQ(m_listener->possibleFolders, 300u);
}

TEST_F(DuplicatesFilterTest, StopEndsWithTheGroupsFoundSoFarInTheOrderOfTheSets) {
    // The first set (images come first) is two empty files, whose name keys
    // need no reading: it reports as its separation starts. The 60 sets of
    // songs behind it need their files read, and are stopped before their keys
    // come back.
    file(*folder(*m_root, "a"), "same.jpg", "");
    file(*folder(*m_root, "b"), "same.jpg", "");
    for (int i = 0; i < 60; ++i) {
        const std::string content(1000 + i, static_cast<char>('a' + i % 26));
        file(*m_root, "x" + std::to_string(i) + ".mp3", content);
        file(*m_root, "y" + std::to_string(i) + ".mp3", content);
    }
    auto filter = makeFilter(0);
    offerTree(*filter);
    auto& working = FileSeparator::workingQueue();
    auto starts = std::make_unique<test::QueueGate>(working);
    filter->filterDuplicates();
    m_queue->drain();  // every set's separation is queued to start
    test::QueueGate keys(working);  // behind the starts: the keys of the songs wait here
    starts.reset();
    ASSERT_TRUE(keys.waitUntilSomethingWaits());
    m_queue->drain();  // the empty files' result is saved
    filter->stopFilterDuplicates();
    m_queue->drain();
    keys.open();
    test::runMainQueueUntil([&] { return m_listener->finishes > 0; });
    settle();
    EXPECT_EQ(m_listener->finishes, 1);
    const auto groups = m_listener->container->getAllFilesGroups();
    ASSERT_EQ(groups.size(), 1u);
    EXPECT_EQ(groups.front()->oneItemSize(), 0u);
}

TEST_F(DuplicatesFilterTest, AnAutomaticSearchStoppedBeforeItComparedAnySetNamesASizeAboveEveryCandidate) {
    for (std::size_t size : {3000, 2000}) {
        file(*m_root, "x" + std::to_string(size) + ".jpg", std::string(size, 'x'));
        file(*m_root, "y" + std::to_string(size) + ".jpg", std::string(size, 'x'));
    }
    auto filter = makeFilter(-1);
    offerTree(*filter);
    auto gate = std::make_unique<test::QueueGate>(FileSeparator::workingQueue());
    filter->filterDuplicates();
    ASSERT_TRUE(gate->waitUntilSomethingWaits());  // the largest set has not been compared
    filter->stopFilterDuplicates();
    m_queue->drain();
    gate.reset();
    test::runMainQueueUntil([&] { return m_listener->finishes > 0; });
    EXPECT_TRUE(m_listener->container->getAllFilesGroups().empty());
    EXPECT_EQ(m_listener->minimalFileSize, 3001u);
}

TEST_F(DuplicatesFilterTest, AStoppedFilterDroppedByItsOwnersKeepsItsTreeUntilItsWorkEnds) {
    for (int i = 0; i < 20; ++i) {
        const std::string content(700 + i, 'c');
        file(*m_root, "x" + std::to_string(i) + ".jpg", content);
        file(*m_root, "y" + std::to_string(i) + ".jpg", content);
    }
    auto filter = makeFilter(0);
    offerTree(*filter);
    filter->getContainer()->saveRoots({m_root});
    const std::weak_ptr<VolumeSystemItem> tree = m_root;
    const std::weak_ptr<DuplicatesFilter> filterGone = filter;

    // The first separation waits to begin while the filter is stopped and
    // every owner lets go: only the queued work still holds the tree.
    auto gate = std::make_unique<test::QueueGate>(FileSeparator::workingQueue());
    filter->filterDuplicates();
    ASSERT_TRUE(gate->waitUntilSomethingWaits());
    filter->stopFilterDuplicates();
    m_queue->drain();  // the stop has reached the separator
    filter.reset();
    m_root.reset();
    EXPECT_TRUE(filterGone.expired());
    EXPECT_FALSE(tree.expired()) << "nothing kept the items of the queued work";

    // The separation ends with nobody to tell, and lets the tree go.
    gate.reset();
    FileSeparator::workingQueue().drain();
    m_queue->drain();
    EXPECT_TRUE(tree.expired()) << "the work kept the tree after it ended";
    platform::MainQueue::shared().runPending();
    EXPECT_EQ(m_listener->finishes, 0);
}

}  // namespace
}  // namespace kestrane
