#include "gui/CopyCheckBox.h"

#include "duplicates/DuplicateItem.h"
#include "duplicates/DuplicatesGroup.h"
#include "gui/GuiText.h"
#include "settings/Settings.h"

namespace kestrane::gui {

QVariant copyCheckState(const DuplicateItem& item) {
    return item.isSelected() ? Qt::Checked : Qt::Unchecked;
}

QString copyToolTip(const DuplicateItem& item) {
    const auto group = item.getGroup();
    if (!item.isSelected() && group && group->isOneItemLeftToSelect() &&
        !Settings::standard().allowRemovingAllDuplicateCopies())
        return toQString(ManualSelection::lastUnselectedCopyTooltip(item.isDirectory() ? "folder" : "file"));
    return toQString(item.getFileItemPath());
}

bool setCopyChecked(const std::shared_ptr<DuplicateItem>& item, const QVariant& value, ManualSelection::Place place,
                    const std::function<void()>& confirmationNeeded,
                    const std::function<void(const QString& explanation)>& refused) {
    if (!item || (value.toInt() == Qt::Checked) == item->isSelected()) return false;
    switch (ManualSelection::toggleItemByUser(item, place, false)) {
        case ManualSelection::Outcome::confirmationNeeded: confirmationNeeded(); return false;
        case ManualSelection::Outcome::lastCopyNotAllowed: refused(copyToolTip(*item)); return false;
        case ManualSelection::Outcome::unchanged: return false;
        default: return true;  // the selection notification repaints
    }
}

}  // namespace kestrane::gui
