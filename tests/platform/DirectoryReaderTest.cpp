#include "platform/DirectoryReader.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <fcntl.h>
#include <grp.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

using kestrane::platform::DirectoryEntry;
using kestrane::platform::DirectoryEntryType;
using kestrane::platform::DirectoryReader;
using kestrane::platform::openDirectoryAtPath;
using kestrane::test::TempDir;
using ReadResult = DirectoryReader::ReadResult;

namespace {

// The entries of a folder by name; the map keeps the name, as an entry's own
// name points into the reader's buffer and is gone after the next read.
struct FolderContents {
    std::map<std::string, DirectoryEntry> entries;
    int batches = 0;
    int duplicates = 0;
    ReadResult lastResult = ReadResult::entries;

    const DirectoryEntry& at(const std::string& name) const { return entries.at(name); }
};

FolderContents readToEnd(DirectoryReader& reader) {
    FolderContents contents;
    while ((contents.lastResult = reader.readBatch([&](const DirectoryEntry& entry) {
                if (!contents.entries.emplace(std::string(entry.name), entry).second) ++contents.duplicates;
            })) == ReadResult::entries)
        ++contents.batches;
    return contents;
}

std::vector<std::string> namesOf(const FolderContents& contents) {
    std::vector<std::string> names;
    for (const auto& entry : contents.entries) names.push_back(entry.first);
    return names;
}

FolderContents readFolder(const std::string& path,
                          DirectoryReader::MountDetection mode = DirectoryReader::MountDetection::automatic) {
    DirectoryReader reader(mode);
    const auto error = reader.open(path);
    EXPECT_FALSE(error) << error->describe();
    return readToEnd(reader);
}

// Removes `name` inside dirFd and everything below it, however deep, without building paths.
void removeTreeAt(int dirFd, const std::string& name) {
    const int fd = ::openat(dirFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd >= 0) {
        DirectoryReader lister;
        if (!lister.openAt(fd, "."))
            for (const auto& [childName, entry] : readToEnd(lister).entries) {
                if (entry.type == DirectoryEntryType::directory)
                    removeTreeAt(fd, childName);
                else
                    ::unlinkat(fd, childName.c_str(), 0);
            }
        ::close(fd);
    }
    ::unlinkat(dirFd, name.c_str(), AT_REMOVEDIR);
}

TEST(DirectoryReaderTest, ReportsEveryKindOfEntryWithSizesAndNeverFollowsLinks) {
    TempDir dir;
    const std::string data = dir.writeFileOfSize("data.bin", 10000);
    dir.writeFile("empty", "");
    for (const char* name : {"sub/one", "sub/two", "sub/three"}) dir.makeDir(name);
    dir.writeFile("sub/file", "x");
    // A sparse file: 8 MiB long, one block of data at its start.
    const std::string sparse = dir.writeFileOfSize("sparse", 4096);
    ASSERT_EQ(0, ::truncate(sparse.c_str(), 8 << 20));
    ASSERT_EQ(0, ::symlink("data.bin", (dir / "link-to-file").c_str()));
    ASSERT_EQ(0, ::symlink("sub", (dir / "link-to-folder").c_str()));
    ASSERT_EQ(0, ::symlink("nowhere", (dir / "dangling").c_str()));
    ASSERT_EQ(0, ::mkfifo((dir / "fifo").c_str(), 0644));  // opening it would block the test
    const int sock = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, (dir / "socket").c_str(), sizeof address.sun_path - 1);
    ASSERT_EQ(0, ::bind(sock, reinterpret_cast<const sockaddr*>(&address), sizeof address));

    DirectoryReader reader;
    ASSERT_FALSE(reader.open(dir.path()));
    const FolderContents contents = readToEnd(reader);
    ::close(sock);

    EXPECT_EQ(ReadResult::end, contents.lastResult);
    EXPECT_EQ(0, contents.duplicates);
    EXPECT_EQ(9u, contents.entries.size());  // no "." or ".."
    EXPECT_EQ(9u, reader.entriesRead());
    EXPECT_EQ(0u, reader.entriesSkipped());
    EXPECT_FALSE(reader.lastError());

    struct stat info {};
    ASSERT_EQ(0, ::lstat(data.c_str(), &info));
    const auto& file = contents.at("data.bin");
    EXPECT_EQ(DirectoryEntryType::regular, file.type);
    EXPECT_EQ(10000u, file.logicalSize);
    EXPECT_EQ(static_cast<std::uint64_t>(info.st_blocks) * 512, file.allocatedSize);
    EXPECT_EQ(info.st_ino, file.inode);
    EXPECT_EQ(info.st_mtim.tv_sec, file.modificationSeconds);
    EXPECT_EQ(static_cast<std::uint32_t>(info.st_mtim.tv_nsec), file.modificationNanoseconds);
    EXPECT_EQ(1u, file.linkCount);
    EXPECT_EQ(DirectoryEntryType::regular, contents.at("empty").type);
    EXPECT_EQ(0u, contents.at("empty").logicalSize);

