#pragma once

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string_view>

namespace kestrane {
class DuplicatesContainer;
}

namespace kestrane::cli {

// The review of the removal list in a report (--review, --sort): the copies
// selected for removal in one of the three presentations of the review, in
// one of its eight orders, as the desktop app's review panel shows them.
struct ReviewOptions {
    std::int32_t presentation = 0;  // SelectedItemsPresenter::kFileTree, ...
    std::int32_t sortType = 1;      // 1 to 8, as SelectedItemsSortMenuDelegate numbers them
};

// The words of the command line: "tree", "folders", "list"; none for another word.
std::optional<std::int32_t> presentationOfWord(std::string_view word);
std::string_view wordOfPresentation(std::int32_t presentation);
// "name", "name-desc", "size", "size-asc", "date", "date-asc", "selected", "type".
std::optional<std::int32_t> sortTypeOfWord(std::string_view word);
std::string_view wordOfSortType(std::int32_t sortType);

// Human: a heading with the totals, then the presentation, indented.
void writeHumanReview(std::ostream& out, const DuplicatesContainer& container, const ReviewOptions& options);
// JSON: the members of the "review" object (presentation, sort, entries),
// written after `indent`; see docs/report-format.md.
void writeJsonReview(std::ostream& out, const DuplicatesContainer& container, const ReviewOptions& options,
                     const char* indent);
// JSON: the "removalList" object (count, size, items), written after `indent`.
void writeJsonRemovalList(std::ostream& out, const DuplicatesContainer& container, const char* indent);

}  // namespace kestrane::cli
