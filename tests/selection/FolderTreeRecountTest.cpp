// The folder tree's counters against a recount from scratch, after each of a
// few hundred random selections (by copy, by folder, by favourites) on a
// generated tree of real files.

#include "duplicates/DuplicateItem.h"
#include "duplicates/DuplicatesCategory.h"
#include "duplicates/DuplicatesContainer.h"
#include "duplicates/DuplicatesGroup.h"
#include "folders/FSFolder.h"
#include "folders/FSFolderManager.h"
#include "scan/FolderSystemItem.h"
#include "duplicates/HeapsCollection.h"
#include "folders/HeapsGroup.h"
#include "selection/FolderSelection.h"
#include "selection/SimilarFolderSelection.h"
#include "support/FolderTreeSupport.h"
#include "support/GeneratedTree.h"
#include "support/ScanTestSupport.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <random>
#include <set>
#include <unordered_map>
#include <vector>

namespace kestrane {
namespace {

// What a folder of the tree must show, worked out from the scanned items and
// the groups directly, without the tree's own bookkeeping: a copy counts for
// a folder when the folder holds some but not all of its group's copies
// (copies inside duplicate folders never count, and are never walked into);
// a duplicate folder counts itself; the copies of a group become other files
// of the lowest folder that holds them all.
class Recount {
public:
    explicit Recount(const FSFolder& root) {
        std::vector<const FSFolder*> stack{&root};
        while (!stack.empty()) {
            const FSFolder* node = stack.back();
            stack.pop_back();
            if (node->folderItem()) m_nodes.push_back(node);
            for (const auto& sub : node->subFolders()) stack.push_back(sub.get());
        }
        for (const FSFolder* node : m_nodes) m_copies[node] = countedCopiesBelow(*node);
        for (const FSFolder* node : m_nodes) m_duplicates[node] = duplicatesOf(*node);
        for (const FSFolder* node : m_nodes) m_ownOtherFiles[node] = ownOtherFilesOf(*node);
    }

    // The tree's figures that differ from the recount, as text; empty when all agree.
    std::string differences() const {
        std::string text;
        for (const FSFolder* node : m_nodes) {
            std::int64_t selected = 0, here = 0, size = 0;
            for (const DuplicateItem* copy : m_duplicates.at(node)) {
                if (!copy->isSelected()) continue;
                ++selected;
                if (copy->getFileSystemItem()->parent() == node->folderItem()) ++here;
                size += static_cast<std::int64_t>(copy->getFileItemSize());
            }
            std::int64_t otherFiles = 0, withDuplicates = 0;
            forEachBelow(*node, [&](const FSFolder& below) {
                otherFiles += m_ownOtherFiles.at(&below);
                if (&below != node && !m_duplicates.at(&below).empty()) ++withDuplicates;
            });
            const FSComplexFolderData& info = node->info();
            const std::array<std::int64_t, 6> expected = {
                static_cast<std::int64_t>(m_duplicates.at(node).size()), selected, here, size, otherFiles,
                withDuplicates};
            const std::array<std::int64_t, 6> shown = {info.countOfDuplicates, info.countOfSelectedDuplicates,
                                                       info.countOfSelectedDuplicatesInCurrentFolder,
                                                       info.sizeOfSelectedDuplicates, info.countOfUniqueFiles,
                                                       info.countOfFoldersWithDuplicates};
            if (expected != shown) {
                text += node->folderItem()->path() + ":";
                for (std::size_t i = 0; i < 6; ++i) text += " " + std::to_string(shown[i]) + "/" + std::to_string(expected[i]);
                text += "\n";
            }
        }
        return text;
    }

    const std::vector<const FSFolder*>& nodes() const { return m_nodes; }

private:
    using Copies = std::map<std::uint64_t, std::vector<const DuplicateItem*>>;  // by group

