#pragma once

#include "platform/Question.h"

#include <memory>
#include <optional>
#include <vector>

namespace kestrane {

class AutoSelectManager;
class DuplicateItem;
class DuplicatesGroup;

// Auto-select: in every group, the copies to remove so that one sensible
// copy stays. For one group, in order:
//  1. a copy that must stay (one inside a duplicate folder, or under a
//     never-select folder) settles it: every other copy is selected, except
//     those under never-select folders;
//  2. the copies the folder lists and the names choose (AutoSelectGroupSeparator);
//  3. while more than one copy is left: every copy newer than the oldest,
//     then every copy deeper than the shallowest, then every copy but the first.
// It only ever selects, and never with force, so the last unselected copy of
// a group is never selected and nothing is deselected. Main queue.
namespace AutoSelectOperations {

using Items = std::vector<std::shared_ptr<DuplicateItem>>;
using Groups = std::vector<std::shared_ptr<DuplicatesGroup>>;

// Kinds of the messages after a run (Question::kind).
inline constexpr const char* kReviewSelectedKind = "autoSelect.reviewSelected";
inline constexpr const char* kNothingSelectedNeverSelectListKind = "autoSelect.nothingSelectedNeverSelectList";
inline constexpr const char* kNothingSelectedKind = "autoSelect.nothingSelected";

inline constexpr const char* kReviewSelectedTitle = "Review the selected duplicates";
inline constexpr const char* kNothingSelectedTitle = "No duplicates were selected";
inline constexpr const char* kNothingSelectedNeverSelectListText =
    "All duplicate files have been already selected.\n"
    "Some duplicates could not be selected by Auto Select because they are stored in the folders added to the "
    "Never Select list in Preferences.";
inline constexpr const char* kNothingSelectedText = "All duplicate files were selected before.";
inline constexpr const char* kShowNeverSelectListButton = "Show Never Select List";
inline constexpr const char* kOkButton = "OK";

// The groups in the given order, in one selection batch, the folder lists
// loaded once for the run.
void performForceSelectForGroups(const Groups& groups, AutoSelectManager& manager);
// One group's copies, in the group's order; reloads the folder lists.
void performForceSelectForItems(const Items& items, AutoSelectManager& manager);

// The steps of one group, with the folder lists already loaded. Each
// selects without force, in one batch.
// Step 1: true when a copy that must stay was found (and the others selected).
bool trySelectAllPossibleDuplicatesFromItems(const Items& items, AutoSelectManager& manager);
// Step 3: copies not of the oldest date; not of the smallest depth; all
// after the first unselected one. Copies under never-select folders stay.
void selectOldestDuplicatesFromItems(const Items& items, AutoSelectManager& manager);
void selectAllWithNotMinimalLevelInArray(const Items& items, AutoSelectManager& manager);
void selectAllButNotFirstInArray(const Items& items, AutoSelectManager& manager);

// A run started by a person (a button, a menu): runs the groups with the
// shared manager and says what came of it. When the removal list gained a
// copy: with finalAlert and the setting on, the message to review the
// selection. When it gained nothing: the message that nothing was selected
// (saying why when the never-select list decided), each as its setting
// allows. No value when nothing is to be shown.
std::optional<Question> doAutoSelectInGroups(const Groups& groups, bool withFinalAlert);

// "3 duplicates of 4.1 MB are selected for removal.\nReview and confirm the
// selected files before removal."
std::string reviewSelectedText(std::uint64_t count, std::uint64_t size);

}  // namespace AutoSelectOperations

}  // namespace kestrane
