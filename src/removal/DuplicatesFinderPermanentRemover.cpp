#include "removal/DuplicatesFinderPermanentRemover.h"

#include "duplicates/DuplicateItem.h"
#include "log/VaqLog.h"
#include "platform/FileFacts.h"
#include "removal/RemovePermanentlyBashScript.h"

namespace kestrane {

std::shared_ptr<BashScript> DuplicatesFinderPermanentRemover::makeScript(const std::vector<std::string>& paths) const {
    return std::make_shared<RemovePermanentlyBashScript>(paths, m_useAdminPrivileges);
}

bool DuplicatesFinderPermanentRemover::checkOutcome(const FinderRemoveDataInfo& entry) {
    // Removed only when nothing is at the path any more: a folder that is
    // still there, emptied in part or not, is not removed.
    if (platform::factsOfPath(entry.path)) return false;
    if (const auto& item = entry.errorInfo.item()) VaqLog::shared().onItemRemoved(*item);
    return true;
}

}  // namespace kestrane
