#include "selection/SimilarFolderSelection.h"

#include "duplicates/DuplicateItem.h"
#include "duplicates/DuplicatesGroup.h"
#include "folders/DuplicatesHeap.h"
#include "folders/HeapsGroup.h"
#include "platform/MainQueue.h"
#include "platform/QueueChecker.h"
#include "scan/FolderSystemItem.h"
#include "selection/ManualSelection.h"
#include "settings/Settings.h"

#include <algorithm>

namespace kestrane::SimilarFolderSelection {

namespace {

using Items = std::vector<std::shared_ptr<DuplicateItem>>;

// Selects or deselects the copies; a confirmation is needed first when all
// copies may go, the copies hold the last ones of some group and the
// message is on.
Outcome apply(const Items& items, bool hasLastItems, bool selected, bool confirmed) {
    KESTRANE_CHECK_RUNS_ON(platform::MainQueue::shared());
    const Settings settings = Settings::standard();
    const bool allowed = settings.allowRemovingAllDuplicateCopies();
    if (selected && allowed && !confirmed && hasLastItems && settings.showRemoveLastInHeapsMessage())
        return Outcome::confirmationNeeded;
    DuplicatesGroup::BeginSelectionGroup();
    for (const auto& item : items) {
        if (selected)
            item->selectItemForced(allowed);
        else
            item->deselectItem();
    }
    DuplicatesGroup::EndSelectionGroup();
    return Outcome::changed;
}

}  // namespace

Items itemsOfFolder(const HeapsGroup& group) {
    return group.getItemsInMainFolderThatParticipateInHeaps();
}

Items itemsOfPairSide(const DuplicatesHeap& heap, bool mainSide) {
    return mainSide ? heap.getMainFolderItems() : heap.getSecondFolderItems();
}

Outcome setFolderSelected(const HeapsGroup& group, bool selected, bool confirmed) {
    return apply(itemsOfFolder(group), selected && group.isHasLastItems(), selected, confirmed);
}

Outcome setPairSideSelected(const DuplicatesHeap& heap, bool mainSide, bool selected, bool confirmed) {
    const bool hasLast = selected && (mainSide ? heap.isHasLastItemsInMainFolder() : heap.isHasLastItemsInSecondFolder());
    return apply(itemsOfPairSide(heap, mainSide), hasLast, selected, confirmed);
}

std::string lastCopiesText(std::string_view folderName) {
    return "You are selecting the last copies of duplicates in the folder \"" + std::string(folderName) +
           "\" including the original ones.";
}

Question lastCopiesQuestion(const FolderSystemItem& folder) {
    return {.kind = kLastCopiesQuestionKind,
            .title = ManualSelection::kAttentionTitle,
            .text = lastCopiesText(folder.displayName()),
            .buttons = {"OK", "Cancel"},
            .yesButton = 0,
            .safeButton = 1,
            .suppressionTitle = ManualSelection::kDoNotShowAgainTitle,
            .paths = {folder.path()},
            .parameters = {{"name", std::string(folder.displayName())}}};
}

void rememberAnswer(const Answer& answer) {
    if (answer.button != 0 || !answer.suppress) return;
    Settings settings = Settings::standard();
    settings.setShowRemoveLastInHeapsMessage(false);
}

std::string rowExplanation(const Items& items) {
    if (Settings::standard().allowRemovingAllDuplicateCopies() || !HeapsGroup::isOnlyLastItemsNotSelectedInItems(items))
        return {};
    const bool someSelected = std::any_of(items.begin(), items.end(), [](const auto& item) { return item->isSelected(); });
    return someSelected ? kSomeSelectedLastCopiesText : kNoneSelectedLastCopiesText;
}

}  // namespace kestrane::SimilarFolderSelection
