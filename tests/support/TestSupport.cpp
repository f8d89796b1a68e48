#include "support/TestSupport.h"

#include "platform/MainQueue.h"
#include "platform/PreferencesStore.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

namespace kestrane::test {

namespace fs = std::filesystem;

TempDir::TempDir() {
    std::string pattern = (fs::temp_directory_path() / "kestrane-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    m_path = pattern;
}

TempDir::~TempDir() {
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

bool runMainQueueUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    const bool reached = platform::MainQueue::shared().runUntil(condition, timeout);
    EXPECT_TRUE(reached) << "condition not reached within " << timeout.count() << " ms";
    return reached;
}

}  // namespace kestrane::test
