#pragma once

#include "removal/RemovalCheck.h"
#include "removal/RemoveErrorInfo.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kestrane {

class DuplicateItem;
class Remover;

// A copy that a check found unsafe to remove: left alone, and to be
// deselected, never offered for removal by a later step.
struct SkippedCopy {
    std::shared_ptr<DuplicateItem> item;
    std::string path;
    RemovalCheck::Outcome outcome;
};

// Told by a remover, on the main queue: removed items in batches, any number
// of times, then once that it finished.
class RemoverListener {
public:
    virtual ~RemoverListener() = default;
    virtual void onRemoverDidRemove(Remover& remover, const std::vector<std::shared_ptr<DuplicateItem>>& items) = 0;
    virtual void onRemoverFinished(Remover& remover) = 0;
};

// What the session coordinator uses of any remover: the first pass and the
// script-based helper removers. Each runs once. Main queue.
class Remover {
public:
    virtual ~Remover() = default;
    // False when nothing was started: the remover counts as finished at once
    // (no onRemoverFinished follows).
    virtual bool startRemove() = 0;
    virtual void stopRemove() = 0;
    virtual float progress() const = 0;
    virtual std::uint64_t countOfProcessedItems() const = 0;
    // The failures, once finished.
    virtual std::vector<RemoveErrorInfo> removeErrors() const = 0;
    // The copies the checks kept from removal, once finished.
    virtual std::vector<SkippedCopy> skippedCopies() const = 0;
    // Bytes of the items removed so far.
    virtual std::uint64_t removedSize() const = 0;
};

}  // namespace kestrane
