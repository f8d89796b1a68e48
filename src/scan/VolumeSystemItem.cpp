#include "scan/VolumeSystemItem.h"

namespace kestrane {

std::shared_ptr<VolumeSystemItem> VolumeSystemItem::create(std::string_view path, std::int64_t diskSize,
                                                           std::int64_t diskFreeSize) {
    // One block with its path, like every item; shared from then on.
    return std::shared_ptr<VolumeSystemItem>(makeWithName<VolumeSystemItem>(path, diskSize, diskFreeSize));
}

VolumeSystemItem::VolumeSystemItem(Key key, PlacedName path, std::int64_t diskSize,
                                   std::int64_t diskFreeSize)
    : FolderSystemItem(key, path, nullptr, false), nVolSize(diskSize), nVolFreeSize(diskFreeSize) {}

VolumeSystemItem::~VolumeSystemItem() = default;

}  // namespace kestrane
