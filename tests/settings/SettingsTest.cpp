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
#include <fstream>
#include <limits>
#include <optional>
#include <sstream>
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

    // Made in SetUp, once the standard store lives in the temporary home.
    std::optional<Settings> settings;
};

struct BoolSetting {
    const char* key;  // spelled out here, independently of the constants
    bool (Settings::*get)() const;
    void (Settings::*set)(bool);
    bool defaultValue;
};

const std::vector<BoolSetting>& boolSettings() {
    static const std::vector<BoolSetting> table = {
        {"us:defineMinimalDuplicatesFileSizeAutomatically", &Settings::defineMinimalDuplicatesFileSizeAutomatically,
         &Settings::setDefineMinimalDuplicatesFileSizeAutomatically, true},
        {"us:defineMinimalDuplicatesFileSizeAsZero", &Settings::defineMinimalDuplicatesFileSizeAsZero,
         &Settings::setDefineMinimalDuplicatesFileSizeAsZero, false},
        {"KEY_scanInHiddenFolders", &Settings::scanInHiddenFolders, &Settings::setScanInHiddenFolders, false},
        {"KEY_forceFullHashCalculation", &Settings::forceFullHashCalculation, &Settings::setForceFullHashCalculation,
         false},
        {"KEY_showOverviewAfterScanning", &Settings::showOverviewAfterScanning,
         &Settings::setShowOverviewAfterScanning, true},
        {"KEY_moveCleanedDuplicatesToTheTrashCan", &Settings::moveCleanedDuplicatesToTheTrashCan,
         &Settings::setMoveCleanedDuplicatesToTheTrashCan, true},
        {"KEY_allowRemovingAllDuplicateCopies", &Settings::allowRemovingAllDuplicateCopies,
         &Settings::setAllowRemovingAllDuplicateCopies, false},
        {"KEY_removeEmptyFolders", &Settings::removeEmptyFolders, &Settings::setRemoveEmptyFolders, false},
        {"Log Removed Duplicates", &Settings::logRemovedDuplicates, &Settings::setLogRemovedDuplicates, true},
        {"KEY_showRemoveLastInCategoriesMessage", &Settings::showRemoveLastInCategoriesMessage,
         &Settings::setShowRemoveLastInCategoriesMessage, true},
        {"KEY_showRemoveLastInHeapsMessage", &Settings::showRemoveLastInHeapsMessage,
         &Settings::setShowRemoveLastInHeapsMessage, true},
        {"KEY_showNewScanMessage", &Settings::showNewScanMessage, &Settings::setShowNewScanMessage, true},
        {"KEY_showRemovePermanentlyItemsOnRemoteDisksMessage", &Settings::showRemovePermanentlyItemsOnRemoteDisksMessage,
         &Settings::setShowRemovePermanentlyItemsOnRemoteDisksMessage, true},
        {"KEY_showRemovePermanentlyMessage", &Settings::showRemovePermanentlyMessage,
         &Settings::setShowRemovePermanentlyMessage, true},
        {"KEY_showRestartScanMessage", &Settings::showRestartScanMessage, &Settings::setShowRestartScanMessage, true},
        {"KEY_showAutoSelectMessage", &Settings::showAutoSelectMessage, &Settings::setShowAutoSelectMessage, true},
        {"Show Alert That\xC2\xA0" "Auto Select Did Not Change Selection",
         &Settings::showAlertThatAutoSelectDidNotChangeSelection,
         &Settings::setShowAlertThatAutoSelectDidNotChangeSelection, true},
        {"Show Alert That\xC2\xA0" "Auto Select Did Not Change Selection Because Never Select List",
         &Settings::showAlertThatAutoSelectDidNotChangeSelectionBecauseNeverSelectList,
         &Settings::setShowAlertThatAutoSelectDidNotChangeSelectionBecauseNeverSelectList, true},
        {"Show Alert That\xC2\xA0" "Duplicate Folder Selected in Select In Folder Dialog",
         &Settings::showAlertThatDuplicateFolderSelectedInSelectInFolderDialog,
         &Settings::setShowAlertThatDuplicateFolderSelectedInSelectInFolderDialog, true},
        {"SelectInFolder.IsNeedToShowInfoPanel", &Settings::selectInFolderIsNeedToShowInfoPanel,
         &Settings::setSelectInFolderIsNeedToShowInfoPanel, true},
        {"KEY_MERGE_DIALOGUE_EXPAND_OPTIONS", &Settings::mergeDialogueExpandOptions,
         &Settings::setMergeDialogueExpandOptions, true},
        {"KEY_MERGE_DIALOGUE_MOVE_MERGED_FILES", &Settings::mergeDialogueMoveMergedFiles,
         &Settings::setMergeDialogueMoveMergedFiles, false},
        {"KEY_MERGE_DIALOGUE_NEED_MERGE_DUPLICATES_WITH_DIFFERENT_NAMES",
         &Settings::mergeDialogueNeedMergeDuplicatesWithDifferentNames,
         &Settings::setMergeDialogueNeedMergeDuplicatesWithDifferentNames, true},
    };
    return table;
}

