#pragma once

#include "app/ItemPresentation.h"
#include "settings/Settings.h"

#include <cstdint>
#include <functional>

namespace kestrane {

class DuplicateItemPresentation;

// The sort orders of the review of selected copies, the texts of the sort
// menu and button, and how each order compares two copies. The current
// order is kept in the settings ("Selected Files Sort Type").
//
//   1 Name: A to Z         names without regard to case
//   2 Name: Z to A
//   3 Size: Large to Small logical sizes
//   4 Size: Small to Large
//   5 Date: Newest to Oldest  modification dates
//   6 Date: Oldest to Newest
//   7 Selected             selected copies first
//   8 Type                 category number, ascending
// Any other number has no order, and the button says "Sort". A value that
// a copy lacks (a copy without an item has no name, size or category) makes
// the two copies equal.
class SelectedItemsSortMenuDelegate {
public:
    static constexpr std::int32_t kFirstSortType = 1;
    static constexpr std::int32_t kLastSortType = 8;

    explicit SelectedItemsSortMenuDelegate(Settings settings) : m_settings(std::move(settings)) {}

    std::int32_t currentSortType() const { return m_settings.selectedFilesSortType(); }
    void setCurrentSortType(std::int32_t type) { m_settings.setSelectedFilesSortType(type); }

    // "Name: A to Z", ...; empty for a number that is no order.
    static const char* menuTitle(std::int32_t type);
    // "Sort by Name", ...; "Sort" for a number that is no order.
    static const char* buttonTitle(std::int32_t type);

    // The order of two copies; empty for a number that is no order.
    using FileComparator = std::function<int(const DuplicateItemPresentation& a, const DuplicateItemPresentation& b)>;
    static FileComparator fileComparator(std::int32_t type);

private:
    Settings m_settings;
};

}  // namespace kestrane
