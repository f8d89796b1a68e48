#include "folders/FSFolderManager.h"

#include "duplicates/DuplicatesContainer.h"
#include "duplicates/DuplicatesManager.h"
#include "duplicates/GroupSelection.h"
#include "folders/FSFolder.h"
#include "platform/MainQueue.h"
#include "platform/NoDestructor.h"
#include "platform/OperationQueue.h"
#include "platform/QueueChecker.h"
#include "scan/VolumeSystemItem.h"

namespace kestrane {

FSFolderManager& FSFolderManager::sharedInstance() {
    static platform::NoDestructor<FSFolderManager> manager;
    return *manager;
}

void FSFolderManager::rebuildRootItemsWithCompletion(std::function<void()> completion) {
    rebuildRootItems(DuplicatesManager::sharedManager().duplicateContainer(), std::move(completion));
}

void FSFolderManager::rebuildRootItems(std::shared_ptr<DuplicatesContainer> container,
                                       std::function<void()> completion) {
    KESTRANE_CHECK_RUNS_ON(platform::MainQueue::shared());
    startUpdateGroup();
    const std::uint64_t generation = ++m_generation;
    auto roots = container ? container->buildRootFolders() : std::vector<std::shared_ptr<VolumeSystemItem>>{};
    platform::backgroundQueue().async([this, generation, container = std::move(container), roots = std::move(roots),
                                       completion = std::move(completion)]() mutable {
        // Every node is made inside the update group opened above, so none
        // counts before the tree is whole.
        auto root = FSFolder::create(nullptr);
        std::vector<std::shared_ptr<FSFolder>> topFolders;
        root->doWork([&](FSFolder& node) {
            for (const auto& scanned : roots) {
                auto top = FSFolder::create(scanned.get(), node.shared_from_this());
                node.addSubFolder(top);
                topFolders.push_back(std::move(top));
            }
        });
        platform::MainQueue::shared().async([this, generation, container = std::move(container),
                                             root = std::move(root), topFolders = std::move(topFolders),
                                             roots = std::move(roots), completion = std::move(completion)]() mutable {
            install(generation, std::move(container), std::move(root), std::move(topFolders), std::move(roots));
            if (completion) completion();
            endUpdateGroup();
        });
    });
}

void FSFolderManager::install(std::uint64_t generation, std::shared_ptr<DuplicatesContainer> container,
                              std::shared_ptr<FSFolder> root, std::vector<std::shared_ptr<FSFolder>> topFolders,
                              std::vector<std::shared_ptr<VolumeSystemItem>> roots) {
    KESTRANE_CHECK_RUNS_ON(platform::MainQueue::shared());
    if (generation != m_generation) return;  // a later rebuild was asked for: it wins
    // The old tree goes first, so that its nodes unregister from the items
    // before the new ones register.
    m_rootItem.reset();
    m_userSelectedItemsForScan.clear();
    m_rootItem = std::move(root);
    m_userSelectedItemsForScan = std::move(topFolders);
    m_roots = std::move(roots);
    m_container = container;
    m_favoritesItems = InternalDuplicatesByGroupSeparator();
    m_rootItem->registerSubtreeOnFolderItems();
    m_rootItem->resetWatchedItemsOfSubtree();
    if (!m_selectionObservation) {
        m_selectionObservation = platform::NotificationCenter::defaultCenter().addObserver(
            GroupSelection::kDuplicateItemSelectionChangedNotification, [this](const auto&) { onSelectionChanged(); });
    }
}

void FSFolderManager::clear() {
    KESTRANE_CHECK_RUNS_ON(platform::MainQueue::shared());
    ++m_generation;
    m_selectionObservation.reset();
    m_rootItem.reset();
    m_userSelectedItemsForScan.clear();
    m_roots.clear();
    m_container.reset();
    m_favoritesItems = InternalDuplicatesByGroupSeparator();
}

void FSFolderManager::onSelectionChanged() {
    KESTRANE_CHECK_RUNS_ON(platform::MainQueue::shared());
    if (m_rootItem) m_rootItem->checkWatchedItemsOfSubtree();
}

void FSFolderManager::startUpdateGroup() {
    std::lock_guard lock(m_lock);
    ++m_updateLock;
}

void FSFolderManager::endUpdateGroup() {
    std::lock_guard lock(m_lock);
    if (m_updateLock > 0) --m_updateLock;
    if (m_updateLock != 0 || m_updateScheduled) return;
    m_updateScheduled = true;
    platform::MainQueue::shared().async([this] {
        std::lock_guard lock(m_lock);
        m_updateScheduled = false;
        if (m_rootItem && m_updateLock == 0) m_rootItem->updateInfo();
    });
}

bool FSFolderManager::isCanUpdate() const {
    std::lock_guard lock(m_lock);
    return m_updateLock == 0;
}

bool FSFolderManager::isUpToDate() const {
    std::lock_guard lock(m_lock);
    return m_updateLock == 0 && !m_updateScheduled;
}

}  // namespace kestrane
