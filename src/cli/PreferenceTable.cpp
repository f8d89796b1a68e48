#include "cli/PreferenceTable.h"

#include "cli/SizeText.h"
#include "platform/Text.h"

#include <algorithm>
#include <charconv>
#include <limits>
#include <vector>

namespace kestrane::cli {

namespace {

using Value = PreferenceValue;

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
    case PreferenceType::path: return "path";
    case PreferenceType::paths: return "paths";
    case PreferenceType::extensions: return "extensions";
    case PreferenceType::choice: return "choice";
    }
    return "?";
}

// --- Preference -------------------------------------------------------------------

std::string Preference::typedKey() const {
    return comparableKey(key());
}

bool Preference::isList() const {
    return type() == PreferenceType::paths || type() == PreferenceType::extensions;
}

PreferenceValue Preference::get(const Settings& settings) const {
    return settings.valueOf(*m_setting);
}

void Preference::set(Settings& settings, const PreferenceValue& value) const {
    settings.setValueOf(*m_setting, value);
}

std::string Preference::expectedText() const {
    switch (type()) {
    case PreferenceType::boolean: return "a boolean (true/false, yes/no, on/off, 1/0)";
    case PreferenceType::size: {
        std::string text = "a size in bytes (such as 4096, 500k, 2M or 1GiB)";
        if (const std::string range = m_setting->sizes.text(); !range.empty()) text += " " + range;
        return text;
    }
    case PreferenceType::path: return "an absolute path";
    case PreferenceType::paths: return "absolute paths";
    case PreferenceType::extensions: return "file name extensions (such as jpg or .jpg)";
    case PreferenceType::choice: {
        std::string text = "one of";
        for (std::size_t i = 0; i < m_setting->choices.size(); ++i)
            text += std::string(i == 0 ? " \"" : ", \"") + std::string(m_setting->choices[i]) + "\"";
        return text;
    }
    }
    return {};
}

std::optional<PreferenceValue> Preference::parse(const std::string& text, std::string& problem) const {
    problem = "expected " + expectedText();
    switch (type()) {
    case PreferenceType::boolean:
        if (const auto value = parseBoolean(text)) return Value(*value);
        return std::nullopt;
    case PreferenceType::size: {
        const auto bytes = parseSize(text);
        if (!bytes || !m_setting->sizes.contains(*bytes)) return std::nullopt;
        return Value(*bytes);
    }
    case PreferenceType::choice:
        for (const std::string_view choice : m_setting->choices)
            if (text == choice) return Value(text);
        return std::nullopt;
    case PreferenceType::path:
    case PreferenceType::paths:
    case PreferenceType::extensions:
        break;
    }
    // The preferences file is JSON, which holds UTF-8 text only.
    if (!platform::isValidUtf8(text)) {
        problem = "the preferences can only keep text in UTF-8";
        return std::nullopt;
    }
    if (type() == PreferenceType::extensions) {
        if (const auto entry = Settings::normalizedExtensionEntry(text)) return Value(*entry);
        return std::nullopt;
    }
    if (const auto path = parsePath(text)) return Value(*path);
    return std::nullopt;
}

std::string Preference::listingText(const PreferenceValue& value) const {
    if (value.is_null()) return "(none)";
    if (value.is_array()) return PreferenceTable::jsonText(value, -1);
    return PreferenceTable::valueText(value);
}

// --- PreferenceTable ----------------------------------------------------------------

std::span<const Preference> PreferenceTable::preferences() {
    static const std::vector<Preference> table = [] {
        std::vector<Preference> preferences;
        for (const Settings::Definition& setting : Settings::definitions()) preferences.emplace_back(setting);
        return preferences;
    }();
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
    return value.dump();
}

std::string PreferenceTable::jsonText(const PreferenceValue& value, int indent) {
    return value.dump(indent, ' ', false, PreferenceValue::error_handler_t::replace);
}

}  // namespace kestrane::cli
