#include "support/Mounts.h"

#include "platform/FileFlags.h"

#include <cerrno>
#include <cstring>

#include <sys/mount.h>
#include <unistd.h>

namespace kestrane::test {

TmpfsMount::TmpfsMount(const std::string& mountPoint) : m_mountPoint(mountPoint) {
    if (::geteuid() != 0) {
        m_why = "mounting a tmpfs needs root";
        return;
    }
    if (::mount("kestrane-test", mountPoint.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, "size=16m,mode=0755") != 0) {
        m_why = std::string("could not mount a tmpfs: ") + std::strerror(errno);
        return;
    }
    m_mounted = true;
}

TmpfsMount::~TmpfsMount() {
    if (m_mounted) ::umount2(m_mountPoint.c_str(), MNT_DETACH);
}

bool TmpfsMount::remountReadOnly() {
    return m_mounted &&
           ::mount(nullptr, m_mountPoint.c_str(), nullptr, MS_REMOUNT | MS_RDONLY | MS_NOSUID | MS_NODEV, nullptr) == 0;
}

FlagsReset::~FlagsReset() {
    platform::setFileFlags(m_path, {});
}

}  // namespace kestrane::test
