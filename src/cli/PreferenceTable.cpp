#include "cli/PreferenceTable.h"

#include "cli/SizeText.h"
#include "cli/TextEncoding.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <vector>

namespace kestrane::cli {

namespace {

using Value = PreferenceValue;
using Strings = std::vector<std::string>;
using Choice = Settings::NamedChoice;

// How the sort types and directions are named; the store keeps their numbers.
// A number may have no name of its own (the sort type's three "by size"
// numbers share one).
constexpr Choice kSortTypeChoices[] = {{0, "size"},       {1, "size"},     {2, "size"},    {3, "name"},
                                       {4, "duplicates"}, {5, "selected"}, {-1, "unsorted"}};
constexpr Choice kSortDirectionChoices[] = {{0, "ascending"}, {1, "descending"}};

// A float as the shortest decimal that reads back as the same float.
Value floatValue(float value) {
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return std::strtod(std::string(text, result.ptr).c_str(), nullptr);
}

template <bool (Settings::*Get)() const, void (Settings::*Set)(bool)>
Preference booleanPreference(const char* key) {
    return {key, PreferenceType::boolean, [](const Settings& s) { return Value((s.*Get)()); },
            [](Settings& s, const Value& v) { (s.*Set)(v.get<bool>()); }};
}

// The two flags the settings offer no setter for are stored the way every
// boolean is.
template <bool (Settings::*Get)() const, const char* const* Key>
Preference storedBooleanPreference() {
    return {*Key, PreferenceType::boolean, [](const Settings& s) { return Value((s.*Get)()); },
            [](Settings& s, const Value& v) { s.saveBoolValue(v.get<bool>(), *Key); }};
}

template <std::uint64_t (Settings::*Get)() const, void (Settings::*Set)(std::uint64_t)>
Preference sizePreference(const char* key, const UnsignedRange& range) {
    return {key, PreferenceType::size, [](const Settings& s) { return Value((s.*Get)()); },
            [](Settings& s, const Value& v) { (s.*Set)(v.get<std::uint64_t>()); }, PreferenceLimits{.sizes = range}};
}

template <std::int32_t (Settings::*Get)() const, void (Settings::*Set)(std::int32_t)>
Preference choicePreference(const char* key, std::span<const Choice> choices, bool storedByName) {
    return {key, PreferenceType::choice, [](const Settings& s) { return Value((s.*Get)()); },
            [](Settings& s, const Value& v) { (s.*Set)(v.get<std::int32_t>()); },
            PreferenceLimits{.choices = choices, .choiceStoredByName = storedByName}};
}

template <float (Settings::*Get)() const, void (Settings::*Set)(float)>
Preference numberPreference(const char* key) {
    return {key, PreferenceType::number, [](const Settings& s) { return floatValue((s.*Get)()); },
            [](Settings& s, const Value& v) { (s.*Set)(v.get<float>()); }};
}

template <std::optional<std::string> (Settings::*Get)() const,
          void (Settings::*Set)(const std::optional<std::string>&)>
Preference pathPreference(const char* key) {
    return {key, PreferenceType::path,
            [](const Settings& s) {
                const auto value = (s.*Get)();
                return value ? Value(*value) : Value(nullptr);
            },
            [](Settings& s, const Value& v) { (s.*Set)(v.get<std::string>()); }};
}

template <Strings (Settings::*Get)() const, void (Settings::*Set)(const std::optional<Strings>&)>
Preference listPreference(const char* key, PreferenceType type, PreferenceLimits limits = {}) {
    return {key, type, [](const Settings& s) { return Value((s.*Get)()); },
            [](Settings& s, const Value& v) { (s.*Set)(v.get<Strings>()); }, limits};
}

std::vector<Preference> makePreferences() {
    using S = Settings;
    return {
        booleanPreference<&S::defineMinimalDuplicatesFileSizeAutomatically,
                          &S::setDefineMinimalDuplicatesFileSizeAutomatically>(
            S::kKeyDefineMinimalDuplicatesFileSizeAutomatically),
        booleanPreference<&S::defineMinimalDuplicatesFileSizeAsZero, &S::setDefineMinimalDuplicatesFileSizeAsZero>(
            S::kKeyDefineMinimalDuplicatesFileSizeAsZero),
        sizePreference<&S::minDuplicatesFileSize, &S::setMinDuplicatesFileSize>(S::kKeyMinDuplicatesFileSize,
                                                                               S::kMinDuplicatesFileSizeRange),
        sizePreference<&S::hashBlockSize, &S::setHashBlockSize>(S::kKeyHashBlockSize, S::kHashBlockSizeRange),
        booleanPreference<&S::scanInHiddenFolders, &S::setScanInHiddenFolders>(S::kKeyScanInHiddenFolders),
        booleanPreference<&S::forceFullHashCalculation, &S::setForceFullHashCalculation>(
            S::kKeyForceFullHashCalculation),
        booleanPreference<&S::showOverviewAfterScanning, &S::setShowOverviewAfterScanning>(
            S::kKeyShowOverviewAfterScanning),
        storedBooleanPreference<&S::excludeTimeMachineBackups, &S::kKeyExcludeTimeMachineBackups>(),
        storedBooleanPreference<&S::skipVolumeSystemFolders, &S::kKeySkipVolumeSystemFolders>(),
        listPreference<&S::excludeFolders, &S::setExcludeFolders>(S::kKeyExcludeFolders, PreferenceType::paths),
        listPreference<&S::excludeFiles, &S::setExcludeFiles>(S::kKeyExcludeFiles, PreferenceType::paths),
        listPreference<&S::excludeExtensions, &S::setExcludeExtensions>(S::kKeyExcludeExtensions,
                                                                         PreferenceType::extensions),
        listPreference<&S::autoAlwaysSelectFolders, &S::setAutoAlwaysSelectFolders>(
            S::kKeyAutoAlwaysSelectFolders, PreferenceType::paths),
        listPreference<&S::autoNeverSelectFolders, &S::setAutoNeverSelectFolders>(S::kKeyAutoNeverSelectFolders,
                                                                                   PreferenceType::paths),
        booleanPreference<&S::moveCleanedDuplicatesToTheTrashCan, &S::setMoveCleanedDuplicatesToTheTrashCan>(
            S::kKeyMoveCleanedDuplicatesToTheTrashCan),
        booleanPreference<&S::allowRemovingAllDuplicateCopies, &S::setAllowRemovingAllDuplicateCopies>(
            S::kKeyAllowRemovingAllDuplicateCopies),
        booleanPreference<&S::removeEmptyFolders, &S::setRemoveEmptyFolders>(S::kKeyRemoveEmptyFolders),
        booleanPreference<&S::logRemovedDuplicates, &S::setLogRemovedDuplicates>(S::kKeyLogRemovedDuplicates),
        booleanPreference<&S::showRemoveLastInCategoriesMessage, &S::setShowRemoveLastInCategoriesMessage>(
            S::kKeyShowRemoveLastInCategoriesMessage),
        booleanPreference<&S::showRemoveLastInHeapsMessage, &S::setShowRemoveLastInHeapsMessage>(
            S::kKeyShowRemoveLastInHeapsMessage),
        booleanPreference<&S::showNewScanMessage, &S::setShowNewScanMessage>(S::kKeyShowNewScanMessage),
        booleanPreference<&S::showRemovePermanentlyItemsOnRemoteDisksMessage,
                          &S::setShowRemovePermanentlyItemsOnRemoteDisksMessage>(
            S::kKeyShowRemovePermanentlyItemsOnRemoteDisksMessage),
        booleanPreference<&S::showRemovePermanentlyMessage, &S::setShowRemovePermanentlyMessage>(
            S::kKeyShowRemovePermanentlyMessage),
        booleanPreference<&S::showRestartScanMessage, &S::setShowRestartScanMessage>(
            S::kKeyShowRestartScanMessage),
        booleanPreference<&S::showAutoSelectMessage, &S::setShowAutoSelectMessage>(S::kKeyShowAutoSelectMessage),
        booleanPreference<&S::showAlertThatAutoSelectDidNotChangeSelection,
                          &S::setShowAlertThatAutoSelectDidNotChangeSelection>(
            S::kKeyShowAlertThatAutoSelectDidNotChangeSelection),
        booleanPreference<&S::showAlertThatAutoSelectDidNotChangeSelectionBecauseNeverSelectList,
                          &S::setShowAlertThatAutoSelectDidNotChangeSelectionBecauseNeverSelectList>(
            S::kKeyShowAlertThatAutoSelectDidNotChangeSelectionBecauseNeverSelectList),
        booleanPreference<&S::showAlertThatDuplicateFolderSelectedInSelectInFolderDialog,
                          &S::setShowAlertThatDuplicateFolderSelectedInSelectInFolderDialog>(
            S::kKeyShowAlertThatDuplicateFolderSelectedInSelectInFolderDialog),
        listPreference<&S::lastTenFolders, &S::setLastTenFolders>(
            S::kKeyLastTenFolders, PreferenceType::paths,
            PreferenceLimits{.maxEntries = S::kMaxRecentFolders, .newestFirst = true}),
        pathPreference<&S::lastOpenedFolderToScan, &S::setLastOpenedFolderToScan>(S::kKeyLastOpenedFolderToScan),
        choicePreference<&S::sortType, &S::setSortType>(S::kKeySortType, kSortTypeChoices, false),
        choicePreference<&S::sortDirection, &S::setSortDirection>(S::kKeySortDirection, kSortDirectionChoices,
                                                                  false),
        choicePreference<&S::selectedFilesPresentation, &S::setSelectedFilesPresentation>(
            S::kKeySelectedFilesPresentation, S::selectedFilesPresentationNames(), true),
        choicePreference<&S::selectedFilesSortType, &S::setSelectedFilesSortType>(
            S::kKeySelectedFilesSortType, S::selectedFilesSortTypeNames(), true),
        choicePreference<&S::folderSplitState, &S::setFolderSplitState>(S::kKeyFolderSplitState,
                                                                        S::folderSplitStateNames(), true),
        numberPreference<&S::selectInFolderDividerPosition, &S::setSelectInFolderDividerPosition>(
            S::kKeySelectInFolderDividerPosition),
        numberPreference<&S::selectInFolderDividerPreviewPosition, &S::setSelectInFolderDividerPreviewPosition>(
            S::kKeySelectInFolderDividerPreviewPosition),
        booleanPreference<&S::selectInFolderIsNeedToShowInfoPanel, &S::setSelectInFolderIsNeedToShowInfoPanel>(
            S::kKeySelectInFolderIsNeedToShowInfoPanel),
        booleanPreference<&S::mergeDialogueExpandOptions, &S::setMergeDialogueExpandOptions>(
            S::kKeyMergeDialogueExpandOptions),
        booleanPreference<&S::mergeDialogueMoveMergedFiles, &S::setMergeDialogueMoveMergedFiles>(
            S::kKeyMergeDialogueMoveMergedFiles),
        booleanPreference<&S::mergeDialogueNeedMergeDuplicatesWithDifferentNames,
                          &S::setMergeDialogueNeedMergeDuplicatesWithDifferentNames>(
            S::kKeyMergeDialogueNeedMergeDuplicatesWithDifferentNames),    };
}

constexpr RestoreGroup kRestoreGroups[] = {
    {"scan", &Settings::restoreDefaultsScan, "full hashing off, hidden folders off, minimal size found automatically"},
    {"exclude-folders", &Settings::restoreDefaultExcludeFolders, "the skip list of folders"},
    {"exclude-files", &Settings::restoreDefaultExcludeFiles, "the skip list of files"},
    {"exclude-extensions", &Settings::restoreDefaultExcludeExtensions, "the skip list of extensions"},
    {"always-select", &Settings::restoreDefaultAutoAlwaysSelectFolders, "the folders auto-select always selects in"},
    {"never-select", &Settings::restoreDefaultAutoNeverSelectFolders, "the folders auto-select never selects in"},
    {"removal", &Settings::restoreRemoveDefaults,
     "move to the Trash, keep a copy of every group, leave empty folders, log removals, show the removal warnings"},
    {"alerts", &Settings::restoreDefaultsForAlertWindows, "show every message and warning again"},
    {"overview", &Settings::restoreShowOverviewAfterScanning, "open the results on their overview"},
    {"all", &Settings::restoreDefaultsForAllSettings, "all of the above"},
};

// --- Text helpers -----------------------------------------------------------

std::string lowerAscii(std::string_view text) {
    std::string lower(text);
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return lower;
}

// A key as typed compares with the stored one with every no-break space read
// as an ordinary space: nobody types U+00A0 in a shell.
std::string comparableKey(std::string_view key) {
    std::string result;
    for (std::size_t i = 0; i < key.size(); ++i) {
        if (key.compare(i, 2, "\xC2\xA0") == 0) {
            result += ' ';
            ++i;
        } else {
            result += key[i];
        }
    }
    return result;
}

std::size_t editDistance(std::string_view a, std::string_view b) {
    std::vector<std::size_t> previous(b.size() + 1), current(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) previous[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        current[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j)
            current[j] = std::min({previous[j] + 1, current[j - 1] + 1, previous[j - 1] + (a[i - 1] != b[j - 1])});
        std::swap(previous, current);
    }
    return previous[b.size()];
}

// --- Typed values ---------------------------------------------------------------

std::optional<bool> parseBoolean(std::string_view text) {
    const std::string lower = lowerAscii(text);
    for (const char* yes : {"true", "yes", "on", "1"})
        if (lower == yes) return true;
    for (const char* no : {"false", "no", "off", "0"})
        if (lower == no) return false;
    return std::nullopt;
}

template <typename T>
std::optional<T> parseWhole(std::string_view text) {
    T value{};
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (result.ec != std::errc() || result.ptr != text.data() + text.size()) return std::nullopt;
    return value;
}

std::optional<std::int32_t> parseChoice(std::span<const Choice> choices, std::string_view text) {
    if (const auto number = parseWhole<std::int32_t>(text)) {
        for (const Choice& choice : choices)
            if (choice.value == *number) return *number;
        return std::nullopt;
    }
    const std::string lower = lowerAscii(text);
    for (const Choice& choice : choices)
        if (lowerAscii(choice.name) == lower) return choice.value;
    return std::nullopt;
}

std::optional<float> parseNumber(std::string_view text) {
    const auto number = parseWhole<float>(text);
    if (!number || !std::isfinite(*number) || *number < 0.0f) return std::nullopt;
    return *number == 0.0f ? 0.0f : *number;  // no "-0"
}

// A path as stored: absolute, without trailing slashes (paths are compared as
// they are written, and "/a/b/" would never match the folder "/a/b").
std::optional<std::string> parsePath(std::string text) {
    if (text.empty() || text.front() != '/') return std::nullopt;
    while (text.size() > 1 && text.back() == '/') text.pop_back();
    return text;
}

}  // namespace

const char* preferenceTypeName(PreferenceType type) {
    switch (type) {
    case PreferenceType::boolean: return "boolean";
    case PreferenceType::size: return "size";
    case PreferenceType::choice: return "choice";
    case PreferenceType::number: return "number";
    case PreferenceType::path: return "path";
    case PreferenceType::paths: return "paths";
    case PreferenceType::extensions: return "extensions";
    }
    return "?";
}

// --- Preference -------------------------------------------------------------------

Preference::Preference(const char* key, PreferenceType type, Reader read, Writer write, PreferenceLimits limits)
    : m_key(key), m_type(type), m_read(read), m_write(write), m_limits(limits) {}

std::string Preference::typedKey() const {
    return comparableKey(m_key);
}

bool Preference::isList() const {
    return m_type == PreferenceType::paths || m_type == PreferenceType::extensions;
}

std::string Preference::choicesText() const {
    std::string text;
    for (const Choice& choice : m_limits.choices) {
        if (!text.empty()) text += ", ";
        text += std::to_string(choice.value) + " (" + choice.name + ")";
    }
    return text;
}

std::string Preference::expectedText() const {
    switch (m_type) {
    case PreferenceType::boolean: return "a boolean (true/false, yes/no, on/off, 1/0)";
    case PreferenceType::size: {
        std::string text = "a size in bytes (such as 4096, 500k, 2M or 1GiB)";
        if (const std::string range = m_limits.sizes.text(); !range.empty()) text += " " + range;
        return text;
    }
    case PreferenceType::choice: return "one of " + choicesText() + ", by number or name";
    case PreferenceType::number: return "a decimal number, 0 or more";
    case PreferenceType::path: return "an absolute path";
    case PreferenceType::paths: return "absolute paths";
    case PreferenceType::extensions: return "file name extensions (such as jpg or .jpg)";
    }
    return {};
}

std::optional<PreferenceValue> Preference::parse(const std::string& text, std::string& problem) const {
    problem = "expected " + expectedText();
    switch (m_type) {
    case PreferenceType::boolean:
        if (const auto value = parseBoolean(text)) return Value(*value);
        return std::nullopt;
    case PreferenceType::size: {
        const auto bytes = parseSize(text);
        if (!bytes || !m_limits.sizes.contains(*bytes)) return std::nullopt;
        return Value(*bytes);
    }
    case PreferenceType::choice:
        if (const auto number = parseChoice(m_limits.choices, text)) return Value(*number);
        return std::nullopt;
    case PreferenceType::number:
        if (const auto number = parseNumber(text)) return floatValue(*number);
        return std::nullopt;
    case PreferenceType::path:
    case PreferenceType::paths:
    case PreferenceType::extensions:
        break;
    }
    // The preferences file is JSON, which holds UTF-8 text only.
    if (!isValidUtf8(text)) {
        problem = "the preferences can only keep text in UTF-8";
        return std::nullopt;
    }
    if (m_type == PreferenceType::extensions) {
        if (const auto entry = Settings::normalizedExtensionEntry(text)) return Value(*entry);
        return std::nullopt;
    }
    if (const auto path = parsePath(text)) return Value(*path);
    return std::nullopt;
}

PreferenceValue Preference::shownValue(const Settings& settings) const {
    Value value = get(settings);
    if (m_type == PreferenceType::choice && m_limits.choiceStoredByName)
        for (const Choice& choice : m_limits.choices)
            if (value == choice.value) return Value(choice.name);
    return value;
}

std::string Preference::listingText(const PreferenceValue& shown) const {
    if (shown.is_null()) return "(none)";
    if (shown.is_array()) return PreferenceTable::jsonText(shown, -1);
    std::string text = PreferenceTable::valueText(shown);
    if (m_type == PreferenceType::choice && !m_limits.choiceStoredByName)
        for (const Choice& choice : m_limits.choices)
            if (shown == choice.value) return text + " (" + choice.name + ")";
    return text;
}

// --- PreferenceTable ----------------------------------------------------------------

std::span<const Preference> PreferenceTable::preferences() {
    static const std::vector<Preference> table = makePreferences();
    return table;
}

const Preference* PreferenceTable::lookup(std::string_view typed) {
    const std::string wanted = comparableKey(typed);
    for (const Preference& p : preferences())
        if (p.typedKey() == wanted) return &p;
    return nullptr;
}

std::optional<std::string> PreferenceTable::closestKey(std::string_view typed) {
    const std::string wanted = lowerAscii(comparableKey(typed));
    std::optional<std::string> best;
    std::size_t bestDistance = std::numeric_limits<std::size_t>::max();
    for (const Preference& p : preferences()) {
        const std::string candidate = lowerAscii(p.typedKey());
        const std::size_t distance = editDistance(wanted, candidate);
        const bool close = distance * 3 <= std::max(wanted.size(), candidate.size()) ||
                           (wanted.size() >= 4 && candidate.find(wanted) != std::string::npos);
        if (close && distance < bestDistance) {
            best = p.typedKey();
            bestDistance = distance;
        }
    }
    return best;
}

std::span<const RestoreGroup> PreferenceTable::restoreGroups() {
    return kRestoreGroups;
}

const RestoreGroup* PreferenceTable::restoreGroup(std::string_view name) {
    for (const RestoreGroup& group : kRestoreGroups)
        if (name == group.name) return &group;
    return nullptr;
}

std::string PreferenceTable::valueText(const PreferenceValue& value) {
    if (value.is_boolean()) return value.get<bool>() ? "true" : "false";
    if (value.is_string()) return value.get<std::string>();
    if (value.is_number_float()) {
        char text[32];
        const auto result = std::to_chars(text, text + sizeof text, value.get<float>());
        return std::string(text, result.ptr);
    }
    return value.dump();
}

std::string PreferenceTable::jsonText(const PreferenceValue& value, int indent) {
    return value.dump(indent, ' ', false, PreferenceValue::error_handler_t::replace);
}

}  // namespace kestrane::cli
