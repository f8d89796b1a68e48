#include "cli/PrefsCommand.h"

#include "cli/ExitStatus.h"
#include "cli/PreferenceTable.h"
#include "cli/TerminalQuestions.h"
#include "platform/Log.h"
#include "platform/PreferencesStore.h"
#include "selection/AutoSelectFolderLists.h"
#include "settings/Settings.h"

#include <algorithm>
#include <iostream>
#include <functional>
#include <optional>
#include <ostream>
#include <span>
#include <string_view>
#include <unistd.h>

namespace kestrane::cli {

namespace {

using Json = PreferenceValue;
using Strings = std::vector<std::string>;

constexpr const char* kPrefix = "kestrane prefs: ";

const Preference* lookUp(const std::string& typed, std::ostream& err) {
    if (const Preference* p = PreferenceTable::lookup(typed)) return p;
    err << kPrefix << "unknown preference \"" << typed << "\"; see `kestrane prefs list`";
    if (const auto close = PreferenceTable::closestKey(typed)) err << " (did you mean \"" << *close << "\"?)";
    err << "\n";
    return nullptr;
}

int usageError(std::ostream& err, const std::string& message) {
    err << kPrefix << message << "; see `kestrane prefs --help`\n";
    return kExitUsage;
}

// --- Subcommands ------------------------------------------------------------------

// The folder lists of auto-select keep a folder in one of them at most: a
// folder the other list holds moves only once the person agrees.
class OtherFolderList {
public:
    using List = AutoSelectFolderLists::List;

    OtherFolderList(const Settings& settings, List list, TerminalQuestions::Mode mode, std::ostream& err)
        : m_list(list), m_entries(AutoSelectFolderLists::folders(settings, AutoSelectFolderLists::otherList(list))),
          m_questions(mode, &err == &std::cerr && ::isatty(STDIN_FILENO) && ::isatty(STDERR_FILENO), std::cin, err) {}

    static std::optional<List> ofKey(std::string_view key) {
        if (key == Settings::kKeyAutoAlwaysSelectFolders) return List::alwaysSelect;
        if (key == Settings::kKeyAutoNeverSelectFolders) return List::neverSelect;
        return std::nullopt;
    }

    // Whether the folder may join the list: yes unless the other list holds
    // it and the answer is no (then it stays where it is).
    bool admit(const std::string& folder) {
        const auto found = std::find(m_entries.begin(), m_entries.end(), folder);
        if (found == m_entries.end()) return true;
        bool move = false;
        const Question question = AutoSelectFolderLists::moveToOtherListQuestion(m_list, folder);
        m_questions.ask(question, [&](Answer answer) { move = answer.button == question.yesButton; });
        if (move) {
            m_entries.erase(std::find(m_entries.begin(), m_entries.end(), folder));
            m_changed = true;
        }
        return move;
    }
    std::string alreadyThere(const std::string& folder) const {
        return AutoSelectFolderLists::alreadyInListMessage(m_list, folder).title + ": " + folder;
    }
    // Stores the other list when a folder left it.
    void store(Settings& settings) const {
        if (m_changed) AutoSelectFolderLists::setFolders(settings, AutoSelectFolderLists::otherList(m_list), m_entries);
    }

private:
    List m_list;
    Strings m_entries;
    TerminalQuestions m_questions;
    bool m_changed = false;
};

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
        for (const Preference& p : PreferenceTable::preferences()) object[p.key()] = p.get(c.settings);
        c.out << PreferenceTable::jsonText(object, 2) << "\n";
        return kExitSuccess;
    }

