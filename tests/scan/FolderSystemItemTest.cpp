#include "scan/FolderSystemItem.h"

#include "scan/VolumeSystemItem.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace kestrane {
namespace {

// /r
//   a/            files a1 (4096 allocated, 100 logical), a2 (8192, 5000)
//     b/          file b1 (4096, 10)
//   c             file (512, 300)
//   d/            empty
struct SampleTree {
    std::shared_ptr<VolumeSystemItem> root = VolumeSystemItem::create("/r", 1000, 500);
    FolderSystemItem* a = FolderSystemItem::createInParent("a", *root, false, false);
    FileSystemItem* a1 = FileSystemItem::createInParent("a1", *a, 4096, false, 100);
    FolderSystemItem* b = FolderSystemItem::createInParent("b", *a, false, false);
    FileSystemItem* b1 = FileSystemItem::createInParent("b1", *b, 4096, false, 10);
    FileSystemItem* a2 = FileSystemItem::createInParent("a2", *a, 8192, false, 5000);
    FileSystemItem* c = FileSystemItem::createInParent("c", *root, 512, false, 300);
    FolderSystemItem* d = FolderSystemItem::createInParent("d", *root, false, false);
};

TEST(FolderSystemItemTest, SizeCalculationSumsAllocatedAndLogicalSeparately) {
    SampleTree t;
    EXPECT_EQ(t.root->getVolSize(), 1000);
    EXPECT_EQ(t.root->getVolFreeSize(), 500);
    EXPECT_EQ(t.root->allocatedSize(), 0);  // folder sums stay 0 until calculated
    EXPECT_TRUE(t.root->isVol() && t.root->isDir() && !t.a->isVol() && t.a->isDir());
    t.d->m_allocatedSize = 77;  // stale values are replaced, not added to
    t.d->m_logicalSize = 77;
    EXPECT_EQ(t.d->calculateTotalSize(), 0);
    EXPECT_EQ(t.d->logicalSize(), 0);

    FileSystemItem::createInParent("broken", *t.b, -1, false, 7);  // a negative allocated size counts as 0
    EXPECT_EQ(t.root->calculateTreeSizes(), 4096 + 8192 + 4096 + 512);
    EXPECT_EQ(t.root->logicalSize(), 100 + 5000 + 10 + 7 + 300);
    EXPECT_EQ(t.a->allocatedSize(), 4096 + 8192 + 4096);
    EXPECT_EQ(t.b->allocatedSize(), 4096);
    EXPECT_EQ(t.b->logicalSize(), 17);
}

TEST(FolderSystemItemTest, RemoveChildAndRecalcLowersTheChainOnlyForChildren) {
    SampleTree t;
    t.root->calculateTotalSize();
    const auto sizes = [&] {
        return std::vector<std::int64_t>{t.root->allocatedSize(), t.a->allocatedSize(), t.b->allocatedSize(),
                                         t.root->logicalSize(), t.a->logicalSize(), t.b->logicalSize()};
    };
    const auto before = sizes();

    EXPECT_FALSE(t.a->removeChildAndRecalc(t.b1));  // a grandchild is not a child
    EXPECT_FALSE(t.a->removeChildAndRecalc(t.c));
    EXPECT_EQ(sizes(), before);
    EXPECT_EQ(t.a->numberOfChildren(), 3u);

    EXPECT_TRUE(t.b->removeChildAndRecalc(t.b1));  // b1 is destroyed here
    EXPECT_EQ(t.b->numberOfChildren(), 0u);
    EXPECT_EQ(sizes(), (std::vector<std::int64_t>{before[0] - 4096, before[1] - 4096, before[2] - 4096,
                                                  before[3], before[4], before[5]}));
    EXPECT_EQ(t.c->allocatedSize(), 512);

    t.a->increaseTotalSize(10);
    t.a->decreaseTotalSize(3);
    EXPECT_EQ(t.root->allocatedSize(), before[0] - 4096 + 7);
    EXPECT_EQ(t.b->allocatedSize(), 0);
}

TEST(FolderSystemItemTest, RemoveAndReplaceHandOwnershipBack) {
    SampleTree t;
    std::unique_ptr<FileSystemItem> moved = t.a->removeChild(t.b);
    ASSERT_EQ(moved.get(), t.b);
    EXPECT_EQ(moved->parent(), nullptr);
    EXPECT_FALSE(t.a->containsObject(t.b));
    EXPECT_EQ(t.a->childAtIndex(1), t.a2);
    EXPECT_EQ(t.a->removeChild(t.b), nullptr);
    EXPECT_EQ(t.a->childAtIndex(2), nullptr);

    // Moving an item into another folder re-parents it with its subtree.
    EXPECT_EQ(t.d->addChild(std::move(moved)), t.b);
    EXPECT_EQ(t.b1->path(), "/r/d/b/b1");

    auto replacement = FileSystemItem::make("new", nullptr, 1, false, 1);
    FileSystemItem* raw = replacement.get();
    std::unique_ptr<FileSystemItem> old = t.a->replaceChild(t.a1, std::move(replacement));
    EXPECT_EQ(old.get(), t.a1);
    EXPECT_EQ(old->parent(), nullptr);
    EXPECT_EQ(t.a->childAtIndex(0), raw);
    EXPECT_EQ(raw->path(), "/r/a/new");

    // Replacing something that is not a child changes nothing and leaves the replacement with the caller.
    auto spare = FileSystemItem::make("spare", nullptr, 1, false, 1);
    EXPECT_EQ(t.a->replaceChild(t.c, std::move(spare)), nullptr);
    ASSERT_NE(spare, nullptr);
    EXPECT_EQ(t.a->numberOfChildren(), 2u);
    EXPECT_EQ(t.root->childAtIndex(1), t.c);
}

TEST(FolderSystemItemTest, ChildWithNameIsExactAndTakesTheFirst) {
    auto root = VolumeSystemItem::create("/r", 0, 0);
    FileSystemItem* lower = FileSystemItem::createInParent("photo.jpg", *root, 0, false, 0);
    FileSystemItem* twin = FileSystemItem::createInParent("twin", *root, 0, false, 0);
    FileSystemItem::createInParent("twin", *root, 0, false, 0);
    for (const char* other : {"Photo.JPG", "photo", "photo.jpg "}) EXPECT_EQ(root->childWithName(other), nullptr);
    EXPECT_EQ(root->childWithName("photo.jpg"), lower);
    EXPECT_EQ(root->childWithName("twin"), twin);
}

TEST(FolderSystemItemTest, DeepListsFollowTheirOrderAndDeepCountsAreCachedUntilRecalculated) {
    SampleTree t;
    FolderSystemItem* e = FolderSystemItem::createInParent("e", *t.b, false, false);
    FileSystemItem* e1 = FileSystemItem::createInParent("e1", *e, 0, false, 0);
    EXPECT_EQ(t.root->childrenDeepArray(),
              (std::vector<FileSystemItem*>{t.a, t.c, t.d, t.a1, t.b, t.a2, t.b1, e, e1}));
    EXPECT_EQ(t.root->subFoldersDeepArray(), (std::vector<FolderSystemItem*>{t.a, t.b, e, t.d}));
    EXPECT_TRUE(t.d->childrenDeepArray().empty());

    // Duplicates inside folders that have no entry themselves are found too.
    alignas(std::max_align_t) static char entries[3];
    e1->setLinkedEntry(reinterpret_cast<ItemLinkTarget*>(&entries[0]));
    t.a->setLinkedEntry(reinterpret_cast<ItemLinkTarget*>(&entries[1]));
    t.c->setLinkedEntry(reinterpret_cast<ItemLinkTarget*>(&entries[2]));
    EXPECT_EQ(t.root->duplicatesDeepArray(), (std::vector<FileSystemItem*>{t.a, e1, t.c}));
    EXPECT_EQ(t.b->duplicatesDeepArray(), (std::vector<FileSystemItem*>{e1}));
    // The tokens are no entries: unlink them before the items go.
    for (FileSystemItem* item : {e1, static_cast<FileSystemItem*>(t.a), t.c}) item->setLinkedEntry(nullptr);

    EXPECT_EQ(t.root->getCountOfDeepChildren(), 0u);
    t.root->recalculateCountOfDeepChildren();
    EXPECT_EQ(t.root->getCountOfDeepChildren(), 9u);
    EXPECT_EQ(t.a->getCountOfDeepChildren(), 6u);
    EXPECT_EQ(t.c->getCountOfDeepChildren(), 0u);
    FileSystemItem::createInParent("late", *t.b, 0, false, 0);
    EXPECT_EQ(t.root->getCountOfDeepChildren(), 9u);
    t.root->recalculateCountOfDeepChildren();
    EXPECT_EQ(t.root->getCountOfDeepChildren(), 10u);
    EXPECT_EQ(t.b->getCountOfDeepChildren(), 4u);
}

TEST(FolderSystemItemTest, DeepFileCountWithAndWithoutHiddenItems) {
    auto root = VolumeSystemItem::create("/r", 0, 0);
    FolderSystemItem* hidden = FolderSystemItem::createInParent(".hidden", *root, true, false);
    FolderSystemItem* inside = FolderSystemItem::createInParent("inside", *hidden, false, false);
    FileSystemItem::createInParent("h1", *hidden, 0, false, 0);
    FileSystemItem::createInParent("h2", *inside, 0, false, 0);
    FolderSystemItem* visible = FolderSystemItem::createInParent("visible", *root, false, false);
    FileSystemItem::createInParent("v1", *visible, 0, false, 0);
    FileSystemItem::createInParent(".dot", *visible, 0, true, 0);
    FileSystemItem* top = FileSystemItem::createInParent("top", *root, 0, false, 0);

    EXPECT_EQ(root->getCountOfDeepFilesWithHidden(true), 5u);
    EXPECT_EQ(root->getCountOfDeepFilesWithHidden(false), 2u);
    EXPECT_EQ(inside->getCountOfDeepFilesWithHidden(true), 1u);
    EXPECT_EQ(inside->getCountOfDeepFilesWithHidden(false), 0u);  // under a hidden folder
    EXPECT_EQ(top->getCountOfDeepFilesWithHidden(true), 0u);
}

}  // namespace
}  // namespace kestrane
