#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kestrane {

namespace platform {
class DispatchQueue;
}

class DuplicatesGroup;
class DuplicatesHeap;
class HeapsFolderData;
class HeapsGroup;
class HeapsValidateProgressListener;

// The similar-folder registry a duplicates container feeds. The container
// hands it every group that joins or leaves one of its file categories, and
// asks it for the full computation when the container cleans up after a
// removal (or at the end of a scan). Used from the container's queue, to
// which the container attaches it. The
// layers above the result model read the similar folders through this
// interface only; the implementation lives with the folder stages.
class HeapsCollection {
public:
    using Heaps = std::vector<std::shared_ptr<DuplicatesHeap>>;
    // A kept pair of shown folders: its two folders, half the size of their
    // shared copies and how many groups they share. Returns false to stop.
    using PairVisitor = std::function<bool(const HeapsFolderData& main, const HeapsFolderData& second,
                                           std::uint64_t halfSize, std::uint32_t sharedGroups)>;

    virtual ~HeapsCollection() = default;

    // From now on only tasks of this queue use the registry (its container's);
    // a registry that checks no queue may ignore it.
    virtual void attachToQueue(const platform::DispatchQueue& /*queue*/) {}

    virtual void addGroup(const std::shared_ptr<DuplicatesGroup>& group) = 0;
    virtual void removeGroup(const std::shared_ptr<DuplicatesGroup>& group) = 0;
    // Recomputes every similar-folder pair from the container's current
    // groups; listener may be null.
    virtual void validateEmptyDataAfterRemoveWithListener(
        const std::shared_ptr<HeapsValidateProgressListener>& listener) = 0;
    // A running upper estimate of the similar folders' size, shown while a scan runs.
    virtual std::uint64_t getPossibleHeapsSize() const = 0;
    // The biggest similar-folder pairs of the last computation, largest
    // first: maxCount of them, and more when pairs tie with the last one;
    // each pair once.
    virtual Heaps biggestHeaps(std::size_t maxCount) const = 0;
    // The biggest pairs of folders that have a single similar folder (the
    // easiest to clean up), at most maxCount; the biggest pairs when no
    // folder has only one.
    virtual Heaps biggestEasyForRemoveHeaps(std::size_t maxCount) const = 0;

    // What a report of the last computation reads: every kept pair once,
    // largest first; how many were kept, how many were found beyond the
    // maximal count and left out, and that maximal count.
    virtual void forEachPairLargestFirst(const PairVisitor& visit) const = 0;
    virtual std::uint64_t getCountOfPairs() const = 0;
    virtual std::uint64_t getCountOfLeftOutPairs() const = 0;
    virtual std::uint64_t getMaximalPairCount() const = 0;

    // Every similar folder of the folder at the path, as one group of pairs
    // seen from it, built afresh; null when the folder has none to look at.
    virtual std::shared_ptr<HeapsGroup> buildHeapsGroupForFolderWithPath(const std::string& path) const = 0;
};

}  // namespace kestrane
