#include "platform/Trash.h"

#include "platform/Log.h"
#include "platform/SafeFileOperations.h"
#include "platform/VolumeInfo.h"
#include "support/FakeVolumes.h"
#include "support/TestSupport.h"
#include "support/TmpfsMount.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using namespace kestrane;
using namespace kestrane::platform;
using kestrane::test::TempDir;
using kestrane::test::TmpfsMount;

mode_t modeOf(const std::string& path) {
    struct stat attributes {};
    if (::lstat(path.c_str(), &attributes) != 0) return 0;
    return attributes.st_mode;
}

class TrashTest : public kestrane::test::IsolatedHomeTest {
protected:
    std::string homeTrash() const { return m_home + "/.local/share/Trash"; }
    std::string uid() const { return std::to_string(::getuid()); }
};

TEST_F(TrashTest, FilesAndFoldersOnTheHomeVolumeGoToTheHomeTrashWithAnInfoFile) {
    const std::string file = m_sandbox.writeFile("docs/report.txt", "quarterly figures");
    const std::string folder = m_sandbox.makeDir("docs/album");
    m_sandbox.writeFile("docs/album/one.jpg", "first photo");

    Trash trash;
    const auto before = std::time(nullptr);
    const auto fileEntry = trash.moveToTrash(file);
    ASSERT_TRUE(fileEntry) << fileEntry.error().describe();
    const auto folderEntry = trash.moveToTrash(folder + "/");  // a trailing slash names the folder itself
    ASSERT_TRUE(folderEntry) << folderEntry.error().describe();

    // The home trash is made private, with files/ and info/.
    EXPECT_EQ(modeOf(homeTrash()) & 07777, 0700u);
    EXPECT_TRUE(S_ISDIR(modeOf(homeTrash() + "/files")));
    EXPECT_TRUE(S_ISDIR(modeOf(homeTrash() + "/info")));

    EXPECT_TRUE(fileEntry->trash.isHomeTrash());
    EXPECT_EQ(fileEntry->trashedPath, homeTrash() + "/files/report.txt");
    EXPECT_EQ(fileEntry->infoPath, homeTrash() + "/info/report.txt.trashinfo");
    EXPECT_EQ(fileEntry->originalPath, file);
    EXPECT_FALSE(pathExists(file));
    EXPECT_EQ(kestrane::test::fileContent(fileEntry->trashedPath), "quarterly figures");
    EXPECT_EQ(kestrane::test::fileContent(folderEntry->trashedPath + "/one.jpg"), "first photo");
    EXPECT_EQ(folderEntry->trashedPath, homeTrash() + "/files/album");

    // The info file, exactly as a file manager expects it.
    const std::string info = kestrane::test::fileContent(fileEntry->infoPath);
    std::smatch match;
    ASSERT_TRUE(std::regex_match(info, match,
                                 std::regex("\\[Trash Info\\]\nPath=(.*)\nDeletionDate=(\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d)\n")))
        << info;
    EXPECT_EQ(match[1].str(), Trash::encodePath(file));
    EXPECT_EQ(match[2].str(), fileEntry->deletionDate);
    std::tm written{};
    ASSERT_NE(::strptime(fileEntry->deletionDate.c_str(), "%Y-%m-%dT%H:%M:%S", &written), nullptr);
    written.tm_isdst = -1;
    const auto when = std::mktime(&written);  // local time
    EXPECT_GE(when, before - 1);
    EXPECT_LE(when, std::time(nullptr) + 1);

    // Read back through the trashed path alone.
    const auto found = Trash::entryForTrashedPath(fileEntry->trashedPath);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->originalPath, file);
    EXPECT_EQ(found->infoPath, fileEntry->infoPath);
    EXPECT_EQ(found->deletionDate, fileEntry->deletionDate);
}