    static const DuplicateItem* countedEntry(const FileSystemItem& item) {
        const DuplicateItem* entry = item.getDuplicateItem();
        if (!entry || entry->getAssociatedDuplicateFolder() || !entry->getGroup()) return nullptr;
        return entry;
    }
    // Copies a group has outside duplicate folders.
    static std::size_t countedCopiesOf(const DuplicatesGroup& group) {
        std::size_t count = 0;
        for (const auto& copy : group.getItems())
            if (!copy->getAssociatedDuplicateFolder()) ++count;
        return count;
    }
    static bool isOwnCopy(const FSFolder& node, const DuplicateItem* copy) {
        return copy->getFileSystemItem() == node.folderItem();
    }

    Copies countedCopiesBelow(const FSFolder& node) const {
        Copies copies;
        std::vector<const FileSystemItem*> stack{node.folderItem()};
        while (!stack.empty()) {
            const FileSystemItem* item = stack.back();
            stack.pop_back();
            if (item->getDuplicateItem()) {
                if (const DuplicateItem* entry = countedEntry(*item))
                    copies[entry->getGroup()->getGroupID()].push_back(entry);
                continue;  // a copy is not walked into
            }
            if (!item->isDir() || (item != node.folderItem() && item->isPackage())) continue;
            for (const auto& child : static_cast<const FolderSystemItem*>(item)->childrenArray()) {
                if (child->isDir() && !child->isPackage()) {
                    stack.push_back(child.get());
                } else if (const DuplicateItem* entry = countedEntry(*child)) {
                    copies[entry->getGroup()->getGroupID()].push_back(entry);
                }
            }
        }
        return copies;
    }

    // Whether the node holds every counted copy of the group (its own copy,
    // for a duplicate folder, aside: it always counts itself there).
    bool holdsWhole(const FSFolder& node, std::uint64_t groupID) const {
        const Copies& copies = m_copies.at(&node);
        const auto found = copies.find(groupID);
        if (found == copies.end() || found->second.empty()) return false;
        if (isOwnCopy(node, found->second.front())) return false;
        return found->second.size() >= countedCopiesOf(*found->second.front()->getGroup());
    }

    std::vector<const DuplicateItem*> duplicatesOf(const FSFolder& node) const {
        std::vector<const DuplicateItem*> duplicates;
        for (const auto& [groupID, copies] : m_copies.at(&node))
            if (!holdsWhole(node, groupID)) duplicates.insert(duplicates.end(), copies.begin(), copies.end());
        return duplicates;
    }

    std::int64_t ownOtherFilesOf(const FSFolder& node) const {
        const FolderSystemItem* folder = node.folderItem();
        if (folder->getDuplicateItem()) return 0;  // a duplicate folder has none of its own
        std::int64_t count = 0;
        for (const auto& child : folder->childrenArray())
            if ((!child->isDir() || child->isPackage()) && !child->getDuplicateItem()) ++count;
        // Groups held whole here and by no sub-folder.
        for (const auto& [groupID, copies] : m_copies.at(&node)) {
            if (!holdsWhole(node, groupID)) continue;
            bool lower = false;
            for (const auto& sub : node.subFolders()) lower = lower || holdsWhole(*sub, groupID);
            if (!lower) count += static_cast<std::int64_t>(copies.size());
        }
        return count;
    }

    template <class Visit>
    static void forEachBelow(const FSFolder& node, Visit&& visit) {
        std::vector<const FSFolder*> stack{&node};
        while (!stack.empty()) {
            const FSFolder* current = stack.back();
            stack.pop_back();
            visit(*current);
            for (const auto& sub : current->subFolders()) stack.push_back(sub.get());
        }
    }

    std::vector<const FSFolder*> m_nodes;
    std::unordered_map<const FSFolder*, Copies> m_copies;
    std::unordered_map<const FSFolder*, std::vector<const DuplicateItem*>> m_duplicates;
    std::unordered_map<const FSFolder*, std::int64_t> m_ownOtherFiles;
};

class FolderTreeRecountTest : public test::IsolatedHomeTest {
protected:
    void TearDown() override {
        FSFolderManager::sharedInstance().clear();
        IsolatedHomeTest::TearDown();
    }

