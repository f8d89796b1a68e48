#include "support/FakeVolumes.h"

namespace kestrane::test {

FakeVolumes::FakeVolumes(std::vector<std::string> mountPoints) {
    for (auto& point : mountPoints) m_volumes.push_back(volume(std::move(point)));
}

std::shared_ptr<FakeVolumes> FakeVolumes::of(std::vector<platform::VolumeInfo> volumes) {
    auto provider = std::make_shared<FakeVolumes>(std::vector<std::string>{});
    provider->m_volumes = std::move(volumes);
    return provider;
}

platform::VolumeInfo FakeVolumes::volume(std::string mountPoint, std::string type, bool readOnly) {
    platform::VolumeInfo info;
    info.mountPoint = std::move(mountPoint);
    info.isNtfs = platform::VolumeInfo::isNtfsFileSystemType(type);
    info.fileSystemType = std::move(type);
    info.isReadOnly = readOnly;
    return info;
}

std::optional<platform::VolumeInfo> FakeVolumes::volumeForPath(const std::string& path) const {
    const auto* volume = platform::VolumeInfo::volumeContainingPath(m_volumes, path);
    if (!volume) return std::nullopt;
    return *volume;
}

std::optional<platform::VolumeCapacity> FakeVolumes::capacityForPath(const std::string&) const {
    return platform::VolumeCapacity{1000000, 500000};
}

}  // namespace kestrane::test
