#include "selection/AutoSelectOperations.h"

#include "duplicates/DuplicateItem.h"
#include "duplicates/DuplicatesContainer.h"
#include "duplicates/DuplicatesGroup.h"
#include "duplicates/GroupSelection.h"
#include "duplicates/DuplicatesManager.h"
#include "platform/Text.h"
#include "selection/AutoSelectManager.h"
#include "selection/DuplicateItemActionsStatistics.h"
#include "settings/Settings.h"

#include <algorithm>
#include <string>
#include <unordered_set>

namespace kestrane::AutoSelectOperations {

namespace {

bool isNeverSelected(const DuplicateItem& item, const AutoSelectManager& manager) {
    return manager.getChoiceUsingUserAutoSelectPathsForPath(item.getFileItemPath()) == AutoSelectChoice::neverSelect;
}

// More than one copy of the items' group is still unselected (copies
// selected with their duplicate folder count as selected).
bool moreThanOneLeft(const Items& items) {
    const auto group = items.empty() ? nullptr : items.front()->getGroup();
    return group && group->getTotalCount() > group->getSelectedCountWithDuplicatesFolderContent() + 1;
}

Items unselectedOf(const Items& items) {
    Items unselected;
    for (const auto& item : items)
        if (!item->isSelected()) unselected.push_back(item);
    return unselected;
}

// Keeps the copies whose key equals the smallest key among the unselected
// copies, and selects the others (but never one under a never-select folder).
template <typename Key>
void selectAllButSmallest(const Items& items, AutoSelectManager& manager, Key key) {
    const Items unselected = unselectedOf(items);
    if (unselected.empty()) return;
    auto smallest = key(*unselected.front());
    for (const auto& item : unselected) smallest = std::min(smallest, key(*item));
    SelectionBatch batch;
    for (const auto& item : unselected)
        if (key(*item) != smallest && !isNeverSelected(*item, manager)) item->selectItemForced(false);
}

void selectInGroup(const Items& items, AutoSelectManager& manager) {
    if (items.empty()) return;
    if (trySelectAllPossibleDuplicatesFromItems(items, manager)) return;
    {
        SelectionBatch batch;
        for (const auto& item : manager.getDuplicateItemsForAutoSelectFromItems(items)) item->selectItemForced(false);
    }
    if (moreThanOneLeft(items)) selectOldestDuplicatesFromItems(items, manager);
    if (moreThanOneLeft(items)) selectAllWithNotMinimalLevelInArray(items, manager);
    if (moreThanOneLeft(items)) selectAllButNotFirstInArray(items, manager);
}

}  // namespace

void performForceSelectForGroups(const Groups& groups, AutoSelectManager& manager) {
    manager.prepareForStartByLoadingLatestUserSettings();
    SelectionBatch batch;
    for (const auto& group : groups)
        if (group) selectInGroup(group->getItems(), manager);
}

void performForceSelectForItems(const Items& items, AutoSelectManager& manager) {
    if (items.empty()) return;
    manager.prepareForStartByLoadingLatestUserSettings();
    selectInGroup(items, manager);
}

bool trySelectAllPossibleDuplicatesFromItems(const Items& items, AutoSelectManager& manager) {
    const bool protectedCopy = std::any_of(items.begin(), items.end(), [&](const auto& item) {
        return !item->isSelected() && (item->getAssociatedDuplicateFolder() || isNeverSelected(*item, manager));
    });
    if (!protectedCopy) return false;
    SelectionBatch batch;
    for (const auto& item : items)
        if (!item->isSelected() && !isNeverSelected(*item, manager)) item->selectItemForced(false);
    return true;
}

void selectOldestDuplicatesFromItems(const Items& items, AutoSelectManager& manager) {
    selectAllButSmallest(items, manager, [](const DuplicateItem& item) { return item.getLastModificationDate(); });
}

void selectAllWithNotMinimalLevelInArray(const Items& items, AutoSelectManager& manager) {
    selectAllButSmallest(items, manager, [](const DuplicateItem& item) { return item.getLevel(); });
}

void selectAllButNotFirstInArray(const Items& items, AutoSelectManager& manager) {
    const Items unselected = unselectedOf(items);
    SelectionBatch batch;
    for (std::size_t i = 1; i < unselected.size(); ++i)
        if (!isNeverSelected(*unselected[i], manager)) unselected[i]->selectItemForced(false);
}

std::string reviewSelectedText(std::uint64_t count, std::uint64_t size) {
    const bool one = count == 1;
    return std::to_string(count) + " duplicate" + (one ? "" : "s") + " of " + platform::formatSize(size) + " " +
           (one ? "is" : "are") + " selected for removal.\nReview and confirm the selected file" + (one ? "" : "s") +
           " before removal.";
}

std::optional<Question> doAutoSelectInGroups(const Groups& groups, bool withFinalAlert) {
    std::shared_ptr<DuplicatesContainer> container;
    for (const auto& group : groups)
        if (group && (container = group->getContainer())) break;
    if (!container) container = DuplicatesManager::sharedManager().duplicateContainer();

    std::unordered_set<const DuplicateItem*> before;
    if (container)
        for (const auto& item : container->buildRemoveList()) before.insert(item.get());
    DuplicateItemActionsStatistics& statistics = DuplicateItemActionsStatistics::shared();
    statistics.clearInfo();
    performForceSelectForGroups(groups, AutoSelectManager::sharedManager());

    const auto after = container ? container->buildRemoveList() : Items{};
    const bool gained = std::any_of(after.begin(), after.end(), [&](const auto& item) { return !before.contains(item.get()); });
    const Settings settings = Settings::standard();
    if (gained) {
        if (!withFinalAlert || !settings.showAutoSelectMessage()) return std::nullopt;
        std::uint64_t size = 0;
        for (const auto& item : after) size += item->getFileItemSize();
        Question message{.kind = kReviewSelectedKind,
                         .title = kReviewSelectedTitle,
                         .text = reviewSelectedText(after.size(), size),
                         .buttons = {kOkButton}};
        message.parameters = {{"count", std::to_string(after.size())}, {"size", std::to_string(size)}};
        return message;
    }
    if (statistics.countOfNeverSelectListWasUsed() > 0 &&
        settings.showAlertThatAutoSelectDidNotChangeSelectionBecauseNeverSelectList())
        return Question{.kind = kNothingSelectedNeverSelectListKind,
                        .title = kNothingSelectedTitle,
                        .text = kNothingSelectedNeverSelectListText,
                        .buttons = {kOkButton, kShowNeverSelectListButton},
                        .yesButton = 1,
                        .safeButton = 0};
    if (settings.showAlertThatAutoSelectDidNotChangeSelection())
        return Question{.kind = kNothingSelectedKind,
                        .title = kNothingSelectedTitle,
                        .text = kNothingSelectedText,
                        .buttons = {kOkButton}};
    return std::nullopt;
}

}  // namespace kestrane::AutoSelectOperations
