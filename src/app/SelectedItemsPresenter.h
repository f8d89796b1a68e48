#pragma once

#include "app/ItemPresentation.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace kestrane {

class DuplicateItem;
class RemoveItemPresentationContainer;
class SIFTFolderPresentation;

// The review of the copies selected for removal, in one of three
// presentations: a file tree, grouped by folders, a plain list (see the
// subclasses). The presentation type is kept in the settings ("Selected
// Files Presentation"). A presenter is built from the removal list and
// rebuilt when the type changes, never while a removal runs. At every level
// copies come before folders; copies follow the sort order, folders their
// name (file tree) or path (grouped by folders).
class SelectedItemsPresenter {
public:
    using Items = std::vector<std::shared_ptr<DuplicateItem>>;

    // The stored presentation types.
    static constexpr std::int32_t kFileTree = 0;
    static constexpr std::int32_t kGroupedByFolders = 1;
    static constexpr std::int32_t kPlainList = 2;

    // A presenter of the type (any other number: the file tree) for the removal list.
    static std::unique_ptr<SelectedItemsPresenter> create(std::int32_t type, const Items& items);

    virtual ~SelectedItemsPresenter();
    virtual std::int32_t type() const = 0;

    // The top level.
    const Presentations& subItems() const { return m_subItems; }

    // The order of two presentations at any level for the sort type; empty
    // for a sort type that has none.
    PresentationComparator buildSortComparator(std::int32_t sortType) const;
    // Sorts every level (the top and every folder's children).
    void sortUsingComparator(const PresentationComparator& comparator);

    // Takes the removed items out of every level; returns the positions the
    // deleted top-level presentations had.
    std::vector<std::size_t> removeSubItemsUsingContainer(RemoveItemPresentationContainer& container);

protected:
    SelectedItemsPresenter() = default;
    // The order of two folders (the plain list has none).
    virtual int compareFolders(const SIFTFolderPresentation& a, const SIFTFolderPresentation& b) const;

    Presentations m_subItems;
};

}  // namespace kestrane
