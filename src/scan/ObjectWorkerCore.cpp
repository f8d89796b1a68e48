#include "scan/ObjectWorkerCore.h"

#include "platform/Log.h"

#include <cstdlib>

namespace kestrane {

void ObjectWorkerCore::processTaskWithSubtaskCreatorAndCompletion(std::unique_ptr<ObjectTask>, SubtaskCreator,
                                                                  Completion) {
    platform::logWarning("internal inconsistency: You must override "
                         "processTaskWithSubtaskCreatorAndCompletion in a subclass");
    std::abort();
}

}  // namespace kestrane
