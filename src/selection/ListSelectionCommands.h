#pragma once

#include "platform/Question.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrane {

class DuplicatesGroup;

// The commands of a results list that change the selection of many groups
// at once: select the newest copies, select the oldest copies, auto select,
// deselect all. Each works on every group the list shows, or, from a
// context menu, on the one group under the pointer; each runs in one
// selection batch, so listeners hear of it once. Main queue.
class ListSelectionCommands {
public:
    using Groups = std::vector<std::shared_ptr<DuplicatesGroup>>;

    // Where a command came from: a context menu of a row, or anywhere else
    // (a toolbar, the main menu, the command line).
    enum class Sender { contextMenuItem, other };

    // The list as shown: groups in order, with null for the entries that
    // are not groups (section titles and descriptions).
    void setShownEntries(Groups entries) { m_shownEntries = std::move(entries); }
    const Groups& shownEntries() const { return m_shownEntries; }
    // The group of the row whose context menu was opened.
    void setSelectedGroupItem(std::shared_ptr<DuplicatesGroup> group) { m_selectedGroupItem = std::move(group); }

    // The groups a command from the sender works on: the group under the
    // pointer from a context menu (none without one), else every group shown.
    Groups scopeFor(Sender sender) const;

    void selectNewest(Sender sender) const;
    void selectOldest(Sender sender) const;
    void deselectAll(Sender sender) const;
    // Auto select, with the message to review the selection only when the
    // command did not come from a context menu. Returns the message to show.
    std::optional<Question> autoSelectPressed(Sender sender) const;

    // In each group: deselects what can be, then, while more than one copy
    // is unselected, keeps the copies of the oldest date (newest: the newest
    // date) and selects the others, except files in never-select folders.
    // The copies are compared with the first copy's date and the dates of the
    // unselected ones.
    static void doNewestSelectionInGroups(const Groups& groups);
    static void doOldestSelectionInGroups(const Groups& groups);
    static void deselectAllInGroups(const Groups& groups);

    // Whether the path lies in one of the folders: one of them, followed by
    // "/", begins it. The folders are taken as stored; the first match
    // answers.
    static bool isFileInNeverSelectList(std::string_view path, const std::vector<std::string>& neverSelectFolders);

private:
    Groups m_shownEntries;
    std::shared_ptr<DuplicatesGroup> m_selectedGroupItem;
};

}  // namespace kestrane
