#include "folders/FSFolder.h"

#include "duplicates/DuplicateItem.h"
#include "duplicates/DuplicatesContainer.h"
#include "duplicates/DuplicatesGroup.h"
#include "folders/FSFolderDescription.h"
#include "folders/FSFolderManager.h"
#include "platform/MainQueue.h"
#include "support/FolderTreeSupport.h"
#include "support/ScanTestSupport.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

namespace kestrane {
namespace {

using test::nodeOf;

// {duplicates, selected, selected directly in the folder, selected size,
// other files, folders with duplicates}
using Counters = std::array<std::int64_t, 6>;

Counters countersOf(const FSFolder* node) {
    const FSComplexFolderData& info = node->info();
    return {info.countOfDuplicates,  info.countOfSelectedDuplicates,  info.countOfSelectedDuplicatesInCurrentFolder,
            info.sizeOfSelectedDuplicates, info.countOfUniqueFiles, info.countOfFoldersWithDuplicates};
}

class FSFolderTest : public test::IsolatedHomeTest {
protected:
    void TearDown() override {
        FSFolderManager::sharedInstance().clear();
        IsolatedHomeTest::TearDown();
    }

    void scan(const std::vector<std::string>& relatives) {
        std::vector<std::string> paths;
        for (const auto& relative : relatives) paths.push_back(m_dir / relative);
        m_scan = test::scanFolders(paths);
        ASSERT_TRUE(m_scan.container);
        test::buildFolderTree(m_scan.container);
    }
    FileSystemItem* item(const std::string& relative) {
        return m_scan.container->findExistedSystemItemWithPath(m_dir / relative);
    }
    FSFolder* node(const std::string& relative) { return nodeOf(item(relative)); }
    std::shared_ptr<DuplicateItem> entry(const std::string& relative) {
        return item(relative)->getDuplicateItem()->weak_from_this().lock();
    }

