#pragma once

#include "app/SelectedItemsPresenter.h"

namespace kestrane {

// The review as a plain list: one row per copy, in the order of the removal list.
class SelectedItemsAsListPresenter : public SelectedItemsPresenter {
public:
    explicit SelectedItemsAsListPresenter(const Items& items);
    std::int32_t type() const override { return kPlainList; }
};

}  // namespace kestrane
