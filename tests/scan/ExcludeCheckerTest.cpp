#include "scan/ExcludeChecker.h"

#include "platform/PreferencesStore.h"
#include "scan/ExcludeTreeCheckerByRootNode.h"
#include "scan/FileSystemItem.h"
#include "scan/FolderSystemItem.h"
#include "scan/VolumeSystemItem.h"
#include "settings/Settings.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace kestrane {
namespace {

class ExcludeCheckerTest : public test::IsolatedHomeTest {
protected:
    void SetUp() override {
        IsolatedHomeTest::SetUp();
        m_settings = std::make_unique<Settings>(std::make_shared<platform::PreferencesStore>(m_prefs / "prefs.json"));
        // Start from empty skip lists (the defaults name folders of the real system).
        settings().setExcludeFolders(std::vector<std::string>{});
        settings().setExcludeFiles(std::vector<std::string>{});
        settings().setExcludeExtensions(std::vector<std::string>{});
    }

    Settings& settings() { return *m_settings; }

    // The answer of the tree for a path, reached the way the scan reaches it.
    static bool treeExcludes(const ExcludeChecker& checker, const std::string& path) {
        const auto root = checker.buildTreeChecker();
        const std::size_t slash = path.rfind('/');
        return root->subCheckerByURL(path.substr(0, slash))->checkName(path.substr(slash + 1)) ==
               ExcludeTreeChecker::Excluded;
    }

