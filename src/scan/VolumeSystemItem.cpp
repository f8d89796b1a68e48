#include "scan/VolumeSystemItem.h"

namespace kestrane {

std::shared_ptr<VolumeSystemItem> VolumeSystemItem::create(std::string_view path, std::int64_t diskSize,
                                                           std::int64_t diskFreeSize) {
    return std::make_shared<VolumeSystemItem>(Key{}, path, diskSize, diskFreeSize);
}

VolumeSystemItem::VolumeSystemItem(Key key, std::string_view path, std::int64_t diskSize,
                                   std::int64_t diskFreeSize)
    : FolderSystemItem(key, path, nullptr, false), nVolSize(diskSize), nVolFreeSize(diskFreeSize) {}

VolumeSystemItem::~VolumeSystemItem() = default;

}  // namespace kestrane
