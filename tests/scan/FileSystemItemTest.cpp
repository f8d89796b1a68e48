#include "scan/FileSystemItem.h"

#include "scan/FolderSystemItem.h"
#include "scan/VolumeSystemItem.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <cstddef>
#include <string>
#include <thread>
#include <vector>

namespace kestrane {
namespace {

// The tree holds millions of items: these sizes are part of the memory budget
// (with a name block and the parent's child slot, a file item costs about 104 bytes).
static_assert(sizeof(FileSystemItem) <= 56,
              "FileSystemItem grew past 56 bytes: it now takes a bigger malloc chunk per file");
static_assert(sizeof(FolderSystemItem) <= 88, "FolderSystemItem grew past 88 bytes");
static_assert(sizeof(VolumeSystemItem) <= 104, "VolumeSystemItem grew past 104 bytes");
static_assert(std::atomic<std::uint8_t>::is_always_lock_free, "item flags must be a lock-free byte");

// Opaque addresses standing in for result-model entries and folder-tree
// nodes; the items only store and compare them, never dereference them.
template <typename T>
T* token(int n) {
    static std::max_align_t storage[8];
    return reinterpret_cast<T*>(&storage[n]);
}

TEST(FileSystemItemTest, NamesAndPathsOfRootsAndChildren) {
    auto root = VolumeSystemItem::create("/Users/a/Photos", 0, 0);
    FileSystemItem* jpg = FileSystemItem::createInParent("x.jpg", *root, 4096, false, 10);
    EXPECT_EQ(root->name(), "Photos");
    EXPECT_EQ(root->path(), "/Users/a/Photos");
    EXPECT_EQ(jpg->name(), "x.jpg");
    EXPECT_EQ(jpg->displayName(), "x.jpg");
    EXPECT_EQ(jpg->path(), "/Users/a/Photos/x.jpg");

    FolderSystemItem* sub = FolderSystemItem::createInParent("2024", *root, false, false);
    FileSystemItem* deep = FileSystemItem::createInParent("y.png", *sub, 0, false, 0);
    EXPECT_EQ(deep->path(), "/Users/a/Photos/2024/y.png");

    // A trailing slash on the scanned path neither changes the name nor doubles the separator.
    auto slashed = VolumeSystemItem::create("/Users/a/Photos/", 0, 0);
    EXPECT_EQ(slashed->name(), "Photos");
    EXPECT_EQ(FileSystemItem::createInParent("x.jpg", *slashed, 0, false, 0)->path(), "/Users/a/Photos/x.jpg");
    auto fsRoot = VolumeSystemItem::create("/", 0, 0);
    EXPECT_EQ(fsRoot->name(), "/");
    EXPECT_EQ(FileSystemItem::createInParent("etc", *fsRoot, 0, false, 0)->path(), "/etc");
}

TEST(FileSystemItemTest, OddBytesInNamesAreKeptExactly) {
    const std::string odd = std::string("caf\xe9\nline\x01\xff", 11);
    auto root = VolumeSystemItem::create("/data/\xc3\x28", 0, 0);
    FileSystemItem* item = FileSystemItem::createInParent(odd, *root, 0, false, 0);
    EXPECT_EQ(item->name(), odd);
    EXPECT_EQ(item->relativePath().size(), odd.size());
    EXPECT_EQ(item->path(), "/data/\xc3\x28/" + odd);
    EXPECT_EQ(root->childWithName(odd), item);
}

TEST(FileSystemItemTest, LevelsTopParentsAndHiddenAncestry) {
    auto root = VolumeSystemItem::create("/r", 0, 0);
    FolderSystemItem* hidden = FolderSystemItem::createInParent(".cache", *root, true, false);
    FolderSystemItem* inner = FolderSystemItem::createInParent("inner", *hidden, false, false);
    FileSystemItem* file = FileSystemItem::createInParent("f", *inner, 0, false, 0);
    FileSystemItem* top = FileSystemItem::createInParent("g", *root, 0, false, 0);

    EXPECT_EQ(root->getLevel(), 0u);
    EXPECT_EQ(top->getLevel(), 1u);
    EXPECT_EQ(file->getLevel(), 3u);
    EXPECT_EQ(file->topParent(), root.get());
    EXPECT_EQ(root->topParent(), root.get());
    EXPECT_EQ(FileSystemItem::make("loose", nullptr, 0, false, 0)->topParent(), nullptr);
    auto looseFolder = FolderSystemItem::make("loose", nullptr, false, false);
    EXPECT_EQ(looseFolder->topParent(), looseFolder.get());

    EXPECT_FALSE(file->isHiddenFlag());
    EXPECT_TRUE(file->isTopHiddenFlag());
    EXPECT_FALSE(top->isTopHiddenFlag());
}

TEST(FileSystemItemTest, PackagesAndItemsInsideThem) {
    auto root = VolumeSystemItem::create("/Applications", 0, 0);
    FolderSystemItem* app = FolderSystemItem::createInParent("Tool.app", *root, false, true);
    FolderSystemItem* nested = FolderSystemItem::createInParent("Nested.app", *app, false, true);
    FileSystemItem* inApp = FileSystemItem::createInParent("binary", *app, 0, false, 0);
    FolderSystemItem* framework = FolderSystemItem::createInParent("Kit.framework", *root, false, false);
    FolderSystemItem* notFramework = FolderSystemItem::createInParent("Kit.frameworks", *root, false, false);
    FolderSystemItem* plain = FolderSystemItem::createInParent("plain", *root, false, false);

    EXPECT_TRUE(app->isPackage());
    EXPECT_FALSE(app->isInPackage());
    EXPECT_TRUE(inApp->isInPackage());
    EXPECT_TRUE(nested->isPackage());
    EXPECT_TRUE(nested->isInPackage());
    EXPECT_TRUE(framework->isPackage());
    EXPECT_FALSE(notFramework->isPackage());
    EXPECT_FALSE(plain->isPackage());
    EXPECT_FALSE(root->isPackage());
    EXPECT_FALSE(root->isInPackage());
    EXPECT_FALSE(FileSystemItem::createInParent("x.framework", *root, 0, false, 0)->isPackage());

    // Once decided the answer is kept; a later mark by the scan still wins.
    plain->SetitsLeafPackage();
    EXPECT_TRUE(plain->isPackage());
}

TEST(FileSystemItemTest, FlagsAreIndependentBits) {
    auto root = VolumeSystemItem::create("/r", 0, 0);
    FolderSystemItem* folder = FolderSystemItem::createInParent(".f", *root, true, true);
    folder->setIsCheckedForDuplicates(true);
    folder->markThatHasExcludeContent();
    folder->setIsCheckedForDuplicates(false);
    EXPECT_TRUE(folder->isHiddenFlag());
    EXPECT_TRUE(folder->hasExcludeContent());
    EXPECT_TRUE(folder->isPackage());
    EXPECT_FALSE(folder->isCheckedForDuplicates());

    FileSystemItem* fifo = FileSystemItem::createInParent("pipe", *folder, 0, false, 0, FileKind::fifo);
    EXPECT_EQ(fifo->fileKind(), FileKind::fifo);
    EXPECT_FALSE(fifo->isRegularFile());
    EXPECT_TRUE(FileSystemItem::createInParent("r", *folder, 0, false, 0)->isRegularFile());
    EXPECT_FALSE(folder->isRegularFile());
}

TEST(FileSystemItemTest, ExcludeMarkingSetsExactlyTheChainToTheRoot) {
    auto root = VolumeSystemItem::create("/r", 0, 0);
    FolderSystemItem* a = FolderSystemItem::createInParent("a", *root, false, false);
    FolderSystemItem* b = FolderSystemItem::createInParent("b", *a, false, false);
    FileSystemItem* target = FileSystemItem::createInParent("t", *b, 0, false, 0);
    FileSystemItem::createInParent("sibling", *b, 0, false, 0);
    FolderSystemItem* other = FolderSystemItem::createInParent("other", *root, false, false);
    FileSystemItem::createInParent("o", *other, 0, false, 0);

    target->markThatHasExcludeContent();
    for (FileSystemItem* item : root->childrenDeepArray()) {
        const bool inChain = item == a || item == b || item == target;
        EXPECT_EQ(item->hasExcludeContent(), inChain) << item->path();
    }
    EXPECT_TRUE(root->hasExcludeContent());
}

TEST(FileSystemItemTest, ConcurrentMarkingLosesNoFlag) {
    // Several workers mark files of one tree at once while another decides
    // package status of the same ancestors: no bit may be lost (and TSan sees no race).
    constexpr int kWorkers = 6;
    constexpr int kFilesPerWorker = 2000;
    auto root = VolumeSystemItem::create("/r", 0, 0);
    FolderSystemItem* shared = FolderSystemItem::createInParent(".shared", *root, true, false);
    std::vector<std::vector<FileSystemItem*>> files(kWorkers);
    for (int w = 0; w < kWorkers; ++w) {
        FolderSystemItem* branch = FolderSystemItem::createInParent("w" + std::to_string(w), *shared, false, false);
        FolderSystemItem* leaf = FolderSystemItem::createInParent("deep", *branch, false, false);
        for (int i = 0; i < kFilesPerWorker; ++i)
            files[w].push_back(FileSystemItem::createInParent(std::to_string(i), *leaf, 0, false, 0));
    }

    std::atomic<bool> go{false};
    std::vector<std::thread> threads;
    for (int w = 0; w < kWorkers; ++w) {
        threads.emplace_back([&, w] {
            while (!go.load()) std::this_thread::yield();
            for (FileSystemItem* file : files[w]) {
                file->markThatHasExcludeContent();
                file->setIsCheckedForDuplicates(true);
            }
        });
    }
    threads.emplace_back([&] {
        while (!go.load()) std::this_thread::yield();
        for (int i = 0; i < kFilesPerWorker; ++i) {
            shared->isPackage();
            root->setIsCheckedForDuplicates(i % 2 == 0);
        }
    });
    go = true;
    for (std::thread& thread : threads) thread.join();

    EXPECT_TRUE(root->hasExcludeContent());
    EXPECT_FALSE(root->isCheckedForDuplicates());
    EXPECT_TRUE(shared->hasExcludeContent());
    EXPECT_TRUE(shared->isHiddenFlag());
    EXPECT_FALSE(shared->isPackage());
    for (FileSystemItem* item : shared->childrenDeepArray()) {
        EXPECT_TRUE(item->hasExcludeContent());
        EXPECT_EQ(item->isCheckedForDuplicates(), !item->isDir());
        EXPECT_FALSE(item->isHiddenFlag());
    }
}

TEST(FileSystemItemTest, DuplicateAndFolderTreeLinks) {
    auto root = VolumeSystemItem::create("/r", 0, 0);
    FolderSystemItem* a = FolderSystemItem::createInParent("a", *root, false, false);
    FolderSystemItem* b = FolderSystemItem::createInParent("b", *a, false, false);
    FileSystemItem* file = FileSystemItem::createInParent("f", *b, 0, false, 0);

    EXPECT_EQ(file->findParentDuplicateFolder(), nullptr);
    EXPECT_EQ(file->findFSFolder(), nullptr);

    root->setDuplicateItemLink(token<DuplicateItem>(0));
    a->setDuplicateItemLink(token<DuplicateItem>(1));
    file->setDuplicateItemLink(token<DuplicateItem>(2));
    EXPECT_EQ(file->getDuplicateItem(), token<DuplicateItem>(2));
    EXPECT_EQ(file->findParentDuplicateFolder(), token<DuplicateItem>(1));  // nearest, skipping b
    EXPECT_EQ(a->findParentDuplicateFolder(), token<DuplicateItem>(0));     // from the parent up, not itself

    root->setFsFolder(token<FSFolder>(3));
    b->setFsFolder(token<FSFolder>(4));
    EXPECT_EQ(file->findFSFolder(), token<FSFolder>(4));
    EXPECT_EQ(b->findFSFolder(), token<FSFolder>(4));  // a folder's own node comes first
    EXPECT_EQ(a->findFSFolder(), token<FSFolder>(3));

    // Clearing one link of the side block leaves the other alone.
    a->setFsFolder(token<FSFolder>(5));
    a->setFsFolder(nullptr);
    EXPECT_EQ(a->getDuplicateItem(), token<DuplicateItem>(1));
    EXPECT_EQ(a->findFSFolder(), token<FSFolder>(3));
    a->setFsFolder(token<FSFolder>(5));
    a->setDuplicateItemLink(nullptr);
    EXPECT_EQ(a->fsFolder(), token<FSFolder>(5));
    EXPECT_EQ(file->findParentDuplicateFolder(), token<DuplicateItem>(0));

    // The tokens are no entries: unlink them before the items go (an item
    // tells its entry when it is destroyed).
    root->setDuplicateItemLink(nullptr);
    file->setDuplicateItemLink(nullptr);
}

TEST(FileSystemItemTest, ModificationDateIsReadFromDiskAtEachCall) {
    test::TempDir dir;
    const std::string odd = "new\nline \xe9.txt";
    dir.writeFile("sub/" + odd, "data");
    auto root = VolumeSystemItem::create(dir.path(), 0, 0);
    FolderSystemItem* sub = FolderSystemItem::createInParent("sub", *root, false, false);
    FileSystemItem* file = FileSystemItem::createInParent(odd, *sub, 4096, false, 4);

    const auto setMtime = [&](std::time_t seconds, long nanoseconds) {
        const struct timespec times[2] = {{0, UTIME_OMIT}, {seconds, nanoseconds}};
        ASSERT_EQ(::utimensat(AT_FDCWD, file->path().c_str(), times, AT_SYMLINK_NOFOLLOW), 0);
    };
    using namespace std::chrono;
    setMtime(1'000'000'000, 123'456'789);
    EXPECT_EQ(file->getFileItemLastModificationDate(),
              system_clock::time_point(seconds(1'000'000'000) + nanoseconds(123'456'789)));
    setMtime(1'700'000'000, 0);
    EXPECT_EQ(file->getFileItemLastModificationDate(), system_clock::time_point(seconds(1'700'000'000)));
    EXPECT_TRUE(sub->getFileItemLastModificationDate().has_value());

    FileSystemItem* missing = FileSystemItem::createInParent("gone", *sub, 0, false, 0);
    EXPECT_FALSE(missing->getFileItemLastModificationDate().has_value());
}

}  // namespace
}  // namespace kestrane