    ASSERT_EQ(0, ::lstat(sparse.c_str(), &info));
    EXPECT_EQ(8u << 20, contents.at("sparse").logicalSize);
    EXPECT_EQ(static_cast<std::uint64_t>(info.st_blocks) * 512, contents.at("sparse").allocatedSize);
    EXPECT_LT(contents.at("sparse").allocatedSize, (8u << 20) / 2);

    const auto& sub = contents.at("sub");
    EXPECT_EQ(DirectoryEntryType::directory, sub.type);
    EXPECT_FALSE(sub.isMountPoint);
    EXPECT_EQ(0u, sub.logicalSize + sub.allocatedSize);

    for (const char* name : {"link-to-file", "link-to-folder", "dangling"}) {
        EXPECT_EQ(DirectoryEntryType::symlink, contents.at(name).type) << name;
        EXPECT_EQ(0u, contents.at(name).logicalSize + contents.at(name).allocatedSize) << name;
    }
    EXPECT_EQ(DirectoryEntryType::fifo, contents.at("fifo").type);
    EXPECT_EQ(DirectoryEntryType::socket, contents.at("socket").type);
}

TEST(DirectoryReaderTest, NamesComeBackAsTheExactBytes) {
    TempDir dir;
    const std::set<std::string> names = {
        "plain", "\xff\xfe not utf-8 \xe9", "line\nbreak", "tab\there", " leading space", "back\\slash",
        std::string(255, 'n'), ".hidden", "..dots",
    };
    for (const auto& name : names) dir.writeFile(name, name);

    std::set<std::string> seen;
    for (const auto& [name, entry] : readFolder(dir.path()).entries) {
        seen.insert(name);
        EXPECT_EQ(name.size(), entry.logicalSize) << name;
    }
    EXPECT_EQ(names, seen);
}

TEST(DirectoryReaderTest, LargeFolderTakesSeveralBatchesAndReturnsEachEntryOnce) {
    TempDir dir;
    std::set<std::string> names;
    for (int i = 0; i < 2000; ++i) {
        dir.writeFile("big/" + *names.insert(std::to_string(i) + "-" + std::string(200, 'a' + i % 26)).first, "");
    }
    for (int i = 0; i < 40; ++i) dir.makeDir("big/folder" + std::to_string(i));

    DirectoryReader reader;
    ASSERT_FALSE(reader.open(dir / "big"));
    const FolderContents contents = readToEnd(reader);
    EXPECT_GT(contents.batches, 10);  // ~2000 records of ~224 bytes in 25,600-byte batches
    EXPECT_EQ(0, contents.duplicates);
    EXPECT_EQ(2040u, contents.entries.size());
    EXPECT_EQ(2040u, reader.entriesRead());
    for (const auto& name : names) EXPECT_EQ(1u, contents.entries.count(name)) << name;
}

