#include "platform/VolumeInfo.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

using kestrane::platform::SystemVolumeInfoProvider;
using kestrane::platform::VolumeCapacity;
using kestrane::platform::VolumeInfo;
using kestrane::platform::VolumeInfoProvider;
using kestrane::test::TempDir;

namespace {

// A mount table as the kernel writes it, with the cases that trip parsers up:
// optional fields, escaped bytes, an empty source, read-only flags in either
// option list, two mounts on one point, and lines to be ignored.
const char* const kMountInfo =
    "22 27 0:21 / /proc rw,relatime - proc proc rw\n"
    "27 1 254:0 / / rw,relatime shared:1 - ext4 /dev/vda rw,discard\n"
    "40 27 8:17 / /media/usb\\040stick rw,nosuid shared:5 master:2 - ntfs3 /dev/sdb1 rw,uid=1000\n"
    "41 27 8:33 / /media/win rw,relatime - fuseblk /dev/sdc1 rw,user_id=0,allow_other\n"
    "42 27 0:50 / /mnt/a rw - nfs4 server:/export rw,vers=4.2\n"
    "43 27 0:51 / /mnt/ab rw - cifs //nas/share\\040name rw\n"
    "44 27 8:2 / /mnt/backup ro,relatime - ext4 /dev/sda2 ro\n"
    "45 27 8:3 / /mnt/frozen rw,relatime - ext4 /dev/sda3 ro,errors=remount-ro\n"
    "46 27 0:52 /sub\\134dir /mnt/tab\\011and\\012break rw - tmpfs  rw\n"
    "47 27 0:53 / /home/me/remote rw - fuse.sshfs me@host:/home rw\n"
    "48 27 0:54 / /dev/shm rw - tmpfs tmpfs rw\n"
    "49 48 0:55 / /dev/shm rw - tmpfs tmpfs rw,size=1k\n"
    "this is not a mount line\n"
    "50 27 0:56 / relative rw - tmpfs tmpfs rw\n"
    "51 27 0:57 / /no/separator rw tmpfs tmpfs rw\n"
    "\n"
    "52 27 8:4 / /mnt/nas/a\\134b rw - ext4 /dev/sda4 rw";  // no final line break

TEST(VolumeInfoTest, ParsesTheMountTable) {
    const std::vector<VolumeInfo> volumes = VolumeInfo::parseMountInfo(kMountInfo);
    std::map<int, VolumeInfo> byId;
    for (const auto& volume : volumes) byId[volume.mountId] = volume;
    ASSERT_EQ(13u, volumes.size());
    ASSERT_EQ(13u, byId.size());
    EXPECT_EQ(0u, byId.count(50));
    EXPECT_EQ(0u, byId.count(51));

    const VolumeInfo& root = byId.at(27);
    EXPECT_EQ("/", root.mountPoint);
    EXPECT_EQ("ext4", root.fileSystemType);
    EXPECT_EQ("/dev/vda", root.source);
    EXPECT_EQ(makedev(254, 0), root.device);
    EXPECT_EQ(1, root.parentMountId);
    EXPECT_TRUE(root.isLocal);
    EXPECT_FALSE(root.isReadOnly);
    EXPECT_FALSE(root.isNtfs);

    const VolumeInfo& usb = byId.at(40);
    EXPECT_EQ("/media/usb stick", usb.mountPoint);
    EXPECT_EQ("ntfs3", usb.fileSystemType);
    EXPECT_EQ("/dev/sdb1", usb.source);
    EXPECT_TRUE(usb.isNtfs);
    EXPECT_TRUE(usb.isLocal);
    EXPECT_TRUE(byId.at(41).isNtfs);  // fuseblk: ntfs-3g

    EXPECT_FALSE(byId.at(42).isLocal);
    EXPECT_EQ("nfs4", byId.at(42).fileSystemType);
    EXPECT_FALSE(byId.at(43).isLocal);
    EXPECT_EQ("//nas/share name", byId.at(43).source);
    EXPECT_FALSE(byId.at(47).isLocal);
    EXPECT_EQ("fuse.sshfs", byId.at(47).fileSystemType);

    EXPECT_TRUE(byId.at(44).isReadOnly);   // mounted read-only
    EXPECT_TRUE(byId.at(45).isReadOnly);   // the file system is read-only ("errors=remount-ro" is not)
    EXPECT_FALSE(byId.at(43).isReadOnly);

    const VolumeInfo& odd = byId.at(46);
    EXPECT_EQ("/mnt/tab\tand\nbreak", odd.mountPoint);
    EXPECT_EQ("/sub\\dir", odd.rootInFileSystem);
    EXPECT_EQ("", odd.source);
    EXPECT_EQ("tmpfs", odd.fileSystemType);
    EXPECT_EQ("/mnt/nas/a\\b", byId.at(52).mountPoint);
}

TEST(VolumeInfoTest, PicksTheLongestMountPointContainingThePath) {
    const std::vector<VolumeInfo> volumes = VolumeInfo::parseMountInfo(kMountInfo);
    const auto mountOf = [&](std::string_view path) {
        const VolumeInfo* volume = VolumeInfo::volumeContainingPath(volumes, path);
        return volume ? volume->mountId : -1;
    };
    EXPECT_EQ(42, mountOf("/mnt/a"));
    EXPECT_EQ(42, mountOf("/mnt/a/"));
    EXPECT_EQ(42, mountOf("/mnt/a/deep/file"));
    EXPECT_EQ(43, mountOf("/mnt/ab/file"));
    EXPECT_EQ(43, mountOf("//mnt//ab/./x"));
    EXPECT_EQ(43, mountOf("/mnt/a/../ab/f"));
    EXPECT_EQ(27, mountOf("/mnt/abc"));
    EXPECT_EQ(27, mountOf("/mnt"));
    EXPECT_EQ(27, mountOf("/"));
    EXPECT_EQ(27, mountOf("/home/me/remote2"));
    EXPECT_EQ(47, mountOf("/home/me/remote/x"));
    EXPECT_EQ(40, mountOf("/media/usb stick/photo.jpg"));
    EXPECT_EQ(27, mountOf("/media/usb"));
    EXPECT_EQ(46, mountOf("/mnt/tab\tand\nbreak/f"));
    EXPECT_EQ(49, mountOf("/dev/shm/x"));  // the later mount hides the earlier one
    EXPECT_EQ(-1, mountOf("relative/path"));
    EXPECT_EQ(-1, mountOf(""));

    EXPECT_EQ(nullptr, VolumeInfo::volumeContainingPath({}, "/anything"));
}

TEST(VolumeInfoTest, SystemProviderDescribesRealVolumes) {
    TempDir dir;
    dir.writeFile("file", "x");
    const SystemVolumeInfoProvider provider;

    const std::vector<VolumeInfo> all = provider.mountedVolumes();
    ASSERT_FALSE(all.empty());
    bool haveRoot = false;
    for (const auto& volume : all) haveRoot = haveRoot || volume.mountPoint == "/";
    EXPECT_TRUE(haveRoot);

    const auto volume = provider.volumeForPath(dir.path());
    ASSERT_TRUE(volume);
    EXPECT_FALSE(volume->fileSystemType.empty());
    EXPECT_EQ(0, dir.path().compare(0, volume->mountPoint.size(), volume->mountPoint)) << volume->mountPoint;
    struct stat info {};
    ASSERT_EQ(0, ::stat(dir.path().c_str(), &info));
    EXPECT_EQ(static_cast<std::uint64_t>(info.st_dev), volume->device);

    // A path that does not exist yet belongs to the volume it would be created on;
    // a symbolic link to the volume where the link itself lies.
    const auto missing = provider.volumeForPath(dir / "not/yet/there");
    ASSERT_TRUE(missing);
    EXPECT_EQ(volume->mountId, missing->mountId);
    struct stat procInfo {};
    if (::stat("/proc", &procInfo) == 0 && procInfo.st_dev != info.st_dev) {
        ASSERT_EQ(0, ::symlink("/proc", (dir / "to-proc").c_str()));
        const auto link = provider.volumeForPath(dir / "to-proc");
        ASSERT_TRUE(link);
        EXPECT_EQ(volume->mountId, link->mountId);
        const auto proc = provider.volumeForPath("/proc/self");
        ASSERT_TRUE(proc);
        EXPECT_EQ("proc", proc->fileSystemType);
        EXPECT_EQ("/proc", proc->mountPoint);
    }

    const auto capacity = provider.capacityForPath(dir / "file");
    ASSERT_TRUE(capacity);
    EXPECT_GT(capacity->capacity, 0u);
    EXPECT_LE(capacity->freeSpace, capacity->capacity);
    EXPECT_FALSE(provider.capacityForPath(dir / "not/yet/there"));
}

// Presents every path as lying on one network share.
class NetworkShareProvider : public VolumeInfoProvider {
public:
    std::optional<VolumeInfo> volumeForPath(const std::string&) const override { return share(); }
    std::optional<VolumeCapacity> capacityForPath(const std::string&) const override {
        return VolumeCapacity{1000, 10};
    }
    std::vector<VolumeInfo> mountedVolumes() const override { return {share()}; }

private:
    static VolumeInfo share() {
        VolumeInfo volume;
        volume.mountPoint = "/net/share";
        volume.fileSystemType = "cifs";
        volume.isLocal = false;
        return volume;
    }
};

TEST(VolumeInfoTest, TestsCanInstallAProviderAndPutTheSystemOneBack) {
    TempDir dir;
    const auto previous = kestrane::platform::setVolumeInfoProvider(std::make_shared<NetworkShareProvider>());
    ASSERT_TRUE(previous);
    const auto faked = kestrane::platform::volumeInfoProvider().volumeForPath(dir.path());
    ASSERT_TRUE(faked);
    EXPECT_FALSE(faked->isLocal);
    EXPECT_EQ(10u, kestrane::platform::volumeInfoProvider().capacityForPath(dir.path())->freeSpace);

    const auto fake = kestrane::platform::setVolumeInfoProvider(nullptr);
    EXPECT_NE(nullptr, dynamic_cast<const NetworkShareProvider*>(fake.get()));
    const auto real = kestrane::platform::volumeInfoProvider().volumeForPath(dir.path());
    ASSERT_TRUE(real);
    EXPECT_NE("/net/share", real->mountPoint);
}

}  // namespace
