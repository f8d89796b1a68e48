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
        return root->subCheckerByURL(path.substr(0, slash)).checkName(path.substr(slash + 1)) ==
               ExcludeTreeChecker::Excluded;
    }

    // Each path's answer, from the checker's path rules and from its tree.
    static void expectExcluded(const ExcludeChecker& checker, const std::vector<std::pair<std::string, bool>>& cases) {
        for (const auto& [path, excluded] : cases) {
            EXPECT_EQ(checker.isPathExcluded(path), excluded) << path;
            EXPECT_EQ(treeExcludes(checker, path), excluded) << "tree: " << path;
        }
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
    expectExcluded(checker, {{m_dir / "missing", false}, {m_dir / "missing/x.txt", false}, {a, true},
                             {a + "/x.txt", true}, {a + "/deep/er/x.txt", true}, {m_dir / "ab", false},
                             {m_dir / "ab/x.txt", false}, {m_dir / "gone.txt", true}, {m_dir / "gone.txt.bak", false},
                             {m_dir.path(), false}});
    EXPECT_FALSE(checker.isPathExcluded(""));
}

TEST_F(ExcludeCheckerTest, MostSpecificFolderDecidesAndAFolderRegisteredBothWaysCountsAsIncluded) {
    const std::string a = m_dir.makeDir("a");
    const std::string b = m_dir.makeDir("a/b");
    const std::string d = m_dir.makeDir("a/b/d");
    const std::string both = m_dir.makeDir("both");
    const std::string bothFirst = m_dir.makeDir("both-first");
    m_dir.makeDir("a/b/d/e");
    // Given with a trailing "/": the prefix gets no second one.
    settings().setExcludeFolders(std::vector<std::string>{a + "/"});
    ExcludeChecker checker(false, settings());
    checker.addIncludedFolderPaths({b, m_dir / "not-there"});
    checker.addToExcludeFolder(d);
    checker.addToExcludeFolder(both);
    checker.addToIncludeFolder(both);
    checker.addToIncludeFolder(bothFirst);
    checker.addToExcludeFolder(bothFirst);
    expectExcluded(checker, {{a + "/c.txt", true},      {b, false},           {b + "/c.txt", false},
                             {b + "/sub/c.txt", false}, {d, true},            {d + "/e", true},
                             {d + "/e/f.txt", true},    {m_dir / "ab", false}, {m_dir / "a/bb/x", true},
                             {m_dir / "x", false},      {both, false},        {both + "/x.txt", false},
                             {bothFirst + "/x.txt", false}});
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
    const std::vector<std::pair<FileSystemItem*, bool>> cases = {
        {FileSystemItem::createInParent("a.txt", *skip, 1, false, 1), true},
        {FileSystemItem::createInParent("one.txt", *keep, 1, false, 1), true},
        {FileSystemItem::createInParent("two.txt", *keep, 1, false, 1), false},
    };
    for (const auto& [item, excluded] : cases) {
        EXPECT_EQ(checker.isFileItemExcluded(item), excluded) << item->path();
        EXPECT_EQ(item->isCheckedForDuplicates(), excluded) << item->path();
    }
    EXPECT_TRUE(checker.isFileItemExcluded(nullptr));
}

TEST(ExcludeCheckerNamesTest, ExtensionOfName) {
    // Only ASCII letters are lowercased; other bytes are kept as they are.
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"A.TXT", "txt"}, {"a.b.C", "c"},     {".bashrc", ""},
        {".config.JSON", "json"}, {"trailing.", ""}, {"plain", ""}, {"x.\xC3\x89T\xFF", "\xC3\x89t\xFF"},
    };
    for (const auto& [name, extension] : cases) EXPECT_EQ(ExcludeChecker::lowercasedExtensionOfName(name), extension);
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
    expectExcluded(checker, {
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
    });
}

