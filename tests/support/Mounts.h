#pragma once

#include <string>

namespace kestrane::test {

// A small tmpfs mounted on a folder of a test, unmounted (lazily, so that an
// open descriptor cannot keep it) when the object goes. Mounting needs root;
// when it is not possible, isMounted() is false and why() says why, for the
// test's skip message.
class TmpfsMount {
public:
    explicit TmpfsMount(const std::string& mountPoint);
    ~TmpfsMount();
    TmpfsMount(const TmpfsMount&) = delete;
    TmpfsMount& operator=(const TmpfsMount&) = delete;

    bool isMounted() const { return m_mounted; }
    const std::string& why() const { return m_why; }
    const std::string& path() const { return m_mountPoint; }
    // Makes the mounted file system read-only; false when that failed.
    bool remountReadOnly();

private:
    std::string m_mountPoint;
    std::string m_why;
    bool m_mounted = false;
};

// Clears the immutable and append-only flags of a path when it goes, so that
// a temporary folder holding it can be removed even when a test fails.
class FlagsReset {
public:
    explicit FlagsReset(std::string path) : m_path(std::move(path)) {}
    ~FlagsReset();
    FlagsReset(const FlagsReset&) = delete;
    FlagsReset& operator=(const FlagsReset&) = delete;

private:
    std::string m_path;
};

}  // namespace kestrane::test
