#include "cli/PrefsCommand.h"

#include "cli/ExitStatus.h"
#include "cli/SizeText.h"
#include "cli/TextEncoding.h"
#include "platform/Log.h"
#include "platform/PreferencesStore.h"
#include "settings/Settings.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <limits>
#include <optional>
#include <ostream>
#include <span>
#include <string_view>

namespace kestrane::cli {

namespace {

// Keys keep the order in which they are listed.
using Json = nlohmann::ordered_json;
using Strings = std::vector<std::string>;

constexpr const char* kPrefix = "kestrane prefs: ";

enum class Type { boolean, size, choice, number, path, paths, extensions };

const char* typeName(Type type) {
    switch (type) {
    case Type::boolean: return "boolean";
    case Type::size: return "size";
    case Type::choice: return "choice";
    case Type::number: return "number";
    case Type::path: return "path";
    case Type::paths: return "paths";
    case Type::extensions: return "extensions";
    }
    return "?";
}

bool isList(Type type) {
    return type == Type::paths || type == Type::extensions;
}

// One value of an enumerated preference. A number may have no name of its own
// (the sort type's three "by size" numbers share one).
struct Choice {
    std::int32_t number;
    const char* name;
};

constexpr Choice kSortTypeChoices[] = {{0, "size"},       {1, "size"},     {2, "size"},    {3, "name"},
                                       {4, "duplicates"}, {5, "selected"}, {-1, "unsorted"}};
constexpr Choice kSortDirectionChoices[] = {{0, "ascending"}, {1, "descending"}};
constexpr Choice kPresentationChoices[] = {{Settings::kPresentationOutline, "outline"},
                                           {Settings::kPresentationFolders, "folders"},
                                           {Settings::kPresentationPlain, "plain"}};
constexpr Choice kSelectedFilesSortChoices[] = {
    {1, "Name. A to Z"},           {2, "Name. Z to A"},           {3, "Size. Large to Small"},
    {4, "Size. Small to Large"},   {5, "Date. Newest to Oldest"}, {6, "Date. Oldest to Newest"},
    {7, "Selected"},               {8, "Type"}};
constexpr Choice kFolderSplitChoices[] = {{Settings::kFolderSplitPreview, "folder preview"},
                                          {Settings::kFolderSplitPreviewAndContent, "folder preview and folder content"},
                                          {Settings::kFolderSplitContent, "folder content"}};

// One preference as the command sees it: its type, and how its value is read
// and written through the typed settings (so that setters normalise and post
// their notices as everywhere else).
struct Preference {
    const char* key;
    Type type;
    // The value in effect, as JSON: a boolean, an unsigned number, a number
    // (a choice gives its number), a string or null (a path), an array of strings.
    Json (*read)(const Settings&);
    // Stores a checked value of the JSON type read() gives.
    void (*write)(Settings&, const Json&);
    std::span<const Choice> choices = {};
    bool choiceStoredAsText = false;  // the store keeps the choice's name, so show it by name
    std::uint64_t minimum = 0;        // sizes
    std::uint64_t maximum = std::numeric_limits<std::uint64_t>::max();
    std::size_t maxEntries = 0;  // lists; 0 is no limit
    bool newestFirst = false;    // --add puts an entry at the front, like a recent folder
};

// A float as the shortest decimal that reads back as the same float.
Json floatJson(float value) {
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return std::strtod(std::string(text, result.ptr).c_str(), nullptr);
}

template <bool (Settings::*Get)() const, void (Settings::*Set)(bool)>
Preference booleanPreference(const char* key) {
    return {key, Type::boolean, [](const Settings& s) { return Json((s.*Get)()); },
            [](Settings& s, const Json& v) { (s.*Set)(v.get<bool>()); }};
}

// The two flags the settings offer no setter for are stored the way every
// boolean is.
template <bool (Settings::*Get)() const, const char* const* Key>
Preference storedBooleanPreference() {
    return {*Key, Type::boolean, [](const Settings& s) { return Json((s.*Get)()); },
            [](Settings& s, const Json& v) { s.saveBoolValue(v.get<bool>(), *Key); }};
}

template <std::uint64_t (Settings::*Get)() const, void (Settings::*Set)(std::uint64_t)>
Preference sizePreference(const char* key, std::uint64_t minimum, std::uint64_t maximum) {
    Preference p{key, Type::size, [](const Settings& s) { return Json((s.*Get)()); },
                 [](Settings& s, const Json& v) { (s.*Set)(v.get<std::uint64_t>()); }};
    p.minimum = minimum;
    p.maximum = maximum;
    return p;
}

template <std::int32_t (Settings::*Get)() const, void (Settings::*Set)(std::int32_t)>
Preference choicePreference(const char* key, std::span<const Choice> choices, bool storedAsText) {
    Preference p{key, Type::choice, [](const Settings& s) { return Json((s.*Get)()); },
                 [](Settings& s, const Json& v) { (s.*Set)(v.get<std::int32_t>()); }};
    p.choices = choices;
    p.choiceStoredAsText = storedAsText;
    return p;
}

template <float (Settings::*Get)() const, void (Settings::*Set)(float)>
Preference numberPreference(const char* key) {
    return {key, Type::number, [](const Settings& s) { return floatJson((s.*Get)()); },
            [](Settings& s, const Json& v) { (s.*Set)(v.get<float>()); }};
}

template <std::optional<std::string> (Settings::*Get)() const,
          void (Settings::*Set)(const std::optional<std::string>&)>
Preference pathPreference(const char* key) {
    return {key, Type::path,
            [](const Settings& s) {
                const auto value = (s.*Get)();
                return value ? Json(*value) : Json(nullptr);
            },
            [](Settings& s, const Json& v) { (s.*Set)(v.get<std::string>()); }};
}

template <Strings (Settings::*Get)() const, void (Settings::*Set)(const std::optional<Strings>&)>
Preference listPreference(const char* key, Type type) {
    return {key, type, [](const Settings& s) { return Json((s.*Get)()); },
            [](Settings& s, const Json& v) { (s.*Set)(v.get<Strings>()); }};
}

// Every preference the command knows, in the order they are listed.
const std::vector<Preference>& preferences() {
    using S = Settings;
    static const std::vector<Preference> table = [] {
        std::vector<Preference> t = {
            booleanPreference<&S::defineMinimalDuplicatesFileSizeAutomatically,
                              &S::setDefineMinimalDuplicatesFileSizeAutomatically>(
                S::kKeyDefineMinimalDuplicatesFileSizeAutomatically),
            booleanPreference<&S::defineMinimalDuplicatesFileSizeAsZero, &S::setDefineMinimalDuplicatesFileSizeAsZero>(
                S::kKeyDefineMinimalDuplicatesFileSizeAsZero),
            sizePreference<&S::minDuplicatesFileSize, &S::setMinDuplicatesFileSize>(
                S::kKeyMinDuplicatesFileSize, 0, std::numeric_limits<std::uint64_t>::max()),
            // Partial keys read three blocks; tiny blocks tell little apart and
            // huge ones cost memory in each of the hashing operations.
            sizePreference<&S::hashBlockSize, &S::setHashBlockSize>(S::kKeyHashBlockSize, 512, 64 * 1024 * 1024),
            booleanPreference<&S::scanInHiddenFolders, &S::setScanInHiddenFolders>(S::kKeyScanInHiddenFolders),
            booleanPreference<&S::forceFullHashCalculation, &S::setForceFullHashCalculation>(
                S::kKeyForceFullHashCalculation),
            booleanPreference<&S::showOverviewAfterScanning, &S::setShowOverviewAfterScanning>(
                S::kKeyShowOverviewAfterScanning),
            storedBooleanPreference<&S::excludeTimeMachineBackups, &S::kKeyExcludeTimeMachineBackups>(),
            storedBooleanPreference<&S::skipVolumeSystemFolders, &S::kKeySkipVolumeSystemFolders>(),
            listPreference<&S::excludeFolders, &S::setExcludeFolders>(S::kKeyExcludeFolders, Type::paths),
            listPreference<&S::excludeFiles, &S::setExcludeFiles>(S::kKeyExcludeFiles, Type::paths),
            listPreference<&S::excludeExtensions, &S::setExcludeExtensions>(S::kKeyExcludeExtensions,
                                                                             Type::extensions),
            listPreference<&S::autoAlwaysSelectFolders, &S::setAutoAlwaysSelectFolders>(
                S::kKeyAutoAlwaysSelectFolders, Type::paths),
            listPreference<&S::autoNeverSelectFolders, &S::setAutoNeverSelectFolders>(S::kKeyAutoNeverSelectFolders,
                                                                                       Type::paths),
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
            listPreference<&S::lastTenFolders, &S::setLastTenFolders>(S::kKeyLastTenFolders, Type::paths),
            pathPreference<&S::lastOpenedFolderToScan, &S::setLastOpenedFolderToScan>(S::kKeyLastOpenedFolderToScan),
            choicePreference<&S::sortType, &S::setSortType>(S::kKeySortType, kSortTypeChoices, false),
            choicePreference<&S::sortDirection, &S::setSortDirection>(S::kKeySortDirection, kSortDirectionChoices,
                                                                      false),
            choicePreference<&S::selectedFilesPresentation, &S::setSelectedFilesPresentation>(
                S::kKeySelectedFilesPresentation, kPresentationChoices, true),
            choicePreference<&S::selectedFilesSortType, &S::setSelectedFilesSortType>(
                S::kKeySelectedFilesSortType, kSelectedFilesSortChoices, true),
            choicePreference<&S::folderSplitState, &S::setFolderSplitState>(S::kKeyFolderSplitState,
                                                                            kFolderSplitChoices, true),
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
                S::kKeyMergeDialogueNeedMergeDuplicatesWithDifferentNames),
        };
        for (Preference& p : t)
            if (p.key == std::string_view(S::kKeyLastTenFolders)) {
                p.maxEntries = S::kMaxRecentFolders;
                p.newestFirst = true;
            }
        return t;
    }();
    return table;
}

struct RestoreGroup {
    const char* name;
    void (Settings::*restore)();
    const char* description;
};

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

const Preference* findPreference(std::string_view typed) {
    const std::string wanted = comparableKey(typed);
    for (const Preference& p : preferences())
        if (comparableKey(p.key) == wanted) return &p;
    return nullptr;
}

// The known key nearest to a mistyped one: a few letters off, or holding the
// typed text whole (a key typed without its prefix).
std::optional<std::string> closestKey(std::string_view typed) {
    const std::string wanted = lowerAscii(comparableKey(typed));
    std::optional<std::string> best;
    std::size_t bestDistance = std::numeric_limits<std::size_t>::max();
    for (const Preference& p : preferences()) {
        const std::string candidate = lowerAscii(comparableKey(p.key));
        const std::size_t distance = editDistance(wanted, candidate);
        const bool close = distance * 3 <= std::max(wanted.size(), candidate.size()) ||
                           (wanted.size() >= 4 && candidate.find(wanted) != std::string::npos);
        if (close && distance < bestDistance) {
            best = comparableKey(p.key);
            bestDistance = distance;
        }
    }
    return best;
}

const Preference* lookUp(const std::string& typed, std::ostream& err) {
    if (const Preference* p = findPreference(typed)) return p;
    err << kPrefix << "unknown preference \"" << typed << "\"; see `kestrane prefs list`";
    if (const auto close = closestKey(typed)) err << " (did you mean \"" << *close << "\"?)";
    err << "\n";
    return nullptr;
}

int usageError(std::ostream& err, const std::string& message) {
    err << kPrefix << message << "; see `kestrane prefs --help`\n";
    return kExitUsage;
}

// --- Values ---------------------------------------------------------------------

std::string choicesText(const Preference& p) {
    std::string text;
    for (const Choice& choice : p.choices) {
        if (!text.empty()) text += ", ";
        text += std::to_string(choice.number) + " (" + choice.name + ")";
    }
    return text;
}

// What a preference takes, for messages.
std::string expectedText(const Preference& p) {
    switch (p.type) {
    case Type::boolean: return "a boolean (true/false, yes/no, on/off, 1/0)";
    case Type::size: {
        std::string text = "a size in bytes (such as 4096, 500k, 2M or 1GiB)";
        if (p.minimum > 0 || p.maximum < std::numeric_limits<std::uint64_t>::max())
            text += " from " + std::to_string(p.minimum) + " to " + std::to_string(p.maximum);
        return text;
    }
    case Type::choice: return "one of " + choicesText(p) + ", by number or name";
    case Type::number: return "a decimal number, 0 or more";
    case Type::path: return "an absolute path";
    case Type::paths: return "absolute paths";
    case Type::extensions: return "file name extensions (such as jpg or .jpg)";
    }
    return {};
}

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

std::optional<std::int32_t> parseChoice(const Preference& p, std::string_view text) {
    if (const auto number = parseWhole<std::int32_t>(text)) {
        for (const Choice& choice : p.choices)
            if (choice.number == *number) return *number;
        return std::nullopt;
    }
    const std::string lower = lowerAscii(text);
    for (const Choice& choice : p.choices)
        if (lowerAscii(choice.name) == lower) return choice.number;
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

// One value (or list entry) as typed, checked and put in the form it is stored
// in. On failure, `problem` says what was wrong with it.
std::optional<Json> parseValue(const Preference& p, const std::string& text, std::string& problem) {
    problem = "expected " + expectedText(p);
    switch (p.type) {
    case Type::boolean:
        if (const auto value = parseBoolean(text)) return Json(*value);
        return std::nullopt;
    case Type::size: {
        const auto bytes = parseSize(text);
        if (!bytes || *bytes < p.minimum || *bytes > p.maximum) return std::nullopt;
        return Json(*bytes);
    }
    case Type::choice:
        if (const auto number = parseChoice(p, text)) return Json(*number);
        return std::nullopt;
    case Type::number:
        if (const auto number = parseNumber(text)) return floatJson(*number);
        return std::nullopt;
    case Type::path:
    case Type::paths:
    case Type::extensions:
        break;
    }
    // The preferences file is JSON, which holds UTF-8 text only.
    if (!isValidUtf8(text)) {
        problem = "the preferences can only keep text in UTF-8";
        return std::nullopt;
    }
    if (p.type == Type::extensions) {
        if (const auto entry = Settings::normalizedExtensionEntry(text)) return Json(*entry);
        return std::nullopt;
    }
    if (const auto path = parsePath(text)) return Json(*path);
    return std::nullopt;
}

// The value in effect as it is shown and printed: a choice kept by name shows its name.
Json effectiveValue(const Preference& p, const Settings& settings) {
    Json value = p.read(settings);
    if (p.type == Type::choice && p.choiceStoredAsText)
        for (const Choice& choice : p.choices)
            if (value == choice.number) return Json(choice.name);
    return value;
}

std::string scalarText(const Json& value) {
    if (value.is_boolean()) return value.get<bool>() ? "true" : "false";
    if (value.is_string()) return value.get<std::string>();
    if (value.is_number_float()) {
        char text[32];
        const auto result = std::to_chars(text, text + sizeof text, value.get<float>());
        return std::string(text, result.ptr);
    }
    return value.dump();
}

std::string dumpJson(const Json& value, int indent) {
    return value.dump(indent, ' ', false, Json::error_handler_t::replace);
}

// A value in one line of the listing.
std::string listingText(const Preference& p, const Json& value) {
    if (value.is_null()) return "(none)";
    if (value.is_array()) return dumpJson(value, -1);
    std::string text = scalarText(value);
    if (p.type == Type::choice && !p.choiceStoredAsText)
        for (const Choice& choice : p.choices)
            if (value == choice.number) return text + " (" + choice.name + ")";
    return text;
}

// --- Subcommands ------------------------------------------------------------------

struct Context {
    Settings settings;
    std::ostream& out;
    std::ostream& err;
};

// Whether everything written so far reached the file.
int savedOrFailure(const Context& c) {
    const auto& store = c.settings.store();
    if (store->isPersistent()) return kExitSuccess;
    const auto error = store->lastError();
    c.err << kPrefix << "the change could not be saved: "
          << (error ? error->describe() : std::string("the preferences file cannot be written")) << "\n";
    return kExitFailure;
}

int list(const Context& c, std::span<const std::string> args) {
    bool asJson = false;
    for (const std::string& arg : args) {
        if (arg != "--json") return usageError(c.err, "list takes no argument \"" + arg + "\"");
        asJson = true;
    }
    if (asJson) {
        Json object = Json::object();
        for (const Preference& p : preferences()) object[p.key] = effectiveValue(p, c.settings);
        c.out << dumpJson(object, 2) << "\n";
        return kExitSuccess;
    }

    // Defaults are what a store without values gives.
    const Settings defaults(std::make_shared<platform::PreferencesStore>(std::string()));
    for (const Preference& p : preferences()) {
        const Json value = effectiveValue(p, c.settings);
        std::string type = typeName(p.type);
        type.resize(12, ' ');
        c.out << type << p.key << " = " << listingText(p, value);
        if (value == effectiveValue(p, defaults)) c.out << "  (default)";
        c.out << "\n";
    }
    return kExitSuccess;
}

int get(const Context& c, std::span<const std::string> args) {
    bool asJson = false;
    std::optional<std::string> key;
    for (const std::string& arg : args) {
        if (arg == "--json")
            asJson = true;
        else if (key || arg.starts_with("--"))
            return usageError(c.err, "get takes one key and --json, not \"" + arg + "\"");
        else
            key = arg;
    }
    if (!key) return usageError(c.err, "get needs a key");
    const Preference* p = lookUp(*key, c.err);
    if (!p) return kExitUsage;

    const Json value = effectiveValue(*p, c.settings);
    if (asJson)
        c.out << dumpJson(value, 2) << "\n";
    else if (value.is_array())
        for (const Json& entry : value) c.out << entry.get<std::string>() << "\n";
    else if (!value.is_null())
        c.out << scalarText(value) << "\n";
    return kExitSuccess;
}

int set(Context& c, std::span<const std::string> args) {
    if (args.empty()) return usageError(c.err, "set needs a key and a value");
    const Preference* p = lookUp(args[0], c.err);
    if (!p) return kExitUsage;

    Strings values;
    std::vector<std::pair<bool, std::string>> edits;  // (add, entry), in order
    bool makeEmpty = false;
    bool optionsEnded = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || !arg.starts_with("--")) {
            values.push_back(arg);
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "--empty") {
            makeEmpty = true;
        } else if (arg == "--add" || arg == "--remove") {
            if (i + 1 == args.size()) return usageError(c.err, arg + " needs a value");
            edits.emplace_back(arg == "--add", args[++i]);
        } else if (arg.starts_with("--add=") || arg.starts_with("--remove=")) {
            const std::size_t equals = arg.find('=');
            edits.emplace_back(arg.starts_with("--add="), arg.substr(equals + 1));
        } else {
            return usageError(c.err, "unknown option \"" + arg + "\"");
        }
    }
    const int modes = !values.empty() + !edits.empty() + makeEmpty;
    if (modes == 0) return usageError(c.err, std::string("set ") + comparableKey(p->key) + " needs a value");
    if (modes > 1) return usageError(c.err, "give either values, or --add/--remove, or --empty");
    if (!isList(p->type) && values.empty())
        return usageError(c.err, std::string("--add, --remove and --empty change lists; ") + comparableKey(p->key) +
                                     " is a " + typeName(p->type));

