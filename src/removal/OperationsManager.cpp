#include "removal/OperationsManager.h"

#include "duplicates/DuplicatesContainer.h"
#include "duplicates/DuplicatesGroup.h"

namespace kestrane {

void OperationsManager::removeGroupFromDuplicatesList(const std::shared_ptr<DuplicatesGroup>& group) {
    if (!group) return;
    const auto container = group->getContainer();
    if (!container) return;
    container->removeEntries(group->getItems());
    container->validateEmptyDataAfterRemoveWithListener(nullptr);
}

}  // namespace kestrane
