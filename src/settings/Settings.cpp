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

// The stored texts of the enumerated settings kept as text.
constexpr Settings::NamedChoice kPresentationNames[] = {{Settings::kPresentationOutline, "outline"},
                                                       {Settings::kPresentationFolders, "folders"},
                                                       {Settings::kPresentationPlain, "plain"}};
// Sort types count from 1.
constexpr Settings::NamedChoice kSelectedFilesSortNames[] = {
    {1, "Name. A to Z"},         {2, "Name. Z to A"},           {3, "Size. Large to Small"},
    {4, "Size. Small to Large"}, {5, "Date. Newest to Oldest"}, {6, "Date. Oldest to Newest"},
    {7, "Selected"},             {8, "Type"}};
// The layout's third state (folder content only, 2) has no established text
// of its own; it is stored as "folder content" so that it survives a restart,
// and a reader that does not know that text falls back to 0 like for any
// unknown text.
constexpr Settings::NamedChoice kFolderSplitNames[] = {
    {Settings::kFolderSplitPreview, "folder preview"},
    {Settings::kFolderSplitPreviewAndContent, "folder preview and folder content"},
    {Settings::kFolderSplitContent, "folder content"}};
constexpr const char* kUnknownEnumeratedValue = "unknown";

std::int32_t valueOfName(const std::optional<std::string>& stored, std::span<const Settings::NamedChoice> names,
                         std::int32_t fallback) {
    if (!stored) return fallback;
    for (const Settings::NamedChoice& choice : names)
        if (*stored == choice.name) return choice.value;
    return fallback;
}

