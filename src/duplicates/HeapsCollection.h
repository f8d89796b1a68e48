#pragma once

#include <cstdint>
#include <memory>

namespace kestrane {

class DuplicatesGroup;
class HeapsValidateProgressListener;

// The similar-folder registry a duplicates container feeds. The container
// hands it every group that joins or leaves one of its file categories, and
// asks it for the full computation when the container cleans up after a
// removal (or at the end of a scan). Used from the container's queue.
class HeapsCollection {
public:
    virtual ~HeapsCollection() = default;

    virtual void addGroup(const std::shared_ptr<DuplicatesGroup>& group) = 0;
    virtual void removeGroup(const std::shared_ptr<DuplicatesGroup>& group) = 0;
    // Recomputes every similar-folder pair from the container's current
    // groups; listener may be null.
    virtual void validateEmptyDataAfterRemoveWithListener(
        const std::shared_ptr<HeapsValidateProgressListener>& listener) = 0;
    // A running upper estimate of the similar folders' size, shown while a scan runs.
    virtual std::uint64_t getPossibleHeapsSize() const = 0;
};

}  // namespace kestrane
