#include "settings/Settings.h"

#include "platform/NotificationCenter.h"
#include "platform/PreferencesStore.h"
#include "platform/UserFolders.h"
#include "settings/FullySelectedGroupsDeselector.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <map>
#include <optional>
#include <set>
#include <string>
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
};
#define SETTING(key, getter, setter, type, def, value, stored)                                                   \
    Setting {                                                                                                    \
        key, def, value, stored, [](const Settings& s) { return json(s.getter()); },                             \
            [](Settings& s, const json& v) { s.setter(v.get<type>()); }                                          \
    }
#define FLAG(key, getter, setter, def) SETTING(key, getter, setter, bool, def, !(def), !(def))

const std::uint64_t kBig = std::numeric_limits<std::uint64_t>::max() - 1;
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
        SETTING("SelectInFolder.DividerPreviewPosition", selectInFolderDividerPreviewPosition,
                setSelectInFolderDividerPreviewPosition, float, 0.0f, -1.5f, -1.5),
    };
    return table;
}

// The message flags that the alert restore turns back on (the select-in-folder one is removed instead).
const Strings kMessageKeys = {
    "KEY_showRemoveLastInCategoriesMessage", "KEY_showRemoveLastInHeapsMessage", "KEY_showNewScanMessage",
    "KEY_showRemovePermanentlyItemsOnRemoteDisksMessage", "KEY_showRemovePermanentlyMessage",
    "KEY_showRestartScanMessage", "KEY_showAutoSelectMessage",
    "Show Alert That" + kNbsp + "Auto Select Did Not Change Selection",
    "Show Alert That" + kNbsp + "Auto Select Did Not Change Selection Because Never Select List",
};
const Strings kListKeys = {"KEY_exclude_folders", "KEY_exclude_files", "KEY_exclude_extensions",
                           "KEY_autoAlwaysSelect_folders", "KEY_autoNeverSelect_folders"};

TEST_F(SettingsTest, AnEmptyStoreGivesEveryDefaultAndReadingWritesNothing) {
    for (const auto& s : allSettings()) EXPECT_EQ(s.get(*settings), s.defaultValue) << s.key;
    EXPECT_TRUE(settings->excludeTimeMachineBackups());
    EXPECT_TRUE(settings->skipVolumeSystemFolders());
    EXPECT_EQ(settings->lastOpenedFolderToScan(), std::nullopt);
    EXPECT_TRUE(settings->lastTenFolders().empty());

    const std::string& h = m_home;
    EXPECT_EQ(settings->excludeFolders(), (Strings{"/System", "/Library", h + "/Library"}));
    EXPECT_EQ(settings->excludeFiles(),
              (Strings{h + "/Pictures/Photo Booth Library", h + "/Pictures/Photos Library.photoslibrary",
                       h + "/Pictures/iPhoto Library.photolibrary", h + "/Movies/iMovie Library.imovielibrary",
                       h + "/Movies/iMovie Theater.theater"}));
    EXPECT_EQ(settings->excludeExtensions(), (Strings{".framework", ".build", ".plist", ".def", ".info", ".lib",
                                                     ".dylib", ".lproj", ".entitlements"}));
    EXPECT_EQ(settings->autoAlwaysSelectFolders(), (Strings{h + "/Downloads"}));
    EXPECT_EQ(settings->autoNeverSelectFolders(),
              (Strings{h + "/Movies/iMovie Events", h + "/Movies/iMovie Projects", h + "/Music/iTunes"}));

    EXPECT_TRUE(store()->keys().empty());
    EXPECT_FALSE(std::filesystem::exists(kestrane::platform::preferencesFilePath()));
}