    test::TempDir m_dir;
    test::ScanOutcome m_scan;
};

TEST_F(FSFolderTest, CopiesCountUpToTheLowestFolderHoldingTheirWholeGroup) {
    // P/A/s and P/B/s: copies only of each other (A and B differ otherwise).
    m_dir.writeFile("t/P/A/s", test::noise(2000, 1));
    m_dir.writeFile("t/P/B/s", test::noise(2000, 1));
    m_dir.writeFile("t/P/A/a", test::noise(1900, 11));
    m_dir.writeFile("t/P/B/b", test::noise(1800, 12));
    // F holds two copies of x; the others are inside the identical folders D1, D2.
    m_dir.writeFile("t/F/x1", test::noise(2100, 2));
    m_dir.writeFile("t/F/x2", test::noise(2100, 2));
    for (const char* twin : {"t/D1/", "t/D2/"}) {
        m_dir.writeFile(std::string(twin) + "x", test::noise(2100, 2));
        m_dir.writeFile(std::string(twin) + "y", test::noise(2200, 3));
    }
    m_dir.writeFile("t/own", test::noise(2300, 4));
    scan({"t"});

    EXPECT_EQ(countersOf(node("t/P/A")), (Counters{1, 0, 0, 0, 1, 0}));
    EXPECT_EQ(countersOf(node("t/P/B")), (Counters{1, 0, 0, 0, 1, 0}));
    EXPECT_EQ(countersOf(node("t/P")), (Counters{0, 0, 0, 0, 4, 2}));
    // 4 copies of x, 2 inside duplicate folders: F holds the other 2 whole.
    EXPECT_EQ(countersOf(node("t/F")), (Counters{0, 0, 0, 0, 2, 0}));
    // A duplicate folder is a leaf that counts itself.
    EXPECT_TRUE(node("t/D1")->isLeaf());
    EXPECT_TRUE(node("t/D1")->isDuplicateFolder());
    EXPECT_EQ(countersOf(node("t/D1")), (Counters{1, 0, 0, 0, 0, 0}));
    // The scanned folder holds everything whole: D1 and D2 are other files
    // there, with own and the other files of P, A, B and F.
    EXPECT_EQ(countersOf(node("t")), (Counters{0, 0, 0, 0, 9, 4}));
    EXPECT_EQ(FSFolderManager::sharedInstance().userSelectedItemsForScan().size(), 1u);

    const FSFolderDescription p = node("t/P")->buildDescription();
    EXPECT_TRUE(p.duplicates().empty());
    EXPECT_EQ(p.otherFiles().size(), 4u);
    EXPECT_EQ(p.duplicateFilesDescription(), "No duplicate files in the folder. There are duplicates in the subfolders.");
    EXPECT_EQ(p.otherFilesDescription(), "");
    const FSFolderDescription a = node("t/P/A")->buildDescription();
    ASSERT_EQ(a.duplicates().size(), 1u);
    EXPECT_EQ(a.duplicates()[0].internalItems.size(), 1u);
    ASSERT_EQ(a.duplicates()[0].externalItems.size(), 1u);
    EXPECT_EQ(a.duplicates()[0].externalItems[0]->getFileItemPath(), m_dir / "t/P/B/s");
    EXPECT_EQ(a.duplicateFilesDescription(), "");
    EXPECT_EQ(a.otherFiles().size(), 1u);
    EXPECT_EQ(a.otherFilesDescription(), "");
    // A duplicate folder's files go with it: neither duplicates nor other files.
    const FSFolderDescription d1 = node("t/D1")->buildDescription();
    EXPECT_EQ(d1.duplicateFilesDescription(), "No duplicate files in the folder.");
    EXPECT_EQ(d1.otherFilesDescription(), "No other files in the folder.");
}

TEST_F(FSFolderTest, AScannedFolderThatIsADuplicateFolderIsALeafCountingItself) {
    for (const char* root : {"R1/", "R2/"}) {
        m_dir.writeFile(std::string(root) + "a", test::noise(2000, 1));
        m_dir.writeFile(std::string(root) + "sub/b", test::noise(2100, 2));
    }
    scan({"R1", "R2"});
    const auto& tops = FSFolderManager::sharedInstance().userSelectedItemsForScan();
    ASSERT_EQ(tops.size(), 2u);
    for (const auto& top : tops) {
        EXPECT_TRUE(top->isLeaf());
        EXPECT_EQ(top->info().countOfDuplicates, 1);
        EXPECT_FALSE(top->isInDuplicateFolder());
        EXPECT_TRUE(top->isCanChangeDuplicatesSelection());
    }
    // Files inside either go with their folder: no node of their own.
    EXPECT_EQ(item("R1/sub")->findFSFolder(), node("R1"));
}

TEST_F(FSFolderTest, CountersFollowTheSelectionWhenTheOutermostUpdateGroupCloses) {
    for (int i = 1; i <= 4; ++i) {
        const std::string content = test::noise(1000 + 10 * i, i);
        m_dir.writeFile("t/Q/q" + std::to_string(i), content);
        m_dir.writeFile("t/other/q" + std::to_string(i), content);
    }
    m_dir.writeFile("t/Q/deep/q1", test::noise(1010, 1));
    m_dir.writeFile("t/Q/q1b", test::noise(1010, 1));
    scan({"t"});
    FSFolder* q = node("t/Q");
    ASSERT_EQ(q->info().countOfDuplicates, 6);

    struct Listener : FSFolderListener {
        void onFSFolderChanged(const std::shared_ptr<FSFolder>& folder) override { changed.push_back(folder.get()); }
        std::vector<FSFolder*> changed;
    };
    auto listener = std::make_shared<Listener>();
    q->addListener(listener);

    FSFolderManager& manager = FSFolderManager::sharedInstance();
    manager.startUpdateGroup();
    manager.startUpdateGroup();
    EXPECT_TRUE(entry("t/Q/q1")->selectItemForced(false));
    EXPECT_TRUE(entry("t/Q/deep/q1")->selectItemForced(false));
    platform::MainQueue::shared().runPending();
    manager.endUpdateGroup();
    platform::MainQueue::shared().runPending();
    EXPECT_EQ(q->info().countOfSelectedDuplicates, 0) << "an update group is still open";
    EXPECT_FALSE(manager.isUpToDate());
    manager.endUpdateGroup();
    test::settleFolderTree();
    EXPECT_EQ(countersOf(q), (Counters{6, 2, 1, 2020, 0, 1}));
    EXPECT_EQ(countersOf(node("t/Q/deep")), (Counters{1, 1, 1, 1010, 0, 0}));
    EXPECT_EQ(q->duplicatesSelectionState(), -1);
    platform::MainQueue::shared().runPending();
    EXPECT_EQ(listener->changed, std::vector<FSFolder*>{q});

    // Moving the selection from the deep copy to an equal copy in Q itself
    // changes only where the selected copies lie.
    FSFolder::startBigSelection();
    entry("t/Q/deep/q1")->deselectItem();
    entry("t/Q/q1b")->selectItemForced(false);
    FSFolder::endBigSelection();
    test::settleFolderTree();
    EXPECT_EQ(countersOf(q), (Counters{6, 2, 2, 2020, 0, 1}));

    for (const char* name : {"t/Q/q2", "t/Q/q3", "t/Q/q4", "t/Q/deep/q1"}) entry(name)->selectItemForced(false);
    test::settleFolderTree();
    EXPECT_EQ(q->duplicatesSelectionState(), 1);
    EXPECT_EQ(node("t/other")->duplicatesSelectionState(), 0);
}

TEST_F(FSFolderTest, SiblingsShowFoldersWithDuplicatesFirstAndTheBiggestIsFoundBreadthFirst) {
    m_dir.writeFile("t/b/x", test::noise(2000, 1));
    m_dir.writeFile("t/a/x", test::noise(2000, 1));
    for (int i = 0; i < 3; ++i) {
        const std::string content = test::noise(2100 + 10 * i, 2 + i);
        const std::string name = std::string(1, "yzv"[i]);
        m_dir.writeFile("t/Z/deep/" + name, content);
        m_dir.writeFile(std::string(i == 0 ? "t/a/" : "t/c/") + name, content);
    }
    m_dir.writeFile("t/e/own", test::noise(2300, 5));
    m_dir.writeFile("t/d/f/own2", test::noise(2400, 6));
    m_dir.writeFile("t/d/g/w", test::noise(2500, 7));
    m_dir.writeFile("t/d/h/w", test::noise(2500, 7));
    scan({"t"});

    std::vector<std::string> order;
    for (const auto& sub : node("t")->subFoldersInViewOrder()) order.emplace_back(sub->name());
    // With duplicates (Z, a, b, c) by name, bytes compared ("Z" < "a"); then
    // d, whose sub-folders hold duplicates; then e.
    EXPECT_EQ(order, (std::vector<std::string>{"Z", "a", "b", "c", "d", "e"}));

    // Z holds 3, and so does Z/deep, found later: it does not replace Z.
    EXPECT_EQ(node("t/Z/deep")->info().countOfDuplicates, 3);
    EXPECT_EQ(node("t")->findSubFolderWithMaxCountOfDuplicates().get(), node("t/Z"));
    // g and h (identical folders) count 1 each: the one met first in the
    // list (the order the folder was read in) stays.
    std::shared_ptr<FSFolder> found;
    node("t/d")->findSubFolderWithMaxCountOfDuplicatesWithCompletion([&](auto folder) { found = std::move(folder); });
    test::runMainQueueUntil([&] { return found != nullptr; });
    FSFolder* first = nullptr;
    for (const auto& sub : node("t/d")->subFolders())
        if (!first && sub->info().countOfDuplicates == 1) first = sub.get();
    EXPECT_EQ(found.get(), first);
    EXPECT_TRUE(first == node("t/d/g") || first == node("t/d/h"));
    EXPECT_EQ(node("t/e")->findSubFolderWithMaxCountOfDuplicates().get(), node("t/e"));
}

TEST_F(FSFolderTest, ANodeForgetsAFolderThatLeftTheScannedTreeAndARebuildDropsIt) {
    m_dir.writeFile("t/A/x", test::noise(2000, 1));
    m_dir.writeFile("t/B/x", test::noise(2000, 1));
    m_dir.writeFile("t/B/y", test::noise(2100, 2));
    m_dir.writeFile("t/C/y", test::noise(2100, 2));
    scan({"t"});
    const std::shared_ptr<FSFolder> a = node("t/A")->shared_from_this();
    m_scan.container->removeFileItems({item("t/A")}, true);
    EXPECT_EQ(a->folderItem(), nullptr);
    EXPECT_EQ(a->name(), "");
    EXPECT_TRUE(a->buildDescription().otherFiles().empty());

    m_scan.container->validateEmptyDataAfterRemoveWithListener(nullptr);
    test::buildFolderTree(m_scan.container);
    std::vector<std::string> names;
    for (const auto& sub : node("t")->subFolders()) names.emplace_back(sub->name());
    EXPECT_EQ(names.size(), 2u);
    EXPECT_EQ(node("t/B")->info().countOfDuplicates, 1);  // y only: x's group went with A
}

}  // namespace
}  // namespace kestrane
