#include "duplicates/DuplicateItem.h"

#include "duplicates/DuplicatesCategory.h"
#include "duplicates/DuplicatesContainer.h"
#include "duplicates/DuplicatesGroup.h"
#include "duplicates/FileCategory.h"
#include "duplicates/ModelTestTree.h"
#include "platform/FileIdentity.h"
#include "scan/FolderSystemItem.h"
#include "scan/VolumeSystemItem.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <ctime>

#include <filesystem>
#include <utility>
#include <vector>

namespace kestrane {
namespace {

using test::entryOf;

// One entry per copy: with its shared block (16 bytes) an entry of 136 bytes
// takes a 160-byte malloc chunk; 8 bytes more would take 176.
static_assert(sizeof(DuplicateItem) <= 136, "DuplicateItem grew past 136 bytes: a bigger malloc chunk per copy");

TEST(DuplicateItemTest, WhatACopyKnowsAboutItsFileOnDisk) {
    test::ModelTestTree tree;
    auto container = DuplicatesContainer::create(nullptr, nullptr);
    FileSystemItem* a = tree.file("A/p.jpg", "jpeg");
    FileSystemItem* b = tree.file("B/p.jpg", "jpeg");
    container->addGroupWithItems({a, b});
    const auto folders = container->addGroupWithItems({tree.folder("A"), tree.folder("B")});
    const auto copy = entryOf(b);
    const auto folder = entryOf(tree.folder("A"));

    // Hidden with its folders: the type is the hidden category's, the item still says what it is.
    EXPECT_EQ(copy->getType(), std::nullopt);
    EXPECT_EQ(copy->getTypeUsingFileSystemItem(), typeOfFileAtPath("p.jpg"));
    EXPECT_EQ(folder->getType(), FileCategory::folders);
    EXPECT_EQ(folder->getTypeUsingFileSystemItem(), FileCategory::folders);

    struct stat info {};
    ASSERT_EQ(::lstat((tree.path() + "/B/p.jpg").c_str(), &info), 0);
    EXPECT_EQ(copy->getLastModificationDate(),
              (platform::FileTime{info.st_mtim.tv_sec, static_cast<std::uint32_t>(info.st_mtim.tv_nsec)}));
    EXPECT_FALSE(copy->isMovedByUserOrDeleted());
    EXPECT_FALSE(folder->calculateIsDiskContentChanged());

    // Something below the folder disappears from disk; then the file itself.
    std::filesystem::remove(tree.path() + "/A/p.jpg");
    EXPECT_TRUE(folder->calculateIsDiskContentChanged());
    EXPECT_FALSE(folder->isMovedByUserOrDeleted());
    std::filesystem::remove(tree.path() + "/B/p.jpg");
    EXPECT_TRUE(copy->isMovedByUserOrDeleted());
    EXPECT_TRUE(copy->calculateIsDiskContentChanged());

    // A copy that has left its group knows nothing any more.
    folders->removeDuplicateItem(folder);
    EXPECT_TRUE(folder->isMovedByUserOrDeleted());
    EXPECT_EQ(folder->getType(), std::nullopt);
    EXPECT_EQ(folder->getFileItemSize(), 0u);
    EXPECT_FALSE(folder->selectItemForced(true));
    // A file gone after it joined its group keeps the date the scan saw; one
    // already gone then has none.
    FileSystemItem* later = tree.file("C/later.txt", "x");
    container->addGroupWithItems({later, tree.file("D/later.txt", "x")});
    ASSERT_EQ(::lstat(later->path().c_str(), &info), 0);
    std::filesystem::remove(later->path());
    EXPECT_EQ(entryOf(later)->getLastModificationDate(),
              (platform::FileTime{info.st_mtim.tv_sec, static_cast<std::uint32_t>(info.st_mtim.tv_nsec)}));
    FileSystemItem* gone = tree.file("C/gone.txt", "y");
    FileSystemItem* twin = tree.file("D/gone.txt", "y");
    std::filesystem::remove(gone->path());
    container->addGroupWithItems({gone, twin});
    EXPECT_EQ(entryOf(gone)->getLastModificationDate(), platform::FileTime{});
}

// A copy's date is read when first asked for and kept by its entry; a later
// scan of the same file (new entries) sees the file as it is then.
TEST(DuplicateItemTest, ACopyShowsTheDateTheScanSawAndALaterScanSeesTheNewOne) {
    test::ModelTestTree tree;
    tree.file("A/p.txt", "same");
    tree.file("B/p.txt", "same");
    const std::string pathA = tree.path() + "/A/p.txt";
    const auto setDate = [&](std::time_t seconds) {
        const struct timespec times[2] = {{seconds, 0}, {seconds, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, pathA.c_str(), times, AT_SYMLINK_NOFOLLOW), 0);
    };
    // Each scan lists the same files into a tree of its own.
    const auto scanTree = [&] {
        auto root = VolumeSystemItem::create(tree.path(), 0, 0);
        std::vector<FileSystemItem*> copies;
        for (const char* folder : {"A", "B"}) {
            auto* parent = static_cast<FolderSystemItem*>(FolderSystemItem::createInParent(folder, *root, false, false));
            copies.push_back(FileSystemItem::createInParent("p.txt", *parent, 4096, false, 4));
        }
        return std::pair{root, copies};
    };
    setDate(1'000'000'000);
    {
        auto [root, copies] = scanTree();
        auto first = DuplicatesContainer::create(nullptr, nullptr);
        first->addGroupWithItems(copies);
        setDate(1'200'000'000);
        // The entry keeps what the scan saw.
        EXPECT_EQ(entryOf(copies[0])->getLastModificationDate(), (platform::FileTime{1'000'000'000, 0}));
    }
    auto [root, copies] = scanTree();
    auto second = DuplicatesContainer::create(nullptr, nullptr);
    second->addGroupWithItems(copies);
    EXPECT_EQ(entryOf(copies[0])->getLastModificationDate(), (platform::FileTime{1'200'000'000, 0}));

    // Facts the hashing remembered are used as they are, without looking again.
    auto [hashedRoot, hashed] = scanTree();
    hashed[0]->rememberScanFacts({platform::identityOfPath(pathA).value(), platform::FileTime{1'100'000'000, 5}});
    auto third = DuplicatesContainer::create(nullptr, nullptr);
    third->addGroupWithItems(hashed);
    EXPECT_EQ(entryOf(hashed[0])->getLastModificationDate(), (platform::FileTime{1'100'000'000, 5}));
}

}  // namespace
}  // namespace kestrane
