#pragma once

#include "platform/VolumeInfo.h"

#include <memory>
#include <string>
#include <vector>

namespace kestrane::test {

// Presents volumes by mount point; paths under none of them have no volume.
// Stands in for volumes a test machine cannot have (read-only, NTFS).
class FakeVolumes : public platform::VolumeInfoProvider {
public:
    explicit FakeVolumes(std::vector<std::string> mountPoints);
    // A provider of exactly these volumes.
    static std::shared_ptr<FakeVolumes> of(std::vector<platform::VolumeInfo> volumes);

    // An ext4 volume mounted at the mount point, writable unless told otherwise.
    static platform::VolumeInfo volume(std::string mountPoint, std::string type = "ext4", bool readOnly = false);

    std::optional<platform::VolumeInfo> volumeForPath(const std::string& path) const override;
    std::optional<platform::VolumeCapacity> capacityForPath(const std::string& path) const override;
    std::vector<platform::VolumeInfo> mountedVolumes() const override { return m_volumes; }

private:
    std::vector<platform::VolumeInfo> m_volumes;
};

}  // namespace kestrane::test