    std::string problem;
    auto badValue = [&](const std::string& text) {
        c.err << kPrefix << "\"" << text << "\" is not a valid value for " << p->key << ": " << problem << "\n";
        return kExitUsage;
    };

    Json newValue;
    if (!isList(p->type)) {
        if (values.size() > 1)
            return usageError(c.err, std::string(p->key) + " takes one value (quote a value that holds spaces)");
        const auto parsed = parseValue(*p, values[0], problem);
        if (!parsed) return badValue(values[0]);
        newValue = *parsed;
    } else {
        Strings entries;
        if (!values.empty()) {
            for (const std::string& text : values) {
                const auto parsed = parseValue(*p, text, problem);
                if (!parsed) return badValue(text);
                const std::string entry = parsed->get<std::string>();
                if (std::find(entries.begin(), entries.end(), entry) == entries.end()) entries.push_back(entry);
            }
        } else if (!edits.empty()) {
            entries = p->read(c.settings).get<Strings>();
            for (const auto& [add, text] : edits) {
                const auto parsed = parseValue(*p, text, problem);
                if (!parsed) return badValue(text);
                const std::string entry = parsed->get<std::string>();
                const auto found = std::find(entries.begin(), entries.end(), entry);
                if (add && p->newestFirst) {
                    if (found != entries.end()) entries.erase(found);
                    entries.insert(entries.begin(), entry);
                    if (entries.size() > p->maxEntries) entries.resize(p->maxEntries);
                } else if (add) {
                    if (found == entries.end()) entries.push_back(entry);
                } else if (found != entries.end()) {
                    entries.erase(found);
                } else {
                    c.err << kPrefix << "\"" << entry << "\" is not in " << p->key << "\n";
                    return kExitUsage;
                }
            }
        }
        if (p->maxEntries > 0 && entries.size() > p->maxEntries)
            return usageError(c.err, std::string(p->key) + " holds at most " + std::to_string(p->maxEntries) +
                                         " entries");
        newValue = entries;
    }
    p->write(c.settings, newValue);
    return savedOrFailure(c);
}

