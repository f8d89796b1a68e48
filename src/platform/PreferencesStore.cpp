#include "platform/PreferencesStore.h"

#include "platform/Log.h"
#include "platform/UserFolders.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrane::platform {

namespace {

std::mutex g_standardMutex;
std::shared_ptr<PreferencesStore> g_standard;

std::string timestampForFileName() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &local);
    return text;
}

bool writeAll(int fd, const std::string& data) {
    std::size_t done = 0;
    while (done < data.size()) {
        ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

PreferencesStore::PreferencesStore(std::string filePath) : m_filePath(std::move(filePath)) {
    std::lock_guard lock(m_mutex);
    load();
}

std::shared_ptr<PreferencesStore> PreferencesStore::standard() {
    std::lock_guard lock(g_standardMutex);
    if (!g_standard) g_standard = std::make_shared<PreferencesStore>(preferencesFilePath());
    return g_standard;
}

void PreferencesStore::reopenStandard() {
    auto store = std::make_shared<PreferencesStore>(preferencesFilePath());
    std::lock_guard lock(g_standardMutex);
    g_standard = std::move(store);
}

std::string PreferencesStore::writtenFilePath() const {
    namespace fs = std::filesystem;
    // A preferences file that is a symbolic link (kept with the person's other
    // dot files, say) stays one: the file it points to is replaced, not the link.
    std::error_code ec;
    fs::path target(m_filePath);
    if (fs::is_symlink(target, ec)) {
        const fs::path resolved = fs::weakly_canonical(target, ec);
        if (!ec) target = resolved;
    }
    return target.string();
}

PreferencesStore::FileContent PreferencesStore::readFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT) return {FileContent::State::missing, {}, {}};
        return {FileContent::State::unusable, {}, std::string("it cannot be read (") + std::strerror(errno) + ")"};
    }
    std::string text;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            const int err = errno;
            ::close(fd);
            return {FileContent::State::unusable, {}, std::string("it cannot be read (") + std::strerror(err) + ")"};
        }
        if (n == 0) break;
        text.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    auto parsed = nlohmann::json::parse(text, nullptr, /*allow_exceptions=*/false);
    if (parsed.is_discarded()) return {FileContent::State::unusable, {}, "it is not valid JSON"};
    if (!parsed.is_object()) return {FileContent::State::unusable, {}, "it does not hold a JSON object"};
    return {FileContent::State::usable, std::move(parsed), {}};
}

PreferencesStore::WriterLock::WriterLock(const std::string& filePath) {
    const std::string lockPath = filePath + ".lock";
    m_fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    int locked = -1;
    if (m_fd >= 0) {
        do locked = ::flock(m_fd, LOCK_EX);
        while (locked != 0 && errno == EINTR);
    }
    if (locked != 0) {
        m_error = Error::fromErrno(errno, "cannot lock the preferences file", lockPath);
        if (m_fd >= 0) ::close(m_fd);
        m_fd = -1;
    }
}

PreferencesStore::WriterLock::~WriterLock() {
    if (m_fd >= 0) ::close(m_fd);  // releases the lock
}

void PreferencesStore::load() {
    FileContent content = readFile(m_filePath);
    if (content.state == FileContent::State::usable) m_values = std::move(content.values);
    if (content.state != FileContent::State::unusable) return;  // no file yet: every default applies

    // Set the file aside only while no other process writes, and only if it
    // is still unusable then: a writer may have replaced it meanwhile. Without
    // the lock (a folder that cannot be written) it cannot be moved anyway.
    const WriterLock lock(writtenFilePath());
    content = readFile(m_filePath);
    if (content.state == FileContent::State::usable) m_values = std::move(content.values);
    if (content.state == FileContent::State::unusable) setAsideLocked(m_filePath, content.reason);
}

bool PreferencesStore::setAsideLocked(const std::string& path, const std::string& reason) {
    namespace fs = std::filesystem;
    // Keep the unusable file for the person to look at, and start from the
    // defaults. rename() would silently replace an earlier backup of the same
    // second, so pick a name that is not taken yet.
    std::error_code ec;
    const std::string stem = path + ".broken-" + timestampForFileName();
    std::string backup = stem;
    auto taken = [&](const std::string& name) {
        const auto type = fs::symlink_status(name, ec).type();
        return type != fs::file_type::not_found && type != fs::file_type::none;  // none: cannot tell
    };
    for (int n = 1; taken(backup); ++n) backup = stem + "-" + std::to_string(n);
    if (::rename(path.c_str(), backup.c_str()) == 0) {
        warnLocked("the preferences file " + path + " was set aside because " + reason + "; it was moved to " +
                   backup + " and the default preferences apply");
        return true;
    }
    const int err = errno;
    m_lastError = Error::fromErrno(err, "cannot set the unusable preferences file aside", path);
    if (m_persistent)  // said once, not at every change
        warnLocked("the preferences file " + path + " is unusable because " + reason +
                   " and could not be moved aside (" + std::strerror(err) +
                   "); the default preferences apply and changes are kept in memory only");
    m_persistent = false;
    return false;
}

