#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <nlohmann/json_fwd.hpp>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kestrane {

namespace platform {
class PreferencesStore;
}

class FullySelectedGroupsDeselector;

// The values an unsigned setting admits: from minimum to maximum, and a
// multiple of step.
struct UnsignedRange {
    std::uint64_t minimum = 0;
    std::uint64_t maximum = std::numeric_limits<std::uint64_t>::max();
    std::uint64_t step = 1;

    constexpr bool contains(std::uint64_t value) const {
        return value >= minimum && value <= maximum && value % step == 0;
    }
    // "from 4096 to 67108864, a multiple of 4096"; empty for every value.
    std::string text() const;
};

// The typed view of the user's preferences. Nothing is cached: every getter
// asks the store, so a change takes effect at the next use. Every setter
// writes through to disk at once (the store does that). The store is
// thread-safe; this layer adds no locking of its own, and a Settings object is
// a cheap value that may be copied to any thread.
//
// How values are kept in the JSON store:
//   boolean          JSON true/false; read back from a boolean or any number
//                    (non-zero is true); anything else gives the default.
//   unsigned 64-bit  JSON unsigned number; read back from any number, a
//                    fraction truncated; a negative value or one beyond the
//                    range (or not a number at all) gives the default. A
//                    setting may narrow the range (UnsignedRange).
//   32-bit integer   JSON integer; read back like the unsigned ones, with the
//                    range of a signed 32-bit number.
//   float            JSON number; any number within the range of a float
//                    is read back, anything else gives the default.
// A stored boolean or number that cannot be used (a file edited by hand, or
// written by another program) gives the default and a warning through the
// store (PreferencesStore::warnOnce), once per stored value.
//   string           JSON string; anything else reads as no value.
//   list of strings  JSON array of strings; an absent key (or one holding no
//                    array) gives the default list, built afresh at every read
//                    because it depends on the home folder; members that are
//                    not strings are skipped. Setting no list removes the key.
class Settings {
public:
    // --- Keys, exactly as stored (kKeyScanInHiddenFolders, ...) -------------
#define KESTRANE_SETTING(Name, Key, ...) static constexpr const char* kKey##Name = Key;
#include "settings/SettingsTable.inc"
#undef KESTRANE_SETTING

    // --- Notifications posted (no object, no payload) on the default centre --
    static constexpr const char* kOnForceFullHashCalculationChangedNotification =
        "OnForceFullHashCalculationChangedNotificationName";
    static constexpr const char* kRemoveToTrashSettingChangedNotification = "RemoveToTrashSettingChangedNotification";
    static constexpr const char* kOnAllowRemovingAllDuplicateCopiesChangedNotification =
        "OnAllowRemovingAllDuplicateCopiesChangedNotification";
    static constexpr const char* kOnLogRemovedDuplicatesChangedNotification =
        "OnLogRemovedDuplicatesChangedNotification";
    static constexpr const char* kAutoSelectPreferencesChangedNotification = "AutoSelectPreferencesChangedNotification";
    static constexpr const char* kDuplicateItemSelectionChangedNotification =
        "DuplicateItemSelectionChangedNotification";

    // --- The strings a choice may hold, in the order of their numbers -------
    // The presentation of the review of selected copies: 0 file tree, 1
    // grouped by folders, 2 plain list.
    static constexpr std::string_view kSelectedFilesPresentationChoices[] = {"outline", "folders", "plain"};
    // The sort order of the review, numbered from 1.
    static constexpr std::string_view kSelectedFilesSortTypeChoices[] = {
        "Name. A to Z",          "Name. Z to A",           "Size. Large to Small",  "Size. Small to Large",
        "Date. Newest to Oldest", "Date. Oldest to Newest", "Selected",              "Type"};

    // --- Limits ------------------------------------------------------------
    static constexpr std::size_t kMaxRecentFolders = 10;