TEST_F(TrashTest, NameClashesTakeTheNextNumberAndNeverReplaceAnything) {
    Trash trash;
    std::vector<std::string> names;
    for (const char* folder : {"a", "b"}) {
        const auto entry = trash.moveToTrash(m_sandbox.writeFile(std::string(folder) + "/photo.jpg", folder));
        ASSERT_TRUE(entry) << entry.error().describe();
        names.push_back(entry->name);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"photo.jpg", "photo 2.jpg"}));

    // Something left in files/ without an info file, and an info file left
    // without its item: both names are skipped, neither is touched.
    {
        std::ofstream(homeTrash() + "/files/photo 3.jpg") << "stray item";
        std::ofstream(homeTrash() + "/info/photo 4.jpg.trashinfo") << "[Trash Info]\nPath=/elsewhere\n";
    }
    Trash another;  // knows no numbers yet: it finds its way past the taken names
    const auto third = another.moveToTrash(m_sandbox.writeFile("c/photo.jpg", "c"));
    ASSERT_TRUE(third) << third.error().describe();
    EXPECT_EQ(third->name, "photo 5.jpg");
    EXPECT_EQ(kestrane::test::fileContent(homeTrash() + "/files/photo 3.jpg"), "stray item");
    EXPECT_FALSE(pathExists(homeTrash() + "/info/photo 3.jpg.trashinfo"));
    EXPECT_EQ(kestrane::test::fileContent(homeTrash() + "/info/photo 4.jpg.trashinfo"), "[Trash Info]\nPath=/elsewhere\n");
    EXPECT_FALSE(pathExists(homeTrash() + "/files/photo 4.jpg"));
    EXPECT_EQ(kestrane::test::fileContent(homeTrash() + "/files/photo.jpg"), "a");
    EXPECT_EQ(kestrane::test::fileContent(homeTrash() + "/files/photo 2.jpg"), "b");

    // Folders are numbered on their whole name; hidden names keep their dot.
    m_sandbox.makeDir("d/my.folder");
    m_sandbox.makeDir("e/my.folder");
    ASSERT_TRUE(trash.moveToTrash(m_sandbox / "d/my.folder"));
    const auto folder = trash.moveToTrash(m_sandbox / "e/my.folder");
    ASSERT_TRUE(folder);
    EXPECT_EQ(folder->name, "my.folder 2");
    trash.moveToTrash(m_sandbox.writeFile("f/.bashrc", "1"));
    const auto hidden = trash.moveToTrash(m_sandbox.writeFile("g/.bashrc", "2"));
    ASSERT_TRUE(hidden);
    EXPECT_EQ(hidden->name, ".bashrc 2");
}

TEST_F(TrashTest, OddNamesAreEncodedByteForByteAndReadBackExactly) {
    Trash trash;
    const std::vector<std::string> names = {
        "caf\xc3\xa9 50% off.txt",  // UTF-8, a space and a percent sign
        "bad\xff\xfe bytes",        // not UTF-8
        "line\nbreak",
        "-rf",
        "quote\"and'apostrophe",
        std::string(250, 'n') + ".jpeg",  // too long for ".trashinfo" to be added
    };
    for (const auto& name : names) {
        const std::string path = m_sandbox.writeFile("odd/" + name, name);
        const auto entry = trash.moveToTrash(path);
        ASSERT_TRUE(entry) << entry.error().describe();
        EXPECT_LE(entry->name.size() + std::string(".trashinfo").size(), 255u);
        EXPECT_EQ(kestrane::test::fileContent(entry->trashedPath), name);
        const std::string info = kestrane::test::fileContent(entry->infoPath);
        // Path= is one line of ASCII whatever the name holds.
        const std::string pathLine = info.substr(info.find("Path="), info.find("\nDeletionDate") - info.find("Path="));
        for (const char c : pathLine) EXPECT_TRUE(c > ' ' && c < 127) << pathLine;
        const auto found = Trash::entryForTrashedPath(entry->trashedPath);
        ASSERT_TRUE(found);
        EXPECT_EQ(found->originalPath, path);
    }
    EXPECT_EQ(Trash::encodePath("/a b/c%d/\xff"), "/a%20b/c%25d/%FF");
    EXPECT_EQ(Trash::decodePath("/a%20b/c%25d/%ff%zz%4"), "/a b/c%d/\xff%zz%4");

    // Info files written by other programs: CRLF, other keys and groups,
    // spaces around "=", unescaped characters.
    const auto info = Trash::parseTrashInfo(
        "[Desktop Entry]\nPath=/not/this\n[Trash Info]\r\nDeletionDate = 2024-01-02T03:04:05\r\nX-Other=1\r\n"
        "Path = /home/ann/a b.txt\r\n");
    ASSERT_TRUE(info);
    EXPECT_EQ(info->path, "/home/ann/a b.txt");
    EXPECT_EQ(info->deletionDate, "2024-01-02T03:04:05");
    EXPECT_FALSE(Trash::parseTrashInfo("[Trash Info]\nDeletionDate=2024-01-02T03:04:05\n"));
    EXPECT_FALSE(Trash::parseTrashInfo("Path=/no/group\n"));
}