    // Groups of the result's categories (hidden ones aside) with every copy selected.
    static std::string fullySelectedGroups(const DuplicatesContainer& container) {
        std::string text;
        for (const FileCategory type : kAllFileCategories)
            for (const auto& group : container.getCategoryWithType(type)->getGroups())
                if (group->isAllItemsSelected()) text += group->getItems().front()->getFileItemPath() + "\n";
        return text;
    }
};

TEST_F(FolderTreeRecountTest, EveryFoldersCountersEqualARecountAfterEachOfManyRandomSelections) {
    test::TempDir dir;
    // KESTRANE_RECOUNT_TREE names another tree to check (a benchmark tree, say).
    const char* given = std::getenv("KESTRANE_RECOUNT_TREE");
    const std::string tree = given ? given : test::writeGeneratedTree(dir, "tree", 13, 700);
    const auto scan = test::scanFolders({tree});
    ASSERT_TRUE(scan.container);
    test::buildFolderTree(scan.container);
    FSFolderManager& manager = FSFolderManager::sharedInstance();
    const Recount recount(*manager.rootItem());
    ASSERT_GT(recount.nodes().size(), 20u);
    ASSERT_EQ(recount.differences(), "") << "before any selection";

    std::vector<std::shared_ptr<DuplicateItem>> copies;
    for (const auto& group : scan.container->getAllFilesGroups())
        for (const auto& copy : group->getItems()) copies.push_back(copy);
    ASSERT_GT(copies.size(), 100u);
    bool sawDuplicateFolder = false, sawFavorite = false;
    for (const FSFolder* node : recount.nodes()) sawDuplicateFolder = sawDuplicateFolder || node->isDuplicateFolder();
    EXPECT_TRUE(sawDuplicateFolder) << "the tree should hold duplicate folders";

    std::mt19937 random(2026);
    auto pick = [&](std::size_t bound) { return std::uniform_int_distribution<std::size_t>(0, bound - 1)(random); };
    constexpr int kRounds = 300;
    for (int round = 0; round < kRounds; ++round) {
        FSFolder& node = const_cast<FSFolder&>(*recount.nodes()[pick(recount.nodes().size())]);
        const auto& copy = copies[pick(copies.size())];
        std::string what;
        switch (pick(9)) {
            case 0:
            case 1:
                what = "select a copy";
                copy->selectItemForced(false);
                break;
            case 2:
                what = "deselect a copy";
                copy->deselectItem();
                break;
            case 3:
                what = "toggle a folder";
                FolderSelection::toggleFolder(node, true);
                break;
            case 4:
                what = "select in a folder";
                FolderSelection::setDuplicatesSelectionState(node, true);
                break;
            case 5:
                what = "keep a folder";
                FolderSelection::setIsFavoriteFolder(node, pick(3) != 0);
                sawFavorite = sawFavorite || node.isFavorite();
                break;
            case 6:
                what = "unfavourite a folder shallowly";
                FolderSelection::shallowUnfavoriteFolder(node);
                break;
            case 7:
                what = "deselect a group";
                if (const auto group = copy->getGroup()) group->deselectAllItems();
                break;
            case 8:
                what = "tick a folder's side of its similar folders";
                if (const auto pairs = scan.container->getHeaps()->buildHeapsGroupForFolderWithPath(
                        node.folderItem()->path()))
                    SimilarFolderSelection::setFolderSelected(*pairs, pick(4) != 0, true);
                break;
        }
        test::settleFolderTree();
        const std::string differences = recount.differences();
        ASSERT_EQ(differences, "") << "round " << round << ", " << what << " at " << node.folderItem()->path();
        ASSERT_EQ(fullySelectedGroups(*scan.container), "") << "round " << round << ", " << what;
    }
    EXPECT_TRUE(sawFavorite);
    EXPECT_GT(scan.container->buildRemoveList().size(), 0u);
}

}  // namespace
}  // namespace kestrane
