#pragma once

#include "scan/FolderSystemItem.h"

#include <cstdint>
#include <memory>
#include <string_view>

namespace kestrane {

// The root of one scanned folder tree: a parentless folder whose relativePath
// is the full path of the scanned folder, with the capacity and free space of
// its file system as read when the scan began. Shared by the scan, the scan
// orchestrator and the result container.
class VolumeSystemItem : public FolderSystemItem {
public:
    static std::shared_ptr<VolumeSystemItem> create(std::string_view path, std::int64_t diskSize,
                                                    std::int64_t diskFreeSize);

    VolumeSystemItem(Key key, PlacedName path, std::int64_t diskSize, std::int64_t diskFreeSize);
    ~VolumeSystemItem() override;

    bool isVol() const override { return true; }

    std::int64_t getVolSize() const { return nVolSize; }
    std::int64_t getVolFreeSize() const { return nVolFreeSize; }
    // Recomputes the sizes of the whole tree (as calculateTotalSize on the root).
    std::int64_t calculateTreeSizes() { return calculateTotalSize(); }

private:
    std::int64_t nVolSize = 0;
    std::int64_t nVolFreeSize = 0;
};

}  // namespace kestrane
