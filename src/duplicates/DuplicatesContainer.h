#pragma once

#include "duplicates/DuplicatesCategory.h"
#include "duplicates/FileCategory.h"
#include "platform/QueueChecker.h"
#include "settings/FullySelectedGroupsDeselector.h"

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace kestrane {

class DuplicateItem;
class ExcludeChecker;
class FileSystemItem;
class FolderSystemItem;
class HeapsCollection;
class HeapsValidateProgressListener;
class ScanProblems;
class VolumeSystemItem;

// The result of one scan: the file categories 0 to 6 (6 holds the groups of
// identical folders), a hidden category for groups that lie wholly inside
// duplicate folders or packages, a scratch category for the similar-folder
// stage, the similar-folder registry (when made with one), and the scanned
// roots, which keep the item trees alive for as long as the result lives.
//
// Built during a scan by one stage after the other (the duplicate search's
// queue, the folder stage's, the similar-folder stage), each handing it to the
// next; then attached to the main queue, whose tasks alone use it from there
// on (checked in debug builds). It takes no locks. Owns its categories (which own
// their groups); the categories see it as their listener, held weakly.
class DuplicatesContainer : public DuplicatesCategoryListener,
                            public FullySelectedGroupsDeselector,
                            public std::enable_shared_from_this<DuplicatesContainer> {
    struct Key {
        explicit Key() = default;
    };

public:
    static constexpr const char* kDuplicatesContainerDataChangedNotification =
        "DuplicatesContainerDataChangedNotification";

    // initWithHeaps:excludeChecker: — heaps is the similar-folder registry, or
    // null for a scan without similar folders.
    static std::shared_ptr<DuplicatesContainer> create(std::shared_ptr<HeapsCollection> heaps,
                                                       std::shared_ptr<const ExcludeChecker> excludeChecker);
    DuplicatesContainer(Key, std::shared_ptr<HeapsCollection> heaps,
                        std::shared_ptr<const ExcludeChecker> excludeChecker);
    // Detaches every group first, so that no entry outlives the trees it points into.
    ~DuplicatesContainer() override;
    DuplicatesContainer(const DuplicatesContainer&) = delete;
    DuplicatesContainer& operator=(const DuplicatesContainer&) = delete;

    // From now on only tasks of this queue use the result (and its
    // similar-folder registry). Called where it is handed over.
    void attachToQueue(const platform::DispatchQueue& queue);

    // The category of the list; null for none (the hidden category is
    // reached only through getHiddenCategoryOfDuplicates).
    std::shared_ptr<DuplicatesCategory> getCategoryWithType(std::optional<FileCategory> type) const;
    // The categories of the list and the hidden one, in that order.
    std::vector<std::shared_ptr<DuplicatesCategory>> getCategories() const;
    const std::shared_ptr<DuplicatesCategory>& getHiddenCategoryOfDuplicates() const { return m_pHiddenCategoryOfDuplicates; }
    const std::shared_ptr<DuplicatesCategory>& getSmallDuplicatesCategory() const { return m_pSmallDuplicatesCategory; }
    const std::shared_ptr<HeapsCollection>& getHeaps() const { return m_pHeaps; }
    const std::shared_ptr<const ExcludeChecker>& getExcludeChecker() const { return m_pExcludeChecker; }
    // Every group added to a file category, in order of addition.
    std::vector<std::shared_ptr<DuplicatesGroup>> getAllFilesGroups() const;

    // A group of at least two items, in the folders category when the first
    // item is a folder that is not a package, else in the category of its name.
    std::shared_ptr<DuplicatesGroup> addGroupWithItems(const std::vector<FileSystemItem*>& items);

    // Sums over the file categories.
    std::int64_t getAllFilesSize() const;
    std::int64_t getItemsCountInRemoveList() const;
    std::int64_t getRemoveListTotalSize() const;

    // The selected copies that are not inside a duplicate folder (a selected
    // folder stands for its content), category by category.
    std::vector<std::shared_ptr<DuplicateItem>> buildRemoveList() const { return buildRemoveListWithFolders(true); }
    std::vector<std::shared_ptr<DuplicateItem>> buildRemoveListAsArray() const { return buildRemoveList(); }
    // Without folders, the folders category is skipped.
    std::vector<std::shared_ptr<DuplicateItem>> buildRemoveListWithFolders(bool withFolders) const;

    // Selection operations, each one selection batch.
    void deselectAllItems();
    // Deselects every copy below the folders.
    void deselectItemsInFolders(const std::vector<FolderSystemItem*>& folders);
    // Deselects everything, then selects the given copies.
    void restoreRemoveListTo(const std::vector<std::shared_ptr<DuplicateItem>>& items);
    // Deselects, copy by copy, every group whose every copy is selected
    // (copies selected through duplicate folders count).
    void deselectFullySelectedGroups() override;

    void saveRoots(std::vector<std::shared_ptr<VolumeSystemItem>> roots);
    // Recomputes every root's sizes.
    void updateRoots();
    std::vector<std::shared_ptr<VolumeSystemItem>> buildRootFolders() const { return m_roots; }

    // What the scan left out and why; null for a result not made by a scan.
    void setScanProblems(std::shared_ptr<const ScanProblems> problems) { m_pScanProblems = std::move(problems); }
    const std::shared_ptr<const ScanProblems>& getScanProblems() const { return m_pScanProblems; }
    // The other names (hard links) of a file that is compared under `item`:
    // they are one file with it, never copies of it. Null for most items.
    void addOtherNames(const FileSystemItem* item, std::vector<FileSystemItem*> names);
    const std::vector<FileSystemItem*>* getOtherNames(const FileSystemItem* item) const;
    // How many names were set aside as other names of a compared file.
    std::size_t getOtherNamesCount() const { return m_nOtherNamesCount; }
    // Forgets the other names of every item at and below `item`, and those
    // items as other names, before the item leaves the tree: no pointer to a
    // destroyed item stays behind (nor could a new item at its address be
    // taken for it). getOtherNamesCount, a figure of the scan, stays.
    void forgetOtherNamesWithin(const FileSystemItem& item);

    // The items of the roots for a path: every root lying inside the path, or
    // the item at the path inside the first root that contains it.
    std::vector<FileSystemItem*> findSystemItemWithPath(std::string_view path) const;
    // The single item found for the path, or null.
    FileSystemItem* findExistedSystemItemWithPath(std::string_view path) const;

    // Makes the two folders duplicates of each other: both join the group one
    // of them is in, or a new folder group.
    void markAsDuplicatesFolderAndFolder(FolderSystemItem* folderA, FolderSystemItem* folderB);

    // After a removal: each copy leaves its group (with everything below a
    // folder) and its item leaves the scanned tree, sizes recalculated.
    void removeEntries(const std::vector<std::shared_ptr<DuplicateItem>>& items);
    // The same from items of the tree; recalculateParent chooses whether the
    // folders' sizes are lowered. The items must be alive when called.
    void removeFileItems(const std::vector<FileSystemItem*>& items,
                                                                       bool recalculateParent);

    // Drops the groups of fewer than two copies: the folders first (again
    // until none goes), then categories 0 to 5, then the hidden category.
    void removeGroupsOfFewerThanTwoCopies();
    // Cleans up after a removal: drops groups of fewer than two copies, brings
    // back hidden groups that are no longer wholly in duplicate folders, hides
    // file groups that now are, recomputes the similar folders and posts
    // kDuplicatesContainerDataChangedNotification.
    void validateEmptyDataAfterRemoveWithListener(const std::shared_ptr<HeapsValidateProgressListener>& listener);

    void postDataChangedNotification() const;

    // DuplicatesCategoryListener
    void onGroupAddedToCategory(const std::shared_ptr<DuplicatesGroup>& group, DuplicatesCategory& category) override;
    void onGroupWillBeRemovedFromCategory(const std::shared_ptr<DuplicatesGroup>& group,
                                        DuplicatesCategory& category) override;
    void onGroupWasRemovedFromCategory(const std::shared_ptr<DuplicatesGroup>& group,
                                       DuplicatesCategory& category) override;
    std::shared_ptr<DuplicatesContainer> getContainer() override { return shared_from_this(); }

private:
    void createCategories();
    // Entries whose enclosing duplicate folder left its group look for the
    // next enclosing one (their groups recount, and may move).
    void refreshAssociationsToRemovedFolders();
    void removeFileItemsFromTree(const std::vector<FileSystemItem*>& items, bool recalculateParent);

    // Declared first so that the trees go last.
    std::vector<std::shared_ptr<VolumeSystemItem>> m_roots;
    PerCategory<std::shared_ptr<DuplicatesCategory>> m_fileCategories;
    std::shared_ptr<DuplicatesCategory> m_pHiddenCategoryOfDuplicates;
    std::shared_ptr<DuplicatesCategory> m_pSmallDuplicatesCategory;
    std::map<std::uint64_t, std::shared_ptr<DuplicatesGroup>> m_allFilesGroups;  // by group ID
    std::shared_ptr<HeapsCollection> m_pHeaps;
    std::shared_ptr<const ExcludeChecker> m_pExcludeChecker;
    std::shared_ptr<const ScanProblems> m_pScanProblems;
    std::unordered_map<const FileSystemItem*, std::vector<FileSystemItem*>> m_otherNames;
    std::size_t m_nOtherNamesCount = 0;
    platform::QueueChecker m_queueChecker;  // none during the scan
};

}  // namespace kestrane
