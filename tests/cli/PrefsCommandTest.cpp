#include "cli/PrefsCommand.h"

#include "cli/ExitStatus.h"
#include "platform/PreferencesStore.h"
#include "platform/UserFolders.h"
#include "settings/Settings.h"
#include "support/ChildProcess.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

using kestrane::Settings;
using kestrane::cli::kExitFailure;
using kestrane::cli::kExitSuccess;
using kestrane::cli::kExitUsage;
using kestrane::platform::PreferencesStore;
using nlohmann::json;
using Strings = std::vector<std::string>;

namespace {

const std::string kNbsp = "\xC2\xA0";

struct Outcome {
    int status;
    std::string out;
    std::string err;
};

class PrefsCommandTest : public kestrane::test::IsolatedHomeTest {
protected:
    Outcome run(const Strings& args) {
        std::ostringstream out, err;
        const int status = kestrane::cli::runPrefsCommand(args, out, err);
        return {status, out.str(), err.str()};
    }

    // What a new process would read from the file.
    std::optional<json> stored(const std::string& key) const {
        return PreferencesStore(kestrane::platform::preferencesFilePath()).object(key);
    }

    std::string fileBytes() const {
        std::ifstream in(kestrane::platform::preferencesFilePath(), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
};

TEST_F(PrefsCommandTest, SetStoresEachTypeInItsStoredFormAndGetReadsItBack) {
    struct Case {
        Strings set;        // after "set"
        std::string key;    // as stored
        json storedValue;
        std::string shown;  // by get
    };
    const Case cases[] = {
        {{"KEY_scanInHiddenFolders", "yes"}, "KEY_scanInHiddenFolders", true, "true\n"},
        {{"Log Removed Duplicates", "OFF"}, "Log Removed Duplicates", false, "false\n"},
        {{"Skip Volume System Folders", "0"}, "Skip Volume System Folders", false, "false\n"},
        {{"us:minDuplicatesFileSize", "2M"}, "us:minDuplicatesFileSize", 2000000, "2000000\n"},
        {{"s:hashBlockSize", "64KiB"}, "s:hashBlockSize", 65536, "65536\n"},
        {{"Last opened folder to scan", "/data/photos//"}, "Last opened folder to scan", "/data/photos",
         "/data/photos\n"},
        {{"KEY_exclude_folders", "/a", "/b/", "/a"}, "KEY_exclude_folders", Strings{"/a", "/b"}, "/a\n/b\n"},
        {{"KEY_exclude_extensions", "iso", ".vmdk", "tar.gz"}, "KEY_exclude_extensions",
         Strings{".iso", ".vmdk", ".targz"}, ".iso\n.vmdk\n.targz\n"},
        // The no-break space after "That", typed as an ordinary space.
        {{"Show Alert That Auto Select Did Not Change Selection", "false"},
         "Show Alert That" + kNbsp + "Auto Select Did Not Change Selection", false, "false\n"},
    };
    for (const Case& c : cases) {
        Strings args = {"set"};
        args.insert(args.end(), c.set.begin(), c.set.end());
        const Outcome set = run(args);
        EXPECT_EQ(set.status, kExitSuccess) << c.key << ": " << set.err;
        EXPECT_EQ(stored(c.key), c.storedValue) << c.key;

        const Outcome get = run({"get", c.set[0]});
        EXPECT_EQ(get.status, kExitSuccess) << c.key;
        EXPECT_EQ(get.out, c.shown) << c.key;
        EXPECT_EQ(json::parse(run({"get", c.set[0], "--json"}).out), c.storedValue) << c.key;
    }
    // The key typed with a space was stored only under its real name.
    const auto keys = PreferencesStore(kestrane::platform::preferencesFilePath()).keys();
    EXPECT_EQ(std::count(keys.begin(), keys.end(), "Show Alert That Auto Select Did Not Change Selection"), 0);
}

TEST_F(PrefsCommandTest, ListEditsStartFromTheListInEffect) {
    const std::string home = m_home;
    ASSERT_EQ(run({"set", "KEY_exclude_folders", "--add", "/vm", "--add=/System", "--remove", "/Library/"}).status,
              kExitSuccess);
    EXPECT_EQ(stored("KEY_exclude_folders"), json(Strings{"/System", home + "/Library", "/vm"}));

    // Extensions are normalised before they are looked up or added.
    ASSERT_EQ(run({"set", "KEY_exclude_extensions", "--remove", "plist", "--add", "ISO"}).status, kExitSuccess);
    const json extensions = *stored("KEY_exclude_extensions");
    EXPECT_EQ(extensions.back(), ".ISO");
    EXPECT_EQ(std::count(extensions.begin(), extensions.end(), ".plist"), 0);

    ASSERT_EQ(run({"set", "KEY_autoAlwaysSelect_folders", "--empty"}).status, kExitSuccess);
    EXPECT_EQ(stored("KEY_autoAlwaysSelect_folders"), json::array());
    EXPECT_EQ(run({"get", "KEY_autoAlwaysSelect_folders"}).out, "");

    // Recent folders: newest first, at most ten, an added folder moves to the front.
    for (int i = 0; i < 11; ++i)
        ASSERT_EQ(run({"set", "KEY_last_ten_folders", "--add", "/f" + std::to_string(i)}).status, kExitSuccess);
    ASSERT_EQ(run({"set", "KEY_last_ten_folders", "--add", "/f5"}).status, kExitSuccess);
    EXPECT_EQ(stored("KEY_last_ten_folders"),
              json(Strings{"/f5", "/f10", "/f9", "/f8", "/f7", "/f6", "/f4", "/f3", "/f2", "/f1"}));
    Strings eleven = {"set", "KEY_last_ten_folders"};
    for (int i = 0; i < 11; ++i) eleven.push_back("/g" + std::to_string(i));
    EXPECT_EQ(run(eleven).status, kExitUsage);
}

TEST_F(PrefsCommandTest, BadInputChangesNothingAndIsAUsageError) {
    ASSERT_EQ(run({"set", "KEY_scanInHiddenFolders", "true"}).status, kExitSuccess);
    const std::string before = fileBytes();
    struct Case {
        Strings args;
        std::string message;  // part of what err must say
    };
    const Case cases[] = {
        {{"set", "scanInHiddenFolders", "false"},
         "unknown preference \"scanInHiddenFolders\"; see `kestrane prefs list` (did you mean "
         "\"KEY_scanInHiddenFolders\"?)"},
        {{"get", "no such thing"}, "unknown preference \"no such thing\"; see `kestrane prefs list`\n"},
        {{"reset", "KEY_scanInHiddenFolders", "KEY_nope"}, "unknown preference \"KEY_nope\""},
        {{"set", "KEY_scanInHiddenFolders", "maybe"},
         "\"maybe\" is not a valid value for KEY_scanInHiddenFolders: expected a boolean"},
        {{"set", "KEY_scanInHiddenFolders", "yes", "no"}, "takes one value"},
        {{"set", "KEY_scanInHiddenFolders"}, "needs a value"},
        {{"set", "KEY_scanInHiddenFolders", "--add", "x"}, "is a boolean"},
        {{"set", "s:hashBlockSize", "1"}, "from 4096 to 67108864, a multiple of 4096"},
        {{"set", "s:hashBlockSize", "10k"}, "a multiple of 4096"},
        {{"set", "s:hashBlockSize", "128MiB"}, "from 4096 to 67108864"},
        {{"set", "us:minDuplicatesFileSize", "20000000000000000000"}, "expected a size"},
        {{"set", "us:minDuplicatesFileSize", "9223372036854775808"}, "from 0 to 9223372036854775807"},
        {{"set", "us:minDuplicatesFileSize", "10000000T"}, "from 0 to 9223372036854775807"},
        {{"set", "us:minDuplicatesFileSize", "-1"}, "expected a size"},
        {{"set", "KEY_exclude_folders", "/ok", "relative/path"}, "\"relative/path\" is not a valid value"},
        {{"set", "KEY_exclude_files", "/bad\xFF"}, "UTF-8"},
        {{"set", "KEY_exclude_extensions", "./"}, "expected file name extensions"},
        {{"set", "KEY_exclude_folders", "--add", "/x", "--remove", "/not-there"}, "\"/not-there\" is not in"},
        {{"set", "KEY_exclude_folders", "/x", "--empty"}, "either"},
        {{"set", "KEY_exclude_folders", "--frob"}, "unknown option \"--frob\""},
        {{"list", "--all"}, "\"--all\""},
        {{"restore", "everything"}, "unknown group \"everything\""},
        {{"frob"}, "unknown subcommand \"frob\""},
    };
    for (const Case& c : cases) {
        const Outcome r = run(c.args);
        EXPECT_EQ(r.status, kExitUsage) << c.args[0] << " " << c.args.back();
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "");
    }
    EXPECT_EQ(fileBytes(), before);
}

TEST_F(PrefsCommandTest, AStoredValueThatCannotBeUsedShowsTheDefaultWithAWarning) {
    const std::string file = kestrane::platform::preferencesFilePath();
    std::filesystem::create_directories(std::filesystem::path(file).parent_path());
    std::ofstream(file) << R"({"s:hashBlockSize": 1, "us:minDuplicatesFileSize": 1e19})";
    PreferencesStore::reopenStandard();

    const Outcome get = run({"get", "s:hashBlockSize"});
    EXPECT_EQ(get.status, kExitSuccess);
    EXPECT_EQ(get.out, "8192\n");
    EXPECT_NE(get.err.find("warning: the stored value 1 of s:hashBlockSize cannot be used"), std::string::npos)
        << get.err;
    // The listing reads every value, some more than once: each unusable one is named once.
    const Outcome list = run({"list"});
    EXPECT_NE(list.out.find("us:minDuplicatesFileSize = 1048576"), std::string::npos) << list.out;
    const std::string warning = "the stored value 1e+19 of us:minDuplicatesFileSize cannot be used";
    const auto first = list.err.find(warning);
    EXPECT_NE(first, std::string::npos) << list.err;
    EXPECT_EQ(list.err.find(warning, first + 1), std::string::npos) << list.err;
}

// Every key of the table, in its order, with the value in effect; the keys
// and defaults themselves are the table's.
TEST_F(PrefsCommandTest, ListShowsEveryKeyInOrderWithTheValueInEffect) {
    using Ordered = nlohmann::ordered_json;
    const Settings settings = Settings::standard();
    Ordered expected = Ordered::object();
    for (const auto& d : Settings::definitions()) expected[d.key] = settings.valueOf(d);
    // A few as a person sees them: a default built from the home folder, a
    // key with a no-break space, a path not set.
    EXPECT_EQ(expected["KEY_exclude_folders"], Ordered(Strings{"/System", "/Library", m_home + "/Library"}));
    EXPECT_EQ(expected["Show Alert That" + kNbsp + "Auto Select Did Not Change Selection"], true);
    EXPECT_EQ(expected["Last opened folder to scan"], nullptr);
    Outcome r = run({"list", "--json"});
    ASSERT_EQ(r.status, kExitSuccess);
    EXPECT_EQ(Ordered::parse(r.out).dump(1), expected.dump(1));
    EXPECT_FALSE(std::filesystem::exists(kestrane::platform::preferencesFilePath()));  // listing writes nothing

    // Values in effect: a changed one is listed as it is.
    ASSERT_EQ(run({"set", "KEY_removeEmptyFolders", "on"}).status, kExitSuccess);
    expected["KEY_removeEmptyFolders"] = true;
    r = run({"list", "--json"});
    EXPECT_EQ(Ordered::parse(r.out).dump(1), expected.dump(1));

    // The table: one line a key, with its type, the changed one without the default mark.
    const Outcome table = run({});
    ASSERT_EQ(table.status, kExitSuccess);
    std::istringstream lines(table.out);
    std::size_t count = 0;
    for (std::string line; std::getline(lines, line); ++count) {
        const bool changed = line.find("KEY_removeEmptyFolders = true") != std::string::npos;
        EXPECT_EQ(line.ends_with("(default)"), !changed) << line;
    }
    EXPECT_EQ(count, expected.size());
    EXPECT_NE(table.out.find("size        s:hashBlockSize = 8192  (default)\n"), std::string::npos) << table.out;
    EXPECT_NE(table.out.find("extensions  KEY_exclude_extensions = [\".framework\","), std::string::npos);
    EXPECT_NE(table.out.find("path        Last opened folder to scan = (none)  (default)\n"), std::string::npos);
}

TEST_F(PrefsCommandTest, ResetAndRestoreGroupsBringBackTheDefaults) {
    ASSERT_EQ(run({"set", "us:minDuplicatesFileSize", "5M"}).status, kExitSuccess);
    ASSERT_EQ(run({"reset", "us:minDuplicatesFileSize"}).status, kExitSuccess);
    EXPECT_EQ(stored("us:minDuplicatesFileSize"), std::nullopt);
    EXPECT_EQ(run({"get", "us:minDuplicatesFileSize"}).out, "1048576\n");

    struct Case {
        std::string group;
        Strings setFirst;  // key, value
        std::string key;
        std::optional<json> after;  // nullopt: key removed
    };
    const Case cases[] = {
        {"scan", {"KEY_forceFullHashCalculation", "true"}, "KEY_forceFullHashCalculation", false},
        {"exclude-folders", {"KEY_exclude_folders", "/x"}, "KEY_exclude_folders", std::nullopt},
        {"exclude-files", {"KEY_exclude_files", "/x"}, "KEY_exclude_files", std::nullopt},
        {"exclude-extensions", {"KEY_exclude_extensions", "x"}, "KEY_exclude_extensions", std::nullopt},
        {"always-select", {"KEY_autoAlwaysSelect_folders", "/x"}, "KEY_autoAlwaysSelect_folders", std::nullopt},
        {"never-select", {"KEY_autoNeverSelect_folders", "/x"}, "KEY_autoNeverSelect_folders", std::nullopt},
        {"removal", {"KEY_moveCleanedDuplicatesToTheTrashCan", "false"}, "KEY_moveCleanedDuplicatesToTheTrashCan",
         true},
        {"alerts", {"Show Alert That Duplicate Folder Selected in Select In Folder Dialog", "false"},
         "Show Alert That" + kNbsp + "Duplicate Folder Selected in Select In Folder Dialog", std::nullopt},
        {"overview", {"KEY_showOverviewAfterScanning", "false"}, "KEY_showOverviewAfterScanning", true},
        {"all", {"KEY_allowRemovingAllDuplicateCopies", "true"}, "KEY_allowRemovingAllDuplicateCopies", false},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(run({"set", c.setFirst[0], c.setFirst[1]}).status, kExitSuccess) << c.key;
        const Outcome r = run({"restore", c.group});
        EXPECT_EQ(r.status, kExitSuccess) << c.group << ": " << r.err;
        EXPECT_EQ(stored(c.key), c.after) << c.group << " " << c.key;
    }
}

TEST_F(PrefsCommandTest, ConcurrentSetsOfDifferentKeysAreAllKept) {
    // Twelve programs started at once, each changing one key from its default.
    Strings keys;
    for (const auto& d : Settings::definitions())
        if (d.type == Settings::Type::boolean && keys.size() < 12) keys.push_back(d.key);
    ASSERT_EQ(keys.size(), 12u);
    std::vector<bool> values;
    for (const std::string& key : keys) values.push_back(!json::parse(run({"get", key, "--json"}).out).get<bool>());
    std::vector<std::unique_ptr<kestrane::test::ChildProcess>> children;
    for (std::size_t i = 0; i < keys.size(); ++i)
        children.push_back(std::make_unique<kestrane::test::ChildProcess>(
            KESTRANE_BINARY, Strings{"prefs", "set", keys[i], values[i] ? "true" : "false"}));
    for (std::size_t i = 0; i < keys.size(); ++i) {
        const auto result = children[i]->wait();
        EXPECT_EQ(result.exitStatus, 0) << keys[i] << ": " << result.err;
    }
    PreferencesStore onDisk(kestrane::platform::preferencesFilePath());
    EXPECT_EQ(onDisk.keys().size(), keys.size());
    for (std::size_t i = 0; i < keys.size(); ++i) EXPECT_EQ(onDisk.object(keys[i]), json(values[i])) << keys[i];
    EXPECT_EQ(onDisk.warnings(), Strings{});
}

TEST_F(PrefsCommandTest, StoreProblemsAreReported) {
    // A file that is not JSON is set aside with a warning; the defaults apply.
    const std::string file = kestrane::platform::preferencesFilePath();
    std::filesystem::create_directories(std::filesystem::path(file).parent_path());
    std::ofstream(file) << "{ not json";
    PreferencesStore::reopenStandard();
    Outcome r = run({"get", "KEY_removeEmptyFolders"});
    EXPECT_EQ(r.status, kExitSuccess);
    EXPECT_EQ(r.out, "false\n");
    EXPECT_NE(r.err.find("warning: the preferences file " + file + " was set aside"), std::string::npos) << r.err;

    // A configuration folder that cannot be created: the change is not kept.
    const std::string blocker = m_sandbox.writeFile("not-a-folder", "");
    ::setenv("XDG_CONFIG_HOME", blocker.c_str(), 1);
    PreferencesStore::reopenStandard();
    r = run({"set", "KEY_removeEmptyFolders", "true"});
    EXPECT_EQ(r.status, kExitFailure);
    EXPECT_NE(r.err.find("the change could not be saved: "), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(blocker), std::string::npos) << r.err;
    EXPECT_EQ(run({"restore", "all"}).status, kExitFailure);
    EXPECT_EQ(run({"get", "KEY_removeEmptyFolders"}).status, kExitSuccess);
}

}  // namespace

namespace {

TEST_F(PrefsCommandTest, AFolderIsInOneAutoSelectListAtMostAndChoicesTakeTheirOwnStrings) {
    const std::string always = Settings::kKeyAutoAlwaysSelectFolders;
    const std::string never = Settings::kKeyAutoNeverSelectFolders;
    ASSERT_EQ(run({"set", never, "/data/keep", "/data/other"}).status, kExitSuccess);
    ASSERT_EQ(run({"set", always, "--empty"}).status, kExitSuccess);

    // No terminal to ask: the folder stays in the other list, and says so.
    auto outcome = run({"set", always, "--add", "/data/keep"});
    EXPECT_EQ(outcome.status, kExitSuccess);
    EXPECT_NE(outcome.err.find("Do you want to remove this folder from Never Select list and add it to Always Select list?"),
              std::string::npos)
        << outcome.err;
    EXPECT_EQ(stored(always), json::array());
    EXPECT_EQ(stored(never), json(Strings{"/data/keep", "/data/other"}));

    // Agreed: it moves.
    EXPECT_EQ(run({"set", always, "--add", "/data/keep", "--yes"}).status, kExitSuccess);
    EXPECT_EQ(stored(always), json(Strings{"/data/keep"}));
    EXPECT_EQ(stored(never), json(Strings{"/data/other"}));
    outcome = run({"set", always, "--add", "/data/keep"});
    EXPECT_EQ(outcome.err, "kestrane prefs: This folder already added to Always Select list: /data/keep\n");
    // Replacing the whole list asks the same for each folder of the other one.
    EXPECT_EQ(run({"set", never, "/data/keep", "/data/new", "--no"}).status, kExitSuccess);
    EXPECT_EQ(stored(never), json(Strings{"/data/new"}));
    EXPECT_EQ(stored(always), json(Strings{"/data/keep"}));

    // A choice takes exactly one of its strings.
    EXPECT_EQ(run({"set", "Selected Files Sort Type", "Size. Small to Large"}).status, kExitSuccess);
    EXPECT_EQ(run({"get", "Selected Files Sort Type"}).out, "Size. Small to Large\n");
    outcome = run({"set", "Selected Files Presentation", "tree"});
    EXPECT_EQ(outcome.status, kExitUsage);
    EXPECT_NE(outcome.err.find("one of \"outline\", \"folders\", \"plain\""), std::string::npos) << outcome.err;
    EXPECT_EQ(run({"get", "Selected Files Presentation"}).out, "outline\n");
}

}  // namespace