TEST_F(ExcludeCheckerLocationsTest, ValidationLeavesSystemLocationsOutAndTheSettingsKeepOnlyTheTrash) {
    const std::vector<std::string> system = {m_root + "/proc/1", m_root + "/Backups.backupdb/x", m_root + "/swapfile",
                                             m_dir / "Volumes/Disk/.Spotlight-V100/x",
                                             m_dir / "Volumes/Disk/Backups.backupdb/x"};
    const std::vector<std::string> trash = {m_root + "/" + m_trashName + "/files/x",
                                            m_dir / "media/me/USB/" + m_trashName, m_home + "/.Trash/x",
                                            m_dataHome + "/Trash/files/x"};
    const ExcludeChecker validation(false, settings(), m_locations);
    for (const auto& path : system) EXPECT_FALSE(validation.isPathExcluded(path)) << path;
    for (const auto& path : trash) EXPECT_FALSE(validation.isPathExcluded(path)) << path;

    settings().saveBoolValue(false, Settings::kKeyExcludeTimeMachineBackups);
    settings().saveBoolValue(false, Settings::kKeySkipVolumeSystemFolders);
    const ExcludeChecker scan(true, settings(), m_locations);
    for (const auto& path : system) EXPECT_FALSE(scan.isPathExcluded(path)) << path;
    for (const auto& path : trash) EXPECT_TRUE(scan.isPathExcluded(path)) << path;
}

TEST_F(ExcludeCheckerLocationsTest, ChosenFolderInsideSystemLocationIsScanned) {
    m_dir.makeDir("root/usr/share/wallpapers");
    ExcludeChecker checker(true, settings(), m_locations);
    checker.addIncludedFolderPaths({m_root + "/usr/share"});
    expectExcluded(checker, {{m_root + "/usr/share/wallpapers/w.png", false}, {m_root + "/usr/share", false},
                             {m_root + "/usr/lib/x.so", true}, {m_root + "/usr/sharex/y", true}});
}

TEST_F(ExcludeCheckerTest, SeveralThreadsReadOneCheckerAndItsTree) {
    const std::string a = m_dir.makeDir("a");
    settings().setExcludeFolders(std::vector<std::string>{a});
    settings().setExcludeExtensions(std::vector<std::string>{".tmp"});
    ExcludeChecker checker(false, settings());
    checker.addIncludedFolderPaths({m_dir.makeDir("a/b")});

    const auto root = VolumeSystemItem::create(m_dir.path(), 0, 0);
    FolderSystemItem* folderA = FolderSystemItem::createInParent("a", *root, false, false);
    FolderSystemItem* folderB = FolderSystemItem::createInParent("b", *folderA, false, false);
    std::vector<FileSystemItem*> items;
    for (int i = 0; i < 64; ++i)
        items.push_back(FileSystemItem::createInParent("f" + std::to_string(i) + (i % 3 == 0 ? ".TMP" : ".txt"),
                                                       i % 2 == 0 ? *folderA : *folderB, 1, false, 1));
    const auto tree = checker.buildTreeChecker();

    std::atomic<int> mismatches{0};
    std::vector<std::thread> readers;
    for (int t = 0; t < 4; ++t)
        readers.emplace_back([&, t] {
            for (int round = 0; round < 500; ++round) {
                const std::size_t i = static_cast<std::size_t>(round * 4 + t) % items.size();
                const bool inA = items[i]->parent() == folderA;
                if (checker.isFileItemExcluded(items[i]) != (inA || i % 3 == 0)) ++mismatches;
                if (checker.isPathExcluded(items[i]->path()) != inA) ++mismatches;
                const auto folder = tree->subCheckerByURL(items[i]->parent()->path());
                if ((folder.checkName(items[i]->name()) == ExcludeTreeChecker::Excluded) != inA) ++mismatches;
            }
        });
    for (auto& reader : readers) reader.join();
    EXPECT_EQ(mismatches.load(), 0);
}

}  // namespace
}  // namespace kestrane