TEST_F(TrashTest, RestoreMovesBackWithoutReplacingAndTellsWhatBecameOfAnItem) {
    Trash trash;
    const std::string original = m_sandbox.writeFile("photos/beach.jpg", "sand and sea");
    const auto entry = trash.moveToTrash(original);
    ASSERT_TRUE(entry);
    EXPECT_EQ(Trash::stateOf(entry->trashedPath, original), TrashedItemState::inTrash);

    // The original place taken: nothing moves, nothing is replaced.
    m_sandbox.writeFile("photos/beach.jpg", "a new photo");
    const auto refused = Trash::restore(*entry, original);
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->code, EEXIST);
    EXPECT_EQ(kestrane::test::fileContent(original), "a new photo");
    EXPECT_EQ(kestrane::test::fileContent(entry->trashedPath), "sand and sea");
    EXPECT_TRUE(pathExists(entry->infoPath));

    // Restored under another name: the item and its info file leave the trash.
    const std::string elsewhere = m_sandbox / "photos/beach restored.jpg";
    ASSERT_FALSE(Trash::restore(*entry, elsewhere));
    EXPECT_EQ(kestrane::test::fileContent(elsewhere), "sand and sea");
    EXPECT_FALSE(pathExists(entry->trashedPath));
    EXPECT_FALSE(pathExists(entry->infoPath));
    const auto again = Trash::restore(*entry, m_sandbox / "photos/third.jpg");
    ASSERT_TRUE(again);
    EXPECT_EQ(again->code, ENOENT);

    // As a file manager restores (moves back, drops the info file) and empties.
    const std::string second = m_sandbox.writeFile("notes/todo.txt", "milk");
    const auto secondEntry = trash.moveToTrash(second);
    ASSERT_TRUE(secondEntry);
    ASSERT_EQ(::rename(secondEntry->trashedPath.c_str(), second.c_str()), 0);
    ASSERT_EQ(::unlink(secondEntry->infoPath.c_str()), 0);
    EXPECT_EQ(Trash::stateOf(secondEntry->trashedPath, second), TrashedItemState::restored);
    const auto thirdEntry = trash.moveToTrash(second);
    ASSERT_TRUE(thirdEntry);
    ASSERT_EQ(::unlink(thirdEntry->trashedPath.c_str()), 0);
    ASSERT_EQ(::unlink(thirdEntry->infoPath.c_str()), 0);
    EXPECT_EQ(Trash::stateOf(thirdEntry->trashedPath, second), TrashedItemState::gone);

    // The trash name used again by something else: ours is not there.
    const std::string other = m_sandbox.writeFile("other/todo.txt", "eggs");
    const auto reused = Trash().moveToTrash(other);
    ASSERT_TRUE(reused);
    ASSERT_EQ(reused->trashedPath, thirdEntry->trashedPath);
    EXPECT_EQ(Trash::stateOf(reused->trashedPath, second), TrashedItemState::gone);
    EXPECT_EQ(Trash::stateOf(reused->trashedPath, other), TrashedItemState::inTrash);
}

