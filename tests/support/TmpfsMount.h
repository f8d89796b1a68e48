#pragma once

#include <string>

namespace kestrane::test {

// A small tmpfs mounted on a new folder for as long as the object lives: a
// second, real volume for tests of what differs between volumes (trash
// folders, renames across mounts). Mounting needs root; without it, or when
// the mount fails, mounted() is false and skipReason() says why (the test
// skips with it). The mount is detached when the object goes.
class TmpfsMount {
public:
    // Mounts on `folder` (made when missing), with "ro" when readOnly.
    explicit TmpfsMount(const std::string& folder, bool readOnly = false);
    ~TmpfsMount();
    TmpfsMount(const TmpfsMount&) = delete;
    TmpfsMount& operator=(const TmpfsMount&) = delete;

    bool mounted() const { return m_mounted; }
    const std::string& skipReason() const { return m_skipReason; }
    const std::string& path() const { return m_path; }
    // Makes the mounted volume read-only (true) or writable again.
    bool remount(bool readOnly);

private:
    std::string m_path;
    std::string m_skipReason;
    bool m_mounted = false;
};

}  // namespace kestrane::test
