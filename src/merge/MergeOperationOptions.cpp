#include "merge/MergeOperationOptions.h"

#include "settings/Settings.h"

namespace kestrane {

std::string_view participleOf(std::optional<MergeAction> action) {
    if (!action) return "merged";
    return *action == MergeAction::Move ? "moved" : "copied";
}

MergeOperationOptions MergeOperationOptions::fromSettings(const Settings& settings) {
    MergeOperationOptions options;
    options.action = settings.mergeDialogueMoveMergedFiles() ? MergeAction::Move : MergeAction::Copy;
    options.mergeDuplicatesWithDifferentNames = settings.mergeDialogueNeedMergeDuplicatesWithDifferentNames();
    return options;
}

}  // namespace kestrane
