#include "selection/FolderSelection.h"

#include "duplicates/DuplicateItem.h"
#include "duplicates/DuplicatesGroup.h"
#include "folders/InternalDuplicatesByGroupSeparator.h"
#include "scan/FolderSystemItem.h"

#include <algorithm>
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

bool needsDuplicateFolderConfirmation(const FolderSystemItem& folder) {
    const DuplicateItem* entry = folder.getDuplicateItem();
    return entry != nullptr && entry->getFileSystemItem() == &folder && !entry->getAssociatedDuplicateFolder() &&
           !entry->isSelected();
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
