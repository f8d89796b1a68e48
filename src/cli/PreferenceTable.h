#pragma once

#include "settings/Settings.h"

#include <nlohmann/json.hpp>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace kestrane::cli {

// A preference's value as `kestrane prefs` reads, checks and prints it: a
// boolean, an unsigned number (a size), an integer (a choice), a number, a
// string or null (a path), an array of strings (a list). Objects keep their
// keys in the order they are listed.
using PreferenceValue = nlohmann::ordered_json;

enum class PreferenceType { boolean, size, choice, number, path, paths, extensions };

// The name of a type as the listing and the messages give it: "boolean", ...
const char* preferenceTypeName(PreferenceType type);

// What a preference admits beyond its type.
struct PreferenceLimits {
    std::span<const Settings::NamedChoice> choices = {};  // choices: every value there is
    bool choiceStoredByName = false;  // the store keeps the choice's name, so show it by name
    UnsignedRange sizes = {};  // sizes
    std::size_t maxEntries = 0;  // lists; 0 is no limit
    bool newestFirst = false;    // an added entry goes to the front, like a recent folder
};

// One preference: its key and type, how a typed value is checked and put in
// the form it is stored in, and how the value is read and written through the
// typed settings (so that setters normalise and post their notices as
// everywhere else).
class Preference {
public:
    using Reader = PreferenceValue (*)(const Settings&);
    using Writer = void (*)(Settings&, const PreferenceValue&);

    Preference(const char* key, PreferenceType type, Reader read, Writer write, PreferenceLimits limits = {});

    // The key exactly as stored.
    const char* key() const { return m_key; }
    // The key as it is typed and suggested: every no-break space an ordinary one.
    std::string typedKey() const;
    PreferenceType type() const { return m_type; }
    bool isList() const;
    const PreferenceLimits& limits() const { return m_limits; }

    // The value in effect, as the settings give it (a choice by its number).
    PreferenceValue get(const Settings& settings) const { return m_read(settings); }
    // Stores a value of the kind get() gives, as parse() checked it.
    void set(Settings& settings, const PreferenceValue& value) const { m_write(settings, value); }

    // One value (or list entry) as typed, checked and put in the form it is
    // stored in. On failure, `problem` says what was wrong with it.
    std::optional<PreferenceValue> parse(const std::string& text, std::string& problem) const;
    // What the preference takes, for messages.
    std::string expectedText() const;

    // The value in effect as it is shown and printed: a choice kept by name
    // shows its name.
    PreferenceValue shownValue(const Settings& settings) const;
    // A shown value in one line of the listing: a choice kept by number adds
    // its name, a list is one line of JSON, no path is "(none)".
    std::string listingText(const PreferenceValue& shown) const;

private:
    std::string choicesText() const;

    const char* m_key;
    PreferenceType m_type;
    Reader m_read;
    Writer m_write;
    PreferenceLimits m_limits;
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
    // In the order they are listed.
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
