#pragma once

#include "folders/InternalDuplicatesByGroupSeparator.h"
#include "platform/NotificationCenter.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace kestrane {

class DuplicatesContainer;
class FSFolder;
class VolumeSystemItem;

namespace platform {
template <typename T>
class NoDestructor;
}  // namespace platform

// Owns the folder tree of the current result: an invisible root with one
// node per scanned folder, the favourites (the copies lying in folders whose
// files the user keeps), and the update groups that hold the counters back
// while a selection runs.
//
// The tree is built on a background queue inside an update group and handed
// over on the main queue; everything after that runs on the main queue. The
// update-group counter is kept under a lock. The tree keeps the scanned roots
// it was built from alive. It watches the selection: every selection change
// announced (once per outermost batch) makes the nodes look at the copies
// they watch, and the counters follow when the last update group closes.
class FSFolderManager {
public:
    static FSFolderManager& sharedInstance();

    FSFolderManager(const FSFolderManager&) = delete;
    FSFolderManager& operator=(const FSFolderManager&) = delete;

    // Builds the tree of the duplicates manager's current result; the
    // completion runs on the main queue once the tree is in place (the first
    // count follows at once). A later rebuild replaces an earlier one.
    void rebuildRootItemsWithCompletion(std::function<void()> completion);
    // The same for a given result.
    void rebuildRootItems(std::shared_ptr<DuplicatesContainer> container, std::function<void()> completion);
    // Drops the tree and the favourites.
    void clear();

    void startUpdateGroup();
    void endUpdateGroup();
    bool isCanUpdate() const;
    // No update group is open and no count is waiting to run: every counter
    // shows the selection as it is.
    bool isUpToDate() const;

    const std::shared_ptr<FSFolder>& rootItem() const { return m_rootItem; }
    const std::vector<std::shared_ptr<FSFolder>>& userSelectedItemsForScan() const {
        return m_userSelectedItemsForScan;
    }
    // The result the tree was built from.
    std::shared_ptr<DuplicatesContainer> container() const { return m_container.lock(); }

    const InternalDuplicatesByGroupSeparator& favoritesItems() const { return m_favoritesItems; }
    void setFavoritesItems(InternalDuplicatesByGroupSeparator favorites) { m_favoritesItems = std::move(favorites); }

private:
    friend class platform::NoDestructor<FSFolderManager>;
    FSFolderManager() = default;

    void install(std::uint64_t generation, std::shared_ptr<DuplicatesContainer> container,
                 std::shared_ptr<FSFolder> root, std::vector<std::shared_ptr<FSFolder>> topFolders,
                 std::vector<std::shared_ptr<VolumeSystemItem>> roots);
    void onSelectionChanged();

    mutable std::recursive_mutex m_lock;  // the root's count runs under it and asks isCanUpdate
    std::uint64_t m_updateLock = 0;
    bool m_updateScheduled = false;
    std::uint64_t m_generation = 0;  // of the last rebuild asked for
    std::shared_ptr<FSFolder> m_rootItem;
    std::vector<std::shared_ptr<FSFolder>> m_userSelectedItemsForScan;
    std::vector<std::shared_ptr<VolumeSystemItem>> m_roots;
    std::weak_ptr<DuplicatesContainer> m_container;
    InternalDuplicatesByGroupSeparator m_favoritesItems;
    std::unique_ptr<platform::NotificationCenter::Observation> m_selectionObservation;
};

}  // namespace kestrane
