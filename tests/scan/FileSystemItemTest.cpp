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
#include <tuple>
#include <vector>

namespace kestrane {
namespace {

// The tree holds millions of items: these sizes are part of the memory budget
// (with its name in the same block and the parent's child slot, a file item
// with a name of 16 bytes costs about 88 bytes).
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
    FolderSystemItem* sub = FolderSystemItem::createInParent("2024", *root, false, false);
    EXPECT_EQ(root->name(), "Photos");
    EXPECT_EQ(root->path(), "/Users/a/Photos");
    EXPECT_EQ(FileSystemItem::createInParent("y.png", *sub, 0, false, 0)->path(), "/Users/a/Photos/2024/y.png");

    // A trailing slash on the scanned path neither changes the name nor doubles the separator.
    auto slashed = VolumeSystemItem::create("/Users/a/Photos/", 0, 0);
    EXPECT_EQ(slashed->name(), "Photos");
    EXPECT_EQ(FileSystemItem::createInParent("x.jpg", *slashed, 0, false, 0)->path(), "/Users/a/Photos/x.jpg");
    auto fsRoot = VolumeSystemItem::create("/", 0, 0);
    EXPECT_EQ(fsRoot->name(), "/");
    EXPECT_EQ(FileSystemItem::createInParent("etc", *fsRoot, 0, false, 0)->path(), "/etc");

