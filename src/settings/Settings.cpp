#include "settings/Settings.h"

#include "platform/NotificationCenter.h"
#include "platform/PreferencesStore.h"
#include "platform/UserFolders.h"
#include "settings/FullySelectedGroupsDeselector.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <atomic>
#include <cassert>
#include <cmath>
#include <cstdio>
#include <limits>
#include <mutex>

namespace kestrane {

namespace {

using nlohmann::json;

// Whether the full-hash setting is inverted for this run. Never stored.
std::atomic<bool> g_userRevertedForceFullHash{false};

std::mutex g_deselectorMutex;
std::weak_ptr<FullySelectedGroupsDeselector> g_deselector;

// The integer a JSON number holds, when it fits T. Fractions are truncated;
// anything that is not a number, or lies outside T's range, gives no value.
template <typename T>
std::optional<T> integerFromJson(const json& value) {
    using Limits = std::numeric_limits<T>;
    if (value.is_number_unsigned()) {
        const auto number = value.get<std::uint64_t>();
        if (number > static_cast<std::uint64_t>(Limits::max())) return std::nullopt;
        return static_cast<T>(number);
    }
    if (value.is_number_integer()) {
        const auto number = value.get<std::int64_t>();
        if (number < static_cast<std::int64_t>(Limits::min())) return std::nullopt;
        if (number > 0 && static_cast<std::uint64_t>(number) > static_cast<std::uint64_t>(Limits::max()))
            return std::nullopt;
        return static_cast<T>(number);
    }
    if (value.is_number_float()) {
        const double number = std::trunc(value.get<double>());
        // Limits::min() is exact in a double for both types used here, and
        // 2^digits is the first value beyond Limits::max().
        if (!std::isfinite(number) || number < static_cast<double>(Limits::min()) ||
            number >= std::ldexp(1.0, Limits::digits))
            return std::nullopt;
        return static_cast<T>(number);
    }
    return std::nullopt;
}

// A stored value as the warnings show it.
std::string jsonText(const json& value) {
    return value.dump(-1, ' ', false, json::error_handler_t::replace);
}

std::string floatText(float value) {
    char text[48];
    std::snprintf(text, sizeof text, "%g", static_cast<double>(value));
    return text;
}

std::string inHome(const char* relative) {
    return platform::joinPath(platform::homeFolder(), relative);
}

// The minimal-size slider: breakpoints and the byte values they stand for.
constexpr float kSliderFirstBreak = 33.333332f;
constexpr float kSliderSecondBreak = 66.666664f;
constexpr float kSliderTop = 100.0f;
constexpr float kOneMegabyte = 1000000.0f;
constexpr float kTenMegabytes = 10000000.0f;
constexpr float kSliderMaxBytes = 200000000.0f;

}  // namespace

Settings::Settings(std::shared_ptr<platform::PreferencesStore> store) : m_store(std::move(store)) {
    assert(m_store && "Settings needs a preferences store");
}

Settings Settings::standard() {
    return Settings(platform::PreferencesStore::standard());
}

// --- The table ------------------------------------------------------------------

namespace {

constexpr Settings::Definition kDefinitions[] = {
#define KESTRANE_SETTING(Name, Key, InGroup, OfType, ...) \
    {.key = Key, .group = Settings::Group::InGroup, .type = Settings::Type::OfType, __VA_ARGS__},
#include "settings/SettingsTable.inc"
#undef KESTRANE_SETTING
};

}  // namespace

std::span<const Settings::Definition> Settings::definitions() {
    return kDefinitions;
}

const Settings::Definition* Settings::definition(std::string_view key) {
    for (const Definition& setting : kDefinitions)
        if (key == setting.key) return &setting;
    return nullptr;
}

const Settings::Definition& Settings::definition(Id id) {
    return kDefinitions[static_cast<std::size_t>(id)];
}

json Settings::valueOf(const Definition& setting) const {
    switch (setting.type) {
    case Type::boolean: return getBoolValueForKey(setting.key, setting.flagDefault);
    case Type::size: return getUnsignedLongLongValueForKey(setting.key, setting.sizeDefault, setting.sizes);
    case Type::path: {
        const auto value = getStringValueForKey(setting.key);
        return value ? json(*value) : json(nullptr);
    }
    case Type::paths:
    case Type::extensions:
        return getArrayValueForKey(setting.key, setting.listDefault ? setting.listDefault() : std::vector<std::string>{});
    case Type::choice: {
        // Strings outside the list are written on purpose ("-", "unknown")
        // and read as the first choice without a warning.
        const auto value = getStringValueForKey(setting.key);
        const auto& choices = setting.choices;
        if (value && std::find(choices.begin(), choices.end(), *value) != choices.end()) return *value;
        return choices.empty() ? json(nullptr) : json(std::string(choices.front()));
    }
    }
    return nullptr;
}

void Settings::setValueOf(const Definition& setting, const json& value) {
    if (value.is_null())
        removeValueForKey(setting.key);
    else if (setting.type == Type::size)
        saveUnsignedLongLongValue(value.get<std::uint64_t>(), setting.key);
    else
        m_store->setObject(setting.key, value);
    if (setting.notification) postNotification(setting.notification);
}

template <typename T>
T Settings::read(Id id) const {
    return valueOf(definition(id)).get<T>();
}

void Settings::write(Id id, const json& value) {
    setValueOf(definition(id), value);
}

// --- Generic typed access ------------------------------------------------------

void Settings::warnUnusable(const std::string& key, const std::string& stored, const std::string& expected,
                            const std::string& fallback) const {
    // A hand-edited file may hold anything: a long value is cut short.
    constexpr std::size_t kShownLength = 60;
    const std::string shown = stored.size() > kShownLength ? stored.substr(0, kShownLength) + "..." : stored;
    m_store->warnOnce("the stored value " + shown + " of " + key + " cannot be used (expected " + expected + "); " +
                      fallback + " applies");
}

bool Settings::getBoolValueForKey(const std::string& key, bool defaultValue) const {
    const auto stored = m_store->object(key);
    if (!stored) return defaultValue;
    if (stored->is_boolean()) return stored->get<bool>();
    if (stored->is_number()) return stored->get<double>() != 0.0;
    warnUnusable(key, jsonText(*stored), "true or false",
                 std::string("the default ") + (defaultValue ? "true" : "false"));
    return defaultValue;
}

void Settings::saveBoolValue(bool value, const std::string& key) {
    m_store->setObject(key, value);
}

std::string UnsignedRange::text() const {
    std::string text;
    if (minimum > 0 || maximum < std::numeric_limits<std::uint64_t>::max())
        text = "from " + std::to_string(minimum) + " to " + std::to_string(maximum);
    if (step > 1) text += (text.empty() ? "" : ", ") + std::string("a multiple of ") + std::to_string(step);
    return text;
}

std::uint64_t Settings::getUnsignedLongLongValueForKey(const std::string& key, std::uint64_t defaultValue,
                                                       const UnsignedRange& range) const {
    const auto stored = m_store->object(key);
    if (!stored) return defaultValue;
    const auto value = integerFromJson<std::uint64_t>(*stored);
    if (value && range.contains(*value)) return *value;
    const std::string limits = range.text();
    warnUnusable(key, jsonText(*stored), "a whole number " + (limits.empty() ? "of 0 or more" : limits),
                 "the default " + std::to_string(defaultValue));
    return defaultValue;
}

void Settings::saveUnsignedLongLongValue(std::uint64_t value, const std::string& key) {
    m_store->setObject(key, value);
}

std::int32_t Settings::getIntValueForKey(const std::string& key, std::int32_t defaultValue) const {
    const auto stored = m_store->object(key);
    if (!stored) return defaultValue;
    if (const auto value = integerFromJson<std::int32_t>(*stored)) return *value;
    using Limits = std::numeric_limits<std::int32_t>;
    warnUnusable(key, jsonText(*stored),
                 "a whole number from " + std::to_string(Limits::min()) + " to " + std::to_string(Limits::max()),
                 "the default " + std::to_string(defaultValue));
    return defaultValue;
}

void Settings::saveIntValue(std::int32_t value, const std::string& key) {
    m_store->setObject(key, value);
}

float Settings::getFloatValueForKey(const std::string& key, float defaultValue) const {
    const auto stored = m_store->object(key);
    if (!stored) return defaultValue;
    if (stored->is_number()) {
        const double number = stored->get<double>();
        if (std::isfinite(number) && std::fabs(number) <= static_cast<double>(std::numeric_limits<float>::max()))
            return static_cast<float>(number);
    }
    warnUnusable(key, jsonText(*stored), "a number within the range of a float",
                 "the default " + floatText(defaultValue));
    return defaultValue;
}

void Settings::saveFloatValue(float value, const std::string& key) {
    m_store->setObject(key, static_cast<double>(value));
}

std::optional<std::string> Settings::getStringValueForKey(const std::string& key) const {
    const auto stored = m_store->object(key);
    if (!stored || !stored->is_string()) return std::nullopt;
    return stored->get<std::string>();
}

void Settings::saveStringValue(const std::optional<std::string>& value, const std::string& key) {
    if (value)
        m_store->setObject(key, *value);
    else
        m_store->removeObject(key);
}

std::vector<std::string> Settings::getArrayValueForKey(const std::string& key,
                                                       const std::vector<std::string>& defaultValue) const {
    const auto stored = m_store->object(key);
    if (!stored || !stored->is_array()) return defaultValue;
    std::vector<std::string> result;
    result.reserve(stored->size());
    for (const auto& member : *stored)
        if (member.is_string()) result.push_back(member.get<std::string>());
    return result;
}

void Settings::saveArrayValue(const std::optional<std::vector<std::string>>& value, const std::string& key) {
    if (value)
        m_store->setObject(key, *value);
    else
        m_store->removeObject(key);
}

void Settings::removeValueForKey(const std::string& key) {
    m_store->removeObject(key);
}

void Settings::postNotification(const char* name) const {
    platform::NotificationCenter::defaultCenter().post(name);
}

// --- Default lists -----------------------------------------------------------

std::vector<std::string> Settings::createDefaultExcludeFoldersArray() {
    return {"/System", "/Library", inHome("Library")};
}

std::vector<std::string> Settings::createDefaultExcludeFilesArray() {
    return {
        inHome("Pictures/Photo Booth Library"),
        inHome("Pictures/Photos Library.photoslibrary"),
        inHome("Pictures/iPhoto Library.photolibrary"),
        inHome("Movies/iMovie Library.imovielibrary"),
        inHome("Movies/iMovie Theater.theater"),
    };
}

std::vector<std::string> Settings::createDefaultExcludeExtensionsArray() {
    return {".framework", ".build", ".plist", ".def", ".info", ".lib", ".dylib", ".lproj", ".entitlements"};
}

std::vector<std::string> Settings::createDefaultAutoSelectFoldersArray() {
    return {inHome("Downloads")};
}

std::vector<std::string> Settings::createDefaultNeverSelectFoldersArray() {
    return {inHome("Movies/iMovie Events"), inHome("Movies/iMovie Projects"), inHome("Music/iTunes")};
}

std::optional<std::string> Settings::normalizedExtensionEntry(const std::string& typed) {
    std::string entry = ".";
    for (char c : typed)
        if (c != '.' && c != ':' && c != '/' && c != ' ') entry += c;
    if (entry.size() < 2) return std::nullopt;
    return entry;
}

// --- Scan ------------------------------------------------------------------------

bool Settings::defineMinimalDuplicatesFileSizeAutomatically() const {
    return read<bool>(Id::DefineMinimalDuplicatesFileSizeAutomatically);
}
void Settings::setDefineMinimalDuplicatesFileSizeAutomatically(bool value) {
    write(Id::DefineMinimalDuplicatesFileSizeAutomatically, value);
}
bool Settings::defineMinimalDuplicatesFileSizeAsZero() const {
    return read<bool>(Id::DefineMinimalDuplicatesFileSizeAsZero);
}
void Settings::setDefineMinimalDuplicatesFileSizeAsZero(bool value) {
    write(Id::DefineMinimalDuplicatesFileSizeAsZero, value);
}
std::uint64_t Settings::minDuplicatesFileSize() const {
    return read<std::uint64_t>(Id::MinDuplicatesFileSize);
}
void Settings::setMinDuplicatesFileSize(std::uint64_t bytes) {
    write(Id::MinDuplicatesFileSize, bytes);
}
std::uint64_t Settings::hashBlockSize() const {
    return read<std::uint64_t>(Id::HashBlockSize);
}
void Settings::setHashBlockSize(std::uint64_t bytes) {
    write(Id::HashBlockSize, bytes);
}
bool Settings::scanInHiddenFolders() const {
    return read<bool>(Id::ScanInHiddenFolders);
}
void Settings::setScanInHiddenFolders(bool value) {
    write(Id::ScanInHiddenFolders, value);
}
bool Settings::forceFullHashCalculation() const {
    return read<bool>(Id::ForceFullHashCalculation);
}
void Settings::setForceFullHashCalculation(bool value) {
    write(Id::ForceFullHashCalculation, value);
}
bool Settings::showOverviewAfterScanning() const {
    return read<bool>(Id::ShowOverviewAfterScanning);
}
void Settings::setShowOverviewAfterScanning(bool value) {
    write(Id::ShowOverviewAfterScanning, value);
}
bool Settings::excludeTimeMachineBackups() const {
    return read<bool>(Id::ExcludeTimeMachineBackups);
}
bool Settings::skipVolumeSystemFolders() const {
    return read<bool>(Id::SkipVolumeSystemFolders);
}

std::uint64_t Settings::minimalSizeForSliderValue(float sliderValue) {
    float value = sliderValue > 0.0f ? std::min(sliderValue, kSliderTop) : 0.0f;  // NaN counts as 0
    float bytes;
    if (value <= kSliderFirstBreak)
        bytes = value / kSliderFirstBreak * kOneMegabyte;
    else if (value <= kSliderSecondBreak)
        bytes = kOneMegabyte + (value - kSliderFirstBreak) / (kSliderSecondBreak - kSliderFirstBreak) *
                                   (kTenMegabytes - kOneMegabyte);
    else
        bytes = kTenMegabytes + (value - kSliderSecondBreak) / (kSliderTop - kSliderSecondBreak) *
                                    (kSliderMaxBytes - kTenMegabytes);
    return static_cast<std::uint64_t>(std::lround(bytes));
}

float Settings::sliderValueForMinimalSize(std::uint64_t bytes) {
    const float size = static_cast<float>(bytes);
    float value;
    if (size <= kOneMegabyte)
        value = size / kOneMegabyte * kSliderFirstBreak;
    else if (size <= kTenMegabytes)
        value = kSliderFirstBreak + (size - kOneMegabyte) / (kTenMegabytes - kOneMegabyte) *
                                        (kSliderSecondBreak - kSliderFirstBreak);
    else
        value = kSliderSecondBreak + (size - kTenMegabytes) / (kSliderMaxBytes - kTenMegabytes) *
                                         (kSliderTop - kSliderSecondBreak);
    return std::clamp(value, 0.0f, kSliderTop);
}

// --- Skip lists and auto-select lists ------------------------------------------------

std::vector<std::string> Settings::excludeFolders() const {
    return read<std::vector<std::string>>(Id::ExcludeFolders);
}
void Settings::setExcludeFolders(const std::optional<std::vector<std::string>>& folders) {
    write(Id::ExcludeFolders, folders ? json(*folders) : json(nullptr));
}
std::vector<std::string> Settings::excludeFiles() const {
    return read<std::vector<std::string>>(Id::ExcludeFiles);
}
void Settings::setExcludeFiles(const std::optional<std::vector<std::string>>& files) {
    write(Id::ExcludeFiles, files ? json(*files) : json(nullptr));
}
std::vector<std::string> Settings::excludeExtensions() const {
    return read<std::vector<std::string>>(Id::ExcludeExtensions);
}
void Settings::setExcludeExtensions(const std::optional<std::vector<std::string>>& extensions) {
    write(Id::ExcludeExtensions, extensions ? json(*extensions) : json(nullptr));
}
std::vector<std::string> Settings::autoAlwaysSelectFolders() const {
    return read<std::vector<std::string>>(Id::AutoAlwaysSelectFolders);
}
void Settings::setAutoAlwaysSelectFolders(const std::optional<std::vector<std::string>>& folders) {
    write(Id::AutoAlwaysSelectFolders, folders ? json(*folders) : json(nullptr));
}
std::vector<std::string> Settings::autoNeverSelectFolders() const {
    return read<std::vector<std::string>>(Id::AutoNeverSelectFolders);
}
void Settings::setAutoNeverSelectFolders(const std::optional<std::vector<std::string>>& folders) {
    write(Id::AutoNeverSelectFolders, folders ? json(*folders) : json(nullptr));
}

// --- Removal --------------------------------------------------------------------------

bool Settings::moveCleanedDuplicatesToTheTrashCan() const {
    return read<bool>(Id::MoveCleanedDuplicatesToTheTrashCan);
}
void Settings::setMoveCleanedDuplicatesToTheTrashCan(bool value) {
    write(Id::MoveCleanedDuplicatesToTheTrashCan, value);
}
bool Settings::allowRemovingAllDuplicateCopies() const {
    return read<bool>(Id::AllowRemovingAllDuplicateCopies);
}
void Settings::setAllowRemovingAllDuplicateCopies(bool value) {
    write(Id::AllowRemovingAllDuplicateCopies, value);
}
bool Settings::removeEmptyFolders() const {
    return read<bool>(Id::RemoveEmptyFolders);
}
void Settings::setRemoveEmptyFolders(bool value) {
    write(Id::RemoveEmptyFolders, value);
}
bool Settings::logRemovedDuplicates() const {
    return read<bool>(Id::LogRemovedDuplicates);
}
void Settings::setLogRemovedDuplicates(bool value) {
    write(Id::LogRemovedDuplicates, value);
}

// --- Messages ---------------------------------------------------------------------------

bool Settings::showRemoveLastInCategoriesMessage() const {
    return read<bool>(Id::ShowRemoveLastInCategoriesMessage);
}
void Settings::setShowRemoveLastInCategoriesMessage(bool value) {
    write(Id::ShowRemoveLastInCategoriesMessage, value);
}
bool Settings::showRemoveLastInHeapsMessage() const {
    return read<bool>(Id::ShowRemoveLastInHeapsMessage);
}
void Settings::setShowRemoveLastInHeapsMessage(bool value) {
    write(Id::ShowRemoveLastInHeapsMessage, value);
}
bool Settings::showNewScanMessage() const {
    return read<bool>(Id::ShowNewScanMessage);
}
void Settings::setShowNewScanMessage(bool value) {
    write(Id::ShowNewScanMessage, value);
}
bool Settings::showRemovePermanentlyItemsOnRemoteDisksMessage() const {
    return read<bool>(Id::ShowRemovePermanentlyItemsOnRemoteDisksMessage);
}
void Settings::setShowRemovePermanentlyItemsOnRemoteDisksMessage(bool value) {
    write(Id::ShowRemovePermanentlyItemsOnRemoteDisksMessage, value);
}
bool Settings::showRemovePermanentlyMessage() const {
    return read<bool>(Id::ShowRemovePermanentlyMessage);
}
void Settings::setShowRemovePermanentlyMessage(bool value) {
    write(Id::ShowRemovePermanentlyMessage, value);
}
bool Settings::showRestartScanMessage() const {
    return read<bool>(Id::ShowRestartScanMessage);
}
void Settings::setShowRestartScanMessage(bool value) {
    write(Id::ShowRestartScanMessage, value);
}
bool Settings::showAutoSelectMessage() const {
    return read<bool>(Id::ShowAutoSelectMessage);
}
void Settings::setShowAutoSelectMessage(bool value) {
    write(Id::ShowAutoSelectMessage, value);
}
bool Settings::showAlertThatAutoSelectDidNotChangeSelection() const {
    return read<bool>(Id::ShowAlertThatAutoSelectDidNotChangeSelection);
}
void Settings::setShowAlertThatAutoSelectDidNotChangeSelection(bool value) {
    write(Id::ShowAlertThatAutoSelectDidNotChangeSelection, value);
}
bool Settings::showAlertThatAutoSelectDidNotChangeSelectionBecauseNeverSelectList() const {
    return read<bool>(Id::ShowAlertThatAutoSelectDidNotChangeSelectionBecauseNeverSelectList);
}
void Settings::setShowAlertThatAutoSelectDidNotChangeSelectionBecauseNeverSelectList(bool value) {
    write(Id::ShowAlertThatAutoSelectDidNotChangeSelectionBecauseNeverSelectList, value);
}
bool Settings::showAlertThatDuplicateFolderSelectedInSelectInFolderDialog() const {
    return read<bool>(Id::ShowAlertThatDuplicateFolderSelectedInSelectInFolderDialog);
}
void Settings::setShowAlertThatDuplicateFolderSelectedInSelectInFolderDialog(bool value) {
    write(Id::ShowAlertThatDuplicateFolderSelectedInSelectInFolderDialog, value);
}

// --- Recent folders ----------------------------------------------------------------------

std::vector<std::string> Settings::lastTenFolders() const {
    return read<std::vector<std::string>>(Id::LastTenFolders);
}
void Settings::setLastTenFolders(const std::optional<std::vector<std::string>>& folders) {
    write(Id::LastTenFolders, folders ? json(*folders) : json(nullptr));
}
void Settings::addRecentFolder(const std::string& path) {
    std::vector<std::string> folders = lastTenFolders();
    std::erase(folders, path);
    folders.insert(folders.begin(), path);
    if (folders.size() > kMaxRecentFolders) folders.resize(kMaxRecentFolders);
    setLastTenFolders(folders);
}
void Settings::clearRecentFolders() {
    setLastTenFolders(std::vector<std::string>{});
}
std::optional<std::string> Settings::lastOpenedFolderToScan() const {
    const json folder = valueOf(definition(Id::LastOpenedFolderToScan));
    if (folder.is_null()) return std::nullopt;
    return folder.get<std::string>();
}
void Settings::setLastOpenedFolderToScan(const std::optional<std::string>& folder) {
    write(Id::LastOpenedFolderToScan, folder ? json(*folder) : json(nullptr));
}

// --- Review of the selected copies ---------------------------------------------------------------------

namespace {

// The position of the value in effect among the choices.
std::int32_t choiceIndex(const Settings::Definition& setting, const json& value) {
    const auto& choices = setting.choices;
    const auto found = std::find(choices.begin(), choices.end(), value.get<std::string>());
    return found == choices.end() ? 0 : static_cast<std::int32_t>(found - choices.begin());
}

// The string of choice number index, or `other` when there is none.
json choiceString(const Settings::Definition& setting, std::int32_t index, const char* other) {
    if (index < 0 || static_cast<std::size_t>(index) >= setting.choices.size()) return other;
    return std::string(setting.choices[static_cast<std::size_t>(index)]);
}

}  // namespace

std::int32_t Settings::selectedFilesPresentation() const {
    const Definition& setting = definition(Id::SelectedFilesPresentation);
    return choiceIndex(setting, valueOf(setting));
}
void Settings::setSelectedFilesPresentation(std::int32_t type) {
    write(Id::SelectedFilesPresentation, choiceString(definition(Id::SelectedFilesPresentation), type, "-"));
}
std::int32_t Settings::selectedFilesSortType() const {
    const Definition& setting = definition(Id::SelectedFilesSortType);
    return choiceIndex(setting, valueOf(setting)) + 1;
}
void Settings::setSelectedFilesSortType(std::int32_t type) {
    write(Id::SelectedFilesSortType, choiceString(definition(Id::SelectedFilesSortType), type - 1, "unknown"));
}

// --- Merge of similar folders --------------------------------------------------------------------------

bool Settings::mergeDialogueExpandOptions() const {
    return read<bool>(Id::MergeDialogueExpandOptions);
}
void Settings::setMergeDialogueExpandOptions(bool value) {
    write(Id::MergeDialogueExpandOptions, value);
}
bool Settings::mergeDialogueMoveMergedFiles() const {
    return read<bool>(Id::MergeDialogueMoveMergedFiles);
}
void Settings::setMergeDialogueMoveMergedFiles(bool value) {
    write(Id::MergeDialogueMoveMergedFiles, value);
}
bool Settings::mergeDialogueNeedMergeDuplicatesWithDifferentNames() const {
    return read<bool>(Id::MergeDialogueNeedMergeDuplicatesWithDifferentNames);
}
void Settings::setMergeDialogueNeedMergeDuplicatesWithDifferentNames(bool value) {
    write(Id::MergeDialogueNeedMergeDuplicatesWithDifferentNames, value);
}

// --- Full-hash choice of the next scan ------------------------------------------------------------

bool Settings::actualStateOfFullHashCalculation() {
    return standard().actualFullHashCalculationState();
}

bool Settings::actualFullHashCalculationState() const {
    const bool stored = forceFullHashCalculation();
    return g_userRevertedForceFullHash.load() ? !stored : stored;
}

void Settings::setActualStateOfFullHashCalculation(bool value) {
    g_userRevertedForceFullHash.store(forceFullHashCalculation() != value);
}

void Settings::setUserRevertedForceFullHashCalculation(bool reverted) {
    g_userRevertedForceFullHash.store(reverted);
}

bool Settings::userRevertedForceFullHashCalculation() {
    return g_userRevertedForceFullHash.load();
}

// --- Restoring defaults ------------------------------------------------------------------------------

void Settings::restoreDefaultsScan() {
    setForceFullHashCalculation(false);
    setScanInHiddenFolders(false);
    removeValueForKey(kKeyDefineMinimalDuplicatesFileSizeAutomatically);
    removeValueForKey(kKeyDefineMinimalDuplicatesFileSizeAsZero);
    removeValueForKey(kKeyMinDuplicatesFileSize);
}

void Settings::restoreDefaultExcludeFolders() {
    setExcludeFolders(std::nullopt);
}
void Settings::restoreDefaultExcludeFiles() {
    setExcludeFiles(std::nullopt);
}
void Settings::restoreDefaultExcludeExtensions() {
    setExcludeExtensions(std::nullopt);
}
void Settings::restoreDefaultAutoAlwaysSelectFolders() {
    setAutoAlwaysSelectFolders(std::nullopt);
}
void Settings::restoreDefaultAutoNeverSelectFolders() {
    setAutoNeverSelectFolders(std::nullopt);
}

void Settings::restoreRemoveDefaults() {
    // Selecting every copy is about to be forbidden: clear such selections first.
    std::shared_ptr<FullySelectedGroupsDeselector> deselector;
    {
        std::lock_guard lock(g_deselectorMutex);
        deselector = g_deselector.lock();
    }
    if (deselector) deselector->deselectFullySelectedGroups();

    setMoveCleanedDuplicatesToTheTrashCan(true);
    setAllowRemovingAllDuplicateCopies(false);
    setRemoveEmptyFolders(false);
    setLogRemovedDuplicates(true);
    setShowRemoveLastInCategoriesMessage(true);
    setShowRemoveLastInHeapsMessage(true);
    setShowRemovePermanentlyItemsOnRemoteDisksMessage(true);
    setShowRemovePermanentlyMessage(true);
}

void Settings::restoreDefaultsForAlertWindows() {
    saveBoolValue(true, kKeyShowRemoveLastInCategoriesMessage);
    saveBoolValue(true, kKeyShowRemoveLastInHeapsMessage);
    saveBoolValue(true, kKeyShowNewScanMessage);
    saveBoolValue(true, kKeyShowRemovePermanentlyItemsOnRemoteDisksMessage);
    saveBoolValue(true, kKeyShowRemovePermanentlyMessage);
    saveBoolValue(true, kKeyShowRestartScanMessage);
    saveBoolValue(true, kKeyShowAutoSelectMessage);
    saveBoolValue(true, kKeyShowAlertThatAutoSelectDidNotChangeSelection);
    saveBoolValue(true, kKeyShowAlertThatAutoSelectDidNotChangeSelectionBecauseNeverSelectList);
    removeValueForKey(kKeyShowAlertThatDuplicateFolderSelectedInSelectInFolderDialog);
    // One notice for the three auto-select messages rather than one each.
    postNotification(kAutoSelectPreferencesChangedNotification);
}

void Settings::restoreShowOverviewAfterScanning() {
    setShowOverviewAfterScanning(true);
}

void Settings::restoreDefaultsForAllSettings() {
    restoreDefaultsScan();
    restoreDefaultExcludeFolders();
    restoreDefaultExcludeFiles();
    restoreDefaultExcludeExtensions();
    restoreDefaultAutoAlwaysSelectFolders();
    restoreDefaultAutoNeverSelectFolders();
    restoreRemoveDefaults();
    restoreDefaultsForAlertWindows();
    restoreShowOverviewAfterScanning();
    postNotification(kDuplicateItemSelectionChangedNotification);
}

void Settings::setFullySelectedGroupsDeselector(std::weak_ptr<FullySelectedGroupsDeselector> deselector) {
    std::lock_guard lock(g_deselectorMutex);
    g_deselector = std::move(deselector);
}

}  // namespace kestrane
