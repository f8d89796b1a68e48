#include "settings/Settings.h"

#include "platform/NotificationCenter.h"
#include "platform/PreferencesStore.h"
#include "platform/UserFolders.h"
#include "settings/FullySelectedGroupsDeselector.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <map>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <tuple>
#include <vector>

using kestrane::Settings;
using kestrane::platform::Notification;
using kestrane::platform::NotificationCenter;
using kestrane::platform::PreferencesStore;
using nlohmann::json;
using Strings = std::vector<std::string>;

namespace {

// Every notification posted while it lives, in order.
class NotificationRecorder {
public:
    NotificationRecorder()
        : m_observation(NotificationCenter::defaultCenter().addObserver("", [this](const Notification& n) {
              names.push_back(n.name);
              if (n.object != nullptr) postedWithObject = true;
          })) {}

    Strings names;
    bool postedWithObject = false;

private:
    std::unique_ptr<NotificationCenter::Observation> m_observation;
};

class SettingsTest : public kestrane::test::IsolatedHomeTest {
protected:
    void SetUp() override {
        IsolatedHomeTest::SetUp();
        Settings::setUserRevertedForceFullHashCalculation(false);
        Settings::setFullySelectedGroupsDeselector({});
        settings = Settings::standard();
    }
    void TearDown() override {
        Settings::setUserRevertedForceFullHashCalculation(false);
        Settings::setFullySelectedGroupsDeselector({});
        IsolatedHomeTest::TearDown();
    }

    std::shared_ptr<PreferencesStore> store() const { return PreferencesStore::standard(); }
    // What a later run would read: the file on disk, opened afresh.
    std::optional<json> onDisk(const std::string& key) const {
        return PreferencesStore(kestrane::platform::preferencesFilePath()).object(key);
    }
    bool stored(const std::string& key) const { return store()->object(key).has_value(); }
    // Stores a raw value under the key and hands back the settings to read it.
    Settings& with(const std::string& key, const json& value) {
        store()->setObject(key, value);
        return *settings;
    }

    // Made in SetUp, once the standard store lives in the temporary home.
    std::optional<Settings> settings;
};

// Every single-valued setting with a setter: its key (spelled out here,
// independently of the constants), what an empty store reads as, a value to
// set and how that value is written.
struct Setting {
    const char* key;
    json defaultValue;
    json value;
    json stored;
    json (*get)(const Settings&);
    void (*set)(Settings&, const json&);
    std::vector<std::string> (*listDefault)() = nullptr;  // a list's default depends on the home folder