    // No file is larger than the largest off_t, 2^63 - 1 bytes; a minimal
    // size must stay within it (the scan keeps sizes as signed 64-bit numbers).
    static constexpr UnsignedRange kMinDuplicatesFileSizeRange{
        .minimum = 0, .maximum = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())};
    // A partial key reads three blocks of a file, the middle and end ones from
    // page boundaries (4096 bytes). A block of whole pages costs no more reading
    // than the pages it touches anyway, while a smaller one leaves most of each
    // page out of the key: a block of 1 byte takes files that differ almost
    // anywhere for copies. The upper bound keeps a partial key a small read.
    static constexpr UnsignedRange kHashBlockSizeRange{.minimum = 4096, .maximum = 64 * 1024 * 1024, .step = 4096};

    // What a preference holds, and so how it is kept in the store (above).
    enum class Type {
        boolean,
        size,        // an unsigned 64-bit number, within `sizes`
        path,        // a string, or no value
        paths,       // a list of strings
        extensions,  // a list of strings, each an extension as normalizedExtensionEntry gives it
        choice,      // a string, one of `choices`; anything else (or nothing) reads as the first
    };
    // Preferences that belong together, in the order they are listed.
    enum class Group { scan, skipLists, autoSelect, removal, messages, recentFolders, review, merge };

    // One stored preference, from the table in SettingsTable.inc: its key,
    // its type, what an empty store gives and what a stored value must be to
    // be used, and the notice that changing it posts.
    struct Definition {
        const char* key;
        Group group;
        Type type;
        bool flagDefault = false;         // boolean
        std::uint64_t sizeDefault = 0;    // size
        UnsignedRange sizes = {};         // size: a stored value outside gives the default
        std::vector<std::string> (*listDefault)() = nullptr;  // paths, extensions; null: the empty list
        std::size_t maxEntries = 0;       // paths: 0 is no limit
        bool newestFirst = false;         // paths: an added entry goes to the front
        std::span<const std::string_view> choices = {};  // choice: the strings it may hold, the default first
        const char* notification = nullptr;  // posted (no object) after every change through this layer
    };
    // Every preference, in the order of the table.
    static std::span<const Definition> definitions();
    // The definition of a key exactly as stored; null for a key not in the table.
    static const Definition* definition(std::string_view key);

    // `store` must not be null.
    explicit Settings(std::shared_ptr<platform::PreferencesStore> store);
    // Settings over the process-wide store as it is at the moment of the call.
    static Settings standard();

    const std::shared_ptr<platform::PreferencesStore>& store() const { return m_store; }

    // --- Generic typed access ---------------------------------------------
    bool getBoolValueForKey(const std::string& key, bool defaultValue) const;
    void saveBoolValue(bool value, const std::string& key);
    std::uint64_t getUnsignedLongLongValueForKey(const std::string& key, std::uint64_t defaultValue,
                                                 const UnsignedRange& range = {}) const;
    void saveUnsignedLongLongValue(std::uint64_t value, const std::string& key);
    std::int32_t getIntValueForKey(const std::string& key, std::int32_t defaultValue) const;
    void saveIntValue(std::int32_t value, const std::string& key);
    float getFloatValueForKey(const std::string& key, float defaultValue) const;
    void saveFloatValue(float value, const std::string& key);
    std::optional<std::string> getStringValueForKey(const std::string& key) const;
    // No value removes the key.
    void saveStringValue(const std::optional<std::string>& value, const std::string& key);
    std::vector<std::string> getArrayValueForKey(const std::string& key,
                                                 const std::vector<std::string>& defaultValue) const;
    // No list removes the key, so that the default list applies again.
    void saveArrayValue(const std::optional<std::vector<std::string>>& value, const std::string& key);
    void removeValueForKey(const std::string& key);

    // --- Access by definition ----------------------------------------------
    // The value in effect as JSON: a boolean, an unsigned number, a string or
    // null (path), an array of strings (paths, extensions), as the typed
    // getters give it.
    nlohmann::json valueOf(const Definition& setting) const;
    // Stores a value of the kind valueOf gives (null removes the key, so the
    // default applies), then posts the setting's notification. The value must
    // already be one the setting admits.
    void setValueOf(const Definition& setting, const nlohmann::json& value);

    // --- Default lists, built from the current home folder ----------------
    static std::vector<std::string> createDefaultExcludeFoldersArray();
    static std::vector<std::string> createDefaultExcludeFilesArray();
    static std::vector<std::string> createDefaultExcludeExtensionsArray();
    static std::vector<std::string> createDefaultAutoSelectFoldersArray();
    static std::vector<std::string> createDefaultNeverSelectFoldersArray();

    // An extension as the user typed it, in the form the skip list keeps:
    // every ".", ":", "/" and " " removed and one "." put in front. No value
    // when what is left is too short to be stored.
    static std::optional<std::string> normalizedExtensionEntry(const std::string& typed);

    // --- Scan ----------------------------------------------------------------
    bool defineMinimalDuplicatesFileSizeAutomatically() const;
    void setDefineMinimalDuplicatesFileSizeAutomatically(bool value);
    bool defineMinimalDuplicatesFileSizeAsZero() const;
    void setDefineMinimalDuplicatesFileSizeAsZero(bool value);
    // Within kMinDuplicatesFileSizeRange, else the default.
    std::uint64_t minDuplicatesFileSize() const;
    void setMinDuplicatesFileSize(std::uint64_t bytes);
    // Within kHashBlockSizeRange, else the default.
    std::uint64_t hashBlockSize() const;
    void setHashBlockSize(std::uint64_t bytes);
    bool scanInHiddenFolders() const;
    void setScanInHiddenFolders(bool value);
    bool forceFullHashCalculation() const;
    void setForceFullHashCalculation(bool value);  // posts kOnForceFullHashCalculationChangedNotification
    bool showOverviewAfterScanning() const;
    void setShowOverviewAfterScanning(bool value);
    bool excludeTimeMachineBackups() const;
    bool skipVolumeSystemFolders() const;

    // The minimal-size slider of the preferences: 0...100 mapped piecewise
    // linearly onto 0...1 MB, 1...10 MB and 10...200 MB (1 MB = 1,000,000 bytes),
    // computed in single precision. Out-of-range inputs are clamped.
    static std::uint64_t minimalSizeForSliderValue(float sliderValue);
    static float sliderValueForMinimalSize(std::uint64_t bytes);

    // --- Skip lists and auto-select lists (no value removes the key) --------
    std::vector<std::string> excludeFolders() const;
    void setExcludeFolders(const std::optional<std::vector<std::string>>& folders);
    std::vector<std::string> excludeFiles() const;
    void setExcludeFiles(const std::optional<std::vector<std::string>>& files);
    std::vector<std::string> excludeExtensions() const;
    void setExcludeExtensions(const std::optional<std::vector<std::string>>& extensions);
    std::vector<std::string> autoAlwaysSelectFolders() const;
    void setAutoAlwaysSelectFolders(const std::optional<std::vector<std::string>>& folders);
    std::vector<std::string> autoNeverSelectFolders() const;
    void setAutoNeverSelectFolders(const std::optional<std::vector<std::string>>& folders);

    // --- Removal -------------------------------------------------------------
    bool moveCleanedDuplicatesToTheTrashCan() const;
    void setMoveCleanedDuplicatesToTheTrashCan(bool value);  // posts kRemoveToTrashSettingChangedNotification
    bool allowRemovingAllDuplicateCopies() const;
    void setAllowRemovingAllDuplicateCopies(bool value);  // posts kOnAllowRemovingAllDuplicateCopiesChangedNotification
    bool removeEmptyFolders() const;
    void setRemoveEmptyFolders(bool value);
    bool logRemovedDuplicates() const;
    void setLogRemovedDuplicates(bool value);  // posts kOnLogRemovedDuplicatesChangedNotification

    // --- Messages ------------------------------------------------------------
    bool showRemoveLastInCategoriesMessage() const;
    void setShowRemoveLastInCategoriesMessage(bool value);
    bool showRemoveLastInHeapsMessage() const;
    void setShowRemoveLastInHeapsMessage(bool value);
    bool showNewScanMessage() const;
    void setShowNewScanMessage(bool value);
    bool showRemovePermanentlyItemsOnRemoteDisksMessage() const;
    void setShowRemovePermanentlyItemsOnRemoteDisksMessage(bool value);
    bool showRemovePermanentlyMessage() const;
    void setShowRemovePermanentlyMessage(bool value);
    bool showRestartScanMessage() const;
    void setShowRestartScanMessage(bool value);
    // The next three setters post kAutoSelectPreferencesChangedNotification.
    bool showAutoSelectMessage() const;
    void setShowAutoSelectMessage(bool value);
    bool showAlertThatAutoSelectDidNotChangeSelection() const;
    void setShowAlertThatAutoSelectDidNotChangeSelection(bool value);
    bool showAlertThatAutoSelectDidNotChangeSelectionBecauseNeverSelectList() const;
    void setShowAlertThatAutoSelectDidNotChangeSelectionBecauseNeverSelectList(bool value);
    bool showAlertThatDuplicateFolderSelectedInSelectInFolderDialog() const;
    void setShowAlertThatDuplicateFolderSelectedInSelectInFolderDialog(bool value);

    // --- Recent folders, most recent first ------------------------------------
    std::vector<std::string> lastTenFolders() const;
    void setLastTenFolders(const std::optional<std::vector<std::string>>& folders);
    // Moves (or puts) the path at the front and keeps at most kMaxRecentFolders.
    void addRecentFolder(const std::string& path);
    // Stores an empty list.
    void clearRecentFolders();
    std::optional<std::string> lastOpenedFolderToScan() const;
    void setLastOpenedFolderToScan(const std::optional<std::string>& folder);

    // --- Review of the selected copies --------------------------------------------
    // The presentation: 0, 1 or 2 (kSelectedFilesPresentationChoices); an
    // absent or unknown string reads as 0. Another number is stored as "-".
    std::int32_t selectedFilesPresentation() const;
    void setSelectedFilesPresentation(std::int32_t type);
    // The sort order: 1 to 8 (kSelectedFilesSortTypeChoices); an absent or
    // unknown string reads as 1. Another number is stored as "unknown".
    std::int32_t selectedFilesSortType() const;
    void setSelectedFilesSortType(std::int32_t type);

    // --- Merge of similar folders ------------------------------------------------
    // The merge window opens with its options shown.
    bool mergeDialogueExpandOptions() const;
    void setMergeDialogueExpandOptions(bool value);
    bool mergeDialogueMoveMergedFiles() const;
    void setMergeDialogueMoveMergedFiles(bool value);
    bool mergeDialogueNeedMergeDuplicatesWithDifferentNames() const;
    void setMergeDialogueNeedMergeDuplicatesWithDifferentNames(bool value);

    // --- Full-hash choice of the next scan ----------------------------------------
    // A process-wide flag, never stored and false at start, inverts the stored
    // full-hash setting for this run only.
    // The stored setting of the standard store, inverted while the flag is set.
    static bool actualStateOfFullHashCalculation();
    // The same over this object's store.
    bool actualFullHashCalculationState() const;
    // Sets the flag so that the actual state becomes `value`; the stored setting stays.
    void setActualStateOfFullHashCalculation(bool value);
    static void setUserRevertedForceFullHashCalculation(bool reverted);
    static bool userRevertedForceFullHashCalculation();

    // --- Restoring defaults ----------------------------------------------------------
    // Full hash off (through its setter), hidden folders off, the three
    // minimal-size keys removed.
    void restoreDefaultsScan();
    void restoreDefaultExcludeFolders();
    void restoreDefaultExcludeFiles();
    void restoreDefaultExcludeExtensions();
    void restoreDefaultAutoAlwaysSelectFolders();
    void restoreDefaultAutoNeverSelectFolders();
    // Deselects fully selected groups first (through the registered
    // deselector, when there is one), then restores the removal flags and the
    // four removal messages.
    void restoreRemoveDefaults();
    void restoreDefaultsForAlertWindows();
    void restoreShowOverviewAfterScanning();
    // Everything above, in that order, then posts kDuplicateItemSelectionChangedNotification.
    void restoreDefaultsForAllSettings();

    // The holder of the current scan result registers itself here; it is held
    // weakly. An expired or empty pointer means there is nothing to deselect.
    static void setFullySelectedGroupsDeselector(std::weak_ptr<FullySelectedGroupsDeselector> deselector);

private:
    // The settings of the table by name, for the typed accessors.
    enum class Id : std::size_t {
#define KESTRANE_SETTING(Name, ...) Name,
#include "settings/SettingsTable.inc"
#undef KESTRANE_SETTING
    };
    static const Definition& definition(Id id);
    template <typename T>
    T read(Id id) const;
    void write(Id id, const nlohmann::json& value);

    void postNotification(const char* name) const;
    // Tells the person (once per stored value) that the value stored for the
    // key, `stored` as JSON text, is not `expected`, and that `fallback`
    // applies instead.
    void warnUnusable(const std::string& key, const std::string& stored, const std::string& expected,
                      const std::string& fallback) const;

    std::shared_ptr<platform::PreferencesStore> m_store;
};

}  // namespace kestrane
