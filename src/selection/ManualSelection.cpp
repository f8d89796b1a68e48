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

}  // namespace kestrane::ManualSelection