    // Defaults are what a store without values gives.
    const Settings defaults(std::make_shared<platform::PreferencesStore>(std::string()));
    for (const Preference& p : PreferenceTable::preferences()) {
        const Json value = p.get(c.settings);
        std::string type = preferenceTypeName(p.type());
        type.resize(12, ' ');
        c.out << type << p.key() << " = " << p.listingText(value);
        if (value == p.get(defaults)) c.out << "  (default)";
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

    const Json value = p->get(c.settings);
    if (asJson)
        c.out << PreferenceTable::jsonText(value, 2) << "\n";
    else if (value.is_array())
        for (const Json& entry : value) c.out << entry.get<std::string>() << "\n";
    else if (!value.is_null())
        c.out << PreferenceTable::valueText(value) << "\n";
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
    auto answers = TerminalQuestions::Mode::ask;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || !arg.starts_with("--")) {
            values.push_back(arg);
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "--yes" || arg == "--no") {
            answers = arg == "--yes" ? TerminalQuestions::Mode::yes : TerminalQuestions::Mode::no;
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
    if (modes == 0) return usageError(c.err, std::string("set ") + p->typedKey() + " needs a value");
    if (modes > 1) return usageError(c.err, "give either values, or --add/--remove, or --empty");
    if (!p->isList() && values.empty())
        return usageError(c.err, std::string("--add, --remove and --empty change lists; ") + p->typedKey() +
                                     " is a " + preferenceTypeName(p->type()));

    std::string problem;
    auto badValue = [&](const std::string& text) {
        c.err << kPrefix << "\"" << text << "\" is not a valid value for " << p->key() << ": " << problem << "\n";
        return kExitUsage;
    };

    Json newValue;
    if (!p->isList()) {
        if (values.size() > 1)
            return usageError(c.err, std::string(p->key()) + " takes one value (quote a value that holds spaces)");
        const auto parsed = p->parse(values[0], problem);
        if (!parsed) return badValue(values[0]);
        newValue = *parsed;
    } else {
        Strings entries;
        std::optional<OtherFolderList> other;
        if (const auto list = OtherFolderList::ofKey(p->key())) other.emplace(c.settings, *list, answers, c.err);
        const auto admit = [&](const std::string& entry) { return !other || other->admit(entry); };
        if (!values.empty()) {
            for (const std::string& text : values) {
                const auto parsed = p->parse(text, problem);
                if (!parsed) return badValue(text);
                const std::string entry = parsed->get<std::string>();
                if (std::find(entries.begin(), entries.end(), entry) == entries.end() && admit(entry))
                    entries.push_back(entry);
            }
        } else if (!edits.empty()) {
            entries = p->get(c.settings).get<Strings>();
            for (const auto& [add, text] : edits) {
                const auto parsed = p->parse(text, problem);
                if (!parsed) return badValue(text);
                const std::string entry = parsed->get<std::string>();
                const auto found = std::find(entries.begin(), entries.end(), entry);
                if (add && p->setting().newestFirst) {
                    if (found != entries.end()) entries.erase(found);
                    entries.insert(entries.begin(), entry);
                    if (entries.size() > p->setting().maxEntries) entries.resize(p->setting().maxEntries);
                } else if (add) {
                    if (found != entries.end()) {
                        if (other) c.err << kPrefix << other->alreadyThere(entry) << "\n";
                    } else if (admit(entry)) {
                        entries.push_back(entry);
                    }
                } else if (found != entries.end()) {
                    entries.erase(found);
                } else {
                    c.err << kPrefix << "\"" << entry << "\" is not in " << p->key() << "\n";
                    return kExitUsage;
                }
            }
        }
        if (p->setting().maxEntries > 0 && entries.size() > p->setting().maxEntries)
            return usageError(c.err, std::string(p->key()) + " holds at most " + std::to_string(p->setting().maxEntries) +
                                         " entries");
        newValue = entries;
        if (other) other->store(c.settings);
    }
    p->set(c.settings, newValue);
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
    for (const Preference* p : found) c.settings.removeValueForKey(p->key());
    return savedOrFailure(c);
}

int restore(Context& c, std::span<const std::string> args) {
    if (args.size() != 1) return usageError(c.err, "restore takes one group");
    const RestoreGroup* group = PreferenceTable::restoreGroup(args[0]);
    if (!group) return usageError(c.err, "unknown group \"" + args[0] + "\"");
    (c.settings.*group->restore)();
    return savedOrFailure(c);
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
    // What the store found on opening, then what reading the values found
    // (a stored value that cannot be used), each once.
    std::size_t warned = 0;
    const auto printWarnings = [&] {
        const auto warnings = c.settings.store()->warnings();
        for (; warned < warnings.size(); ++warned) err << kPrefix << "warning: " << warnings[warned] << "\n";
    };
    printWarnings();

    int status = kExitUsage;
    if (command == "list") status = list(c, rest);
    else if (command == "get") status = get(c, rest);
    else if (command == "set") status = set(c, rest);
    else if (command == "reset") status = reset(c, rest);
    else if (command == "restore") status = restore(c, rest);
    else return usageError(err, "unknown subcommand \"" + std::string(command) + "\"");
    printWarnings();
    return status;
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
                  true or false, a size in bytes, nothing for a path that is
                  not set. With --json, the value as JSON.
  set KEY VALUE   Stores a value after checking it against the type of the
                  preference. A list takes every VALUE given, in order, in
                  place of the whole list.
      --add VALUE     adds an entry to a list (at the front of the recent
                      folders); an entry already there is not added twice
      --remove VALUE  takes an entry out of a list; it must be there
      --empty         stores an empty list
      --yes, --no     answer the question asked when a folder added to one
                      of the auto-select folder lists is in the other one:
                      move it (--yes) or leave it where it is (--no); without
                      either a terminal is asked, and with no terminal it stays
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
  path        an absolute path
  paths       absolute paths (a trailing "/" is dropped)
  extensions  file name extensions, stored with one leading "." after every
              ".", ":", "/" and space is taken out (jpg and .jpg give .jpg)
  choice      one of a few fixed strings, exactly as written (quote one that
              holds spaces; a wrong one is answered with the list); a stored
              string that is none of them reads as the first

The minimal size of a scan (us:minDuplicatesFileSize) applies only while
us:defineMinimalDuplicatesFileSizeAutomatically and
us:defineMinimalDuplicatesFileSizeAsZero are both false. The block length of
partial content keys (s:hashBlockSize) is a multiple of 4096 from 4096 to
67108864 bytes. A stored value that cannot be used (the wrong type, or out of
its range) gives the default, with a warning.

Groups for restore:
)TEXT";
    for (const RestoreGroup& group : PreferenceTable::restoreGroups()) {
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