TEST(DirectoryReaderTest, OpensAndReadsFoldersDeeperThanPathMax) {
    TempDir dir;
    const std::string component(250, 'd');
    std::string deep = dir.path();
    int fd = ::open(dir.path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    for (int level = 0; level < 20; ++level) {
        const std::string name = component + std::to_string(level);
        ASSERT_EQ(0, ::mkdirat(fd, name.c_str(), 0755));
        const int next = ::openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ::close(fd);
        ASSERT_GE(next, 0);
        fd = next;
        deep += "/" + name;
    }
    const int file = ::openat(fd, "leaf.txt", O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    ASSERT_EQ(5, ::write(file, "leaf!", 5));
    ::close(file);
    ASSERT_EQ(0, ::symlinkat(".", fd, "link"));
    ::close(fd);
    ASSERT_GT(deep.size(), static_cast<std::size_t>(PATH_MAX));

    // Doubled slashes and a trailing slash mean what they mean to open(2).
    std::string doubled;
    for (char c : deep) doubled += (c == '/') ? std::string("//") : std::string(1, c);
    for (const std::string& path : {deep, doubled, deep + "/", deep + "/link/../" + component + "19"}) {
        SCOPED_TRACE(path.substr(path.size() - 40));
        const FolderContents contents = readFolder(path);
        ASSERT_EQ(1u, contents.entries.count("leaf.txt"));
        EXPECT_EQ(5u, contents.at("leaf.txt").logicalSize);
        EXPECT_EQ(DirectoryEntryType::symlink, contents.at("link").type);
    }

    // The last component is never followed, deep or not.
    EXPECT_EQ(-1, openDirectoryAtPath(deep + "/link"));
    const int deepErrno = errno;
    ASSERT_EQ(0, ::symlink(".", (dir / "shallow-link").c_str()));
    EXPECT_EQ(-1, openDirectoryAtPath(dir / "shallow-link"));
    EXPECT_EQ(errno, deepErrno);
    EXPECT_EQ(-1, openDirectoryAtPath(deep + "/leaf.txt"));
    EXPECT_EQ(ENOTDIR, errno);
    EXPECT_EQ(-1, openDirectoryAtPath(deep + "/missing"));
    EXPECT_EQ(ENOENT, errno);

    // A long path relative to an open folder.
    DirectoryReader base;
    DirectoryReader child;
    ASSERT_FALSE(base.open(dir.path()));
    ASSERT_FALSE(child.openAt(base.fd(), deep.substr(dir.path().size() + 1).c_str()));
    EXPECT_EQ(1u, readToEnd(child).entries.count("leaf.txt"));

    // TempDir cannot remove what is deeper than PATH_MAX.
    removeTreeAt(base.fd(), component + "0");
    EXPECT_NE(0, ::access((dir / (component + "0")).c_str(), F_OK));
}

TEST(DirectoryReaderTest, OneReaderServesFolderAfterFolderAndFailuresSayWhatAndWhere) {
    TempDir dir;
    dir.writeFile("a/one", "1");
    dir.writeFile("a/inner/deep", "333");
    dir.writeFile("b/three", "333");
    ASSERT_EQ(0, ::symlink("a", (dir / "link-to-a").c_str()));

    // The same reader descends into a child of the folder it has open, then moves on to another folder.
    DirectoryReader reader;
    ASSERT_FALSE(reader.open(dir / "a"));
    ASSERT_FALSE(reader.openAt(reader.fd(), "inner"));
    EXPECT_EQ(3u, readToEnd(reader).at("deep").logicalSize);
    ASSERT_FALSE(reader.open(dir / "b"));
    EXPECT_EQ(0u, reader.entriesRead());
    EXPECT_EQ((std::vector<std::string>{"three"}), namesOf(readToEnd(reader)));

    // Failures leave the reader closed and usable.
    auto error = reader.openAt(reader.fd(), "missing", dir / "b/missing");
    ASSERT_TRUE(error);
    EXPECT_EQ(ENOENT, error->code);
    EXPECT_EQ(dir / "b/missing", error->path);
    EXPECT_FALSE(reader.isOpen());
    EXPECT_EQ(ReadResult::failed, reader.readBatch([](const DirectoryEntry&) { ADD_FAILURE(); }));
    error = reader.open(dir / "a/one");
    EXPECT_EQ(ENOTDIR, error ? error->code : 0);
    error = reader.open(dir / "link-to-a");
    ASSERT_TRUE(error);
    EXPECT_TRUE(error->code == ELOOP || error->code == ENOTDIR) << error->code;
    ASSERT_FALSE(reader.open(dir / "a"));
    EXPECT_EQ((std::vector<std::string>{"inner", "one"}), namesOf(readToEnd(reader)));
}

TEST(DirectoryReaderTest, EntriesAndFoldersThatVanishWhileBeingReadAreSkipped) {
    TempDir dir;
    for (const char* name : {"a", "b", "c", "d", "e"}) dir.writeFile(std::string("few/") + name, name);

    // Every other entry is gone by the time it is examined.
    DirectoryReader reader;
    ASSERT_FALSE(reader.open(dir / "few"));
    std::set<std::string> delivered;
    ReadResult result;
    while ((result = reader.readBatch([&](const DirectoryEntry& entry) {
                if (delivered.empty())
                    for (const char* name : {"a", "b", "c", "d", "e"})
                        if (entry.name != name) ::unlinkat(reader.fd(), name, 0);
                delivered.insert(std::string(entry.name));
            })) == ReadResult::entries) {
    }
    EXPECT_EQ(ReadResult::end, result);
    EXPECT_EQ(1u, delivered.size());
    EXPECT_EQ(1u, reader.entriesRead());
    EXPECT_EQ(4u, reader.entriesSkipped());
    EXPECT_FALSE(reader.lastError());  // being gone is not a failure

    // A folder removed after its first batch: the rest ends quietly or with an error, never with garbage.
    const std::string folder = dir.makeDir("many");
    for (int i = 0; i < 1000; ++i) dir.writeFile("many/" + std::to_string(i) + std::string(100, 'm'), "");
    ASSERT_FALSE(reader.open(folder));
    std::size_t count = 0;
    const auto countRegular = [&](const DirectoryEntry& entry) {
        ++count;
        EXPECT_EQ(DirectoryEntryType::regular, entry.type);
    };
    ASSERT_EQ(ReadResult::entries, reader.readBatch(countRegular));
    EXPECT_GT(count, 0u);
    std::filesystem::remove_all(folder);
    while ((result = reader.readBatch(countRegular)) == ReadResult::entries) {
    }
    EXPECT_LT(count, 1000u);
    if (result == ReadResult::failed) {
        ASSERT_TRUE(reader.lastError());
        EXPECT_EQ(folder, reader.lastError()->path);
    }

    // A folder removed before its first read yields nothing.
    const std::string gone = dir.makeDir("gone");
    ASSERT_FALSE(reader.open(gone));
    ASSERT_EQ(0, ::rmdir(gone.c_str()));
    EXPECT_TRUE(readToEnd(reader).entries.empty());
}

TEST(DirectoryReaderTest, FolderWithoutPermissionsFailsAsUnprivilegedUser) {
    TempDir dir;
    dir.writeFile("readable/file", "x");
    dir.writeFile("locked/file", "x");
    dir.writeFile("list-only/one", "1");
    dir.writeFile("list-only/two", "2");
    const bool asRoot = ::geteuid() == 0;
    ASSERT_EQ(0, ::chmod(dir.path().c_str(), 0755));
    ASSERT_EQ(0, ::chmod((dir / "locked").c_str(), 0));
    // Others (root's child) or the owner may list but not look inside.
    ASSERT_EQ(0, ::chmod((dir / "list-only").c_str(), asRoot ? 0744 : 0644));

    // Root reads anything, so the check runs in a child that gives up root first.
    enum { passed, cannotDropPrivileges = 80, cannotReachTestFolder, unreadableOpened, wrongError, listOnlyWrong };
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (asRoot && (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(cannotDropPrivileges);
        DirectoryReader reader;
        if (reader.open(dir / "readable")) ::_exit(cannotReachTestFolder);
        const auto error = reader.open(dir / "locked");
        if (!error) ::_exit(unreadableOpened);
        if (error->code != EACCES || error->path != dir / "locked") ::_exit(wrongError);
        // Listed but not examinable: nothing delivered, each entry counted as skipped, and the reason kept.
        if (reader.open(dir / "list-only")) ::_exit(listOnlyWrong);
        int delivered = 0;
        while (reader.readBatch([&](const DirectoryEntry&) { ++delivered; }) == ReadResult::entries) {
        }
        if (delivered != 0 || reader.entriesSkipped() != 2 || !reader.lastError() ||
            reader.lastError()->code != EACCES)
            ::_exit(listOnlyWrong);
        ::_exit(passed);
    }
    int status = 0;
    ASSERT_EQ(child, ::waitpid(child, &status, 0));
    ASSERT_TRUE(WIFEXITED(status));
    const int code = WEXITSTATUS(status);
    if (code == cannotDropPrivileges) GTEST_SKIP() << "cannot switch to an unprivileged user here";
    if (code == cannotReachTestFolder) GTEST_SKIP() << "the temporary folder is out of reach of user 65534";
    EXPECT_EQ(passed, code);
}

TEST(DirectoryReaderTest, RecognisesMountPointsAndDeviceFiles) {
    struct stat root {};
    struct stat proc {};
    if (::lstat("/", &root) != 0 || ::lstat("/proc", &proc) != 0 || root.st_dev == proc.st_dev)
        GTEST_SKIP() << "/proc is not a separate mount here";

    TempDir dir;
    dir.makeDir("plain");
    for (auto mode : {DirectoryReader::MountDetection::automatic, DirectoryReader::MountDetection::compareWithParent}) {
        const FolderContents top = readFolder("/", mode);
        ASSERT_EQ(1u, top.entries.count("proc"));
        EXPECT_EQ(DirectoryEntryType::directory, top.at("proc").type);
        EXPECT_TRUE(top.at("proc").isMountPoint);
        EXPECT_FALSE(readFolder(dir.path(), mode).at("plain").isMountPoint);
    }
    const FolderContents devices = readFolder("/dev");
    if (devices.entries.count("null")) {
        EXPECT_EQ(DirectoryEntryType::charDevice, devices.at("null").type);
    }
}

}  // namespace
