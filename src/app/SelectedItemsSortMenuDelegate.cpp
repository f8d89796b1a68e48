#include "app/SelectedItemsSortMenuDelegate.h"

#include "app/DuplicateItemPresentation.h"
#include "duplicates/DuplicateItem.h"

#include <array>
#include <optional>

namespace kestrane {

namespace {

struct SortTitles {
    const char* menu;
    const char* button;
};

constexpr std::array<SortTitles, 8> kTitles = {{
    {"Name: A to Z", "Sort by Name"},
    {"Name: Z to A", "Sort by Name"},
    {"Size: Large to Small", "Sort by Size"},
    {"Size: Small to Large", "Sort by Size"},
    {"Date: Newest to Oldest", "Sort by Date"},
    {"Date: Oldest to Newest", "Sort by Date"},
    {"Selected", "Sort by Selected"},
    {"Type", "Sort by Type"},
}};

bool isSortType(std::int32_t type) {
    return type >= SelectedItemsSortMenuDelegate::kFirstSortType && type <= SelectedItemsSortMenuDelegate::kLastSortType;
}

// -1, 0 or 1 for two values; 0 when either is missing.
template <typename T>
int compareValues(const std::optional<T>& a, const std::optional<T>& b) {
    if (!a || !b) return 0;
    return *a < *b ? -1 : (*b < *a ? 1 : 0);
}

std::optional<std::uint64_t> sizeOf(const DuplicateItemPresentation& p) {
    if (!p.item() || !p.item()->getFileSystemItem()) return std::nullopt;
    return p.item()->getFileItemSize();
}

std::optional<platform::FileTime> dateOf(const DuplicateItemPresentation& p) {
    if (!p.item() || !p.item()->getFileSystemItem()) return std::nullopt;
    return p.item()->getLastModificationDate();
}

std::optional<int> typeOf(const DuplicateItemPresentation& p) {
    const auto type = p.item() ? p.item()->getType() : std::nullopt;
    if (!type) return std::nullopt;
    return numberOfFileCategory(*type);
}

std::optional<bool> unselectedOf(const DuplicateItemPresentation& p) {
    if (!p.item()) return std::nullopt;
    return !p.item()->isSelected();  // false sorts first: the selected ones
}

}  // namespace

const char* SelectedItemsSortMenuDelegate::menuTitle(std::int32_t type) {
    return isSortType(type) ? kTitles[static_cast<std::size_t>(type - 1)].menu : "";
}

const char* SelectedItemsSortMenuDelegate::buttonTitle(std::int32_t type) {
    return isSortType(type) ? kTitles[static_cast<std::size_t>(type - 1)].button : "Sort";
}

SelectedItemsSortMenuDelegate::FileComparator SelectedItemsSortMenuDelegate::fileComparator(std::int32_t type) {
    using P = const DuplicateItemPresentation&;
    switch (type) {
    case 1: return [](P a, P b) { return compareValues(a.comparableName(), b.comparableName()); };
    case 2: return [](P a, P b) { return compareValues(b.comparableName(), a.comparableName()); };
    case 3: return [](P a, P b) { return compareValues(sizeOf(b), sizeOf(a)); };
    case 4: return [](P a, P b) { return compareValues(sizeOf(a), sizeOf(b)); };
    case 5: return [](P a, P b) { return compareValues(dateOf(b), dateOf(a)); };
    case 6: return [](P a, P b) { return compareValues(dateOf(a), dateOf(b)); };
    case 7: return [](P a, P b) { return compareValues(unselectedOf(a), unselectedOf(b)); };
    case 8: return [](P a, P b) { return compareValues(typeOf(a), typeOf(b)); };
    default: return {};
    }
}

}  // namespace kestrane
