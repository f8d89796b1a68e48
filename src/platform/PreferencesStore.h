#pragma once

#include "platform/Error.h"

#include <nlohmann/json.hpp>

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace kestrane::platform {

// The user's preferences: one JSON object in one file, keys mapped to JSON
// values. Thread-safe; every change is written to disk at once, atomically
// (write a temporary file, fsync, rename).
//
// Several processes (and several stores in one process) may share the file.
// Each write takes an exclusive flock() on FILE.lock, reads the file again,
// applies only the keys this store changed (set or removed) since its last
// successful write, writes the result and renames it into place, so that no
// change another writer made meanwhile is lost. The store's view then holds
// everything the file holds. Reads use the view; they do not go to disk.
//
// A file that cannot be parsed, cannot be read or does not hold a JSON object
// is moved aside (preferences.json.broken-YYYYMMDD-HHMMSS), the store starts
// empty so that every default applies, and a warning says where the old file
// went. When the folder cannot be written the store keeps working in memory
// and says why in lastError().
class PreferencesStore {
public:
    explicit PreferencesStore(std::string filePath);

    // The process-wide store at preferencesFilePath(), opened on first use.
    static std::shared_ptr<PreferencesStore> standard();
    // Opens the standard store again at the current preferencesFilePath()
    // (used when HOME or XDG_CONFIG_HOME changed, as in tests).
    static void reopenStandard();

    std::optional<nlohmann::json> object(const std::string& key) const;
    void setObject(const std::string& key, nlohmann::json value);
    void removeObject(const std::string& key);
    std::vector<std::string> keys() const;

    // Values for this process only: a transient value shadows the stored one
    // for object() until it is cleared, and is never written. setObject() and
    // removeObject() still change the stored value underneath. A front end
    // uses this for options that apply to one run (a command line's
    // overrides, say).
    void setTransientObject(const std::string& key, nlohmann::json value);
    void clearTransientObjects();

    const std::string& filePath() const { return m_filePath; }
    // False once a write failed; the values are still kept in memory.
    bool isPersistent() const;
    // The last problem met while loading or writing, if any.
    std::optional<Error> lastError() const;
    // Warnings for the person (a file set aside, an unwritable folder, a
    // stored value that cannot be used), oldest first.
    std::vector<std::string> warnings() const;
    // Adds a warning (and logs it) unless the same text was given before:
    // the typed settings say once that a stored value cannot be used,
    // however often it is read.
    void warnOnce(const std::string& text);

private:
    // What reading the file found.
    struct FileContent {
        enum class State { missing, usable, unusable } state;
        nlohmann::json values;  // usable: the object
        std::string reason;     // unusable: why, for the warning
    };
    // An exclusive flock() on FILE.lock for as long as it lives, shared by
    // every process writing FILE.
    class WriterLock {
    public:
        explicit WriterLock(const std::string& filePath);
        ~WriterLock();
        WriterLock(const WriterLock&) = delete;
        WriterLock& operator=(const WriterLock&) = delete;
        bool held() const { return m_fd >= 0; }
        const std::optional<Error>& error() const { return m_error; }

    private:
        int m_fd = -1;
        std::optional<Error> m_error;
    };

    static FileContent readFile(const std::string& path);
    // The file written: the path, or the file it leads to when it is a link.
    std::string writtenFilePath() const;
    void load();
    // Moves an unusable file to FILE.broken-DATE and warns; false (and the
    // store kept in memory only) when it cannot be moved.
    bool setAsideLocked(const std::string& path, const std::string& reason);
    // Writes the unsaved changes into the file as it is now (see above).
    void flushLocked();
    void warnLocked(std::string text);

    std::string m_filePath;
    mutable std::mutex m_mutex;
    nlohmann::json m_values = nlohmann::json::object();
    // Changes not yet in the file: a value set, or none for a key removed.
    std::map<std::string, std::optional<nlohmann::json>> m_unsaved;
    nlohmann::json m_transientValues = nlohmann::json::object();
    bool m_persistent = true;
    std::optional<Error> m_lastError;
    std::vector<std::string> m_warnings;
    std::set<std::string> m_onceWarnings;
};

}  // namespace kestrane::platform
