#include "support/TestSupport.h"

#include "platform/MainQueue.h"
#include "platform/PreferencesStore.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace kestrane::test {

namespace fs = std::filesystem;

TempDir::TempDir() {
    std::string pattern = (fs::temp_directory_path() / "kestrane-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    m_path = pattern;
}

namespace {

// Removes `name` inside dirFd and everything below it, however deep, without
// building paths (std::filesystem stops at PATH_MAX).
void removeTreeAt(int dirFd, const char* name) {
    if (::unlinkat(dirFd, name, 0) == 0 || (errno != EISDIR && errno != EPERM)) return;
    const int fd = ::openat(dirFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd >= 0) {
        ::fchmod(fd, 0700);
        if (DIR* dir = ::fdopendir(::dup(fd))) {
            std::vector<std::string> names;
            while (const dirent* entry = ::readdir(dir)) {
                const std::string child = entry->d_name;
                if (child != "." && child != "..") names.push_back(child);
            }
            ::closedir(dir);
            for (const auto& child : names) removeTreeAt(fd, child.c_str());
        }
        ::close(fd);
    }
    ::unlinkat(dirFd, name, AT_REMOVEDIR);
}

// Opens the folder at an absolute path of any length, one component at a time.
int openFolderAtAnyDepth(const std::string& path) {
    int fd = ::open("/", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    std::size_t start = 1;
    while (fd >= 0 && start < path.size()) {
        std::size_t end = path.find('/', start);
        if (end == std::string::npos) end = path.size();
        const std::string component = path.substr(start, end - start);
        start = end + 1;
        if (component.empty()) continue;
        const int next = ::openat(fd, component.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ::close(fd);
        fd = next;
    }
    return fd;
}

}  // namespace

TempDir::~TempDir() {
    // A tree deeper than PATH_MAX goes first, relative to open folders.
    if (const int fd = ::open(m_path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); fd >= 0) {
        if (DIR* dir = ::fdopendir(::dup(fd))) {
            std::vector<std::string> deep;
            while (const dirent* entry = ::readdir(dir))
                if (std::string(entry->d_name).starts_with("deep-")) deep.push_back(entry->d_name);
            ::closedir(dir);
            for (const auto& name : deep) removeTreeAt(fd, name.c_str());
        }
        ::close(fd);
    }
    std::error_code ec;
    // Tests may leave folders without permissions behind: give them back first.
    for (auto it = fs::recursive_directory_iterator(m_path, fs::directory_options::skip_permission_denied, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_directory(ec) && !it->is_symlink(ec))
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    }
    fs::permissions(m_path, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(m_path, ec);
}

std::string TempDir::operator/(const std::string& relative) const {
    return m_path + "/" + relative;
}

std::string TempDir::makeDir(const std::string& relative) const {
    const std::string path = *this / relative;
    fs::create_directories(path);
    return path;
}

std::string TempDir::writeFile(const std::string& relative, const std::string& content) const {
    const std::string path = *this / relative;
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
    return path;
}

std::string TempDir::writeFileOfSize(const std::string& relative, std::size_t size, char fill) const {
    return writeFile(relative, std::string(size, fill));
}

std::string TempDir::makeDeepDir(const std::string& relative, std::size_t minimumLength) const {
    // Named "deep-..." at the top so that the destructor knows to remove it relative to open folders.
    const std::string top = "deep-" + relative;
    makeDir(top);
    std::string path = *this / top;
    int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    for (int level = 0; fd >= 0 && path.size() < minimumLength; ++level) {
        const std::string name = std::string(250, 'd') + std::to_string(level);
        if (::mkdirat(fd, name.c_str(), 0755) != 0) break;
        const int next = ::openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ::close(fd);
        fd = next;
        path += "/" + name;
    }
    if (fd < 0 || path.size() < minimumLength) throw std::runtime_error("cannot make a deep folder in " + m_path);
    ::close(fd);
    return path;
}

void TempDir::writeFileAtAnyDepth(const std::string& path, const std::string& content) {
    const std::size_t slash = path.rfind('/');
    const int dirFd = openFolderAtAnyDepth(path.substr(0, slash));
    const int fd = dirFd < 0 ? -1
                             : ::openat(dirFd, path.c_str() + slash + 1, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (dirFd >= 0) ::close(dirFd);
    const bool written = fd >= 0 && ::write(fd, content.data(), content.size()) == static_cast<ssize_t>(content.size());
    if (fd >= 0) ::close(fd);
    if (!written) throw std::runtime_error("cannot write a file at depth " + std::to_string(path.size()));
}

void expectAsUnprivilegedUser(const std::function<bool()>& check) {
    if (::geteuid() != 0) {
        EXPECT_TRUE(check());
        return;
    }
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(3);
        ::_exit(check() ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the check failed in the unprivileged child (3: could not drop privileges)";
}

void IsolatedHomeTest::SetUp() {
    m_home = m_sandbox.makeDir("home");
    ::setenv("HOME", m_home.c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (m_home + "/.config").c_str(), 1);
    ::setenv("XDG_DATA_HOME", (m_home + "/.local/share").c_str(), 1);
    platform::PreferencesStore::reopenStandard();
}

void IsolatedHomeTest::TearDown() {
    platform::MainQueue::shared().runPending();
}

ScopedTimeZone::ScopedTimeZone(const std::string& zone) {
    if (const char* previous = std::getenv("TZ")) m_previous = previous;
    ::setenv("TZ", zone.c_str(), 1);
    ::tzset();
}

ScopedTimeZone::~ScopedTimeZone() {
    if (m_previous)
        ::setenv("TZ", m_previous->c_str(), 1);
    else
        ::unsetenv("TZ");
    ::tzset();
}

std::string noise(std::size_t size, std::uint32_t seed) {
    std::string bytes(size, '\0');
    std::uint32_t state = seed * 2654435761u + 1;
    for (char& c : bytes) {
        state = state * 1664525u + 1013904223u;
        c = static_cast<char>(state >> 24);
    }
    return bytes;
}

std::string md5sum(const std::string& path) {
    FILE* pipe = ::popen(("md5sum -- '" + path + "'").c_str(), "r");  // test paths hold no quote
    if (!pipe) return "popen failed";
    char digest[33] = {};
    const std::size_t read = std::fread(digest, 1, 32, pipe);
    ::pclose(pipe);
    return read == 32 ? std::string(digest, 32) : "md5sum failed";
}

std::string fileContent(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void setModificationTime(const std::string& path, std::int64_t seconds, long nanoseconds) {
    const timespec times[2] = {{static_cast<time_t>(seconds), 0}, {static_cast<time_t>(seconds), nanoseconds}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0) << path;
}

timespec modificationTimeOf(const std::string& path) {
    struct stat attributes {};
    if (::lstat(path.c_str(), &attributes) != 0) return {};
    return attributes.st_mtim;
}

bool pollUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

bool runMainQueueUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    const bool reached = platform::MainQueue::shared().runUntil(condition, timeout);
    EXPECT_TRUE(reached) << "condition not reached within " << timeout.count() << " ms";
    return reached;
}

}  // namespace kestrane::test