TEST_F(TrashTest, AnItemThrownAwayAgainIsFoundByItsOriginalPath) {
    Trash trash;
    const std::string path = m_sandbox / "work/plan.txt";
    m_sandbox.writeFile("work/plan.txt", "first");
    ASSERT_TRUE(trash.moveToTrash(m_sandbox.writeFile("elsewhere/plan.txt", "not ours")));
    const auto first = trash.moveToTrash(path);
    m_sandbox.writeFile("work/plan.txt", "second");
    const auto second = trash.moveToTrash(path);
    ASSERT_TRUE(first && second);

    auto found = trash.findEntries(path);
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(kestrane::test::fileContent(found[0].trashedPath), "first");
    EXPECT_EQ(kestrane::test::fileContent(found[1].trashedPath), "second");
    ASSERT_EQ(::unlink(second->trashedPath.c_str()), 0);  // deleted from the trash, info file left behind
    found = trash.findEntries(path);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].trashedPath, first->trashedPath);
    EXPECT_TRUE(trash.findEntries(m_sandbox / "work/never.txt").empty());
}

TEST_F(TrashTest, WhatCannotGoToATrashIsRefusedAndLeftAlone) {
    Trash trash;
    const std::string file = m_sandbox.writeFile("keep/me.txt", "x");
    ASSERT_TRUE(trash.moveToTrash(m_sandbox.writeFile("keep/first.txt", "y")));

    for (const std::string& path : {std::string("keep/me.txt"), std::string("/"), m_sandbox / "keep/missing.txt",
                                    homeTrash(), homeTrash() + "/files/first.txt", m_home + "/.local"}) {
        const auto result = trash.moveToTrash(path);
        EXPECT_FALSE(result) << path;
    }
    EXPECT_EQ(kestrane::test::fileContent(file), "x");
    EXPECT_EQ(kestrane::test::fileContent(homeTrash() + "/files/first.txt"), "y");
    EXPECT_TRUE(S_ISDIR(modeOf(m_home + "/.local/share/Trash/info")));

    // A home trash that is a link to somewhere else is not used.
    TempDir elsewhere;
    const std::string linked = m_sandbox.makeDir("linkhome/share");
    ASSERT_EQ(::symlink(elsewhere.path().c_str(), (linked + "/Trash").c_str()), 0);
    Trash viaLink(linked + "/Trash", ::getuid());
    const auto refused = viaLink.moveToTrash(file);
    ASSERT_FALSE(refused);
    EXPECT_EQ(kestrane::test::fileContent(file), "x");
    EXPECT_FALSE(pathExists(elsewhere / "files"));
}

TEST_F(TrashTest, NetworkAndReadOnlyVolumesHaveNoTrash) {
    const std::string network = m_sandbox.makeDir("net");
    const std::string readOnly = m_sandbox.makeDir("cdrom");
    const std::string onNetwork = m_sandbox.writeFile("net/shared.doc", "n");
    const std::string onReadOnly = m_sandbox.writeFile("cdrom/disc.iso", "r");
    auto nfs = kestrane::test::FakeVolumes::volume(network, "nfs4");
    nfs.isLocal = false;
    const auto previous = setVolumeInfoProvider(kestrane::test::FakeVolumes::of({
        kestrane::test::FakeVolumes::volume("/"),
        nfs,
        kestrane::test::FakeVolumes::volume(readOnly, "iso9660", true),
    }));
    const auto fromNetwork = Trash().moveToTrash(onNetwork);
    const auto fromReadOnly = Trash().moveToTrash(onReadOnly);
    setVolumeInfoProvider(previous);
    ASSERT_FALSE(fromNetwork);
    EXPECT_EQ(fromNetwork.error().code, EREMOTE);
    EXPECT_NE(fromNetwork.error().message.find("network"), std::string::npos);
    ASSERT_FALSE(fromReadOnly);
    EXPECT_EQ(fromReadOnly.error().code, EROFS);
    EXPECT_EQ(kestrane::test::fileContent(onNetwork), "n");
    EXPECT_EQ(kestrane::test::fileContent(onReadOnly), "r");
    EXPECT_FALSE(pathExists(network + "/.Trash-" + uid()));
    EXPECT_FALSE(pathExists(readOnly + "/.Trash-" + uid()));
}

