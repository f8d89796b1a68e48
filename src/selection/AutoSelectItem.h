#pragma once

#include "selection/AutoSelectManager.h"

#include <cstddef>
#include <memory>

namespace kestrane {

class DuplicateItem;
class FileSystemItem;

// One copy of a group while auto-select decides about it: the copy and what
// the folder rules say about it. Lives for one decision.
class AutoSelectItem {
public:
    // The rule comes from the manager for the copy's path; without a
    // manager (folder rules ignored) it is none.
    AutoSelectItem(std::shared_ptr<DuplicateItem> item, const AutoSelectManager* manager);

    const std::shared_ptr<DuplicateItem>& item() const { return m_item; }
    AutoSelectChoice getChoice() const { return m_choice; }
    // A copy that is never to be selected stays so.
    void setChoice(AutoSelectChoice choice);

    // The copy's own item for 1, its folder for 2, that folder's folder for 3
    // and so on; null past the scanned folder at the top, for 0, and for a
    // copy that no longer has an item.
    FileSystemItem* getComponentWithIndex(std::size_t index) const;

private:
    std::shared_ptr<DuplicateItem> m_item;
    AutoSelectChoice m_choice = AutoSelectChoice::none;
};

}  // namespace kestrane