std::optional<nlohmann::json> PreferencesStore::object(const std::string& key) const {
    std::lock_guard lock(m_mutex);
    if (auto transient = m_transientValues.find(key); transient != m_transientValues.end()) return *transient;
    auto it = m_values.find(key);
    if (it == m_values.end()) return std::nullopt;
    return *it;
}

void PreferencesStore::setObject(const std::string& key, nlohmann::json value) {
    std::lock_guard lock(m_mutex);
    m_values[key] = value;
    m_unsaved[key] = std::move(value);
    flushLocked();
}

void PreferencesStore::removeObject(const std::string& key) {
    std::lock_guard lock(m_mutex);
    // Another process may have stored the key since this one read the file:
    // the removal is written whether or not this store holds it.
    m_values.erase(key);
    m_unsaved[key] = std::nullopt;
    flushLocked();
}

void PreferencesStore::setTransientObject(const std::string& key, nlohmann::json value) {
    std::lock_guard lock(m_mutex);
    m_transientValues[key] = std::move(value);
}

void PreferencesStore::clearTransientObjects() {
    std::lock_guard lock(m_mutex);
    m_transientValues = nlohmann::json::object();
}

std::vector<std::string> PreferencesStore::keys() const {
    std::lock_guard lock(m_mutex);
    std::vector<std::string> result;
    for (auto it = m_values.begin(); it != m_values.end(); ++it) result.push_back(it.key());
    return result;
}

bool PreferencesStore::isPersistent() const {
    std::lock_guard lock(m_mutex);
    return m_persistent;
}

std::optional<Error> PreferencesStore::lastError() const {
    std::lock_guard lock(m_mutex);
    return m_lastError;
}

std::vector<std::string> PreferencesStore::warnings() const {
    std::lock_guard lock(m_mutex);
    return m_warnings;
}

void PreferencesStore::warnOnce(const std::string& text) {
    std::lock_guard lock(m_mutex);
    if (m_onceWarnings.insert(text).second) warnLocked(text);
}

void PreferencesStore::warnLocked(std::string text) {
    logWarning(text);
    m_warnings.push_back(std::move(text));
}

void PreferencesStore::flushLocked() {
    namespace fs = std::filesystem;
    const std::string targetPath = writtenFilePath();
    const fs::path target(targetPath);

    auto fail = [&](const Error& error) {
        const bool first = m_persistent;
        m_persistent = false;
        m_lastError = error;
        if (first)
            warnLocked("preferences cannot be saved (" + m_lastError->describe() +
                       "); changes are kept for this run only");
    };

    std::error_code ec;
    fs::create_directories(target.parent_path(), ec);
    if (ec)
        return fail(
            Error::fromErrno(ec.value(), "cannot create the preferences folder", target.parent_path().string()));

    // One writer at a time, across processes: under the lock, what is on disk
    // now (with what other processes stored since this one read it) gets
    // this store's own changes, and nothing else of this store's view.
    const WriterLock lock(targetPath);
    if (!lock.held()) return fail(*lock.error());
    FileContent onDisk = readFile(targetPath);
    nlohmann::json merged = nlohmann::json::object();
    switch (onDisk.state) {
    case FileContent::State::missing:
        break;  // removed by hand, or never written: only this store's changes
    case FileContent::State::usable:
        merged = std::move(onDisk.values);
        break;
    case FileContent::State::unusable:
        // Spoilt since it was read: keep it for the person, start again from
        // the last good content this store knows.
        if (!setAsideLocked(targetPath, onDisk.reason)) return;
        merged = m_values;
        break;
    }
    const nlohmann::json before = merged;
    for (const auto& [key, value] : m_unsaved) {
        if (value)
            merged[key] = *value;
        else
            merged.erase(key);
    }

    // Nothing is written when nothing changes (a key removed that is not
    // there), nor an empty file where there is none.
    if (onDisk.state == FileContent::State::usable ? merged != before : !merged.empty()) {
        // Invalid UTF-8 in a value must not stop the write: replace it.
        const std::string data = merged.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
        std::string temp = targetPath + ".XXXXXX";
        const int fd = ::mkostemp(temp.data(), O_CLOEXEC);  // O_EXCL: a new name of its own
        if (fd < 0)
            return fail(Error::fromErrno(errno, "cannot write the preferences file", target.parent_path().string()));
        ::fchmod(fd, 0600);
        const bool written = writeAll(fd, data) && ::fsync(fd) == 0;
        const int writeErr = errno;
        ::close(fd);
        if (!written) {
            ::unlink(temp.c_str());
            return fail(Error::fromErrno(writeErr, "cannot write the preferences file", temp));
        }
        if (::rename(temp.c_str(), targetPath.c_str()) != 0) {
            const int err = errno;
            ::unlink(temp.c_str());
            return fail(Error::fromErrno(err, "cannot replace the preferences file", targetPath));
        }
        // Make the rename itself durable.
        const int dirFd = ::open(target.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dirFd >= 0) {
            ::fsync(dirFd);
            ::close(dirFd);
        }
    }
    m_values = std::move(merged);
    m_unsaved.clear();
    if (!m_persistent) {
        m_persistent = true;  // the folder became writable again
        m_lastError.reset();
    }
}

}  // namespace kestrane::platform