std::string nameOfValue(std::int32_t value, std::span<const Settings::NamedChoice> names) {
    for (const Settings::NamedChoice& choice : names)
        if (choice.value == value) return choice.name;
    return kUnknownEnumeratedValue;
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

std::span<const Settings::NamedChoice> Settings::selectedFilesPresentationNames() {
    return kPresentationNames;
}
std::span<const Settings::NamedChoice> Settings::selectedFilesSortTypeNames() {
    return kSelectedFilesSortNames;
}
std::span<const Settings::NamedChoice> Settings::folderSplitStateNames() {
    return kFolderSplitNames;
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
    return getBoolValueForKey(kKeyDefineMinimalDuplicatesFileSizeAutomatically, true);
}
void Settings::setDefineMinimalDuplicatesFileSizeAutomatically(bool value) {
    saveBoolValue(value, kKeyDefineMinimalDuplicatesFileSizeAutomatically);
}
bool Settings::defineMinimalDuplicatesFileSizeAsZero() const {
    return getBoolValueForKey(kKeyDefineMinimalDuplicatesFileSizeAsZero, false);
}
void Settings::setDefineMinimalDuplicatesFileSizeAsZero(bool value) {
    saveBoolValue(value, kKeyDefineMinimalDuplicatesFileSizeAsZero);
}
std::uint64_t Settings::minDuplicatesFileSize() const {
    return getUnsignedLongLongValueForKey(kKeyMinDuplicatesFileSize, kDefaultMinDuplicatesFileSize,
                                          kMinDuplicatesFileSizeRange);
}
void Settings::setMinDuplicatesFileSize(std::uint64_t bytes) {
    saveUnsignedLongLongValue(bytes, kKeyMinDuplicatesFileSize);
}
std::uint64_t Settings::hashBlockSize() const {
    return getUnsignedLongLongValueForKey(kKeyHashBlockSize, kDefaultHashBlockSize, kHashBlockSizeRange);
}
void Settings::setHashBlockSize(std::uint64_t bytes) {
    saveUnsignedLongLongValue(bytes, kKeyHashBlockSize);
}
bool Settings::scanInHiddenFolders() const {
    return getBoolValueForKey(kKeyScanInHiddenFolders, false);
}
void Settings::setScanInHiddenFolders(bool value) {
    saveBoolValue(value, kKeyScanInHiddenFolders);
}
bool Settings::forceFullHashCalculation() const {
    return getBoolValueForKey(kKeyForceFullHashCalculation, false);
}
void Settings::setForceFullHashCalculation(bool value) {
    saveBoolValue(value, kKeyForceFullHashCalculation);
    postNotification(kOnForceFullHashCalculationChangedNotification);
}
bool Settings::showOverviewAfterScanning() const {
    return getBoolValueForKey(kKeyShowOverviewAfterScanning, true);
}
void Settings::setShowOverviewAfterScanning(bool value) {
    saveBoolValue(value, kKeyShowOverviewAfterScanning);
}
bool Settings::excludeTimeMachineBackups() const {
    return getBoolValueForKey(kKeyExcludeTimeMachineBackups, true);
}
bool Settings::skipVolumeSystemFolders() const {
    return getBoolValueForKey(kKeySkipVolumeSystemFolders, true);
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
    return getArrayValueForKey(kKeyExcludeFolders, createDefaultExcludeFoldersArray());
}
void Settings::setExcludeFolders(const std::optional<std::vector<std::string>>& folders) {
    saveArrayValue(folders, kKeyExcludeFolders);
}
std::vector<std::string> Settings::excludeFiles() const {
    return getArrayValueForKey(kKeyExcludeFiles, createDefaultExcludeFilesArray());
}
void Settings::setExcludeFiles(const std::optional<std::vector<std::string>>& files) {
    saveArrayValue(files, kKeyExcludeFiles);
}
std::vector<std::string> Settings::excludeExtensions() const {
    return getArrayValueForKey(kKeyExcludeExtensions, createDefaultExcludeExtensionsArray());
}
void Settings::setExcludeExtensions(const std::optional<std::vector<std::string>>& extensions) {
    saveArrayValue(extensions, kKeyExcludeExtensions);
}
std::vector<std::string> Settings::autoAlwaysSelectFolders() const {
    return getArrayValueForKey(kKeyAutoAlwaysSelectFolders, createDefaultAutoSelectFoldersArray());
}
void Settings::setAutoAlwaysSelectFolders(const std::optional<std::vector<std::string>>& folders) {
    saveArrayValue(folders, kKeyAutoAlwaysSelectFolders);
}
std::vector<std::string> Settings::autoNeverSelectFolders() const {
    return getArrayValueForKey(kKeyAutoNeverSelectFolders, createDefaultNeverSelectFoldersArray());
}
void Settings::setAutoNeverSelectFolders(const std::optional<std::vector<std::string>>& folders) {
    saveArrayValue(folders, kKeyAutoNeverSelectFolders);
}

// --- Removal --------------------------------------------------------------------------

bool Settings::moveCleanedDuplicatesToTheTrashCan() const {
    return getBoolValueForKey(kKeyMoveCleanedDuplicatesToTheTrashCan, true);
}
void Settings::setMoveCleanedDuplicatesToTheTrashCan(bool value) {
    saveBoolValue(value, kKeyMoveCleanedDuplicatesToTheTrashCan);
    postNotification(kRemoveToTrashSettingChangedNotification);
}
bool Settings::allowRemovingAllDuplicateCopies() const {
    return getBoolValueForKey(kKeyAllowRemovingAllDuplicateCopies, false);
}
void Settings::setAllowRemovingAllDuplicateCopies(bool value) {
    saveBoolValue(value, kKeyAllowRemovingAllDuplicateCopies);
    postNotification(kOnAllowRemovingAllDuplicateCopiesChangedNotification);
}
bool Settings::removeEmptyFolders() const {
    return getBoolValueForKey(kKeyRemoveEmptyFolders, false);
}
void Settings::setRemoveEmptyFolders(bool value) {
    saveBoolValue(value, kKeyRemoveEmptyFolders);
}
bool Settings::logRemovedDuplicates() const {
    return getBoolValueForKey(kKeyLogRemovedDuplicates, true);
}
void Settings::setLogRemovedDuplicates(bool value) {
    saveBoolValue(value, kKeyLogRemovedDuplicates);
    postNotification(kOnLogRemovedDuplicatesChangedNotification);
}

// --- Messages ---------------------------------------------------------------------------

bool Settings::showRemoveLastInCategoriesMessage() const {
    return getBoolValueForKey(kKeyShowRemoveLastInCategoriesMessage, true);
}
void Settings::setShowRemoveLastInCategoriesMessage(bool value) {
    saveBoolValue(value, kKeyShowRemoveLastInCategoriesMessage);
}
bool Settings::showRemoveLastInHeapsMessage() const {
    return getBoolValueForKey(kKeyShowRemoveLastInHeapsMessage, true);
}
void Settings::setShowRemoveLastInHeapsMessage(bool value) {
    saveBoolValue(value, kKeyShowRemoveLastInHeapsMessage);
}
bool Settings::showNewScanMessage() const {
    return getBoolValueForKey(kKeyShowNewScanMessage, true);
}
void Settings::setShowNewScanMessage(bool value) {
    saveBoolValue(value, kKeyShowNewScanMessage);
}
bool Settings::showRemovePermanentlyItemsOnRemoteDisksMessage() const {
    return getBoolValueForKey(kKeyShowRemovePermanentlyItemsOnRemoteDisksMessage, true);
}
void Settings::setShowRemovePermanentlyItemsOnRemoteDisksMessage(bool value) {
    saveBoolValue(value, kKeyShowRemovePermanentlyItemsOnRemoteDisksMessage);
}
bool Settings::showRemovePermanentlyMessage() const {
    return getBoolValueForKey(kKeyShowRemovePermanentlyMessage, true);
}
void Settings::setShowRemovePermanentlyMessage(bool value) {
    saveBoolValue(value, kKeyShowRemovePermanentlyMessage);
}
bool Settings::showRestartScanMessage() const {
    return getBoolValueForKey(kKeyShowRestartScanMessage, true);
}
void Settings::setShowRestartScanMessage(bool value) {
    saveBoolValue(value, kKeyShowRestartScanMessage);
}
bool Settings::showAutoSelectMessage() const {
    return getBoolValueForKey(kKeyShowAutoSelectMessage, true);
}
void Settings::setShowAutoSelectMessage(bool value) {
    saveBoolValue(value, kKeyShowAutoSelectMessage);
    postNotification(kAutoSelectPreferencesChangedNotification);
}
bool Settings::showAlertThatAutoSelectDidNotChangeSelection() const {
    return getBoolValueForKey(kKeyShowAlertThatAutoSelectDidNotChangeSelection, true);
}
void Settings::setShowAlertThatAutoSelectDidNotChangeSelection(bool value) {
    saveBoolValue(value, kKeyShowAlertThatAutoSelectDidNotChangeSelection);
    postNotification(kAutoSelectPreferencesChangedNotification);
}
bool Settings::showAlertThatAutoSelectDidNotChangeSelectionBecauseNeverSelectList() const {
    return getBoolValueForKey(kKeyShowAlertThatAutoSelectDidNotChangeSelectionBecauseNeverSelectList, true);
}
void Settings::setShowAlertThatAutoSelectDidNotChangeSelectionBecauseNeverSelectList(bool value) {
    saveBoolValue(value, kKeyShowAlertThatAutoSelectDidNotChangeSelectionBecauseNeverSelectList);
    postNotification(kAutoSelectPreferencesChangedNotification);
}
bool Settings::showAlertThatDuplicateFolderSelectedInSelectInFolderDialog() const {
    return getBoolValueForKey(kKeyShowAlertThatDuplicateFolderSelectedInSelectInFolderDialog, true);
}
void Settings::setShowAlertThatDuplicateFolderSelectedInSelectInFolderDialog(bool value) {
    saveBoolValue(value, kKeyShowAlertThatDuplicateFolderSelectedInSelectInFolderDialog);
}

// --- Recent folders ----------------------------------------------------------------------

std::vector<std::string> Settings::lastTenFolders() const {
    return getArrayValueForKey(kKeyLastTenFolders, {});
}
void Settings::setLastTenFolders(const std::optional<std::vector<std::string>>& folders) {
    saveArrayValue(folders, kKeyLastTenFolders);
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
    return getStringValueForKey(kKeyLastOpenedFolderToScan);
}
void Settings::setLastOpenedFolderToScan(const std::optional<std::string>& folder) {
    saveStringValue(folder, kKeyLastOpenedFolderToScan);
}

// --- Lists and screens ---------------------------------------------------------------------

std::int32_t Settings::sortType() const {
    return getIntValueForKey(kKeySortType, 0);
}
void Settings::setSortType(std::int32_t type) {
    saveIntValue(type, kKeySortType);
}
std::int32_t Settings::sortDirection() const {
    return getIntValueForKey(kKeySortDirection, 1);
}
void Settings::setSortDirection(std::int32_t direction) {
    saveIntValue(direction, kKeySortDirection);
}
std::int32_t Settings::selectedFilesPresentation() const {
    return valueOfName(getStringValueForKey(kKeySelectedFilesPresentation), kPresentationNames, kPresentationOutline);
}
void Settings::setSelectedFilesPresentation(std::int32_t presentation) {
    saveStringValue(nameOfValue(presentation, kPresentationNames), kKeySelectedFilesPresentation);
}
std::int32_t Settings::selectedFilesSortType() const {
    return valueOfName(getStringValueForKey(kKeySelectedFilesSortType), kSelectedFilesSortNames, 1);
}
void Settings::setSelectedFilesSortType(std::int32_t sortType) {
    saveStringValue(nameOfValue(sortType, kSelectedFilesSortNames), kKeySelectedFilesSortType);
}
std::int32_t Settings::folderSplitState() const {
    return valueOfName(getStringValueForKey(kKeyFolderSplitState), kFolderSplitNames, kFolderSplitPreview);
}
void Settings::setFolderSplitState(std::int32_t state) {
    saveStringValue(nameOfValue(state, kFolderSplitNames), kKeyFolderSplitState);
}
float Settings::selectInFolderDividerPosition() const {
    return getFloatValueForKey(kKeySelectInFolderDividerPosition, 1.0f);
}
void Settings::setSelectInFolderDividerPosition(float position) {
    saveFloatValue(position, kKeySelectInFolderDividerPosition);
}
float Settings::selectInFolderDividerPreviewPosition() const {
    return getFloatValueForKey(kKeySelectInFolderDividerPreviewPosition, 0.0f);
}
void Settings::setSelectInFolderDividerPreviewPosition(float position) {
    saveFloatValue(position, kKeySelectInFolderDividerPreviewPosition);
}
bool Settings::selectInFolderIsNeedToShowInfoPanel() const {
    return getBoolValueForKey(kKeySelectInFolderIsNeedToShowInfoPanel, true);
}
void Settings::setSelectInFolderIsNeedToShowInfoPanel(bool value) {
    saveBoolValue(value, kKeySelectInFolderIsNeedToShowInfoPanel);
}

// --- Merge dialogue --------------------------------------------------------------------------

bool Settings::mergeDialogueExpandOptions() const {
    return getBoolValueForKey(kKeyMergeDialogueExpandOptions, true);
}
void Settings::setMergeDialogueExpandOptions(bool value) {
    saveBoolValue(value, kKeyMergeDialogueExpandOptions);
}
bool Settings::mergeDialogueMoveMergedFiles() const {
    return getBoolValueForKey(kKeyMergeDialogueMoveMergedFiles, false);
}
void Settings::setMergeDialogueMoveMergedFiles(bool value) {
    saveBoolValue(value, kKeyMergeDialogueMoveMergedFiles);
}
bool Settings::mergeDialogueNeedMergeDuplicatesWithDifferentNames() const {
    return getBoolValueForKey(kKeyMergeDialogueNeedMergeDuplicatesWithDifferentNames, true);
}
void Settings::setMergeDialogueNeedMergeDuplicatesWithDifferentNames(bool value) {
    saveBoolValue(value, kKeyMergeDialogueNeedMergeDuplicatesWithDifferentNames);
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
