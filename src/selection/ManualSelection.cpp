#include "selection/ManualSelection.h"

#include "duplicates/DuplicateItem.h"
#include "duplicates/DuplicatesGroup.h"
#include "settings/Settings.h"

namespace kestrane::ManualSelection {

Outcome toggleItemByUser(const std::shared_ptr<DuplicateItem>& item, Place place, bool confirmed) {
    const auto group = item ? item->getGroup() : nullptr;
    if (!group) return Outcome::unchanged;
    if (item->isSelected()) {
        item->deselectItem();
        return item->isSelected() ? Outcome::unchanged : Outcome::deselected;
    }
    if (!group->isOneItemLeftToSelect()) return item->selectItemForced(false) ? Outcome::selected : Outcome::unchanged;
    const Settings settings = Settings::standard();
    if (!settings.allowRemovingAllDuplicateCopies()) return Outcome::lastCopyNotAllowed;
    const bool ask = place == Place::resultLists ? settings.showRemoveLastInCategoriesMessage()
                                                 : settings.showRemoveLastInHeapsMessage();
    if (ask && !confirmed) return Outcome::confirmationNeeded;
    return item->selectItemForced(true) ? Outcome::selected : Outcome::unchanged;
}

std::string lastUnselectedCopyTooltip(std::string_view kind) {
    return "This " + std::string(kind.empty() ? std::string_view("file") : kind) +
           " is the last unselected copy of duplicates. If you want to select all copies change the option in "
           "Preferences.";
}

std::string allCopiesWillBeSelectedText(std::string_view kind, std::string_view displayName) {
    return "All copies of the " + std::string(kind) + " \"" + std::string(displayName) +
           "\" will be selected for removal.";
}

Question lastCopyQuestion(const DuplicateItem& item) {
    const std::string kind = item.isDirectory() ? "folder" : "file";
    const std::string name = item.getDisplayName();
    return {.kind = kLastCopyQuestionKind,
            .title = kAttentionTitle,
            .text = allCopiesWillBeSelectedText(kind, name),
            .buttons = {"OK", "Cancel"},
            .yesButton = 0,
            .safeButton = 1,
            .suppressionTitle = kDoNotShowAgainTitle,
            .paths = {item.getFileItemPath()},
            .parameters = {{"kind", kind}, {"name", name}}};
}

Question deselectWithParentFolderQuestion(const DuplicateItem& item) {
    const auto folder = item.getAssociatedDuplicateFolder();
    return {.kind = kDeselectWithParentFolderQuestionKind,
            .title = kCannotDeselectSinglyTitle,
            .text = kCannotDeselectSinglyText,
            .buttons = {"OK", "Cancel"},
            .yesButton = 0,
            .safeButton = 1,
            .paths = {folder ? folder->getFileItemPath() : item.getFileItemPath()},
            .parameters = {{"name", item.getDisplayName()}}};
}

void rememberAnswer(const Answer& answer, Place place) {
    if (answer.button != 0 || !answer.suppress) return;
    Settings settings = Settings::standard();
    if (place == Place::resultLists)
        settings.setShowRemoveLastInCategoriesMessage(false);
    else
        settings.setShowRemoveLastInHeapsMessage(false);
}

}  // namespace kestrane::ManualSelection
