#include "selection/DuplicateItemActionsStatistics.h"

#include "platform/NoDestructor.h"

namespace kestrane {

DuplicateItemActionsStatistics& DuplicateItemActionsStatistics::shared() {
    static platform::NoDestructor<DuplicateItemActionsStatistics> statistics;
    return *statistics;
}

}  // namespace kestrane
