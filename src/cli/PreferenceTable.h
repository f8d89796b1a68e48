#pragma once

#include "settings/Settings.h"

#include <nlohmann/json.hpp>

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace kestrane::cli {

// A preference's value as `kestrane prefs` reads, checks and prints it: a
// boolean, an unsigned number (a size), a string or null (a path), an array of
// strings (a list). Objects keep their keys in the order they are listed.
using PreferenceValue = nlohmann::ordered_json;

// The types are those of the settings' table.
using PreferenceType = Settings::Type;

// The name of a type as the listing and the messages give it: "boolean", ...
const char* preferenceTypeName(PreferenceType type);

// One preference of the settings' table as the command handles it: how a
// typed value is checked and put in the form it is stored in. Values are read
// and written through the settings, so that a change posts its notice as
// everywhere else.
class Preference {
public:
    explicit Preference(const Settings::Definition& setting) : m_setting(&setting) {}

    const Settings::Definition& setting() const { return *m_setting; }
    // The key exactly as stored.
    const char* key() const { return m_setting->key; }
    // The key as it is typed and suggested: every no-break space an ordinary one.
    std::string typedKey() const;
    PreferenceType type() const { return m_setting->type; }
    bool isList() const;

    // The value in effect, as the settings give it.
    PreferenceValue get(const Settings& settings) const;
    // Stores a value of the kind get() gives, as parse() checked it.
    void set(Settings& settings, const PreferenceValue& value) const;

    // One value (or list entry) as typed, checked and put in the form it is
    // stored in. On failure, `problem` says what was wrong with it.
    std::optional<PreferenceValue> parse(const std::string& text, std::string& problem) const;
    // What the preference takes, for messages.
    std::string expectedText() const;

    // A value in one line of the listing: a list is one line of JSON, no path
    // is "(none)".
    std::string listingText(const PreferenceValue& value) const;

private:
    const Settings::Definition* m_setting;
};

// A group of preferences whose defaults can be restored together.
struct RestoreGroup {
    const char* name;
    void (Settings::*restore)();
    const char* description;
};

// Every preference `kestrane prefs` knows, and the restore groups.
class PreferenceTable {
public:
    // In the order of the settings' table.
    static std::span<const Preference> preferences();
    // The preference of a key as typed, where an ordinary space may stand for
    // the no-break space some keys hold; null for an unknown key.
    static const Preference* lookup(std::string_view typed);
    // The known key (as typed) nearest to a mistyped one: a few letters off,
    // or holding the typed text whole (a key typed without its prefix).
    static std::optional<std::string> closestKey(std::string_view typed);

    // In the order they are listed.
    static std::span<const RestoreGroup> restoreGroups();
    static const RestoreGroup* restoreGroup(std::string_view name);

    // A value that is no list as one line of text: true/false, the number, the
    // text itself.
    static std::string valueText(const PreferenceValue& value);
    // A value as JSON; bytes that are not UTF-8 are replaced (indent -1 is one line).
    static std::string jsonText(const PreferenceValue& value, int indent);
};

}  // namespace kestrane::cli
