#include "selection/FolderSelection.h"

#include "duplicates/DuplicateItem.h"
#include "duplicates/DuplicatesGroup.h"
#include "folders/FSFolder.h"
#include "folders/FSFolderManager.h"
#include "folders/InternalDuplicatesByGroupSeparator.h"
#include "platform/MainQueue.h"
#include "platform/QueueChecker.h"
#include "scan/FolderSystemItem.h"

#include <algorithm>
#include <functional>
#include <vector>
#include <unordered_set>

namespace kestrane::FolderSelection {

namespace {

using Items = InternalDuplicatesByGroupSeparator::Items;

// The copies of items that are not among the favourites of their group.
Items withoutFavorites(const Items& items, const Items* favorites) {
    if (favorites == nullptr || favorites->empty()) return items;
    std::unordered_set<const DuplicateItem*> kept;
    for (const auto& item : *favorites) kept.insert(item.get());
    Items rest;
    for (const auto& item : items)
        if (!kept.contains(item.get())) rest.push_back(item);
    return rest;
}

bool everyOtherCopySelected(const DuplicatesGroup& group, const Items& items) {
    std::unordered_set<const DuplicateItem*> inside;
    for (const auto& item : items) inside.insert(item.get());
    for (const auto& copy : group.getItems())
        if (!inside.contains(copy.get()) && !copy->isSelected()) return false;
    return true;
}

}  // namespace

void setDuplicatesSelectionState(const InternalDuplicatesByGroupSeparator& duplicates,
                                 const InternalDuplicatesByGroupSeparator* favorites, bool selected) {
    KESTRANE_CHECK_RUNS_ON(platform::MainQueue::shared());
    DuplicatesGroup::BeginSelectionGroup();
    duplicates.enumerate([&](const std::shared_ptr<DuplicatesGroup>& group, const Items& all) {
        const Items items = withoutFavorites(all, favorites ? favorites->itemsOfGroup(group->getGroupID()) : nullptr);
        if (!selected) {
            for (const auto& item : items) group->deselectItem(item);
            return;
        }
        if (items.empty() || items.size() >= group->getTotalCount()) return;
        if (everyOtherCopySelected(*group, items)) group->deselectAllItems();
        for (const auto& item : items) group->selectItemForced(item, false);
    });
    DuplicatesGroup::EndSelectionGroup();
}

void setDuplicatesSelectionState(FSFolder& folder, bool selected) {
    FSFolder::startBigSelection();
    setDuplicatesSelectionState(folder.internalDuplicatesForSelectionSeparator(),
                                &FSFolderManager::sharedInstance().favoritesItems(), selected);
    FSFolder::endBigSelection();
}

ToggleOutcome toggleFolder(FSFolder& folder, bool confirmed) {
    KESTRANE_CHECK_RUNS_ON(platform::MainQueue::shared());
    if (!folder.isCanChangeDuplicatesSelection()) return ToggleOutcome::unchanged;
    const bool select = folder.duplicatesSelectionState() == 0;
    if (select && !confirmed && folder.folderItem() != nullptr &&
        needsDuplicateFolderConfirmation(*folder.folderItem()))
        return ToggleOutcome::confirmationNeeded;
    if (folder.isFavorite()) shallowUnfavoriteFolder(folder);
    setDuplicatesSelectionState(folder, select);
    return select ? ToggleOutcome::selected : ToggleOutcome::deselected;
}

namespace {

void markSubtree(FSFolder& folder, bool favorite) {
    std::vector<FSFolder*> stack{&folder};
    while (!stack.empty()) {
        FSFolder* node = stack.back();
        stack.pop_back();
        node->setFavoriteMark(favorite);
        for (const auto& sub : node->subFolders()) stack.push_back(sub.get());
    }
}

void unmarkAncestors(FSFolder& folder) {
    for (auto node = folder.parentFolderItem(); node; node = node->parentFolderItem()) node->setFavoriteMark(false);
}

// Deselects by the old favourites, changes the marks, and selects by the new ones.
void changeFavorites(const std::function<void()>& mark) {
    FSFolder::startBigSelection();
    deselectUsingFavorites();
    mark();
    calculateFavoriteFolders();
    selectUsingFavorites();
    FSFolder::endBigSelection();
}

}  // namespace

void setIsFavoriteFolder(FSFolder& folder, bool favorite) {
    KESTRANE_CHECK_RUNS_ON(platform::MainQueue::shared());
    changeFavorites([&] {
        markSubtree(folder, favorite);
        if (!favorite) unmarkAncestors(folder);
    });
}

void shallowUnfavoriteFolder(FSFolder& folder) {
    KESTRANE_CHECK_RUNS_ON(platform::MainQueue::shared());
    changeFavorites([&] {
        folder.setFavoriteMark(false);
        unmarkAncestors(folder);
    });
}

void deselectUsingFavorites() {
    DuplicatesGroup::BeginSelectionGroup();
    FSFolderManager::sharedInstance().favoritesItems().enumerate(
        [](const std::shared_ptr<DuplicatesGroup>& group, const Items&) { group->deselectAllItems(); });
    DuplicatesGroup::EndSelectionGroup();
}

void selectUsingFavorites() {
    DuplicatesGroup::BeginSelectionGroup();
    FSFolderManager::sharedInstance().favoritesItems().enumerate(
        [](const std::shared_ptr<DuplicatesGroup>& group, const Items& kept) {
            if (kept.size() >= group->getTotalCount()) {
                group->deselectAllItems();
                return;
            }
            std::unordered_set<const DuplicateItem*> keep;
            for (const auto& item : kept) {
                keep.insert(item.get());
                group->deselectItem(item);
            }
            for (const auto& item : group->getItems())
                if (!keep.contains(item.get())) group->selectItemForced(item, false);
        });
    DuplicatesGroup::EndSelectionGroup();
}

namespace {

// The files inside the duplicate folders below (or at) a kept folder: they
// are kept with their folder, so their copies elsewhere are selected too.
void addCopiesInsideDuplicateFolders(InternalDuplicatesByGroupSeparator& favorites, const FolderSystemItem& kept) {
    std::vector<const FileSystemItem*> stack{&kept};
    while (!stack.empty()) {
        const FileSystemItem* item = stack.back();
        stack.pop_back();
        if (DuplicateItem* entry = item->getDuplicateItem(); entry && entry->getAssociatedDuplicateFolder())
            favorites.addItemInsideDuplicateFolder(entry->weak_from_this().lock());
        if (!item->isDir() || (item != &kept && item->isPackage())) continue;
        for (const auto& child : static_cast<const FolderSystemItem*>(item)->childrenArray()) stack.push_back(child.get());
    }
}

}  // namespace

InternalDuplicatesByGroupSeparator allDuplicatesInFavoriteFolders() {
    InternalDuplicatesByGroupSeparator favorites;
    const auto& root = FSFolderManager::sharedInstance().rootItem();
    if (!root) return favorites;
    std::vector<FSFolder*> stack{root.get()};
    while (!stack.empty()) {
        FSFolder* node = stack.back();
        stack.pop_back();
        if (node->isFavorite() && node->folderItem() != nullptr) {
            favorites.addFolder(node->folderItem());
            addCopiesInsideDuplicateFolders(favorites, *node->folderItem());
            continue;
        }
        for (const auto& sub : node->subFolders()) stack.push_back(sub.get());
    }
    return favorites;
}

void calculateFavoriteFolders() {
    FSFolderManager::sharedInstance().setFavoritesItems(allDuplicatesInFavoriteFolders());
}

bool isDuplicateFolder(const FolderSystemItem& folder) {
    const DuplicateItem* entry = folder.getDuplicateItem();
    return entry != nullptr && entry->getFileSystemItem() == &folder;
}

bool needsDuplicateFolderConfirmation(const FolderSystemItem& folder) {
    const DuplicateItem* entry = folder.getDuplicateItem();
    return isDuplicateFolder(folder) && !entry->getAssociatedDuplicateFolder() && !entry->isSelected();
}

std::string duplicateFolderTitle(std::string_view folderName) {
    return "\"" + std::string(folderName) + "\" is a duplicate folder";
}

Question duplicateFolderQuestion(const FolderSystemItem& folder) {
    return {.kind = kDuplicateFolderQuestionKind,
            .title = duplicateFolderTitle(folder.displayName()),
            .text = kDuplicateFolderText,
            .buttons = {"OK", "Cancel"},
            .yesButton = 0,
            .safeButton = 1,
            .paths = {folder.path()},
            .parameters = {{"name", std::string(folder.displayName())}}};
}

}  // namespace kestrane::FolderSelection
