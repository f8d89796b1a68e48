#include "selection/ListSelectionCommands.h"

#include "duplicates/DuplicateItem.h"
#include "duplicates/DuplicatesGroup.h"
#include "duplicates/GroupSelection.h"
#include "selection/AutoSelectOperations.h"
#include "settings/Settings.h"

namespace kestrane {

namespace {

enum class Keep { oldest, newest };

void selectByDate(const ListSelectionCommands::Groups& groups, Keep keep) {
    const std::vector<std::string> neverSelect = Settings::standard().autoNeverSelectFolders();
    SelectionBatch batch;
    for (const auto& group : groups) {
        if (!group) continue;
        for (const auto& item : group->getSelectedItems()) item->deselectItem();
        const auto items = group->getItems();
        if (items.empty() || items.size() <= group->getSelectedCountWithDuplicatesFolderContent() + 1) continue;

        // The first copy's date, replaced by any unselected copy's that is
        // further in the direction of the copies kept.
        auto reference = items.front()->getLastModificationDate();
        for (const auto& item : items) {
            if (item->isSelected()) continue;
            const auto date = item->getLastModificationDate();
            if (keep == Keep::oldest ? date < reference : date > reference) reference = date;
        }
        for (const auto& item : items)
            if (!item->isSelected() && item->getLastModificationDate() != reference &&
                !ListSelectionCommands::isFileInNeverSelectList(item->getFileItemPath(), neverSelect))
                item->selectItemForced(false);
    }
}

}  // namespace

ListSelectionCommands::Groups ListSelectionCommands::scopeFor(Sender sender) const {
    if (sender == Sender::contextMenuItem) return m_selectedGroupItem ? Groups{m_selectedGroupItem} : Groups{};
    Groups groups;
    for (const auto& entry : m_shownEntries)
        if (entry) groups.push_back(entry);
    return groups;
}

void ListSelectionCommands::selectNewest(Sender sender) const {
    doNewestSelectionInGroups(scopeFor(sender));
}

void ListSelectionCommands::selectOldest(Sender sender) const {
    doOldestSelectionInGroups(scopeFor(sender));
}

void ListSelectionCommands::deselectAll(Sender sender) const {
    deselectAllInGroups(scopeFor(sender));
}

std::optional<Question> ListSelectionCommands::autoSelectPressed(Sender sender) const {
    SelectionBatch batch;
    return AutoSelectOperations::doAutoSelectInGroups(scopeFor(sender), sender != Sender::contextMenuItem);
}

void ListSelectionCommands::doNewestSelectionInGroups(const Groups& groups) {
    selectByDate(groups, Keep::oldest);
}

void ListSelectionCommands::doOldestSelectionInGroups(const Groups& groups) {
    selectByDate(groups, Keep::newest);
}

void ListSelectionCommands::deselectAllInGroups(const Groups& groups) {
    SelectionBatch batch;
    for (const auto& group : groups)
        if (group)
            for (const auto& item : group->getSelectedItems()) item->deselectItem();
}

bool ListSelectionCommands::isFileInNeverSelectList(std::string_view path,
                                                    const std::vector<std::string>& neverSelectFolders) {
    for (const std::string& folder : neverSelectFolders)
        if (path.size() > folder.size() && path.starts_with(folder) && path[folder.size()] == '/') return true;
    return false;
}

}  // namespace kestrane
