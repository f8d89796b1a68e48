#pragma once

#include "selection/ManualSelection.h"

#include <memory>

namespace kestrane {
class DuplicateItem;
class QuestionAsker;
}  // namespace kestrane

namespace kestrane::gui {

// The last unselected copy of a group is about to be ticked and the
// settings allow it after a confirmation: asks "Attention" / "All copies of
// the file "NAME" will be selected for removal." with OK and Cancel and the
// "Do not show this message again" box. OK selects the copy (with force) and
// a ticked box turns the message of that place off.
void confirmLastCopySelection(QuestionAsker& asker, const std::shared_ptr<DuplicateItem>& item,
                              ManualSelection::Place place);

}  // namespace kestrane::gui
