#include "app/SelectedItemsPresenter.h"

#include "app/DuplicateItemPresentation.h"
#include "app/RemoveItemPresentationContainer.h"
#include "app/SIFTFolderPresentation.h"
#include "app/SelectedItemsAsFileTreePresenter.h"
#include "app/SelectedItemsAsGroupedByFoldersPresenter.h"
#include "app/SelectedItemsAsListPresenter.h"
#include "app/SelectedItemsSortMenuDelegate.h"

namespace kestrane {

namespace {

void sortLevel(Presentations& level, const PresentationComparator& comparator) {
    sortPresentations(level, comparator);
    for (const auto& presentation : level)
        if (presentation->isFolder())
            sortLevel(static_cast<SIFTFolderPresentation&>(*presentation).mutableSubItems(), comparator);
}

}  // namespace

std::unique_ptr<SelectedItemsPresenter> SelectedItemsPresenter::create(std::int32_t type, const Items& items) {
    switch (type) {
    case kGroupedByFolders: return std::make_unique<SelectedItemsAsGroupedByFoldersPresenter>(items);
    case kPlainList: return std::make_unique<SelectedItemsAsListPresenter>(items);
    default: return std::make_unique<SelectedItemsAsFileTreePresenter>(items);
    }
}

SelectedItemsPresenter::~SelectedItemsPresenter() = default;

int SelectedItemsPresenter::compareFolders(const SIFTFolderPresentation&, const SIFTFolderPresentation&) const {
    return 0;
}

PresentationComparator SelectedItemsPresenter::buildSortComparator(std::int32_t sortType) const {
    auto files = SelectedItemsSortMenuDelegate::fileComparator(sortType);
    if (!files) return {};
    return [this, files = std::move(files)](const ItemPresentation& a, const ItemPresentation& b) {
        if (a.isFolder() != b.isFolder()) return a.isFolder() ? 1 : -1;
        if (a.isFolder())
            return compareFolders(static_cast<const SIFTFolderPresentation&>(a),
                                  static_cast<const SIFTFolderPresentation&>(b));
        return files(static_cast<const DuplicateItemPresentation&>(a), static_cast<const DuplicateItemPresentation&>(b));
    };
}

void SelectedItemsPresenter::sortUsingComparator(const PresentationComparator& comparator) {
    if (comparator) sortLevel(m_subItems, comparator);
}

std::vector<std::size_t> SelectedItemsPresenter::removeSubItemsUsingContainer(
    RemoveItemPresentationContainer& container) {
    const auto indexes = container.indexesToDelete(m_subItems);
    deletePresentationsAt(m_subItems, indexes);
    return indexes;
}

}  // namespace kestrane
