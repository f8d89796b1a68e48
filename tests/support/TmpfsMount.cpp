#include "support/TmpfsMount.h"

#include <cerrno>
#include <cstring>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrane::test {

TmpfsMount::TmpfsMount(const std::string& folder, bool readOnly) : m_path(folder) {
    if (::geteuid() != 0) {
        m_skipReason = "mounting a tmpfs needs root";
        return;
    }
    ::mkdir(folder.c_str(), 0755);
    const unsigned long flags = MS_NOSUID | MS_NODEV | (readOnly ? MS_RDONLY : 0);
    if (::mount("kestrane-test", folder.c_str(), "tmpfs", flags, "size=16m,mode=0755") != 0) {
        m_skipReason = std::string("cannot mount a tmpfs: ") + std::strerror(errno);
        return;
    }
    m_mounted = true;
}

TmpfsMount::~TmpfsMount() {
    if (m_mounted) ::umount2(m_path.c_str(), MNT_DETACH);
}

bool TmpfsMount::remount(bool readOnly) {
    const unsigned long flags = MS_REMOUNT | MS_NOSUID | MS_NODEV | (readOnly ? MS_RDONLY : 0);
    return m_mounted && ::mount("kestrane-test", m_path.c_str(), "tmpfs", flags, "size=16m") == 0;
}

}  // namespace kestrane::test
