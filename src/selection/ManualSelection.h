#pragma once

#include "platform/Question.h"

#include <memory>
#include <string>
#include <string_view>

namespace kestrane {

class DuplicateItem;

// Ticking one copy by hand, as a front end does for a checkbox: the rule for
// the last unselected copy of a group, the settings that govern it, and the
// texts a front end shows for it. The outcome is data; asking the question is
// the front end's job.
namespace ManualSelection {

// Where a copy is ticked; decides which confirmation setting applies.
enum class Place { resultLists, similarFolders };

enum class Outcome {
    deselected,          // the copy was selected and is no more
    selected,            // the copy is now selected
    unchanged,           // nothing could change (the copy goes with its folder)
    lastCopyNotAllowed,  // the last unselected copy; the settings forbid selecting every copy
    confirmationNeeded,  // the last unselected copy; ask, then call again with confirmed
};

// Deselects a selected copy, selects any other copy except the last
// unselected one, which is selected (with force) only when removing every
// copy is allowed and, if the matching message setting is on, the user has
// confirmed. Main queue.
Outcome toggleItemByUser(const std::shared_ptr<DuplicateItem>& item, Place place, bool confirmed);

// Texts for the last-copy case; kind is "file" or "folder".
std::string lastUnselectedCopyTooltip(std::string_view kind);
std::string allCopiesWillBeSelectedText(std::string_view kind, std::string_view displayName);
inline constexpr const char* kAttentionTitle = "Attention";
inline constexpr const char* kDoNotShowAgainTitle = "Do not show this message again";
inline constexpr const char* kCannotDeselectSinglyTitle = "The item can be deselected only with its parent folder";
inline constexpr const char* kCannotDeselectSinglyText =
    "The item is a part of duplicate folder, you cannot deselect it singly. \n"
    "Do you want to deselect the whole parent folder?";

// The same as questions a front end asks:
//  - "selection.lastCopy": every copy of the item's group would be selected
//    (title "Attention", OK / Cancel, a "Do not show this message again" box);
//  - "selection.deselectWithParentFolder": the item lies inside a selected
//    duplicate folder and goes only with it (OK deselects the folder).
inline constexpr const char* kLastCopyQuestionKind = "selection.lastCopy";
inline constexpr const char* kDeselectWithParentFolderQuestionKind = "selection.deselectWithParentFolder";
Question lastCopyQuestion(const DuplicateItem& item);
Question deselectWithParentFolderQuestion(const DuplicateItem& item);
// After the last-copy question: a ticked box turns the message of the place off.
void rememberAnswer(const Answer& answer, Place place);

}  // namespace ManualSelection

}  // namespace kestrane