    test::TempDir m_prefs;
    test::TempDir m_dir;
    std::unique_ptr<Settings> m_settings;
};

TEST_F(ExcludeCheckerTest, SkipListFoldersMustExistFilesNeedNot) {
    const std::string a = m_dir.makeDir("a");
    m_dir.makeDir("ab");
    settings().setExcludeFolders(std::vector<std::string>{m_dir / "missing", a});
    settings().setExcludeFiles(std::vector<std::string>{m_dir / "gone.txt"});
    const ExcludeChecker checker(false, settings());

    EXPECT_FALSE(checker.isPathExcluded(m_dir / "missing"));
    EXPECT_FALSE(checker.isPathExcluded(m_dir / "missing/x.txt"));
    EXPECT_TRUE(checker.isPathExcluded(a));
    EXPECT_TRUE(checker.isPathExcluded(a + "/x.txt"));
    EXPECT_TRUE(checker.isPathExcluded(a + "/deep/er/x.txt"));
    EXPECT_FALSE(checker.isPathExcluded(m_dir / "ab"));
    EXPECT_FALSE(checker.isPathExcluded(m_dir / "ab/x.txt"));
    EXPECT_TRUE(checker.isPathExcluded(m_dir / "gone.txt"));
    EXPECT_FALSE(checker.isPathExcluded(m_dir / "gone.txt.bak"));
    EXPECT_FALSE(checker.isPathExcluded(m_dir.path()));
    EXPECT_FALSE(checker.isPathExcluded(""));

    const auto folder = checker.buildTreeChecker()->subCheckerByURL(m_dir.path());
    EXPECT_EQ(folder->checkName("missing"), ExcludeTreeChecker::NotSet);
    EXPECT_EQ(folder->checkName("a"), ExcludeTreeChecker::Excluded);
    EXPECT_EQ(folder->checkName("gone.txt"), ExcludeTreeChecker::Excluded);
    EXPECT_EQ(folder->checkName("ab"), ExcludeTreeChecker::NotSet);
}

TEST_F(ExcludeCheckerTest, MostSpecificFolderDecidesInBothForms) {
    const std::string a = m_dir.makeDir("a");
    const std::string b = m_dir.makeDir("a/b");
    const std::string d = m_dir.makeDir("a/b/d");
    m_dir.makeDir("a/b/d/e");
    // Given with a trailing "/": the prefix gets no second one.
    settings().setExcludeFolders(std::vector<std::string>{a + "/"});
    ExcludeChecker checker(false, settings());
    checker.addIncludedFolderPaths({b, m_dir / "not-there"});
    checker.addToExcludeFolder(d);

    const std::vector<std::pair<std::string, bool>> cases = {
        {a + "/c.txt", true},      {b, false},           {b + "/c.txt", false}, {b + "/sub/c.txt", false},
        {d, true},                 {d + "/e", true},     {d + "/e/f.txt", true}, {m_dir / "ab", false},
        {m_dir / "a/bb/x", true},  {m_dir / "x", false},
    };
    for (const auto& [path, excluded] : cases) {
        EXPECT_EQ(checker.isPathExcluded(path), excluded) << path;
        EXPECT_EQ(treeExcludes(checker, path), excluded) << "tree: " << path;
    }
}

TEST_F(ExcludeCheckerTest, FolderRegisteredBothWaysCountsAsIncluded) {
    const std::string a = m_dir.makeDir("a");
    const std::string outer = m_dir.makeDir("outer");
    m_dir.makeDir("outer/inner");

    ExcludeChecker excludedFirst(false, settings());
    excludedFirst.addToExcludeFolder(a);
    excludedFirst.addToIncludeFolder(a);
    ExcludeChecker includedFirst(false, settings());
    includedFirst.addToIncludeFolder(a);
    includedFirst.addToExcludeFolder(a);
    for (const ExcludeChecker* checker : {&excludedFirst, &includedFirst}) {
        EXPECT_FALSE(checker->isPathExcluded(a));
        EXPECT_FALSE(checker->isPathExcluded(a + "/x.txt"));
        EXPECT_FALSE(treeExcludes(*checker, a + "/x.txt"));
    }

    // An excluded folder inside an included one stays excluded.
    ExcludeChecker nested(false, settings());
    nested.addToIncludeFolder(outer);
    nested.addToExcludeFolder(outer + "/inner");
    EXPECT_TRUE(nested.isPathExcluded(outer + "/inner/x"));
    EXPECT_FALSE(nested.isPathExcluded(outer + "/x"));
}

TEST_F(ExcludeCheckerTest, ExtensionsExcludeFileItemsOnly) {
    settings().setExcludeExtensions(std::vector<std::string>{".JPG", "*.mp3", "z", "", "ab"});
    const ExcludeChecker checker(false, settings());
    const auto root = VolumeSystemItem::create(m_dir.path(), 0, 0);

    const std::vector<std::pair<std::string, bool>> cases = {
        {"photo.jpg", true},        {"PHOTO.Jpg", true},  {"archive.tar.jpg", true}, {"photo.jpg.txt", false},
        {"song.mp3", false},        {".jpg", false},      {"jpg", false},            {"photo.", false},
        {"letter.z", false},        {"file.b", true},     {"file.ab", false},        {"noextension", false},
    };
    for (const auto& [name, excluded] : cases) {
        FileSystemItem* item = FileSystemItem::createInParent(name, *root, 10, false, 10);
        EXPECT_EQ(checker.isFileItemExcluded(item), excluded) << name;
        // Extensions never mark the item and never reach the path rules or the tree.
        EXPECT_FALSE(item->isCheckedForDuplicates()) << name;
        EXPECT_FALSE(checker.isPathExcluded(item->path())) << name;
        EXPECT_FALSE(treeExcludes(checker, item->path())) << name;
    }
}

TEST_F(ExcludeCheckerTest, FileItemInExcludedPathIsMarkedChecked) {
    m_dir.makeDir("skip");
    settings().setExcludeFolders(std::vector<std::string>{m_dir / "skip"});
    settings().setExcludeFiles(std::vector<std::string>{m_dir / "keep/one.txt"});
    const ExcludeChecker checker(false, settings());

    const auto root = VolumeSystemItem::create(m_dir.path(), 0, 0);
    FolderSystemItem* skip = FolderSystemItem::createInParent("skip", *root, false, false);
    FolderSystemItem* keep = FolderSystemItem::createInParent("keep", *root, false, false);
    FileSystemItem* inSkipped = FileSystemItem::createInParent("a.txt", *skip, 1, false, 1);
    FileSystemItem* listed = FileSystemItem::createInParent("one.txt", *keep, 1, false, 1);
    FileSystemItem* ordinary = FileSystemItem::createInParent("two.txt", *keep, 1, false, 1);

    EXPECT_TRUE(checker.isFileItemExcluded(inSkipped));
    EXPECT_TRUE(inSkipped->isCheckedForDuplicates());
    EXPECT_TRUE(checker.isFileItemExcluded(listed));
    EXPECT_TRUE(listed->isCheckedForDuplicates());
    EXPECT_FALSE(checker.isFileItemExcluded(ordinary));
    EXPECT_FALSE(ordinary->isCheckedForDuplicates());
    EXPECT_TRUE(checker.isFileItemExcluded(nullptr));
}

TEST(ExcludeCheckerNamesTest, ExtensionOfName) {
    EXPECT_EQ(ExcludeChecker::lowercasedExtensionOfName("A.TXT"), "txt");
    EXPECT_EQ(ExcludeChecker::lowercasedExtensionOfName("a.b.C"), "c");
    EXPECT_EQ(ExcludeChecker::lowercasedExtensionOfName(".bashrc"), "");
    EXPECT_EQ(ExcludeChecker::lowercasedExtensionOfName(".config.JSON"), "json");
    EXPECT_EQ(ExcludeChecker::lowercasedExtensionOfName("trailing."), "");
    EXPECT_EQ(ExcludeChecker::lowercasedExtensionOfName("plain"), "");
    // Bytes outside ASCII are kept as they are.
    EXPECT_EQ(ExcludeChecker::lowercasedExtensionOfName("x.\xC3\x89T\xFF"), "\xC3\x89t\xFF");
}

// A fake system: a root volume, volume folders and a home, all in a temporary folder.
class ExcludeCheckerLocationsTest : public ExcludeCheckerTest {
protected:
    void SetUp() override {
        ExcludeCheckerTest::SetUp();
        m_trashName = ".Trash-" + std::to_string(::getuid());
        m_root = m_dir.makeDir("root");
        for (const char* name : {"proc", "sys", "usr", "home/me", "lib64", "lost+found", "Backups.backupdb",
                                 ".Spotlight-V100", "docs", "System Volume Information", "Library"})
            m_dir.makeDir(std::string("root/") + name);
        m_dir.makeDir("root/" + m_trashName + "/files");
        m_dir.makeDir("root/.Trash/1234");
        m_dir.makeDir("Volumes/Disk/.Spotlight-V100");
        m_dir.makeDir("Volumes/Disk/Backups.backupdb");
        m_dir.makeDir("Volumes/Disk/Photos");
        m_dir.makeDir("media/me/USB/$RECYCLE.BIN");
        m_dir.makeDir("media/me/USB/" + m_trashName);
        m_dir.makeDir("media/me/USB/Music");
        m_dir.makeDir("mnt/data/home");
        m_dir.makeDir("mnt/data/snap");
        m_dir.writeFile("mnt/a-file", "x");

        m_dataHome = m_home + "/.local/share";
        m_locations.homeFolder = m_home;
        m_locations.dataHome = m_dataHome;
        m_locations.rootVolumePath = m_root;
        m_locations.volumeContainerFolders = {m_dir / "Volumes", m_dir / "media", m_dir / "media/me",
                                              m_dir / "nowhere", m_dir / "mnt"};
        m_locations.userId = ::getuid();
        m_sandbox.makeDir("home/.Trash");
        m_sandbox.makeDir("home/.local/share/Trash/files");
        m_sandbox.makeDir("home/Library/Calendars");
    }