// A second volume: a tmpfs mounted for the test (root only).
class VolumeTrashTest : public TrashTest {
protected:
    void SetUp() override {
        TrashTest::SetUp();
        m_volume = std::make_unique<TmpfsMount>(m_sandbox / "volume");
        if (!m_volume->mounted()) GTEST_SKIP() << m_volume->skipReason();
        m_top = m_volume->path();
    }
    void TearDown() override {
        m_volume.reset();
        TrashTest::TearDown();
    }
    std::string writeOnVolume(const std::string& relative, const std::string& content) const {
        const std::string path = m_top + "/" + relative;
        makeFolders(std::string(parentPath(path)));
        std::ofstream(path, std::ios::binary) << content;
        return path;
    }

    std::unique_ptr<TmpfsMount> m_volume;
    std::string m_top;
};

TEST_F(VolumeTrashTest, AVolumeHasItsOwnTrashAtItsTopFolderWithRelativePaths) {
    const std::string file = writeOnVolume("music/song.flac", "la la");
    Trash trash;
    const auto entry = trash.moveToTrash(file);
    ASSERT_TRUE(entry) << entry.error().describe();
    const std::string own = m_top + "/.Trash-" + uid();
    EXPECT_EQ(entry->trash.path, own);
    EXPECT_EQ(entry->trash.topDir, m_top);
    EXPECT_EQ(modeOf(own) & 07777, 0700u);
    EXPECT_EQ(entry->trashedPath, own + "/files/song.flac");
    EXPECT_EQ(kestrane::test::fileContent(entry->trashedPath), "la la");
    EXPECT_NE(kestrane::test::fileContent(entry->infoPath).find("\nPath=music/song.flac\n"), std::string::npos);
    EXPECT_FALSE(pathExists(homeTrash() + "/files/song.flac"));

    const auto found = Trash::entryForTrashedPath(entry->trashedPath);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->originalPath, file);
    EXPECT_EQ(trash.findEntries(file).size(), 1u);
    ASSERT_FALSE(Trash::restore(*found, file));
    EXPECT_EQ(kestrane::test::fileContent(file), "la la");

    // Back on the home volume, a file goes to the home trash; a move from the
    // volume's trash to the home volume is refused as a rename across mounts.
    const std::string homeFile = m_sandbox.writeFile("home-side.txt", "h");
    const auto homeEntry = trash.moveToTrash(homeFile);
    ASSERT_TRUE(homeEntry);
    EXPECT_TRUE(homeEntry->trash.isHomeTrash());
    const auto again = trash.moveToTrash(file);
    ASSERT_TRUE(again);
    const auto across = Trash::restore(*again, m_sandbox / "moved-across.flac");
    ASSERT_TRUE(across);
    EXPECT_EQ(across->code, EXDEV);
    EXPECT_EQ(kestrane::test::fileContent(again->trashedPath), "la la");
}