    // Odd bytes in names are kept exactly.
    const std::string odd = std::string("caf\xe9\nline\x01\xff", 11);
    auto oddRoot = VolumeSystemItem::create("/data/\xc3\x28", 0, 0);
    FileSystemItem* item = FileSystemItem::createInParent(odd, *oddRoot, 0, false, 0);
    EXPECT_EQ(item->name(), odd);
    EXPECT_EQ(item->displayName(), odd);
    EXPECT_EQ(item->path(), "/data/\xc3\x28/" + odd);
    EXPECT_EQ(oddRoot->childWithName(odd), item);
}

// A name is stored in the item's own block: it must stay whole and readable
// whatever its length, and live exactly as long as its item, wherever the
// item goes after the folder it was made in is gone.
TEST(FileSystemItemTest, NamesLiveWithTheirItemsWhateverTheirLengthAndWhereverTheyMove) {
    const std::string longRoot = "/" + std::string(5000, 'r');
    const std::string longName = std::string(255, '\xfe');
    std::unique_ptr<FileSystemItem> moved;
    {
        auto root = VolumeSystemItem::create(longRoot, 0, 0);
        EXPECT_EQ(root->relativePath(), longRoot);
        FolderSystemItem* folder = FolderSystemItem::createInParent(longName, *root, false, false);
        FileSystemItem* file = FileSystemItem::createInParent(std::string("n\0ul", 4), *folder, 3, false, 3);
        FileSystemItem::createInParent("", *folder, 0, false, 0);
        EXPECT_EQ(file->path(), longRoot + "/" + longName + "/" + std::string("n\0ul", 4));
        // The stored name ends with a NUL, as C calls given relativePath().data() expect.
        EXPECT_EQ(folder->relativePath().data()[longName.size()], '\0');
        EXPECT_EQ(folder->childAtIndex(1)->relativePath(), "");
        moved = root->removeChild(folder);
    }  // the root and everything still under it are destroyed here
    auto other = VolumeSystemItem::create("/b", 0, 0);
    auto* folder = static_cast<FolderSystemItem*>(other->addChild(std::move(moved)));
    EXPECT_EQ(folder->name(), longName);
    EXPECT_EQ(folder->childAtIndex(0)->path(), "/b/" + longName + "/" + std::string("n\0ul", 4));
    EXPECT_EQ(other->childWithName(longName), folder);
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
    FolderSystemItem* plain = FolderSystemItem::createInParent("plain", *root, false, false);
    const std::vector<std::tuple<FileSystemItem*, bool, bool>> cases = {  // item, package, in a package
        {app, true, false},
        {FolderSystemItem::createInParent("Nested.app", *app, false, true), true, true},
        {FileSystemItem::createInParent("binary", *app, 0, false, 0), false, true},
        {FolderSystemItem::createInParent("Kit.framework", *root, false, false), true, false},
        {FolderSystemItem::createInParent("Kit.frameworks", *root, false, false), false, false},
        {FileSystemItem::createInParent("x.framework", *root, 0, false, 0), false, false},
        {plain, false, false},
        {root.get(), false, false},
    };
    for (const auto& [item, package, inPackage] : cases) {
        EXPECT_EQ(item->isPackage(), package) << item->path();
        EXPECT_EQ(item->isInPackage(), inPackage) << item->path();
    }
    // Once decided the answer is kept; a later mark by the scan still wins.
    plain->SetitsLeafPackage();
    EXPECT_TRUE(plain->isPackage());
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
    std::vector<FolderSystemItem*> leaves;
    for (int w = 0; w < kWorkers; ++w) {
        FolderSystemItem* branch = FolderSystemItem::createInParent("w" + std::to_string(w), *shared, false, false);
        leaves.push_back(FolderSystemItem::createInParent("deep", *branch, false, false));
        for (int i = 0; i < kFilesPerWorker; ++i) FileSystemItem::createInParent(std::to_string(i), *leaves.back(), 0, false, 0);
    }

    std::atomic<bool> go{false};
    std::vector<std::thread> threads;
    for (FolderSystemItem* leaf : leaves)
        threads.emplace_back([&, leaf] {
            while (!go.load()) std::this_thread::yield();
            for (std::size_t i = 0; i < leaf->numberOfChildren(); ++i) {
                leaf->childAtIndex(i)->markThatHasExcludeContent();
                leaf->childAtIndex(i)->setIsCheckedForDuplicates(true);
            }
        });
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

TEST(FileSystemItemTest, NearestDuplicateFolderAndFolderTreeNode) {
    auto root = VolumeSystemItem::create("/r", 0, 0);
    FolderSystemItem* a = FolderSystemItem::createInParent("a", *root, false, false);
    FolderSystemItem* b = FolderSystemItem::createInParent("b", *a, false, false);
    FileSystemItem* file = FileSystemItem::createInParent("f", *b, 0, false, 0);
    EXPECT_EQ(file->findParentLinkedEntry(), nullptr);
    EXPECT_EQ(file->findFolderTreeLink(), nullptr);

    root->setLinkedEntry(token<ItemLinkTarget>(0));
    a->setLinkedEntry(token<ItemLinkTarget>(1));
    file->setLinkedEntry(token<ItemLinkTarget>(2));
    EXPECT_EQ(file->findParentLinkedEntry(), token<ItemLinkTarget>(1));  // nearest, skipping b
    EXPECT_EQ(a->findParentLinkedEntry(), token<ItemLinkTarget>(0));     // from the parent up, not itself

    root->setFsFolder(token<ItemLinkTarget>(3));
    b->setFsFolder(token<ItemLinkTarget>(4));
    EXPECT_EQ(file->findFolderTreeLink(), token<ItemLinkTarget>(4));
    EXPECT_EQ(b->findFolderTreeLink(), token<ItemLinkTarget>(4));  // a folder's own node comes first
    EXPECT_EQ(a->findFolderTreeLink(), token<ItemLinkTarget>(3));

    // Both links share a side block: clearing one leaves the other alone.
    a->setFsFolder(token<ItemLinkTarget>(5));
    a->setFsFolder(nullptr);
    EXPECT_EQ(a->linkedEntry(), token<ItemLinkTarget>(1));
    a->setFsFolder(token<ItemLinkTarget>(5));
    a->setLinkedEntry(nullptr);
    EXPECT_EQ(a->folderTreeLink(), token<ItemLinkTarget>(5));
    EXPECT_EQ(file->findParentLinkedEntry(), token<ItemLinkTarget>(0));

    // The tokens are no entries or nodes: unlink them before the items go (an
    // item tells its entry and its node when it is destroyed).
    root->setLinkedEntry(nullptr);
    file->setLinkedEntry(nullptr);
    root->setFsFolder(nullptr);
    a->setFsFolder(nullptr);
    b->setFsFolder(nullptr);
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
    using platform::FileTime;
    setMtime(1'000'000'000, 123'456'789);
    EXPECT_EQ(file->getFileItemLastModificationDate(), (FileTime{1'000'000'000, 123'456'789}));
    setMtime(1'700'000'000, 0);
    EXPECT_EQ(file->getFileItemLastModificationDate(), (FileTime{1'700'000'000, 0}));
    // Beyond 2262, where a count of nanoseconds in 64 bits ends (2300-06-01T12:00:00Z).
    setMtime(10'426'881'600, 5);
    EXPECT_EQ(file->getFileItemLastModificationDate(), (FileTime{10'426'881'600, 5}));
    EXPECT_TRUE(sub->getFileItemLastModificationDate().has_value());

    FileSystemItem* missing = FileSystemItem::createInParent("gone", *sub, 0, false, 0);
    EXPECT_FALSE(missing->getFileItemLastModificationDate().has_value());
}

}  // namespace
}  // namespace kestrane
