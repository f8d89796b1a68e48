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

const std::uint64_t kBig = std::numeric_limits<std::int64_t>::max();
const std::string kNbsp = "\xC2\xA0";

// A value the setting admits that is not its default (`value` is the default).
json otherThan(const Settings::Definition& setting, const json& value) {
    switch (setting.type) {
    case Settings::Type::boolean: return !value.get<bool>();
    case Settings::Type::size: return value.get<std::uint64_t>() + setting.sizes.step;
    case Settings::Type::path: return "/data/photos " + kNbsp + "odd";
    case Settings::Type::paths: return json::array({"/mine", "/m\xC3\xADne"});
    case Settings::Type::extensions: return json::array({".iso"});
    case Settings::Type::choice: return std::string(setting.choices.back());
    }
    return nullptr;
}

TEST_F(SettingsTest, EveryPreferenceOfTheTableKeepsItsOwnKeyWithItsNoticeAndSurvivesAReopen) {
    std::set<std::string> keys;
    std::map<std::string, json> written;
    for (const auto& d : Settings::definitions()) {
        EXPECT_TRUE(keys.insert(d.key).second) << "two rows share " << d.key;
        EXPECT_EQ(Settings::definition(d.key), &d) << d.key;
        // An empty store: the default, one the setting admits, and reading writes nothing.
        const json defaultValue = settings->valueOf(d);
        EXPECT_FALSE(stored(d.key)) << d.key;
        if (d.type == Settings::Type::size) {
            EXPECT_TRUE(d.sizes.contains(defaultValue.get<std::uint64_t>())) << d.key;
        } else if (d.type == Settings::Type::paths && d.maxEntries > 0) {
            EXPECT_LE(defaultValue.size(), d.maxEntries) << d.key;
        }
        const json value = otherThan(d, defaultValue);
        NotificationRecorder recorder;
        settings->setValueOf(d, value);
        written[d.key] = value;
        // What a later run reads: this key, in the form of its type.
        EXPECT_EQ(onDisk(d.key), std::optional<json>(value)) << d.key;
        EXPECT_EQ(recorder.names, d.notification ? Strings{d.notification} : Strings{}) << d.key;
        EXPECT_FALSE(recorder.postedWithObject);
    }
    EXPECT_EQ(store()->keys().size(), Settings::definitions().size());  // nothing wrote a second key
    EXPECT_TRUE(onDisk(Settings::kKeyMinDuplicatesFileSize)->is_number_unsigned());

    PreferencesStore::reopenStandard();
    Settings reread = Settings::standard();
    for (const auto& d : Settings::definitions()) EXPECT_EQ(reread.valueOf(d), written[d.key]) << d.key;
    // No value removes the key, and the default applies again.
    reread.setValueOf(*Settings::definition(Settings::kKeyExcludeFiles), nullptr);
    EXPECT_FALSE(onDisk(Settings::kKeyExcludeFiles).has_value());
    EXPECT_EQ(reread.excludeFiles(), Settings::createDefaultExcludeFilesArray());
}

TEST_F(SettingsTest, TypedAccessorsReadAndWriteTheirOwnRow) {
    // One of each kind: a flag with a notice, a size, a read-only flag, a
    // list with a default, a path that can be unset.
    settings->setForceFullHashCalculation(true);
    settings->setMinDuplicatesFileSize(4096);
    settings->setExcludeFolders(Strings{"/x"});
    settings->setLastOpenedFolderToScan("/photos");
    EXPECT_EQ(onDisk(Settings::kKeyForceFullHashCalculation), json(true));
    EXPECT_EQ(onDisk(Settings::kKeyMinDuplicatesFileSize), json(4096));
    EXPECT_EQ(onDisk(Settings::kKeyExcludeFolders), json(Strings{"/x"}));
    EXPECT_EQ(onDisk(Settings::kKeyLastOpenedFolderToScan), json("/photos"));
    EXPECT_TRUE(settings->forceFullHashCalculation());
    EXPECT_EQ(settings->minDuplicatesFileSize(), 4096u);
    EXPECT_EQ(settings->excludeFolders(), Strings{"/x"});
    EXPECT_EQ(settings->lastOpenedFolderToScan(), std::optional<std::string>("/photos"));
    EXPECT_TRUE(with(Settings::kKeySkipVolumeSystemFolders, true).skipVolumeSystemFolders());
    EXPECT_FALSE(with(Settings::kKeySkipVolumeSystemFolders, false).skipVolumeSystemFolders());
    EXPECT_EQ(store()->keys().size(), 5u);

    settings->setLastOpenedFolderToScan(std::nullopt);
    settings->setExcludeFolders(std::nullopt);
    EXPECT_FALSE(onDisk(Settings::kKeyLastOpenedFolderToScan).has_value());
    EXPECT_EQ(settings->excludeFolders(), Settings::createDefaultExcludeFoldersArray());
    EXPECT_TRUE(std::filesystem::exists(kestrane::platform::preferencesFilePath()));

    // Default lists are built from the home folder of the moment.
    ::setenv("HOME", "/elsewhere/someone", 1);
    EXPECT_EQ(settings->excludeFiles().front(), "/elsewhere/someone/Pictures/Photo Booth Library");
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
    EXPECT_EQ(with("test:int", std::int64_t{1} << 40).getIntValueForKey("test:int", 0), 0);
    EXPECT_EQ(with("test:int", -7).getIntValueForKey("test:int", 1), -7);
    // Floats accept any number within a float's range.
    EXPECT_EQ(with("test:float", "0.5").getFloatValueForKey("test:float", 1.0f), 1.0f);
    EXPECT_EQ(with("test:float", 3).getFloatValueForKey("test:float", 0.0f), 3.0f);
    EXPECT_EQ(with("test:float", 1e300).getFloatValueForKey("test:float", 0.0f), 0.0f);

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
        {"test:int", std::int64_t{1} << 40, [](const Settings& s) { return json(s.getIntValueForKey("test:int", 0)); },
         0, true},
        {"test:float", 1e300, [](const Settings& s) { return json(s.getFloatValueForKey("test:float", 1.0f)); }, 1.0,
         true},
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
    // The defaults are what an empty store gives.
    const Settings empty(std::make_shared<PreferencesStore>(std::string()));
    for (const auto& [operation, group, notices] : restores) {
        for (const auto& d : Settings::definitions())
            if (d.type != Settings::Type::path && d.key != std::string(Settings::kKeyLastTenFolders))
                settings->setValueOf(d, otherThan(d, empty.valueOf(d)));
        deselector = std::make_shared<RecordingDeselector>(*settings);
        Settings::setFullySelectedGroupsDeselector(deselector);

        NotificationRecorder recorder;
        ((*settings).*operation)();
        for (const auto& d : Settings::definitions()) {
            if (d.type == Settings::Type::path || d.key == std::string(Settings::kKeyLastTenFolders)) continue;
            const json defaultValue = empty.valueOf(d);
            EXPECT_EQ(settings->valueOf(d), group.count(d.key) ? defaultValue : otherThan(d, defaultValue)) << d.key;
            // A list is restored by losing its key.
            EXPECT_TRUE(d.listDefault == nullptr || stored(d.key) != (group.count(d.key) == 1)) << d.key;
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
