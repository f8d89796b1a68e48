#include "log/RestoreResultDescriptor.h"

namespace kestrane {

std::string RestoreResultDescriptor::resultDescription() const {
    std::string text;
    if (m_successfullyRestoredItemsCount > 0) {
        text = m_successfullyRestoredItemsCount == 1
                   ? "1 file was restored successfully."
                   : std::to_string(m_successfullyRestoredItemsCount) + " files were restored successfully.";
    }
    if (m_failedItemsCount > 0) {
        if (!text.empty()) text += " ";
        text += m_failedItemsCount == 1 ? "1 file could not be restored."
                                        : std::to_string(m_failedItemsCount) + " files could not be restored.";
    }
    return text;
}

}  // namespace kestrane
