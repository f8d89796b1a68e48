#include "app/SelectedItemsAsListPresenter.h"

#include "app/DuplicateItemPresentation.h"

namespace kestrane {

SelectedItemsAsListPresenter::SelectedItemsAsListPresenter(const Items& items) {
    m_subItems.reserve(items.size());
    for (const auto& item : items) m_subItems.push_back(std::make_shared<DuplicateItemPresentation>(item));
}

}  // namespace kestrane
