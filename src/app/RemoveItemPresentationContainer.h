#pragma once

#include "app/ItemPresentation.h"

#include <cstddef>
#include <unordered_set>
#include <vector>

namespace kestrane {

class DuplicateItem;
class FileSystemItem;

// What a removal took away, for taking it out of the review: the copies
// (and folders) removed, by identity. Each object is used up by the first
// presentation of it that is deleted.
class RemoveItemPresentationContainer {
public:
    void addRemovedItem(const DuplicateItem& item) { m_objects.insert(&item); }
    void addRemovedFolder(const FileSystemItem& folder) { m_objects.insert(&folder); }
    bool empty() const { return m_objects.empty(); }
    std::size_t size() const { return m_objects.size(); }

    // The positions, ascending, of the presentations of the list to delete:
    // those whose represented object was removed, and folders that had
    // children and have none left once their own removed children are taken
    // out (which this does, at every level below). A folder that never had
    // children stays.
    std::vector<std::size_t> indexesToDelete(const Presentations& presentations);
    // Whether the presentation is to be deleted (as above).
    bool shouldDelete(ItemPresentation& presentation);

private:
    std::unordered_set<const void*> m_objects;
};

// Deletes the presentations at the positions (ascending) from the list.
void deletePresentationsAt(Presentations& presentations, const std::vector<std::size_t>& indexes);

}  // namespace kestrane