// The message flags that the alert restore turns back on (the select-in-folder one is removed instead).
const Strings kMessageKeys = {
    "KEY_showRemoveLastInCategoriesMessage",
    "KEY_showRemoveLastInHeapsMessage",
    "KEY_showNewScanMessage",
    "KEY_showRemovePermanentlyItemsOnRemoteDisksMessage",
    "KEY_showRemovePermanentlyMessage",
    "KEY_showRestartScanMessage",
    "KEY_showAutoSelectMessage",
    "Show Alert That\xC2\xA0" "Auto Select Did Not Change Selection",
    "Show Alert That\xC2\xA0" "Auto Select Did Not Change Selection Because Never Select List",
};

TEST_F(SettingsTest, AnEmptyStoreGivesEveryDefaultAndReadingWritesNothing) {
    for (const auto& s : boolSettings()) EXPECT_EQ(((*settings).*s.get)(), s.defaultValue) << s.key;
    EXPECT_TRUE(settings->excludeTimeMachineBackups());
    EXPECT_TRUE(settings->skipVolumeSystemFolders());

    EXPECT_EQ(settings->minDuplicatesFileSize(), 1048576u);
    EXPECT_EQ(settings->hashBlockSize(), 8192u);
    EXPECT_EQ(settings->sortType(), 0);
    EXPECT_EQ(settings->sortDirection(), 1);
    EXPECT_EQ(settings->selectInFolderDividerPosition(), 1.0f);
    EXPECT_EQ(settings->selectInFolderDividerPreviewPosition(), 0.0f);
    EXPECT_EQ(settings->lastOpenedFolderToScan(), std::nullopt);
    EXPECT_EQ(settings->selectedFilesPresentation(), 0);
    EXPECT_EQ(settings->selectedFilesSortType(), 1);
    EXPECT_EQ(settings->folderSplitState(), 0);
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

TEST_F(SettingsTest, EveryBooleanIsWrittenAsAJsonBooleanUnderItsExactKey) {
    for (const auto& s : boolSettings()) {
        ((*settings).*s.set)(!s.defaultValue);
        EXPECT_EQ(((*settings).*s.get)(), !s.defaultValue) << s.key;
        const auto disk = onDisk(s.key);
        ASSERT_TRUE(disk.has_value()) << s.key;
        EXPECT_EQ(*disk, json(!s.defaultValue)) << s.key;
    }
    EXPECT_EQ(store()->keys().size(), boolSettings().size());  // no setter wrote a second key

    // The two settings without a setter still follow the store.
    store()->setObject("Exclude Time Machine Backups", false);
    store()->setObject("Skip Volume System Folders", 0);
    EXPECT_FALSE(settings->excludeTimeMachineBackups());
    EXPECT_FALSE(settings->skipVolumeSystemFolders());
}

TEST_F(SettingsTest, NumbersStringsAndFloatsRoundTripThroughTheFile) {
    const std::uint64_t big = std::numeric_limits<std::uint64_t>::max() - 1;
    settings->setMinDuplicatesFileSize(big);
    settings->setHashBlockSize(65536);
    settings->setSortType(-3);
    settings->setSortDirection(0);
    settings->setSelectInFolderDividerPosition(0.25f);
    settings->setSelectInFolderDividerPreviewPosition(-1.5f);
    settings->setLastOpenedFolderToScan("/data/photos \xC2\xA0odd");

    EXPECT_TRUE(onDisk("us:minDuplicatesFileSize")->is_number_unsigned());
    EXPECT_EQ(onDisk("us:minDuplicatesFileSize")->get<std::uint64_t>(), big);
    EXPECT_EQ(*onDisk("s:hashBlockSize"), json(65536));
    EXPECT_EQ(*onDisk("KEY_sortType"), json(-3));
    EXPECT_EQ(*onDisk("KEY_sortDirection"), json(0));
    EXPECT_DOUBLE_EQ(onDisk("SelectInFolder.DividerPosition")->get<double>(), 0.25);

    PreferencesStore::reopenStandard();
    Settings reread = Settings::standard();
    EXPECT_EQ(reread.minDuplicatesFileSize(), big);
    EXPECT_EQ(reread.hashBlockSize(), 65536u);
    EXPECT_EQ(reread.sortType(), -3);
    EXPECT_EQ(reread.sortDirection(), 0);
    EXPECT_EQ(reread.selectInFolderDividerPosition(), 0.25f);
    EXPECT_EQ(reread.selectInFolderDividerPreviewPosition(), -1.5f);
    EXPECT_EQ(reread.lastOpenedFolderToScan(), "/data/photos \xC2\xA0odd");

    reread.setLastOpenedFolderToScan(std::nullopt);
    EXPECT_FALSE(onDisk("Last opened folder to scan").has_value());
}

TEST_F(SettingsTest, WrongTypedStoredValuesReadAsTheirDefaults) {
    auto s = store();
    // Booleans: a JSON boolean or a number counts; anything else is the default.
    s->setObject("Log Removed Duplicates", "false");
    s->setObject("KEY_removeEmptyFolders", "yes");
    s->setObject("KEY_scanInHiddenFolders", 2);
    s->setObject("KEY_showNewScanMessage", 0.0);
    s->setObject("KEY_showRestartScanMessage", nullptr);
    s->setObject("KEY_allowRemovingAllDuplicateCopies", json::array({true}));
    EXPECT_TRUE(settings->logRemovedDuplicates());
    EXPECT_FALSE(settings->removeEmptyFolders());
    EXPECT_TRUE(settings->scanInHiddenFolders());
    EXPECT_FALSE(settings->showNewScanMessage());
    EXPECT_TRUE(settings->showRestartScanMessage());
    EXPECT_FALSE(settings->allowRemovingAllDuplicateCopies());

    // Unsigned numbers: fractions truncate; negative, too large or not a number is the default.
    s->setObject("us:minDuplicatesFileSize", "123");
    EXPECT_EQ(settings->minDuplicatesFileSize(), 1048576u);
    s->setObject("us:minDuplicatesFileSize", -5);
    EXPECT_EQ(settings->minDuplicatesFileSize(), 1048576u);
    s->setObject("us:minDuplicatesFileSize", 1e30);
    EXPECT_EQ(settings->minDuplicatesFileSize(), 1048576u);
    s->setObject("us:minDuplicatesFileSize", true);
    EXPECT_EQ(settings->minDuplicatesFileSize(), 1048576u);
    s->setObject("us:minDuplicatesFileSize", 4096.9);
    EXPECT_EQ(settings->minDuplicatesFileSize(), 4096u);
    s->setObject("s:hashBlockSize", 0);
    EXPECT_EQ(settings->hashBlockSize(), 0u);

    // 32-bit integers keep their own range.
    s->setObject("KEY_sortType", std::int64_t{1} << 40);
    EXPECT_EQ(settings->sortType(), 0);
    s->setObject("KEY_sortDirection", "1");
    EXPECT_EQ(settings->sortDirection(), 1);
    s->setObject("KEY_sortDirection", -7);
    EXPECT_EQ(settings->sortDirection(), -7);

    // Floats accept any number.
    s->setObject("SelectInFolder.DividerPosition", "0.5");
    EXPECT_EQ(settings->selectInFolderDividerPosition(), 1.0f);
    s->setObject("SelectInFolder.DividerPreviewPosition", 3);
    EXPECT_EQ(settings->selectInFolderDividerPreviewPosition(), 3.0f);
    s->setObject("SelectInFolder.DividerPreviewPosition", 1e300);
    EXPECT_EQ(settings->selectInFolderDividerPreviewPosition(), 0.0f);

    // A string key holding something else has no value.
    s->setObject("Last opened folder to scan", 42);
    EXPECT_EQ(settings->lastOpenedFolderToScan(), std::nullopt);

    // Lists: a non-list is the default list; non-string members are skipped;
    // an empty list is kept as it is.
    s->setObject("KEY_exclude_folders", 17);
    EXPECT_EQ(settings->excludeFolders(), Settings::createDefaultExcludeFoldersArray());
    s->setObject("KEY_exclude_files", json::array({"/a", 3, nullptr, "/b", json::array({"/c"})}));
    EXPECT_EQ(settings->excludeFiles(), (Strings{"/a", "/b"}));
    s->setObject("KEY_exclude_extensions", json::array());
    EXPECT_TRUE(settings->excludeExtensions().empty());
}

TEST_F(SettingsTest, DefaultListsFollowTheCurrentHomeAndNoListRestoresThem) {
    settings->setExcludeFolders(Strings{"/mine"});
    EXPECT_EQ(settings->excludeFolders(), Strings{"/mine"});
    EXPECT_EQ(*onDisk("KEY_exclude_folders"), json::array({"/mine"}));

    settings->setExcludeFolders(std::nullopt);
    EXPECT_FALSE(stored("KEY_exclude_folders"));
    ::setenv("HOME", "/elsewhere/someone", 1);
    EXPECT_EQ(settings->excludeFolders(), (Strings{"/System", "/Library", "/elsewhere/someone/Library"}));
    EXPECT_EQ(settings->autoAlwaysSelectFolders(), Strings{"/elsewhere/someone/Downloads"});
}

TEST_F(SettingsTest, EnumeratedStringSettingsMapTextsToNumbers) {
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
    store()->setObject("Selected Files Sort Type", "Size. Small to Large");
    EXPECT_EQ(settings->selectedFilesSortType(), 4);
    store()->setObject("Selected Files Sort Type", "size");
    EXPECT_EQ(settings->selectedFilesSortType(), 1);
    store()->setObject("Selected Files Sort Type", 4);
    EXPECT_EQ(settings->selectedFilesSortType(), 1);

    const Strings presentations = {"outline", "folders", "plain"};
    for (int i = 0; i < 3; ++i) {
        settings->setSelectedFilesPresentation(i);
        EXPECT_EQ(*onDisk("Selected Files Presentation"), json(presentations[i]));
        EXPECT_EQ(settings->selectedFilesPresentation(), i);
    }
    store()->setObject("Selected Files Presentation", "Plain");
    EXPECT_EQ(settings->selectedFilesPresentation(), 0);

    const Strings splits = {"folder preview", "folder preview and folder content", "folder content"};
    for (int i = 0; i < 3; ++i) {
        settings->setFolderSplitState(i);
        EXPECT_EQ(*onDisk("KEY_folderSplitState"), json(splits[i]));
        EXPECT_EQ(settings->folderSplitState(), i);
    }
    settings->setFolderSplitState(5);
    EXPECT_EQ(settings->folderSplitState(), 0);
    store()->setObject("KEY_folderSplitState", 1);
    EXPECT_EQ(settings->folderSplitState(), 0);
}

TEST_F(SettingsTest, AlertKeysUseANoBreakSpaceAfterThat) {
    for (const char* key : {Settings::kKeyShowAlertThatAutoSelectDidNotChangeSelection,
                            Settings::kKeyShowAlertThatAutoSelectDidNotChangeSelectionBecauseNeverSelectList,
                            Settings::kKeyShowAlertThatDuplicateFolderSelectedInSelectInFolderDialog}) {
        const std::string k = key;
        EXPECT_EQ(k.rfind("Show Alert That\xC2\xA0", 0), 0u) << k;
        EXPECT_EQ(k.find("That "), std::string::npos) << k;
    }
    // A value under the look-alike key with an ordinary space is someone else's.
    store()->setObject("Show Alert That Auto Select Did Not Change Selection", false);
    EXPECT_TRUE(settings->showAlertThatAutoSelectDidNotChangeSelection());

    settings->setShowAlertThatDuplicateFolderSelectedInSelectInFolderDialog(false);
    std::ifstream in(kestrane::platform::preferencesFilePath(), std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_NE(text.str().find("\"Show Alert That\xC2\xA0" "Duplicate Folder Selected in Select In Folder Dialog\": false"),
              std::string::npos)
        << text.str();
}

TEST_F(SettingsTest, TypedExtensionsAreNormalized) {
    EXPECT_EQ(Settings::normalizedExtensionEntry("jpg"), ".jpg");
    EXPECT_EQ(Settings::normalizedExtensionEntry(".JPG"), ".JPG");
    EXPECT_EQ(Settings::normalizedExtensionEntry("..tar.gz"), ".targz");
    EXPECT_EQ(Settings::normalizedExtensionEntry(" a:b/c "), ".abc");
    EXPECT_EQ(Settings::normalizedExtensionEntry("x"), ".x");
    EXPECT_EQ(Settings::normalizedExtensionEntry(""), std::nullopt);
    EXPECT_EQ(Settings::normalizedExtensionEntry("."), std::nullopt);
    EXPECT_EQ(Settings::normalizedExtensionEntry(" :/. "), std::nullopt);
}

TEST_F(SettingsTest, MinimalSizeSliderMapsBreakpointsAndRoundTrips) {
    EXPECT_EQ(Settings::minimalSizeForSliderValue(0.0f), 0u);
    EXPECT_EQ(Settings::minimalSizeForSliderValue(33.333332f), 1000000u);
    EXPECT_EQ(Settings::minimalSizeForSliderValue(66.666664f), 10000000u);
    EXPECT_EQ(Settings::minimalSizeForSliderValue(100.0f), 200000000u);
    EXPECT_NEAR(static_cast<double>(Settings::minimalSizeForSliderValue(50.0f)), 5500000.0, 2.0);
    EXPECT_NEAR(static_cast<double>(Settings::minimalSizeForSliderValue(83.333336f)), 105000000.0, 128.0);  // single precision
    EXPECT_EQ(Settings::minimalSizeForSliderValue(-4.0f), 0u);
    EXPECT_EQ(Settings::minimalSizeForSliderValue(250.0f), 200000000u);
    EXPECT_EQ(Settings::minimalSizeForSliderValue(std::nanf("")), 0u);

    EXPECT_EQ(Settings::sliderValueForMinimalSize(0), 0.0f);
    EXPECT_EQ(Settings::sliderValueForMinimalSize(1000000), 33.333332f);
    EXPECT_EQ(Settings::sliderValueForMinimalSize(10000000), 66.666664f);
    EXPECT_EQ(Settings::sliderValueForMinimalSize(200000000), 100.0f);
    EXPECT_EQ(Settings::sliderValueForMinimalSize(5000000000ull), 100.0f);
    EXPECT_NEAR(Settings::sliderValueForMinimalSize(1048576), 33.513245f, 1e-4f);

    for (float v = 0.0f; v <= 100.0f; v += 0.25f)
        EXPECT_NEAR(Settings::sliderValueForMinimalSize(Settings::minimalSizeForSliderValue(v)), v, 1e-4f) << v;
    for (std::uint64_t bytes : {1ull, 999999ull, 1000001ull, 1048576ull, 9999999ull, 123456789ull}) {
        const auto back = Settings::minimalSizeForSliderValue(Settings::sliderValueForMinimalSize(bytes));
        EXPECT_NEAR(static_cast<double>(back), static_cast<double>(bytes), static_cast<double>(bytes) * 1e-6 + 1.0);
    }
}

TEST_F(SettingsTest, RecentFoldersKeepTenMostRecentFirst) {
    for (int i = 1; i <= 11; ++i) settings->addRecentFolder("/f" + std::to_string(i));
    Strings expected;
    for (int i = 11; i >= 2; --i) expected.push_back("/f" + std::to_string(i));
    EXPECT_EQ(settings->lastTenFolders(), expected);

    settings->addRecentFolder("/f5");
    const Strings afterReAdd = settings->lastTenFolders();
    ASSERT_EQ(afterReAdd.size(), 10u);
    EXPECT_EQ(afterReAdd.front(), "/f5");
    EXPECT_EQ(std::count(afterReAdd.begin(), afterReAdd.end(), "/f5"), 1);
    EXPECT_EQ(afterReAdd[1], "/f11");
    EXPECT_EQ(afterReAdd.back(), "/f2");  // nothing else dropped

    // Paths compare exactly: another case is another folder.
    settings->addRecentFolder("/F5");
    EXPECT_EQ(settings->lastTenFolders()[1], "/f5");

    settings->clearRecentFolders();
    EXPECT_TRUE(settings->lastTenFolders().empty());
    EXPECT_EQ(*onDisk("KEY_last_ten_folders"), json::array());
}

TEST_F(SettingsTest, TransientFullHashStateInvertsTheStoredSettingWithoutStoringAnything) {
    EXPECT_FALSE(Settings::actualStateOfFullHashCalculation());
    const auto keysBefore = store()->keys();

    settings->setActualStateOfFullHashCalculation(true);
    EXPECT_TRUE(Settings::actualStateOfFullHashCalculation());
    EXPECT_TRUE(settings->actualFullHashCalculationState());
    EXPECT_FALSE(settings->forceFullHashCalculation());
    EXPECT_TRUE(Settings::userRevertedForceFullHashCalculation());
    EXPECT_EQ(store()->keys(), keysBefore);

    // The flag inverts whatever is stored, also after the stored value changes.
    settings->setForceFullHashCalculation(true);
    EXPECT_FALSE(Settings::actualStateOfFullHashCalculation());
    settings->setActualStateOfFullHashCalculation(true);
    EXPECT_FALSE(Settings::userRevertedForceFullHashCalculation());
    EXPECT_TRUE(Settings::actualStateOfFullHashCalculation());

    Settings::setUserRevertedForceFullHashCalculation(true);
    EXPECT_FALSE(Settings::actualStateOfFullHashCalculation());
    EXPECT_TRUE(settings->forceFullHashCalculation());
}

TEST_F(SettingsTest, SettersPostTheirChangeNotificationsWithoutObject) {
    struct Case {
        void (Settings::*set)(bool);
        std::string notification;  // empty: none
    };
    const std::vector<Case> cases = {
        {&Settings::setForceFullHashCalculation, "OnForceFullHashCalculationChangedNotificationName"},
        {&Settings::setMoveCleanedDuplicatesToTheTrashCan, "RemoveToTrashSettingChangedNotification"},
        {&Settings::setAllowRemovingAllDuplicateCopies, "OnAllowRemovingAllDuplicateCopiesChangedNotification"},
        {&Settings::setLogRemovedDuplicates, "OnLogRemovedDuplicatesChangedNotification"},
        {&Settings::setShowAutoSelectMessage, "AutoSelectPreferencesChangedNotification"},
        {&Settings::setShowAlertThatAutoSelectDidNotChangeSelection, "AutoSelectPreferencesChangedNotification"},
        {&Settings::setShowAlertThatAutoSelectDidNotChangeSelectionBecauseNeverSelectList,
         "AutoSelectPreferencesChangedNotification"},
        {&Settings::setRemoveEmptyFolders, ""},
        {&Settings::setScanInHiddenFolders, ""},
        {&Settings::setShowRemovePermanentlyMessage, ""},
        {&Settings::setShowAlertThatDuplicateFolderSelectedInSelectInFolderDialog, ""},
    };
    for (const auto& c : cases) {
        NotificationRecorder recorder;
        ((*settings).*c.set)(true);
        const Strings expected = c.notification.empty() ? Strings{} : Strings{c.notification};
        EXPECT_EQ(recorder.names, expected) << c.notification;
        EXPECT_FALSE(recorder.postedWithObject);
    }
}

TEST_F(SettingsTest, RestoreDefaultsScanTouchesOnlyTheScanGroup) {
    settings->setForceFullHashCalculation(true);
    settings->setScanInHiddenFolders(true);
    settings->setDefineMinimalDuplicatesFileSizeAutomatically(false);
    settings->setDefineMinimalDuplicatesFileSizeAsZero(true);
    settings->setMinDuplicatesFileSize(5);
    settings->setHashBlockSize(4096);
    settings->setExcludeFolders(Strings{"/x"});

    NotificationRecorder recorder;
    settings->restoreDefaultsScan();
    EXPECT_EQ(recorder.names, Strings{"OnForceFullHashCalculationChangedNotificationName"});
    EXPECT_FALSE(settings->forceFullHashCalculation());
    EXPECT_FALSE(settings->scanInHiddenFolders());
    EXPECT_FALSE(stored("us:defineMinimalDuplicatesFileSizeAutomatically"));
    EXPECT_FALSE(stored("us:defineMinimalDuplicatesFileSizeAsZero"));
    EXPECT_FALSE(stored("us:minDuplicatesFileSize"));
    EXPECT_TRUE(settings->defineMinimalDuplicatesFileSizeAutomatically());
    EXPECT_EQ(settings->minDuplicatesFileSize(), 1048576u);
    EXPECT_EQ(settings->hashBlockSize(), 4096u);
    EXPECT_EQ(settings->excludeFolders(), Strings{"/x"});
}

TEST_F(SettingsTest, EachListRestoreRemovesOnlyItsOwnKey) {
    const std::vector<std::pair<std::string, void (Settings::*)()>> restores = {
        {"KEY_exclude_folders", &Settings::restoreDefaultExcludeFolders},
        {"KEY_exclude_files", &Settings::restoreDefaultExcludeFiles},
        {"KEY_exclude_extensions", &Settings::restoreDefaultExcludeExtensions},
        {"KEY_autoAlwaysSelect_folders", &Settings::restoreDefaultAutoAlwaysSelectFolders},
        {"KEY_autoNeverSelect_folders", &Settings::restoreDefaultAutoNeverSelectFolders},
    };
    for (const auto& [key, restore] : restores) {
        for (const auto& other : restores) settings->saveArrayValue(Strings{"/custom"}, other.first);
        ((*settings).*restore)();
        for (const auto& other : restores) EXPECT_EQ(stored(other.first), other.first != key) << key;
    }
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

TEST_F(SettingsTest, RestoreRemoveDefaultsDeselectsFullGroupsBeforeForbiddingThem) {
    settings->setMoveCleanedDuplicatesToTheTrashCan(false);
    settings->setAllowRemovingAllDuplicateCopies(true);
    settings->setRemoveEmptyFolders(true);
    settings->setLogRemovedDuplicates(false);
    for (const auto& key : kMessageKeys) settings->saveBoolValue(false, key);

    auto deselector = std::make_shared<RecordingDeselector>(*settings);
    Settings::setFullySelectedGroupsDeselector(deselector);
    NotificationRecorder recorder;
    settings->restoreRemoveDefaults();

    EXPECT_EQ(deselector->calls, 1);
    EXPECT_TRUE(deselector->allowAllAtCall);
    EXPECT_TRUE(settings->moveCleanedDuplicatesToTheTrashCan());
    EXPECT_FALSE(settings->allowRemovingAllDuplicateCopies());
    EXPECT_FALSE(settings->removeEmptyFolders());
    EXPECT_TRUE(settings->logRemovedDuplicates());
    EXPECT_TRUE(settings->showRemoveLastInCategoriesMessage());
    EXPECT_TRUE(settings->showRemoveLastInHeapsMessage());
    EXPECT_TRUE(settings->showRemovePermanentlyItemsOnRemoteDisksMessage());
    EXPECT_TRUE(settings->showRemovePermanentlyMessage());
    // Messages outside the removal group stay as they were.
    EXPECT_FALSE(settings->showNewScanMessage());
    EXPECT_FALSE(settings->showRestartScanMessage());
    EXPECT_FALSE(settings->showAutoSelectMessage());
    EXPECT_EQ(recorder.names, (Strings{"RemoveToTrashSettingChangedNotification",
                                       "OnAllowRemovingAllDuplicateCopiesChangedNotification",
                                       "OnLogRemovedDuplicatesChangedNotification"}));

    // A holder that is gone is not called.
    std::weak_ptr<RecordingDeselector> gone = deselector;
    deselector.reset();
    EXPECT_TRUE(gone.expired());
    settings->setAllowRemovingAllDuplicateCopies(true);
    settings->restoreRemoveDefaults();
    EXPECT_FALSE(settings->allowRemovingAllDuplicateCopies());
}

TEST_F(SettingsTest, RestoreDefaultsForAlertWindowsTurnsEveryMessageBackOn) {
    for (const auto& key : kMessageKeys) settings->saveBoolValue(false, key);
    settings->setShowAlertThatDuplicateFolderSelectedInSelectInFolderDialog(false);
    settings->setShowOverviewAfterScanning(false);

    NotificationRecorder recorder;
    settings->restoreDefaultsForAlertWindows();
    for (const auto& key : kMessageKeys) EXPECT_EQ(store()->object(key), json(true)) << key;
    EXPECT_FALSE(stored("Show Alert That\xC2\xA0" "Duplicate Folder Selected in Select In Folder Dialog"));
    EXPECT_TRUE(settings->showAlertThatDuplicateFolderSelectedInSelectInFolderDialog());
    EXPECT_FALSE(settings->showOverviewAfterScanning());
    EXPECT_EQ(recorder.names, Strings{"AutoSelectPreferencesChangedNotification"});
}

TEST_F(SettingsTest, RestoreDefaultsForAllSettingsRunsEveryGroupInOrder) {
    for (const auto& s : boolSettings()) ((*settings).*s.set)(!s.defaultValue);
    settings->setMinDuplicatesFileSize(3);
    for (const char* key : {"KEY_exclude_folders", "KEY_exclude_files", "KEY_exclude_extensions",
                            "KEY_autoAlwaysSelect_folders", "KEY_autoNeverSelect_folders"})
        settings->saveArrayValue(Strings{"/custom"}, key);
    settings->setSortType(4);
    settings->addRecentFolder("/recent");
    settings->setLastOpenedFolderToScan("/opened");
    settings->setSelectedFilesSortType(3);

    auto deselector = std::make_shared<RecordingDeselector>(*settings);
    Settings::setFullySelectedGroupsDeselector(deselector);
    NotificationRecorder recorder;
    settings->restoreDefaultsForAllSettings();

    // The deselection comes after the scan and list groups, before the removal flags.
    EXPECT_EQ(deselector->calls, 1);
    EXPECT_FALSE(deselector->hiddenFoldersAtCall);
    EXPECT_FALSE(deselector->excludeFoldersAtCall);
    EXPECT_TRUE(deselector->allowAllAtCall);

    ASSERT_FALSE(recorder.names.empty());
    EXPECT_EQ(recorder.names.front(), "OnForceFullHashCalculationChangedNotificationName");
    EXPECT_EQ(recorder.names.back(), "DuplicateItemSelectionChangedNotification");
    const auto position = [&](const std::string& name) {
        return std::find(recorder.names.begin(), recorder.names.end(), name) - recorder.names.begin();
    };
    EXPECT_LT(position("RemoveToTrashSettingChangedNotification"),
              position("AutoSelectPreferencesChangedNotification"));
    EXPECT_LT(position("AutoSelectPreferencesChangedNotification"),
              position("DuplicateItemSelectionChangedNotification"));

    // Every restored group is back at its defaults ...
    for (const auto& key : kMessageKeys) EXPECT_EQ(store()->object(key), json(true)) << key;
    EXPECT_FALSE(settings->forceFullHashCalculation());
    EXPECT_FALSE(settings->scanInHiddenFolders());
    EXPECT_TRUE(settings->defineMinimalDuplicatesFileSizeAutomatically());
    EXPECT_FALSE(settings->defineMinimalDuplicatesFileSizeAsZero());
    EXPECT_EQ(settings->minDuplicatesFileSize(), 1048576u);
    EXPECT_EQ(settings->excludeFolders(), Settings::createDefaultExcludeFoldersArray());
    EXPECT_EQ(settings->excludeFiles(), Settings::createDefaultExcludeFilesArray());
    EXPECT_EQ(settings->excludeExtensions(), Settings::createDefaultExcludeExtensionsArray());
    EXPECT_EQ(settings->autoAlwaysSelectFolders(), Settings::createDefaultAutoSelectFoldersArray());
    EXPECT_EQ(settings->autoNeverSelectFolders(), Settings::createDefaultNeverSelectFoldersArray());
    EXPECT_TRUE(settings->moveCleanedDuplicatesToTheTrashCan());
    EXPECT_FALSE(settings->allowRemovingAllDuplicateCopies());
    EXPECT_FALSE(settings->removeEmptyFolders());
    EXPECT_TRUE(settings->logRemovedDuplicates());
    EXPECT_TRUE(settings->showAlertThatDuplicateFolderSelectedInSelectInFolderDialog());
    EXPECT_TRUE(settings->showOverviewAfterScanning());

    // ... and what no group covers is left alone.
    EXPECT_EQ(settings->sortType(), 4);
    EXPECT_EQ(settings->lastTenFolders(), Strings{"/recent"});
    EXPECT_EQ(settings->lastOpenedFolderToScan(), "/opened");
    EXPECT_EQ(settings->selectedFilesSortType(), 3);
    EXPECT_FALSE(settings->selectInFolderIsNeedToShowInfoPanel());
    EXPECT_FALSE(settings->mergeDialogueExpandOptions());
    EXPECT_TRUE(settings->mergeDialogueMoveMergedFiles());
}

}  // namespace