int reset(Context& c, std::span<const std::string> args) {
    if (args.empty()) return usageError(c.err, "reset needs a key");
    std::vector<const Preference*> found;
    for (const std::string& key : args) {
        const Preference* p = lookUp(key, c.err);
        if (!p) return kExitUsage;
        found.push_back(p);
    }
    for (const Preference* p : found) c.settings.removeValueForKey(p->key);
    return savedOrFailure(c);
}

int restore(Context& c, std::span<const std::string> args) {
    if (args.size() != 1) return usageError(c.err, "restore takes one group");
    for (const RestoreGroup& group : kRestoreGroups) {
        if (args[0] != group.name) continue;
        (c.settings.*group.restore)();
        return savedOrFailure(c);
    }
    return usageError(c.err, "unknown group \"" + args[0] + "\"");
}

// Warnings of the store are printed once, by this command, to its own stream.
class QuietWarnings {
public:
    QuietWarnings() : m_previous(platform::setWarningSink([](std::string_view) {})) {}
    ~QuietWarnings() { platform::setWarningSink(std::move(m_previous)); }
    QuietWarnings(const QuietWarnings&) = delete;
    QuietWarnings& operator=(const QuietWarnings&) = delete;

private:
    std::function<void(std::string_view)> m_previous;
};

}  // namespace

int runPrefsCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    for (const std::string& arg : args) {
        if (arg == "--") break;
        if (arg == "--help" || arg == "-h") {
            out << prefsHelpText();
            return kExitSuccess;
        }
    }
    std::span<const std::string> rest(args);
    std::string_view command = "list";  // `kestrane prefs` and `kestrane prefs --json` list
    if (!rest.empty() && !rest.front().starts_with("-")) {
        command = rest.front();
        rest = rest.subspan(1);
    }
    if (command == "help") {
        out << prefsHelpText();
        return kExitSuccess;
    }

    QuietWarnings quiet;
    Context c{Settings::standard(), out, err};
    for (const std::string& warning : c.settings.store()->warnings()) err << kPrefix << "warning: " << warning << "\n";

    if (command == "list") return list(c, rest);
    if (command == "get") return get(c, rest);
    if (command == "set") return set(c, rest);
    if (command == "reset") return reset(c, rest);
    if (command == "restore") return restore(c, rest);
    return usageError(err, "unknown subcommand \"" + std::string(command) + "\"");
}

std::string prefsHelpText() {
    std::string text = R"TEXT(Usage: kestrane prefs [list] [--json]
       kestrane prefs get KEY [--json]
       kestrane prefs set KEY VALUE...
       kestrane prefs set KEY (--add VALUE | --remove VALUE)...
       kestrane prefs set KEY --empty
       kestrane prefs reset KEY...
       kestrane prefs restore GROUP
       kestrane prefs --help

Shows and changes the preferences of Kestrane, kept in
$XDG_CONFIG_HOME/kestrane/preferences.json (~/.config/kestrane/preferences.json).
A change takes effect the next time the preference is used (for the scan
preferences, at the next scan).

Subcommands:
  list            Every preference, one a line: its type, its key, the value in
                  effect, and "(default)" when that is the default value. With --json, one
                  JSON object mapping every key to its value in effect.
  get KEY         The value in effect: a list one entry a line, a boolean as
                  true or false, a size in bytes, a choice as it is stored
                  (a number, or its name for the choices kept by name), nothing
                  for a path that is not set. With --json, the value as JSON.
  set KEY VALUE   Stores a value after checking it against the type of the
                  preference. A list takes every VALUE given, in order, in
                  place of the whole list.
      --add VALUE     adds an entry to a list (at the front of the recent
                      folders); an entry already there is not added twice
      --remove VALUE  takes an entry out of a list; it must be there
      --empty         stores an empty list
      --              ends the options: what follows are values
  reset KEY...    Removes the stored values, so that the defaults apply.
  restore GROUP   Restores the defaults of a group of preferences (below).

Keys are written exactly as `kestrane prefs list` shows them; quote a key that
holds spaces. An ordinary space may be typed for the no-break space in the
keys that begin "Show Alert That".

Types:
  boolean     true/false, yes/no, on/off or 1/0
  size        bytes: 4096; k, M, G and T count 1000 (500k, 2M, 1G), KiB, MiB,
              GiB and TiB count 1024 (64KiB); units in any case, a trailing B
              allowed (2MB); a fraction is allowed when it gives whole bytes
              (1.5M)
  choice      the number or the name of one of the values that
              `kestrane prefs list` shows (names in any case)
  number      a decimal number, 0 or more
  path        an absolute path
  paths       absolute paths (a trailing "/" is dropped)
  extensions  file name extensions, stored with one leading "." after every
              ".", ":", "/" and space is taken out (jpg and .jpg give .jpg)

The minimal size of a scan (us:minDuplicatesFileSize) applies only while
us:defineMinimalDuplicatesFileSizeAutomatically and
us:defineMinimalDuplicatesFileSizeAsZero are both false.

Groups for restore:
)TEXT";
    for (const RestoreGroup& group : kRestoreGroups) {
        std::string name = group.name;
        name.resize(std::max<std::size_t>(name.size() + 2, 20), ' ');
        text += "  " + name + group.description + "\n";
    }
    text += R"TEXT(
Examples:
  kestrane prefs get KEY_exclude_folders
  kestrane prefs set us:defineMinimalDuplicatesFileSizeAutomatically off
  kestrane prefs set us:minDuplicatesFileSize 2M
  kestrane prefs set KEY_exclude_folders --add ~/VirtualMachines
  kestrane prefs set KEY_exclude_extensions --add iso --add vmdk
  kestrane prefs set KEY_autoAlwaysSelect_folders ~/Downloads ~/Desktop
  kestrane prefs set KEY_sortType name
  kestrane prefs reset KEY_autoAlwaysSelect_folders
  kestrane prefs restore removal
  kestrane prefs list --json

Exit status:
  0  done
  1  the preferences file could not be written (the change was not kept)
  2  unknown subcommand, option, key or group, or a bad value
)TEXT";
    return text;
}

}  // namespace kestrane::cli
