#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <ctime>
#include <functional>
#include <optional>
#include <string>

#include "platform/Error.h"

#include <ostream>

namespace kestrane {

// Errors print as their message in a test's failure output.
inline void PrintTo(const Error& error, std::ostream* out) {
    *out << error.describe() << " [" << error.domain << " " << error.code << "]";
}

}  // namespace kestrane

namespace kestrane::test {

// A temporary folder removed with everything in it when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return m_path; }
    // Path of a relative name inside the folder.
    std::string operator/(const std::string& relative) const;

    // Creates a folder (and its parents); returns its path.
    std::string makeDir(const std::string& relative) const;
    // Creates a file (and its parent folders) holding the bytes; returns its path.
    std::string writeFile(const std::string& relative, const std::string& content) const;
    // Creates a file of the given size filled with a repeating pattern.
    std::string writeFileOfSize(const std::string& relative, std::size_t size, char fill = 'x') const;
    // Creates a chain of folders with 250-byte names below `relative` (made
    // one relative to the other, so the path grows past PATH_MAX) until the
    // deepest one's path is at least minimumLength bytes; returns that path.
    std::string makeDeepDir(const std::string& relative, std::size_t minimumLength) const;
    // Writes a file at an absolute path of any length (its folders must exist).
    static void writeFileAtAnyDepth(const std::string& path, const std::string& content);

private:
    std::string m_path;
};

// Runs check() as an unprivileged user: in a child process switched to user
// and group 65534 (nobody) when the tests run as root, since root reads what
// has no read permission; in the test's own process otherwise. The child must
// not need threads the parent started.
void expectAsUnprivilegedUser(const std::function<bool()>& check);

// Fixture: every test gets a fresh HOME, XDG_CONFIG_HOME and XDG_DATA_HOME in
// a temporary folder, so that nothing of the person running the tests is read
// or touched, and the standard preferences store is reopened there.
class IsolatedHomeTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    TempDir m_sandbox;
    std::string m_home;
};

// Sets TZ (a POSIX rule such as "UTC0" or "EST5EDT,M3.2.0,M11.1.0", which
// needs no time-zone database) for this process and the programs it starts,
// and puts the previous value back when the object goes.
class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const std::string& zone);
    ~ScopedTimeZone();
    ScopedTimeZone(const ScopedTimeZone&) = delete;
    ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

private:
    std::optional<std::string> m_previous;
};

// The whole content of a file (empty when it cannot be read).
std::string fileContent(const std::string& path);
// Sets the modification time of a file or folder (no link followed), in
// seconds and nanoseconds since 1970, failing the test when it cannot; and
// reads it back (zero when it cannot be examined).
void setModificationTime(const std::string& path, std::int64_t seconds, long nanoseconds = 0);
timespec modificationTimeOf(const std::string& path);

// Deterministic bytes that repeat nowhere within a file of this size.
std::string noise(std::size_t size, std::uint32_t seed);
// The digest coreutils' md5sum gives for a file: an implementation that
// shares nothing with Kestrane's ("md5sum failed" when it cannot run).
std::string md5sum(const std::string& path);

// Checks the condition every few milliseconds until it holds (true) or the
// time runs out (false): for waiting on another process.
bool pollUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout);

// Runs the main queue until the condition holds or the time runs out (then fails the test).
bool runMainQueueUntil(const std::function<bool()>& condition,
                       std::chrono::milliseconds timeout = std::chrono::seconds(20));

}  // namespace kestrane::test