TEST_F(SettingsTest, EverySetterWritesItsOwnKeyPostsItsNoticeAndTheValueSurvivesAReopen) {
    const std::map<std::string, std::string> notifications = {
        {"KEY_forceFullHashCalculation", "OnForceFullHashCalculationChangedNotificationName"},
        {"KEY_moveCleanedDuplicatesToTheTrashCan", "RemoveToTrashSettingChangedNotification"},
        {"KEY_allowRemovingAllDuplicateCopies", "OnAllowRemovingAllDuplicateCopiesChangedNotification"},
        {"Log Removed Duplicates", "OnLogRemovedDuplicatesChangedNotification"},
        {"KEY_showAutoSelectMessage", "AutoSelectPreferencesChangedNotification"},
        {"Show Alert That" + kNbsp + "Auto Select Did Not Change Selection", "AutoSelectPreferencesChangedNotification"},
        {"Show Alert That" + kNbsp + "Auto Select Did Not Change Selection Because Never Select List",
         "AutoSelectPreferencesChangedNotification"},
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
    EXPECT_FALSE(onDisk("Last opened folder to scan").has_value());
}

TEST_F(SettingsTest, WrongTypedStoredValuesReadAsTheirDefaults) {
    // Booleans: a JSON boolean or a number counts; anything else is the default.
    EXPECT_TRUE(with("Log Removed Duplicates", "false").logRemovedDuplicates());
    EXPECT_FALSE(with("KEY_removeEmptyFolders", "yes").removeEmptyFolders());
    EXPECT_TRUE(with("KEY_scanInHiddenFolders", 2).scanInHiddenFolders());
    EXPECT_FALSE(with("KEY_showNewScanMessage", 0.0).showNewScanMessage());
    EXPECT_TRUE(with("KEY_showRestartScanMessage", nullptr).showRestartScanMessage());
    EXPECT_FALSE(with("KEY_allowRemovingAllDuplicateCopies", json::array({true})).allowRemovingAllDuplicateCopies());

    // Unsigned numbers: fractions truncate; negative, too large or not a number is the default.
    for (const json& bad : {json("123"), json(-5), json(1e30), json(true)})
        EXPECT_EQ(with("us:minDuplicatesFileSize", bad).minDuplicatesFileSize(), 1048576u) << bad;
    EXPECT_EQ(with("us:minDuplicatesFileSize", 4096.9).minDuplicatesFileSize(), 4096u);
    EXPECT_EQ(with("s:hashBlockSize", 0).hashBlockSize(), 0u);

    // 32-bit integers keep their own range.
    EXPECT_EQ(with("KEY_sortType", std::int64_t{1} << 40).sortType(), 0);
    EXPECT_EQ(with("KEY_sortDirection", "1").sortDirection(), 1);
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

TEST_F(SettingsTest, DefaultListsFollowTheCurrentHomeAndNoListRestoresThem) {
    settings->setExcludeFolders(Strings{"/mine"});
    EXPECT_EQ(*onDisk("KEY_exclude_folders"), json::array({"/mine"}));
    EXPECT_EQ(settings->excludeFolders(), Strings{"/mine"});

    settings->setExcludeFolders(std::nullopt);
    EXPECT_FALSE(stored("KEY_exclude_folders"));
    ::setenv("HOME", "/elsewhere/someone", 1);
    EXPECT_EQ(settings->excludeFolders(), (Strings{"/System", "/Library", "/elsewhere/someone/Library"}));
    EXPECT_EQ(settings->autoAlwaysSelectFolders(), Strings{"/elsewhere/someone/Downloads"});
}

TEST_F(SettingsTest, EnumeratedSettingsAreStoredAsTextsAndUnknownTextsReadAsTheDefault) {
    const Strings sortNames = {"Name. A to Z",         "Name. Z to A",           "Size. Large to Small",
                               "Size. Small to Large", "Date. Newest to Oldest", "Date. Oldest to Newest",
                               "Selected",             "Type"};
    for (int i = 1; i <= 8; ++i) {
        settings->setSelectedFilesSortType(i);
        EXPECT_EQ(*onDisk("Selected Files Sort Type"), json(sortNames[i - 1]));
        EXPECT_EQ(settings->selectedFilesSortType(), i);
    }
    for (int outside : {0, 9, -1}) {
        settings->setSelectedFilesSortType(outside);
        EXPECT_EQ(*onDisk("Selected Files Sort Type"), json("unknown"));
        EXPECT_EQ(settings->selectedFilesSortType(), 1);
    }
    EXPECT_EQ(with("Selected Files Sort Type", "size").selectedFilesSortType(), 1);
    EXPECT_EQ(with("Selected Files Sort Type", 4).selectedFilesSortType(), 1);
    EXPECT_EQ(with("Selected Files Presentation", "folders").selectedFilesPresentation(), 1);
    EXPECT_EQ(with("Selected Files Presentation", "Plain").selectedFilesPresentation(), 0);
    EXPECT_EQ(with("KEY_folderSplitState", "folder content").folderSplitState(), 2);
    EXPECT_EQ(with("KEY_folderSplitState", 1).folderSplitState(), 0);
    settings->setFolderSplitState(5);
    EXPECT_EQ(settings->folderSplitState(), 0);

    // The published names are the texts stored for their values, and read back as them.
    Strings publishedSortNames;
    for (const Settings::NamedChoice& choice : Settings::selectedFilesSortTypeNames()) {
        publishedSortNames.push_back(choice.name);
        settings->setSelectedFilesSortType(choice.value);
        EXPECT_EQ(*onDisk("Selected Files Sort Type"), json(choice.name));
        EXPECT_EQ(settings->selectedFilesSortType(), choice.value);
    }
    EXPECT_EQ(publishedSortNames, sortNames);
    EXPECT_EQ(Settings::selectedFilesPresentationNames().size(), 3u);
    for (const Settings::NamedChoice& choice : Settings::selectedFilesPresentationNames()) {
        settings->setSelectedFilesPresentation(choice.value);
        EXPECT_EQ(*onDisk("Selected Files Presentation"), json(choice.name));
        EXPECT_EQ(settings->selectedFilesPresentation(), choice.value);
    }
    EXPECT_EQ(Settings::folderSplitStateNames().size(), 3u);
    for (const Settings::NamedChoice& choice : Settings::folderSplitStateNames()) {
        settings->setFolderSplitState(choice.value);
        EXPECT_EQ(*onDisk("KEY_folderSplitState"), json(choice.name));
        EXPECT_EQ(settings->folderSplitState(), choice.value);
    }
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
    EXPECT_EQ(Settings::minimalSizeForSliderValue(-4.0f), 0u);
    EXPECT_EQ(Settings::minimalSizeForSliderValue(250.0f), 200000000u);
    EXPECT_EQ(Settings::minimalSizeForSliderValue(std::nanf("")), 0u);
    EXPECT_EQ(Settings::sliderValueForMinimalSize(5000000000ull), 100.0f);
    EXPECT_NEAR(Settings::sliderValueForMinimalSize(1048576), 33.513245f, 1e-4f);

    for (float v = 0.0f; v <= 100.0f; v += 0.25f)
        EXPECT_NEAR(Settings::sliderValueForMinimalSize(Settings::minimalSizeForSliderValue(v)), v, 1e-4f) << v;
}

TEST_F(SettingsTest, RecentFoldersKeepTenMostRecentFirst) {
    for (int i = 1; i <= 11; ++i) settings->addRecentFolder("/f" + std::to_string(i));
    Strings expected;
    for (int i = 11; i >= 2; --i) expected.push_back("/f" + std::to_string(i));
    EXPECT_EQ(settings->lastTenFolders(), expected);

    // Adding a listed folder moves it to the front without dropping another.
    settings->addRecentFolder("/f5");
    expected.erase(std::find(expected.begin(), expected.end(), "/f5"));
    expected.insert(expected.begin(), "/f5");
    EXPECT_EQ(settings->lastTenFolders(), expected);

    // Paths compare exactly: another case is another folder.
    settings->addRecentFolder("/F5");
    EXPECT_EQ(settings->lastTenFolders()[1], "/f5");

    settings->clearRecentFolders();
    EXPECT_TRUE(settings->lastTenFolders().empty());
    EXPECT_EQ(*onDisk("KEY_last_ten_folders"), json::array());
}

TEST_F(SettingsTest, TransientFullHashStateInvertsTheStoredSettingWithoutStoringAnything) {
    EXPECT_FALSE(Settings::actualStateOfFullHashCalculation());

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
    EXPECT_TRUE(settings->forceFullHashCalculation());
}

// The result holder's side of the seam, as a test sees it: records each call
// and what the settings said at that moment.
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
    bool allowAllAtCall = false;
    bool hiddenFoldersAtCall = true;
    bool excludeFoldersAtCall = true;

private:
    Settings m_settings;
};

// Each restore: set every setting away from its default, restore, and check that
// exactly the group's settings are back at their defaults, with the notifications given.
class SettingsRestoreTest : public SettingsTest {
protected:
    void SetUp() override {
        SettingsTest::SetUp();
        for (const auto& s : allSettings()) s.set(*settings, s.value);
        for (const auto& key : kListKeys) settings->saveArrayValue(Strings{"/custom"}, key);
        deselector = std::make_shared<RecordingDeselector>(*settings);
        Settings::setFullySelectedGroupsDeselector(deselector);
    }
    void restore(void (Settings::*operation)(), const std::set<std::string>& group) {
        NotificationRecorder recorder;
        ((*settings).*operation)();
        notifications = recorder.names;
        for (const auto& s : allSettings())
            EXPECT_EQ(s.get(*settings), group.count(s.key) ? s.defaultValue : s.value) << s.key;
    }

    std::shared_ptr<RecordingDeselector> deselector;
    Strings notifications;
};

const std::set<std::string> kScanGroup = {"us:defineMinimalDuplicatesFileSizeAutomatically",
                                          "us:defineMinimalDuplicatesFileSizeAsZero", "us:minDuplicatesFileSize",
                                          "KEY_scanInHiddenFolders", "KEY_forceFullHashCalculation"};
const std::set<std::string> kRemoveGroup = {
    "KEY_moveCleanedDuplicatesToTheTrashCan", "KEY_allowRemovingAllDuplicateCopies", "KEY_removeEmptyFolders",
    "Log Removed Duplicates", "KEY_showRemoveLastInCategoriesMessage", "KEY_showRemoveLastInHeapsMessage",
    "KEY_showRemovePermanentlyItemsOnRemoteDisksMessage", "KEY_showRemovePermanentlyMessage"};

TEST_F(SettingsRestoreTest, ScanGroupLeavesTheListsAndTheHashBlockSize) {
    restore(&Settings::restoreDefaultsScan, kScanGroup);
    EXPECT_EQ(notifications, Strings{"OnForceFullHashCalculationChangedNotificationName"});
    for (const char* key : {"us:defineMinimalDuplicatesFileSizeAutomatically",
                            "us:defineMinimalDuplicatesFileSizeAsZero", "us:minDuplicatesFileSize"})
        EXPECT_FALSE(stored(key)) << key;
    for (const auto& key : kListKeys) EXPECT_TRUE(stored(key)) << key;
}

TEST_F(SettingsRestoreTest, EachListRestoreRemovesOnlyItsOwnKey) {
    const std::vector<void (Settings::*)()> restores = {
        &Settings::restoreDefaultExcludeFolders, &Settings::restoreDefaultExcludeFiles,
        &Settings::restoreDefaultExcludeExtensions, &Settings::restoreDefaultAutoAlwaysSelectFolders,
        &Settings::restoreDefaultAutoNeverSelectFolders};
    for (std::size_t i = 0; i < restores.size(); ++i) {
        for (const auto& key : kListKeys) settings->saveArrayValue(Strings{"/custom"}, key);
        restore(restores[i], {});
        for (std::size_t j = 0; j < kListKeys.size(); ++j) EXPECT_EQ(stored(kListKeys[j]), i != j) << kListKeys[j];
    }
}

TEST_F(SettingsRestoreTest, RemoveGroupDeselectsFullGroupsBeforeForbiddingThem) {
    restore(&Settings::restoreRemoveDefaults, kRemoveGroup);
    EXPECT_EQ(deselector->calls, 1);
    EXPECT_TRUE(deselector->allowAllAtCall);
    EXPECT_EQ(notifications, (Strings{"RemoveToTrashSettingChangedNotification",
                                      "OnAllowRemovingAllDuplicateCopiesChangedNotification",
                                      "OnLogRemovedDuplicatesChangedNotification"}));

    // A holder that is gone is not called.
    deselector.reset();
    settings->setAllowRemovingAllDuplicateCopies(true);
    settings->restoreRemoveDefaults();
    EXPECT_FALSE(settings->allowRemovingAllDuplicateCopies());
}

TEST_F(SettingsRestoreTest, AlertWindowsTurnEveryMessageBackOnWithOneNotice) {
    std::set<std::string> group(kMessageKeys.begin(), kMessageKeys.end());
    group.insert("Show Alert That" + kNbsp + "Duplicate Folder Selected in Select In Folder Dialog");
    restore(&Settings::restoreDefaultsForAlertWindows, group);
    for (const auto& key : kMessageKeys) EXPECT_EQ(store()->object(key), json(true)) << key;
    EXPECT_FALSE(stored("Show Alert That" + kNbsp + "Duplicate Folder Selected in Select In Folder Dialog"));
    EXPECT_EQ(notifications, Strings{"AutoSelectPreferencesChangedNotification"});
}

TEST_F(SettingsRestoreTest, AllSettingsRunsEveryGroupInOrderAndLeavesTheRest) {
    settings->addRecentFolder("/recent");
    settings->setLastOpenedFolderToScan("/opened");
    std::set<std::string> group = kScanGroup;
    group.insert(kRemoveGroup.begin(), kRemoveGroup.end());
    group.insert(kMessageKeys.begin(), kMessageKeys.end());
    group.insert("Show Alert That" + kNbsp + "Duplicate Folder Selected in Select In Folder Dialog");
    group.insert("KEY_showOverviewAfterScanning");
    restore(&Settings::restoreDefaultsForAllSettings, group);
    for (const auto& key : kListKeys) EXPECT_FALSE(stored(key)) << key;
    EXPECT_EQ(settings->lastTenFolders(), Strings{"/recent"});
    EXPECT_EQ(settings->lastOpenedFolderToScan(), "/opened");

    // The deselection comes after the scan and list groups, before the removal flags.
    EXPECT_EQ(deselector->calls, 1);
    EXPECT_FALSE(deselector->hiddenFoldersAtCall);
    EXPECT_FALSE(deselector->excludeFoldersAtCall);
    EXPECT_TRUE(deselector->allowAllAtCall);

    ASSERT_FALSE(notifications.empty());
    EXPECT_EQ(notifications.front(), "OnForceFullHashCalculationChangedNotificationName");
    EXPECT_EQ(notifications.back(), "DuplicateItemSelectionChangedNotification");
    const auto position = [&](const std::string& name) {
        return std::find(notifications.begin(), notifications.end(), name) - notifications.begin();
    };
    EXPECT_LT(position("RemoveToTrashSettingChangedNotification"), position("AutoSelectPreferencesChangedNotification"));
}

}  // namespace
