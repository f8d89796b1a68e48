#include "platform/VolumeInfo.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

using kestrane::platform::SystemVolumeInfoProvider;
using kestrane::platform::VolumeInfo;
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
    struct Expected {
        int id;
        const char* mountPoint;
        const char* type;
        const char* source;
        bool local, readOnly, ntfs;
    };
    const std::vector<Expected> expected = {
        {22, "/proc", "proc", "proc", true, false, false},
        {27, "/", "ext4", "/dev/vda", true, false, false},
        {40, "/media/usb stick", "ntfs3", "/dev/sdb1", true, false, true},
        {41, "/media/win", "fuseblk", "/dev/sdc1", true, false, true},  // ntfs-3g
        {42, "/mnt/a", "nfs4", "server:/export", false, false, false},
        {43, "/mnt/ab", "cifs", "//nas/share name", false, false, false},
        {44, "/mnt/backup", "ext4", "/dev/sda2", true, true, false},  // mounted read-only
        // The file system is read-only ("errors=remount-ro" is not).
        {45, "/mnt/frozen", "ext4", "/dev/sda3", true, true, false},
        {46, "/mnt/tab\tand\nbreak", "tmpfs", "", true, false, false},
        {47, "/home/me/remote", "fuse.sshfs", "me@host:/home", false, false, false},
        {48, "/dev/shm", "tmpfs", "tmpfs", true, false, false},
        {49, "/dev/shm", "tmpfs", "tmpfs", true, false, false},
        {52, "/mnt/nas/a\\b", "ext4", "/dev/sda4", true, false, false},
    };
    const std::vector<VolumeInfo> volumes = VolumeInfo::parseMountInfo(kMountInfo);
    ASSERT_EQ(volumes.size(), expected.size());
    for (std::size_t i = 0; i < volumes.size(); ++i) {
        const VolumeInfo& v = volumes[i];
        const Expected& e = expected[i];
        SCOPED_TRACE(e.id);
        EXPECT_EQ(v.mountId, e.id);
        EXPECT_EQ(v.mountPoint, e.mountPoint);
        EXPECT_EQ(v.fileSystemType, e.type);
        EXPECT_EQ(v.source, e.source);
        EXPECT_EQ(v.isLocal, e.local);
        EXPECT_EQ(v.isReadOnly, e.readOnly);
        EXPECT_EQ(v.isNtfs, e.ntfs);
    }
    EXPECT_EQ(makedev(254, 0), volumes[1].device);
    EXPECT_EQ(1, volumes[1].parentMountId);
    EXPECT_EQ("/sub\\dir", volumes[8].rootInFileSystem);
}

TEST(VolumeInfoTest, PicksTheLongestMountPointContainingThePath) {
    const std::vector<VolumeInfo> volumes = VolumeInfo::parseMountInfo(kMountInfo);
    const std::vector<std::pair<const char*, int>> cases = {
        {"/mnt/a", 42},          {"/mnt/a/", 42},           {"/mnt/a/deep/file", 42},  {"/mnt/ab/file", 43},
        {"//mnt//ab/./x", 43},   {"/mnt/a/../ab/f", 43},    {"/mnt/abc", 27},          {"/mnt", 27},
        {"/", 27},               {"/home/me/remote2", 27},  {"/home/me/remote/x", 47}, {"/media/usb", 27},
        {"/media/usb stick/photo.jpg", 40},                 {"/mnt/tab\tand\nbreak/f", 46},
        {"/dev/shm/x", 49},  // the later mount hides the earlier one
        {"relative/path", -1},   {"", -1},
    };
    for (const auto& [path, id] : cases) {
        const VolumeInfo* volume = VolumeInfo::volumeContainingPath(volumes, path);
        EXPECT_EQ(volume ? volume->mountId : -1, id) << path;
    }
    EXPECT_EQ(nullptr, VolumeInfo::volumeContainingPath({}, "/anything"));
}

TEST(VolumeInfoTest, SystemProviderDescribesRealVolumes) {
    TempDir dir;
    dir.writeFile("file", "x");
    const SystemVolumeInfoProvider provider;

    const std::vector<VolumeInfo> all = provider.mountedVolumes();
    EXPECT_TRUE(std::any_of(all.begin(), all.end(), [](const VolumeInfo& v) { return v.mountPoint == "/"; }));

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

}  // namespace