    json defaultIn() const { return listDefault ? json(listDefault()) : defaultValue; }
};
#define SETTING(key, getter, setter, type, def, value, stored)                                                   \
    Setting {                                                                                                    \
        key, def, value, stored, [](const Settings& s) { return json(s.getter()); },                             \
            [](Settings& s, const json& v) { s.setter(v.get<type>()); }                                          \
    }
#define FLAG(key, getter, setter, def) SETTING(key, getter, setter, bool, def, !(def), !(def))
#define LIST(key, getter, setter, def)                                                                           \
    Setting {                                                                                                    \
        key, nullptr, json::array({"/mine"}), json::array({"/mine"}),                                            \
            [](const Settings& s) { return json(s.getter()); },                                                  \
            [](Settings& s, const json& v) { s.setter(v.get<Strings>()); }, &Settings::def                       \
    }

// The largest minimal size there can be: the size of the largest possible file.
const std::uint64_t kBig = std::numeric_limits<std::int64_t>::max();
const std::string kNbsp = "\xC2\xA0";

const std::vector<Setting>& allSettings() {
    static const std::vector<Setting> table = {
        FLAG("us:defineMinimalDuplicatesFileSizeAutomatically", defineMinimalDuplicatesFileSizeAutomatically,
             setDefineMinimalDuplicatesFileSizeAutomatically, true),
        FLAG("us:defineMinimalDuplicatesFileSizeAsZero", defineMinimalDuplicatesFileSizeAsZero,
             setDefineMinimalDuplicatesFileSizeAsZero, false),
        FLAG("KEY_scanInHiddenFolders", scanInHiddenFolders, setScanInHiddenFolders, false),
        FLAG("KEY_forceFullHashCalculation", forceFullHashCalculation, setForceFullHashCalculation, false),
        FLAG("KEY_showOverviewAfterScanning", showOverviewAfterScanning, setShowOverviewAfterScanning, true),
        FLAG("KEY_moveCleanedDuplicatesToTheTrashCan", moveCleanedDuplicatesToTheTrashCan,
             setMoveCleanedDuplicatesToTheTrashCan, true),
        FLAG("KEY_allowRemovingAllDuplicateCopies", allowRemovingAllDuplicateCopies,
             setAllowRemovingAllDuplicateCopies, false),
        FLAG("KEY_removeEmptyFolders", removeEmptyFolders, setRemoveEmptyFolders, false),
        FLAG("Log Removed Duplicates", logRemovedDuplicates, setLogRemovedDuplicates, true),
        FLAG("KEY_showRemoveLastInCategoriesMessage", showRemoveLastInCategoriesMessage,
             setShowRemoveLastInCategoriesMessage, true),
        FLAG("KEY_showRemoveLastInHeapsMessage", showRemoveLastInHeapsMessage, setShowRemoveLastInHeapsMessage, true),
        FLAG("KEY_showNewScanMessage", showNewScanMessage, setShowNewScanMessage, true),
        FLAG("KEY_showRemovePermanentlyItemsOnRemoteDisksMessage", showRemovePermanentlyItemsOnRemoteDisksMessage,
             setShowRemovePermanentlyItemsOnRemoteDisksMessage, true),
        FLAG("KEY_showRemovePermanentlyMessage", showRemovePermanentlyMessage, setShowRemovePermanentlyMessage, true),
        FLAG("KEY_showRestartScanMessage", showRestartScanMessage, setShowRestartScanMessage, true),
        FLAG("KEY_showAutoSelectMessage", showAutoSelectMessage, setShowAutoSelectMessage, true),
        FLAG("Show Alert That\xC2\xA0" "Auto Select Did Not Change Selection",
             showAlertThatAutoSelectDidNotChangeSelection, setShowAlertThatAutoSelectDidNotChangeSelection, true),
        FLAG("Show Alert That\xC2\xA0" "Auto Select Did Not Change Selection Because Never Select List",
             showAlertThatAutoSelectDidNotChangeSelectionBecauseNeverSelectList,
             setShowAlertThatAutoSelectDidNotChangeSelectionBecauseNeverSelectList, true),
        FLAG("Show Alert That\xC2\xA0" "Duplicate Folder Selected in Select In Folder Dialog",
             showAlertThatDuplicateFolderSelectedInSelectInFolderDialog,
             setShowAlertThatDuplicateFolderSelectedInSelectInFolderDialog, true),
        FLAG("SelectInFolder.IsNeedToShowInfoPanel", selectInFolderIsNeedToShowInfoPanel,
             setSelectInFolderIsNeedToShowInfoPanel, true),
        FLAG("KEY_MERGE_DIALOGUE_EXPAND_OPTIONS", mergeDialogueExpandOptions, setMergeDialogueExpandOptions, true),
        FLAG("KEY_MERGE_DIALOGUE_MOVE_MERGED_FILES", mergeDialogueMoveMergedFiles, setMergeDialogueMoveMergedFiles,
             false),
        FLAG("KEY_MERGE_DIALOGUE_NEED_MERGE_DUPLICATES_WITH_DIFFERENT_NAMES",
             mergeDialogueNeedMergeDuplicatesWithDifferentNames, setMergeDialogueNeedMergeDuplicatesWithDifferentNames,
             true),
        SETTING("us:minDuplicatesFileSize", minDuplicatesFileSize, setMinDuplicatesFileSize, std::uint64_t, 1048576,
                kBig, kBig),
        SETTING("s:hashBlockSize", hashBlockSize, setHashBlockSize, std::uint64_t, 8192, 65536, 65536),
        SETTING("KEY_sortType", sortType, setSortType, std::int32_t, 0, -3, -3),
        SETTING("KEY_sortDirection", sortDirection, setSortDirection, std::int32_t, 1, 0, 0),
        SETTING("Selected Files Presentation", selectedFilesPresentation, setSelectedFilesPresentation, std::int32_t,
                0, 2, "plain"),
        SETTING("Selected Files Sort Type", selectedFilesSortType, setSelectedFilesSortType, std::int32_t, 1, 4,
                "Size. Small to Large"),
        SETTING("KEY_folderSplitState", folderSplitState, setFolderSplitState, std::int32_t, 0, 1,
                "folder preview and folder content"),
        SETTING("SelectInFolder.DividerPosition", selectInFolderDividerPosition, setSelectInFolderDividerPosition,
                float, 1.0f, 0.25f, 0.25),
        LIST("KEY_exclude_folders", excludeFolders, setExcludeFolders, createDefaultExcludeFoldersArray),
        LIST("KEY_exclude_files", excludeFiles, setExcludeFiles, createDefaultExcludeFilesArray),
        LIST("KEY_exclude_extensions", excludeExtensions, setExcludeExtensions, createDefaultExcludeExtensionsArray),
        LIST("KEY_autoAlwaysSelect_folders", autoAlwaysSelectFolders, setAutoAlwaysSelectFolders,
             createDefaultAutoSelectFoldersArray),
        LIST("KEY_autoNeverSelect_folders", autoNeverSelectFolders, setAutoNeverSelectFolders,
             createDefaultNeverSelectFoldersArray),
        SETTING("SelectInFolder.DividerPreviewPosition", selectInFolderDividerPreviewPosition,
                setSelectInFolderDividerPreviewPosition, float, 0.0f, -1.5f, -1.5),
    };
    return table;
}

TEST_F(SettingsTest, AnEmptyStoreGivesEveryDefaultAndReadingWritesNothing) {
    for (const auto& s : allSettings()) EXPECT_EQ(s.get(*settings), s.defaultIn()) << s.key;
    EXPECT_TRUE(settings->excludeTimeMachineBackups());
    EXPECT_TRUE(settings->skipVolumeSystemFolders());
    EXPECT_EQ(settings->lastOpenedFolderToScan(), std::nullopt);
    EXPECT_TRUE(settings->lastTenFolders().empty());
    EXPECT_TRUE(store()->keys().empty());
    EXPECT_FALSE(std::filesystem::exists(kestrane::platform::preferencesFilePath()));

    // Default lists are built from the home folder of the moment.
    EXPECT_EQ(settings->excludeFolders(), (Strings{"/System", "/Library", m_home + "/Library"}));
    ::setenv("HOME", "/elsewhere/someone", 1);
    EXPECT_EQ(settings->excludeFolders(), (Strings{"/System", "/Library", "/elsewhere/someone/Library"}));
    EXPECT_EQ(settings->autoAlwaysSelectFolders(), Strings{"/elsewhere/someone/Downloads"});
}

TEST_F(SettingsTest, EverySetterWritesItsOwnKeyPostsItsNoticeAndTheValueSurvivesAReopen) {
    const std::string autoSelect = "AutoSelectPreferencesChangedNotification";
    const std::map<std::string, std::string> notifications = {
        {"KEY_forceFullHashCalculation", "OnForceFullHashCalculationChangedNotificationName"},
        {"KEY_moveCleanedDuplicatesToTheTrashCan", "RemoveToTrashSettingChangedNotification"},
        {"KEY_allowRemovingAllDuplicateCopies", "OnAllowRemovingAllDuplicateCopiesChangedNotification"},
        {"Log Removed Duplicates", "OnLogRemovedDuplicatesChangedNotification"},
        {"KEY_showAutoSelectMessage", autoSelect},
        {"Show Alert That" + kNbsp + "Auto Select Did Not Change Selection", autoSelect},
        {"Show Alert That" + kNbsp + "Auto Select Did Not Change Selection Because Never Select List", autoSelect},
    };
    for (const auto& s : allSettings()) {
        NotificationRecorder recorder;
        s.set(*settings, s.value);
        EXPECT_EQ(onDisk(s.key), std::optional<json>(s.stored)) << s.key;
        const auto found = notifications.find(s.key);
        EXPECT_EQ(recorder.names, found == notifications.end() ? Strings{} : Strings{found->second}) << s.key;
        EXPECT_FALSE(recorder.postedWithObject);
    }
    EXPECT_EQ(store()->keys().size(), allSettings().size());  // no setter wrote a second key
    EXPECT_TRUE(onDisk("us:minDuplicatesFileSize")->is_number_unsigned());
    settings->setLastOpenedFolderToScan("/data/photos " + kNbsp + "odd");
    // The two settings without a setter still follow the store.
    EXPECT_FALSE(with("Exclude Time Machine Backups", false).excludeTimeMachineBackups());
    EXPECT_FALSE(with("Skip Volume System Folders", 0).skipVolumeSystemFolders());

    PreferencesStore::reopenStandard();
    Settings reread = Settings::standard();
    for (const auto& s : allSettings()) EXPECT_EQ(s.get(reread), s.value) << s.key;
    EXPECT_EQ(reread.lastOpenedFolderToScan(), "/data/photos " + kNbsp + "odd");
    reread.setLastOpenedFolderToScan(std::nullopt);
    reread.setExcludeFiles(std::nullopt);
    EXPECT_FALSE(onDisk("Last opened folder to scan").has_value());
    EXPECT_FALSE(onDisk("KEY_exclude_files").has_value());
}

TEST_F(SettingsTest, WrongTypedStoredValuesReadAsTheirDefaults) {
    // Booleans: a JSON boolean or a number counts; anything else is the default.
    EXPECT_TRUE(with("Log Removed Duplicates", "false").logRemovedDuplicates());
    EXPECT_FALSE(with("KEY_allowRemovingAllDuplicateCopies", json::array({true})).allowRemovingAllDuplicateCopies());
    EXPECT_TRUE(with("KEY_scanInHiddenFolders", 2).scanInHiddenFolders());
    EXPECT_FALSE(with("KEY_showNewScanMessage", 0.0).showNewScanMessage());

    // Unsigned numbers: fractions truncate; negative, too large or not a number is the default.
    for (const json& bad : {json("123"), json(-5), json(1e30), json(true)})
        EXPECT_EQ(with("us:minDuplicatesFileSize", bad).minDuplicatesFileSize(), 1048576u) << bad;
    EXPECT_EQ(with("us:minDuplicatesFileSize", 4096.9).minDuplicatesFileSize(), 4096u);
    // 32-bit integers keep their own range.
    EXPECT_EQ(with("KEY_sortType", std::int64_t{1} << 40).sortType(), 0);
    EXPECT_EQ(with("KEY_sortDirection", -7).sortDirection(), -7);
    // Floats accept any number within a float's range.
    EXPECT_EQ(with("SelectInFolder.DividerPosition", "0.5").selectInFolderDividerPosition(), 1.0f);
    EXPECT_EQ(with("SelectInFolder.DividerPreviewPosition", 3).selectInFolderDividerPreviewPosition(), 3.0f);
    EXPECT_EQ(with("SelectInFolder.DividerPreviewPosition", 1e300).selectInFolderDividerPreviewPosition(), 0.0f);

    EXPECT_EQ(with("Last opened folder to scan", 42).lastOpenedFolderToScan(), std::nullopt);
    // The alert keys have a no-break space after "That": the look-alike with an ordinary space is someone else's.
    EXPECT_TRUE(with("Show Alert That Auto Select Did Not Change Selection", false)
                    .showAlertThatAutoSelectDidNotChangeSelection());

    // Lists: a non-list is the default list; non-string members are skipped; an empty list is kept.
    EXPECT_EQ(with("KEY_exclude_folders", 17).excludeFolders(), Settings::createDefaultExcludeFoldersArray());
    EXPECT_EQ(with("KEY_exclude_files", json::array({"/a", 3, nullptr, "/b", json::array({"/c"})})).excludeFiles(),
              (Strings{"/a", "/b"}));
    EXPECT_TRUE(with("KEY_exclude_extensions", json::array()).excludeExtensions().empty());
}

TEST_F(SettingsTest, StoredValuesOutOfRangeGiveTheDefaultAndOneWarningEach) {
    const double tooBigForAnyFile = 1e19;  // fits 64 unsigned bits, not a file size
    struct Case {
        const char* key;
        json stored;
        json (*get)(const Settings&);
        json expected;
        bool warned;
    };
    const auto minimal = [](const Settings& s) { return json(s.minDuplicatesFileSize()); };
    const auto block = [](const Settings& s) { return json(s.hashBlockSize()); };
    const Case cases[] = {
        {"us:minDuplicatesFileSize", tooBigForAnyFile, minimal, 1048576, true},
        {"us:minDuplicatesFileSize", std::numeric_limits<std::uint64_t>::max(), minimal, 1048576, true},
        {"us:minDuplicatesFileSize", kBig + 1, minimal, 1048576, true},
        {"us:minDuplicatesFileSize", kBig, minimal, kBig, false},
        {"us:minDuplicatesFileSize", 0, minimal, 0, false},
        // Blocks of whole pages, from one page to 64 MiB.
        {"s:hashBlockSize", 1, block, 8192, true},
        {"s:hashBlockSize", 0, block, 8192, true},
        {"s:hashBlockSize", 4095, block, 8192, true},
        {"s:hashBlockSize", 10000, block, 8192, true},
        {"s:hashBlockSize", 128 << 20, block, 8192, true},
        {"s:hashBlockSize", 4096, block, 4096, false},
        {"s:hashBlockSize", 64 << 20, block, 64 << 20, false},
        {"Log Removed Duplicates", "false", [](const Settings& s) { return json(s.logRemovedDuplicates()); }, true,
         true},
        {"KEY_sortType", std::int64_t{1} << 40, [](const Settings& s) { return json(s.sortType()); }, 0, true},
        {"SelectInFolder.DividerPosition", 1e300,
         [](const Settings& s) { return json(s.selectInFolderDividerPosition()); }, 1.0, true},
    };
    for (const Case& c : cases) {
        const std::size_t before = store()->warnings().size();
        Settings& s = with(c.key, c.stored);
        EXPECT_EQ(c.get(s), c.expected) << c.key << " = " << c.stored;
        EXPECT_EQ(c.get(s), c.expected) << c.key << " = " << c.stored;  // read again: no second warning
        const auto warnings = store()->warnings();
        ASSERT_EQ(warnings.size(), before + (c.warned ? 1 : 0)) << c.key << " = " << c.stored;
        if (!c.warned) continue;
        const std::string& warning = warnings.back();
        EXPECT_NE(warning.find("the stored value " + c.stored.dump() + " of " + c.key + " cannot be used"),
                  std::string::npos)
            << warning;
        const std::string fallback = c.expected.is_number_float() ? "1" : c.expected.dump();
        EXPECT_NE(warning.find("; the default " + fallback + " applies"), std::string::npos) << warning;
        const std::map<std::string, std::string> ranges = {
            {"us:minDuplicatesFileSize", "from 0 to 9223372036854775807"},
            {"s:hashBlockSize", "from 4096 to 67108864, a multiple of 4096"}};
        if (const auto range = ranges.find(c.key); range != ranges.end()) {
            EXPECT_NE(warning.find(range->second), std::string::npos) << warning;
        }
    }
}

TEST_F(SettingsTest, EnumeratedSettingsAreStoredAsTextsAndUnknownTextsReadAsTheDefault) {
    // Every published name is the text stored for its value, and reads back as it.
    using Get = std::int32_t (Settings::*)() const;
    using Set = void (Settings::*)(std::int32_t);
    const std::vector<std::tuple<std::string, std::span<const Settings::NamedChoice>, Get, Set>> choices = {
        {"Selected Files Sort Type", Settings::selectedFilesSortTypeNames(), &Settings::selectedFilesSortType,
         &Settings::setSelectedFilesSortType},
        {"Selected Files Presentation", Settings::selectedFilesPresentationNames(),
         &Settings::selectedFilesPresentation, &Settings::setSelectedFilesPresentation},
        {"KEY_folderSplitState", Settings::folderSplitStateNames(), &Settings::folderSplitState,
         &Settings::setFolderSplitState},
    };
    for (const auto& [key, names, get, set] : choices) {
        EXPECT_EQ(names.size(), key == "Selected Files Sort Type" ? 8u : 3u);
        for (const Settings::NamedChoice& choice : names) {
            ((*settings).*set)(choice.value);
            EXPECT_EQ(*onDisk(key), json(choice.name));
            EXPECT_EQ(((*settings).*get)(), choice.value) << choice.name;
        }
    }
    for (int outside : {0, 9, -1}) {
        settings->setSelectedFilesSortType(outside);
        EXPECT_EQ(*onDisk("Selected Files Sort Type"), json("unknown"));
        EXPECT_EQ(settings->selectedFilesSortType(), 1);
    }
    EXPECT_EQ(with("Selected Files Sort Type", "Type").selectedFilesSortType(), 8);
    EXPECT_EQ(with("Selected Files Sort Type", 4).selectedFilesSortType(), 1);
    EXPECT_EQ(with("Selected Files Presentation", "Plain").selectedFilesPresentation(), 0);
    EXPECT_EQ(with("KEY_folderSplitState", "folder content").folderSplitState(), 2);
    EXPECT_EQ(with("KEY_folderSplitState", 1).folderSplitState(), 0);
}

TEST_F(SettingsTest, TypedExtensionsAreNormalized) {
    const std::vector<std::pair<std::string, std::optional<std::string>>> cases = {
        {"jpg", ".jpg"}, {".JPG", ".JPG"}, {"..tar.gz", ".targz"}, {" a:b/c ", ".abc"}, {"x", ".x"},
        {"", std::nullopt}, {".", std::nullopt}, {" :/. ", std::nullopt},
    };
    for (const auto& [typed, expected] : cases) EXPECT_EQ(Settings::normalizedExtensionEntry(typed), expected) << typed;
}

TEST_F(SettingsTest, MinimalSizeSliderMapsBreakpointsAndRoundTrips) {
    const std::vector<std::pair<float, std::uint64_t>> breakpoints = {
        {0.0f, 0}, {33.333332f, 1000000}, {66.666664f, 10000000}, {100.0f, 200000000}};
    for (const auto& [slider, bytes] : breakpoints) {
        EXPECT_EQ(Settings::minimalSizeForSliderValue(slider), bytes);
        EXPECT_EQ(Settings::sliderValueForMinimalSize(bytes), slider);
    }
    EXPECT_NEAR(static_cast<double>(Settings::minimalSizeForSliderValue(50.0f)), 5500000.0, 2.0);
    EXPECT_NEAR(static_cast<double>(Settings::minimalSizeForSliderValue(83.333336f)), 105000000.0, 128.0);
    for (float outside : {-4.0f, std::nanf("")}) EXPECT_EQ(Settings::minimalSizeForSliderValue(outside), 0u);
    EXPECT_EQ(Settings::minimalSizeForSliderValue(250.0f), 200000000u);
    EXPECT_EQ(Settings::sliderValueForMinimalSize(5000000000ull), 100.0f);
    for (float v = 0.0f; v <= 100.0f; v += 0.25f)
        EXPECT_NEAR(Settings::sliderValueForMinimalSize(Settings::minimalSizeForSliderValue(v)), v, 1e-4f) << v;
}

TEST_F(SettingsTest, RecentFoldersKeepTenMostRecentFirst) {
    for (int i = 1; i <= 11; ++i) settings->addRecentFolder("/f" + std::to_string(i));
    // A listed folder moves to the front without dropping another; another case is another folder.
    settings->addRecentFolder("/f5");
    settings->addRecentFolder("/F5");
    EXPECT_EQ(settings->lastTenFolders(),
              (Strings{"/F5", "/f5", "/f11", "/f10", "/f9", "/f8", "/f7", "/f6", "/f4", "/f3"}));
    settings->clearRecentFolders();
    EXPECT_EQ(*onDisk("KEY_last_ten_folders"), json::array());
}

TEST_F(SettingsTest, TransientFullHashStateInvertsTheStoredSettingWithoutStoringAnything) {
    settings->setActualStateOfFullHashCalculation(true);
    EXPECT_TRUE(Settings::actualStateOfFullHashCalculation());
    EXPECT_TRUE(settings->actualFullHashCalculationState());
    EXPECT_FALSE(settings->forceFullHashCalculation());
    EXPECT_TRUE(store()->keys().empty());
    // The flag inverts whatever is stored, also after the stored value changes.
    settings->setForceFullHashCalculation(true);
    EXPECT_FALSE(Settings::actualStateOfFullHashCalculation());
    settings->setActualStateOfFullHashCalculation(true);
    EXPECT_FALSE(Settings::userRevertedForceFullHashCalculation());
    EXPECT_TRUE(Settings::actualStateOfFullHashCalculation());
}

// The result holder's side of the seam: records each call and what the settings said at that moment.
class RecordingDeselector : public kestrane::FullySelectedGroupsDeselector {
public:
    explicit RecordingDeselector(Settings settings) : m_settings(std::move(settings)) {}
    void deselectFullySelectedGroups() override {
        ++calls;
        allowAllAtCall = m_settings.allowRemovingAllDuplicateCopies();
        hiddenFoldersAtCall = m_settings.scanInHiddenFolders();
        excludeFoldersAtCall = m_settings.store()->object(Settings::kKeyExcludeFolders).has_value();
    }
    int calls = 0;
    bool allowAllAtCall = false, hiddenFoldersAtCall = true, excludeFoldersAtCall = true;

private:
    Settings m_settings;
};

// Each restore, from every setting away from its default: exactly its group is
// back at the defaults (a list by losing its key), with the notices given.
TEST_F(SettingsTest, EachRestoreBringsBackExactlyItsGroup) {
    const std::string that = "Show Alert That" + kNbsp;
    const std::set<std::string> scan = {"us:defineMinimalDuplicatesFileSizeAutomatically",
                                        "us:defineMinimalDuplicatesFileSizeAsZero", "us:minDuplicatesFileSize",
                                        "KEY_scanInHiddenFolders", "KEY_forceFullHashCalculation"};
    const std::set<std::string> removal = {
        "KEY_moveCleanedDuplicatesToTheTrashCan", "KEY_allowRemovingAllDuplicateCopies", "KEY_removeEmptyFolders",
        "Log Removed Duplicates", "KEY_showRemoveLastInCategoriesMessage", "KEY_showRemoveLastInHeapsMessage",
        "KEY_showRemovePermanentlyItemsOnRemoteDisksMessage", "KEY_showRemovePermanentlyMessage"};
    const std::set<std::string> alerts = {
        "KEY_showRemoveLastInCategoriesMessage", "KEY_showRemoveLastInHeapsMessage", "KEY_showNewScanMessage",
        "KEY_showRemovePermanentlyItemsOnRemoteDisksMessage", "KEY_showRemovePermanentlyMessage",
        "KEY_showRestartScanMessage", "KEY_showAutoSelectMessage", that + "Auto Select Did Not Change Selection",
        that + "Auto Select Did Not Change Selection Because Never Select List",
        that + "Duplicate Folder Selected in Select In Folder Dialog"};
    const Strings lists = {"KEY_exclude_folders", "KEY_exclude_files", "KEY_exclude_extensions",
                           "KEY_autoAlwaysSelect_folders", "KEY_autoNeverSelect_folders"};
    std::set<std::string> all = {"KEY_showOverviewAfterScanning"};
    for (const auto* group : {&scan, &removal, &alerts}) all.insert(group->begin(), group->end());
    all.insert(lists.begin(), lists.end());
    const std::string forceFull = "OnForceFullHashCalculationChangedNotificationName";
    const std::string autoSelect = "AutoSelectPreferencesChangedNotification";
    const Strings removalNotices = {"RemoveToTrashSettingChangedNotification",
                                    "OnAllowRemovingAllDuplicateCopiesChangedNotification",
                                    "OnLogRemovedDuplicatesChangedNotification"};
    Strings allNotices = {forceFull};
    allNotices.insert(allNotices.end(), removalNotices.begin(), removalNotices.end());
    allNotices.insert(allNotices.end(), {autoSelect, "DuplicateItemSelectionChangedNotification"});

    const std::vector<std::tuple<void (Settings::*)(), std::set<std::string>, Strings>> restores = {
        {&Settings::restoreDefaultsScan, scan, {forceFull}},
        {&Settings::restoreDefaultExcludeFolders, {lists[0]}, {}},
        {&Settings::restoreDefaultExcludeFiles, {lists[1]}, {}},
        {&Settings::restoreDefaultExcludeExtensions, {lists[2]}, {}},
        {&Settings::restoreDefaultAutoAlwaysSelectFolders, {lists[3]}, {}},
        {&Settings::restoreDefaultAutoNeverSelectFolders, {lists[4]}, {}},
        {&Settings::restoreRemoveDefaults, removal, removalNotices},
        {&Settings::restoreDefaultsForAlertWindows, alerts, {autoSelect}},
        {&Settings::restoreShowOverviewAfterScanning, {"KEY_showOverviewAfterScanning"}, {}},
        {&Settings::restoreDefaultsForAllSettings, all, allNotices},  // last: its deselector is checked below
    };
    settings->addRecentFolder("/recent");
    settings->setLastOpenedFolderToScan("/opened");
    std::shared_ptr<RecordingDeselector> deselector;
    for (const auto& [operation, group, notices] : restores) {
        for (const auto& s : allSettings()) s.set(*settings, s.value);
        deselector = std::make_shared<RecordingDeselector>(*settings);
        Settings::setFullySelectedGroupsDeselector(deselector);

        NotificationRecorder recorder;
        ((*settings).*operation)();
        for (const auto& s : allSettings()) {
            EXPECT_EQ(s.get(*settings), group.count(s.key) ? s.defaultIn() : s.value) << s.key;
            EXPECT_TRUE(!s.listDefault || stored(s.key) != (group.count(s.key) == 1)) << s.key;
        }
        EXPECT_EQ(recorder.names, notices);
        // Full selections are cleared while selecting every copy is still allowed.
        EXPECT_EQ(deselector->calls, group.count("KEY_allowRemovingAllDuplicateCopies") ? 1 : 0);
        EXPECT_TRUE(deselector->calls == 0 || deselector->allowAllAtCall);
    }
    // Restoring everything leaves the recent folders, and deselects after the scan and list groups.
    EXPECT_EQ(settings->lastTenFolders(), Strings{"/recent"});
    EXPECT_EQ(settings->lastOpenedFolderToScan(), "/opened");
    EXPECT_FALSE(deselector->hiddenFoldersAtCall);
    EXPECT_FALSE(deselector->excludeFoldersAtCall);
    // The deselector is held weakly.
    const std::weak_ptr<RecordingDeselector> watched = deselector;
    deselector.reset();
    EXPECT_TRUE(watched.expired());
}

}  // namespace
