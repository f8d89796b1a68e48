#pragma once

#include <cstdint>

namespace kestrane {

// Told how a full similar-folder computation is getting on. The computation
// runs on its caller's thread; isHeapsValidationCanceled is asked from there,
// the two reports arrive on the main queue.
class HeapsValidateProgressListener {
public:
    virtual ~HeapsValidateProgressListener() = default;

    // Asked before each folder; true stops the computation early.
    virtual bool isHeapsValidationCanceled() = 0;
    // count more folders have been dealt with.
    virtual void onHeapsCheckedFolders(std::uint64_t count) = 0;
    // The size of the similar folders found so far, and the progress (0..1).
    virtual void onHeapsSizeChangedWithProgress(std::uint64_t size, float progress) = 0;
};

}  // namespace kestrane