    std::string m_trashName;
    std::string m_root;
    std::string m_dataHome;
    ExcludeChecker::SystemLocations m_locations;
};

TEST_F(ExcludeCheckerLocationsTest, ScanExcludesSystemLocationsThatExist) {
    const ExcludeChecker checker(true, settings(), m_locations);
    const std::vector<std::pair<std::string, bool>> cases = {
        {m_root + "/proc/1/status", true},
        {m_root + "/sys", true},
        {m_root + "/usr/bin/ls", true},
        {m_root + "/lib64/x.so", true},
        {m_root + "/lost+found/x", true},
        {m_root + "/Library/x", true},
        {m_root + "/System Volume Information/x", true},
        {m_root + "/Backups.backupdb/x", true},
        {m_root + "/" + m_trashName + "/files/x", true},
        {m_root + "/.Trash/1234/x", true},
        {m_root + "/swapfile", true},
        {m_root + "/mach_kernel", true},
        {m_root + "/home/me/photo.jpg", false},
        {m_root + "/docs/a.txt", false},
        {m_root + "/snap", false},
        {m_dir / "Volumes/Disk/.Spotlight-V100/store", true},
        {m_dir / "Volumes/Disk/Backups.backupdb/x", true},
        {m_dir / "Volumes/Disk/Photos/p.jpg", false},
        {m_dir / "media/me/USB/$RECYCLE.BIN/x", true},
        {m_dir / "media/me/USB/" + m_trashName + "/x", true},
        {m_dir / "media/me/USB/Music/m.mp3", false},
        {m_dir / "mnt/data/snap/x", true},
        {m_dir / "mnt/data/home/x", false},
        {m_home + "/.Trash/x", true},
        {m_dataHome + "/Trash/files/x", true},
        {m_home + "/Library/Calendars/c.ics", true},
        {m_home + "/Library/Preferences/com.apple.AddressBook.plist", true},
        {m_home + "/Documents/x", false},
    };
    for (const auto& [path, excluded] : cases) {
        EXPECT_EQ(checker.isPathExcluded(path), excluded) << path;
        EXPECT_EQ(treeExcludes(checker, path), excluded) << "tree: " << path;
    }
}

TEST_F(ExcludeCheckerLocationsTest, ValidationLeavesSystemLocationsOut) {
    const ExcludeChecker checker(false, settings(), m_locations);
    for (const std::string& path : {m_root + "/proc/1", m_root + "/Backups.backupdb/x", m_root + "/swapfile",
                                    m_dir / "Volumes/Disk/.Spotlight-V100/x", m_home + "/.Trash/x",
                                    m_dataHome + "/Trash/files/x"})
        EXPECT_FALSE(checker.isPathExcluded(path)) << path;
}

TEST_F(ExcludeCheckerLocationsTest, SettingsOffKeepOnlyTheTrash) {
    settings().saveBoolValue(false, Settings::kKeyExcludeTimeMachineBackups);
    settings().saveBoolValue(false, Settings::kKeySkipVolumeSystemFolders);
    const ExcludeChecker checker(true, settings(), m_locations);
    EXPECT_FALSE(checker.isPathExcluded(m_root + "/proc/1"));
    EXPECT_FALSE(checker.isPathExcluded(m_root + "/swapfile"));
    EXPECT_FALSE(checker.isPathExcluded(m_root + "/Backups.backupdb/x"));
    EXPECT_FALSE(checker.isPathExcluded(m_dir / "Volumes/Disk/Backups.backupdb/x"));
    EXPECT_TRUE(checker.isPathExcluded(m_root + "/" + m_trashName + "/files/x"));
    EXPECT_TRUE(checker.isPathExcluded(m_dir / "media/me/USB/" + m_trashName));
    EXPECT_TRUE(checker.isPathExcluded(m_home + "/.Trash/x"));
}

TEST_F(ExcludeCheckerLocationsTest, ChosenFolderInsideSystemLocationIsScanned) {
    m_dir.makeDir("root/usr/share/wallpapers");
    ExcludeChecker checker(true, settings(), m_locations);
    checker.addIncludedFolderPaths({m_root + "/usr/share"});
    for (const auto& [path, excluded] : std::vector<std::pair<std::string, bool>>{
             {m_root + "/usr/share/wallpapers/w.png", false},
             {m_root + "/usr/share", false},
             {m_root + "/usr/lib/x.so", true},
             {m_root + "/usr/sharex/y", true},
         }) {
        EXPECT_EQ(checker.isPathExcluded(path), excluded) << path;
        EXPECT_EQ(treeExcludes(checker, path), excluded) << "tree: " << path;
    }
}

TEST_F(ExcludeCheckerTest, StandardLocationsFollowTheEnvironment) {
    const auto locations = ExcludeChecker::SystemLocations::standard();
    EXPECT_EQ(locations.homeFolder, m_home);
    EXPECT_EQ(locations.dataHome, m_home + "/.local/share");
    EXPECT_EQ(locations.rootVolumePath, "/");
    EXPECT_EQ(locations.userId, ::getuid());
    ASSERT_GE(locations.volumeContainerFolders.size(), 3u);
    EXPECT_EQ(locations.volumeContainerFolders.front(), "/Volumes");
    EXPECT_EQ(locations.volumeContainerFolders.back(), "/mnt");
}

TEST_F(ExcludeCheckerTest, SeveralThreadsReadOneChecker) {
    const std::string a = m_dir.makeDir("a");
    const std::string b = m_dir.makeDir("a/b");
    settings().setExcludeFolders(std::vector<std::string>{a});
    settings().setExcludeExtensions(std::vector<std::string>{".tmp"});
    ExcludeChecker checker(false, settings());
    checker.addIncludedFolderPaths({b});

    const auto root = VolumeSystemItem::create(m_dir.path(), 0, 0);
    FolderSystemItem* folderA = FolderSystemItem::createInParent("a", *root, false, false);
    FolderSystemItem* folderB = FolderSystemItem::createInParent("b", *folderA, false, false);
    std::vector<FileSystemItem*> items;
    std::vector<bool> expected;
    for (int i = 0; i < 64; ++i) {
        FolderSystemItem* parent = (i % 2 == 0) ? folderA : folderB;
        const bool temporary = i % 3 == 0;
        items.push_back(FileSystemItem::createInParent("f" + std::to_string(i) + (temporary ? ".TMP" : ".txt"),
                                                       *parent, 1, false, 1));
        expected.push_back(parent == folderA || temporary);
    }
    const auto tree = checker.buildTreeChecker();

    std::atomic<int> mismatches{0};
    std::vector<std::thread> readers;
    for (int t = 0; t < 4; ++t) {
        readers.emplace_back([&, t] {
            for (int round = 0; round < 500; ++round) {
                const std::size_t i = static_cast<std::size_t>(round * 4 + t) % items.size();
                if (checker.isFileItemExcluded(items[i]) != expected[i]) ++mismatches;
                const bool inA = items[i]->parent() == folderA;
                if (checker.isPathExcluded(items[i]->path()) != inA) ++mismatches;
                const auto folder = tree->subCheckerByURL(items[i]->parent()->path());
                if ((folder->checkName(items[i]->name()) == ExcludeTreeChecker::Excluded) != inA) ++mismatches;
            }
        });
    }
    for (auto& reader : readers) reader.join();
    EXPECT_EQ(mismatches.load(), 0);
}

}  // namespace
}  // namespace kestrane
