#pragma once

#include "selection/AutoSelectItem.h"

#include <cstddef>
#include <memory>
#include <unordered_map>
#include <vector>

namespace kestrane {

class AutoSelectManager;
class AutoSelectName;
class DuplicateItem;
class FileSystemItem;

// Decides, for the copies of one group, which ones the folder rules and the
// names mark for selection.
//
// Copies under an always-select folder are chosen at once (unless every copy
// is, and then the folder rules are left out for the group). The others are
// compared by name: copies whose names have the same core ("photo",
// "photo copy 2", "copy of photo") are ranked by how much their names look
// like copies, and every copy ranked below the best is chosen, unless a
// never-select folder holds it. Copies that tie are compared again by the
// names of their folders, one level up at a time. Copies with different
// cores are never compared with each other. A copy inside a duplicate folder
// is never chosen on its own: it goes with its folder.
//
// One object per group and decision. Names are read from the analyses cached
// on the items when cacheNames is true (main queue); otherwise the items are
// only read, never changed, and the analyses of folders are made for this
// object alone, so that it may run on any queue.
class AutoSelectGroupSeparator {
public:
    using Items = std::vector<std::shared_ptr<DuplicateItem>>;

    explicit AutoSelectGroupSeparator(Items items, bool cacheNames = true);
    ~AutoSelectGroupSeparator();
    AutoSelectGroupSeparator(const AutoSelectGroupSeparator&) = delete;
    AutoSelectGroupSeparator& operator=(const AutoSelectGroupSeparator&) = delete;

    // manager: the folder rules, or null to leave them out.
    void separateItemsUsingManager(const AutoSelectManager* manager);
    // The copies chosen, in the group's order.
    const Items& getItemsForSelect() const { return m_itemsForAutoSelect; }

private:
    // Compares the items by the names of their components at depth, then the
    // ties one level up, and so on.
    void selectUsingPathItems(std::vector<AutoSelectItem*> items, std::size_t depth);
    // One bucket of items whose components share a core name; returns the
    // items tied for best.
    std::vector<AutoSelectItem*> selectItemsInBucket(const std::vector<std::pair<AutoSelectItem*, const AutoSelectName*>>& bucket);
    void prepareResult();
    const AutoSelectName& nameOf(FileSystemItem& component, std::size_t depth);

    Items m_itemsForSeparate;
    std::vector<AutoSelectItem> m_items;
    Items m_itemsForAutoSelect;
    bool m_cacheNames;
    // Analyses made for this object alone (when names are not cached on the items).
    std::unordered_map<const FileSystemItem*, std::unique_ptr<AutoSelectName>> m_names;
};

}  // namespace kestrane
