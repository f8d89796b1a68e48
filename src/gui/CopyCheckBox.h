#pragma once

#include "selection/ManualSelection.h"

#include <QString>
#include <QVariant>

#include <functional>
#include <memory>

namespace kestrane {
class DuplicateItem;
}

// The check box of a copy in the window's lists (the groups, a similar pair's
// files, the review): ticked when the copy is selected for removal.
namespace kestrane::gui {

// Checked or unchecked, as the copy's selection.
QVariant copyCheckState(const DuplicateItem& item);

// Why the last unselected copy of a group cannot be ticked, when the
// settings keep one copy; otherwise the copy's path.
QString copyToolTip(const DuplicateItem& item);

// A click on the check box asks for VALUE (Qt::Checked or not) from PLACE.
// Returns whether the selection changed. A copy that needs a confirmation
// first calls confirmationNeeded, one that must stay calls refused with the
// explanation to show; neither changes anything.
bool setCopyChecked(const std::shared_ptr<DuplicateItem>& item, const QVariant& value, ManualSelection::Place place,
                    const std::function<void()>& confirmationNeeded,
                    const std::function<void(const QString& explanation)>& refused);

}  // namespace kestrane::gui
