#pragma once

#include <memory>

namespace kestrane {

class DuplicatesGroup;

// Changes to the result that look like a removal without touching the disk.
class OperationsManager {
public:
    // Takes a whole group out of the results (its copies leave the container
    // and the scanned tree), then lets the container drop what fell below two
    // copies, as after a removal. Nothing on disk changes. Main queue.
    static void removeGroupFromDuplicatesList(const std::shared_ptr<DuplicatesGroup>& group);
};

}  // namespace kestrane
