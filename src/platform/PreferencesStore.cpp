#include "platform/PreferencesStore.h"

#include "platform/Log.h"
#include "platform/UserFolders.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
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

void PreferencesStore::load() {
    namespace fs = std::filesystem;
    std::error_code ec;
    if (!fs::exists(m_filePath, ec)) return;  // no file yet: every default applies

    std::string reason;
    std::ifstream in(m_filePath, std::ios::binary);
    if (!in) {
        reason = std::string("it cannot be read (") + std::strerror(errno) + ")";
    } else {
        std::stringstream buffer;
        buffer << in.rdbuf();
        auto parsed = nlohmann::json::parse(buffer.str(), nullptr, /*allow_exceptions=*/false);
        if (parsed.is_discarded())
            reason = "it is not valid JSON";
        else if (!parsed.is_object())
            reason = "it does not hold a JSON object";
        else {
            m_values = std::move(parsed);
            return;
        }
    }

    // Keep the unusable file for the person to look at, and start from the
    // defaults. rename() would silently replace an earlier backup of the same
    // second, so pick a name that is not taken yet.
    const std::string stem = m_filePath + ".broken-" + timestampForFileName();
    std::string backup = stem;
    auto taken = [&](const std::string& name) {
        const auto type = fs::symlink_status(name, ec).type();
        return type != fs::file_type::not_found && type != fs::file_type::none;  // none: cannot tell
    };
    for (int n = 1; taken(backup); ++n) backup = stem + "-" + std::to_string(n);
    if (::rename(m_filePath.c_str(), backup.c_str()) == 0) {
        warnLocked("the preferences file " + m_filePath + " was set aside because " + reason +
                   "; it was moved to " + backup + " and the default preferences apply");
    } else {
        const int err = errno;
        m_lastError = Error::fromErrno(err, "cannot set the unusable preferences file aside", m_filePath);
        warnLocked("the preferences file " + m_filePath + " is unusable because " + reason +
                   " and could not be moved aside (" + std::strerror(err) +
                   "); the default preferences apply and changes are kept in memory only");
        m_persistent = false;
    }
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
    m_values[key] = std::move(value);
    flushLocked();
}

void PreferencesStore::removeObject(const std::string& key) {
    std::lock_guard lock(m_mutex);
    if (m_values.erase(key) > 0) flushLocked();
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
    // Invalid UTF-8 in a value must not stop the write: replace it.
    const std::string data = m_values.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
    std::error_code ec;
    // A preferences file that is a symbolic link (kept with the person's other
    // dot files, say) stays one: the file it points to is replaced, not the link.
    fs::path target(m_filePath);
    if (fs::is_symlink(target, ec)) {
        const fs::path resolved = fs::weakly_canonical(target, ec);
        if (!ec) target = resolved;
        ec.clear();
    }
    const std::string targetPath = target.string();

    auto fail = [&](int err, const std::string& what, const std::string& path) {
        const bool first = m_persistent;
        m_persistent = false;
        m_lastError = Error::fromErrno(err, what, path);
        if (first)
            warnLocked("preferences cannot be saved (" + m_lastError->describe() +
                       "); changes are kept for this run only");
    };

    fs::create_directories(target.parent_path(), ec);
    if (ec) return fail(ec.value(), "cannot create the preferences folder", target.parent_path().string());

    std::string temp = targetPath + ".XXXXXX";
    int fd = ::mkstemp(temp.data());
    if (fd < 0) return fail(errno, "cannot write the preferences file", target.parent_path().string());
    ::fchmod(fd, 0600);
    const bool written = writeAll(fd, data) && ::fsync(fd) == 0;
    const int writeErr = errno;
    ::close(fd);
    if (!written) {
        ::unlink(temp.c_str());
        return fail(writeErr, "cannot write the preferences file", temp);
    }
    if (::rename(temp.c_str(), targetPath.c_str()) != 0) {
        const int err = errno;
        ::unlink(temp.c_str());
        return fail(err, "cannot replace the preferences file", targetPath);
    }
    // Make the rename itself durable.
    int dirFd = ::open(target.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    if (!m_persistent) {
        m_persistent = true;  // the folder became writable again
        m_lastError.reset();
    }
}

}  // namespace kestrane::platform