TEST_F(VolumeTrashTest, ASharedStickyTrashIsUsedOnlyWhenItIsARealStickyFolder) {
    const std::string shared = m_top + "/.Trash";
    std::vector<std::string> warnings;
    const auto previousSink = setWarningSink([&](std::string_view text) { warnings.emplace_back(text); });
    // Not sticky: not used, and the person is told.
    ASSERT_EQ(::mkdir(shared.c_str(), 0777), 0);
    ASSERT_EQ(::chmod(shared.c_str(), 0777), 0);
    {
        Trash trash;
        const auto entry = trash.moveToTrash(writeOnVolume("a.txt", "a"));
        ASSERT_TRUE(entry);
        EXPECT_EQ(entry->trash.path, m_top + "/.Trash-" + uid());
        ASSERT_EQ(warnings.size(), 1u);
        EXPECT_NE(warnings[0].find(shared + " is not a folder with the sticky bit"), std::string::npos);
    }
    // Sticky: $topdir/.Trash/$uid, made private.
    ASSERT_EQ(::chmod(shared.c_str(), 01777), 0);
    {
        Trash trash;
        const auto entry = trash.moveToTrash(writeOnVolume("b.txt", "b"));
        ASSERT_TRUE(entry);
        EXPECT_EQ(entry->trash.path, shared + "/" + uid());
        EXPECT_EQ(modeOf(shared + "/" + uid()) & 07777, 0700u);
        const auto found = Trash::entryForTrashedPath(entry->trashedPath);
        ASSERT_TRUE(found);
        EXPECT_EQ(found->trash.topDir, m_top);
        EXPECT_EQ(found->originalPath, m_top + "/b.txt");
    }
    // A link to a sticky folder is not a real one.
    ASSERT_EQ(::rename(shared.c_str(), (m_top + "/sticky").c_str()), 0);
    ASSERT_EQ(::symlink("sticky", shared.c_str()), 0);
    {
        Trash trash;
        const auto entry = trash.moveToTrash(writeOnVolume("c.txt", "c"));
        ASSERT_TRUE(entry);
        EXPECT_EQ(entry->trash.path, m_top + "/.Trash-" + uid());
    }
    EXPECT_EQ(warnings.size(), 2u);
    setWarningSink(previousSink);
    // A .Trash-$uid that is a link (someone else's folder, say) is refused.
    ASSERT_EQ(::unlink(shared.c_str()), 0);
    ASSERT_EQ(::rename((m_top + "/.Trash-" + uid()).c_str(), (m_top + "/old-trash").c_str()), 0);
    ASSERT_EQ(::symlink("old-trash", (m_top + "/.Trash-" + uid()).c_str()), 0);
    {
        Trash trash;
        const std::string file = writeOnVolume("d.txt", "d");
        const auto refused = trash.moveToTrash(file);
        ASSERT_FALSE(refused);
        EXPECT_EQ(kestrane::test::fileContent(file), "d");
        EXPECT_FALSE(pathExists(m_top + "/old-trash/files/d.txt"));
    }
}

TEST_F(VolumeTrashTest, AReadOnlyVolumeOrOneWithoutAWritableTopFolderIsRefused) {
    const std::string file = writeOnVolume("kept.txt", "k");
    // Everything on the way may be searched by another user; the top folder
    // may not be written.
    ASSERT_EQ(::chmod(m_sandbox.path().c_str(), 0755), 0);
    ASSERT_EQ(::chmod(m_top.c_str(), 0555), 0);
    kestrane::test::expectAsUnprivilegedUser([&] {
        // Not root: the top folder cannot be written, so no trash can be made there.
        Trash trash(m_home + "/.local/share/Trash", ::getuid());
        const auto result = trash.moveToTrash(file);
        return !result && result.error().code == EACCES;
    });
    ASSERT_EQ(::chmod(m_top.c_str(), 0755), 0);

    ASSERT_TRUE(m_volume->remount(true));
    Trash trash;
    const auto result = trash.moveToTrash(file);
    ASSERT_FALSE(result);
    EXPECT_EQ(result.error().code, EROFS);
    EXPECT_EQ(kestrane::test::fileContent(file), "k");
    ASSERT_TRUE(m_volume->remount(false));
}

}  // namespace
