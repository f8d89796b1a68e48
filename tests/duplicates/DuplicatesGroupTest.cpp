#include "duplicates/DuplicatesGroup.h"

#include "duplicates/DuplicateItem.h"
#include "duplicates/DuplicatesCategory.h"
#include "duplicates/DuplicatesContainer.h"
#include "duplicates/FileCategory.h"
#include "duplicates/GroupContent.h"
#include "duplicates/ModelTestTree.h"
#include "scan/AutoSelectName.h"

#include <gtest/gtest.h>

#include <array>

namespace kestrane {
namespace {

using test::entryOf;

// A group's figures: copies, size, size kept, size and count that can go, copies inside duplicate folders.
using GroupFigures = std::array<std::uint64_t, 6>;
GroupFigures figuresOf(const DuplicatesGroup& group) {
    return {group.getTotalCount(),          group.getTotalSize(),
            group.getContent()->getNotRemovedSize(), group.getSizeThatCanBeRemoved(),
            group.getCountOfDuplicatesThatCanBeRemoved(), group.getItemsCountInDuplicatesFolders()};
}
// A category's figures: copies, size, size that can go.
using CategoryFigures = std::array<std::int64_t, 3>;
CategoryFigures figuresOf(const DuplicatesCategory& category) {
    return {category.getTotalCount(), category.getTotalSize(), category.getSizeThatCanBeRemoved()};
}

class DuplicatesGroupTest : public ::testing::Test {
protected:
    test::ModelTestTree tree;
    std::shared_ptr<DuplicatesContainer> container = DuplicatesContainer::create(nullptr, nullptr);
};

TEST_F(DuplicatesGroupTest, FiguresOfThreeCopiesAndOfACopyInsideADuplicateFolder) {
    FileSystemItem* a = tree.file("one/a.txt", "0123456789");
    FileSystemItem* b = tree.file("two/b.txt", "0123456789");
    FileSystemItem* c = tree.file("d1/c.txt", "0123456789");
    tree.file("d2/other.txt", "0123456789");

    const auto group = container->addGroupWithItems({a, b, c});
    ASSERT_NE(group, nullptr);
    const auto category = group->getCategory();
    EXPECT_EQ(category->getType(), typeOfFileAtPath("a.txt"));
    EXPECT_EQ(figuresOf(*group), (GroupFigures{3, 30, 10, 20, 2, 0}));
    EXPECT_EQ(figuresOf(*category), (CategoryFigures{3, 30, 20}));
    EXPECT_FALSE(group->isFullyInDuplicatesFolders());

    // c's folder turns out to be a duplicate folder: c goes with it, and no copy outside need be kept.
    container->markAsDuplicatesFolderAndFolder(tree.folder("d1"), tree.folder("d2"));
    ASSERT_NE(entryOf(tree.folder("d1")), nullptr);
    EXPECT_EQ(entryOf(c)->getAssociatedDuplicateFolder(), entryOf(tree.folder("d1")));
    EXPECT_EQ(figuresOf(*group), (GroupFigures{3, 20, 0, 20, 2, 1}));
    EXPECT_EQ(figuresOf(*category), (CategoryFigures{3, 20, 20}));
    // Recounting from scratch gives the same figures.
    group->updateGroupInfo();
    EXPECT_EQ(figuresOf(*group), (GroupFigures{3, 20, 0, 20, 2, 1}));
    EXPECT_EQ(figuresOf(*category), (CategoryFigures{3, 20, 20}));

    // Removing the copy in the folder: a copy outside must be kept again.
    group->removeDuplicateItem(entryOf(c));
    EXPECT_EQ(figuresOf(*group), (GroupFigures{2, 20, 10, 10, 1, 0}));
    EXPECT_EQ(figuresOf(*category), (CategoryFigures{2, 20, 10}));

    // Empty files still count their removable copies.
    const auto empty = container->addGroupWithItems(
        {tree.file("a/empty.log", ""), tree.file("b/empty.log", ""), tree.file("c/empty.log", "")});
    EXPECT_EQ(figuresOf(*empty), (GroupFigures{3, 0, 0, 0, 2, 0}));
}

TEST_F(DuplicatesGroupTest, CategoryTotalsFollowNestedChangesAndNeverGoBelowZero) {
    const auto group = container->addGroupWithItems({tree.file("a/x.txt", "12345"), tree.file("b/x.txt", "12345")});
    const auto category = group->getCategory();
    EXPECT_EQ(figuresOf(*category), (CategoryFigures{2, 10, 5}));

    // Only the outermost pair reaches the category: the old figures leave
    // once and the new ones come back once.
    group->notifyListenerThatGroupWillChange();
    EXPECT_EQ(figuresOf(*category), (CategoryFigures{0, 0, 0}));
    group->notifyListenerThatGroupWillChange();
    group->addFileItem(tree.file("c/x.txt", "12345"));
    group->notifyListenerThatGroupDidChange();
    EXPECT_EQ(figuresOf(*category), (CategoryFigures{0, 0, 0}));
    group->notifyListenerThatGroupDidChange();
    EXPECT_EQ(figuresOf(*category), (CategoryFigures{3, 15, 10}));
    group->notifyListenerThatGroupDidChange();  // an unmatched did-change does nothing
    EXPECT_EQ(figuresOf(*category), (CategoryFigures{3, 15, 10}));

    // Taking the same figures out twice leaves 0, not less.
    category->onGroupWillChange(*group);
    category->onGroupWillChange(*group);
    EXPECT_EQ(figuresOf(*category), (CategoryFigures{0, 0, 0}));
    category->onGroupDidChange(*group);
    EXPECT_EQ(figuresOf(*category), (CategoryFigures{3, 15, 10}));

    // Removing the group takes its figures out and unlinks its items.
    FileSystemItem* first = group->getFileSystemItems().front();
    category->removeGroup(group);
    EXPECT_EQ(figuresOf(*category), (CategoryFigures{0, 0, 0}));
    EXPECT_EQ(group->getTotalCount(), 0u);
    EXPECT_EQ(group->getCategory(), nullptr);
    EXPECT_EQ(first->getDuplicateItem(), nullptr);
}

TEST_F(DuplicatesGroupTest, GroupNameIsTheFirstNameThatDoesNotLookLikeACopy) {
    FileSystemItem* copy = tree.file("a/Photo copy.JPG", "img");
    FileSystemItem* original = tree.file("b/Photo.JPG", "img");
    FileSystemItem* numbered = tree.file("c/Photo (1).JPG", "img");
    const auto group = container->addGroupWithItems({copy, original, numbered});
    ASSERT_NE(group, nullptr);
    EXPECT_EQ(group->getGroupName(), "Photo.JPG");
    EXPECT_EQ(group->getGroupNameWithoutExtension(), "Photo");
    EXPECT_EQ(group->getGroupExtension(), "jpg");

    // The name is recomputed after a change; with only copies left, the first one names the group.
    group->removeDuplicateItem(entryOf(original));
    EXPECT_EQ(group->getGroupName(), "Photo copy.JPG");
    EXPECT_EQ(group->getGroupNameWithoutExtension(), "Photo copy");

    // Folders are judged by their whole name.
    tree.file("Backup copy/f", "1");
    tree.file("Backup.2019/f", "1");
    const auto folders = container->addGroupWithItems({tree.folder("Backup copy"), tree.folder("Backup.2019")});
    ASSERT_NE(folders, nullptr);
    EXPECT_TRUE(folders->isFolderGroup());
    EXPECT_EQ(folders->getGroupName(), "Backup.2019");
    EXPECT_EQ(folders->getGroupExtension(), "2019");

    // A removed group has no name.
    folders->getCategory()->removeGroup(folders);
    EXPECT_EQ(folders->getGroupName(), "");
}

TEST_F(DuplicatesGroupTest, AnItemTakesOnlyAnEntryItsGroupHolds) {
    FileSystemItem* a = tree.file("a/r.txt", "same");
    FileSystemItem* b = tree.file("b/r.txt", "same");
    FileSystemItem* c = tree.file("c/r.txt", "same");
    const auto group = container->addGroupWithItems({a, b, c});
    const auto entryA = entryOf(a);
    const auto entryB = entryOf(b);
    EXPECT_EQ(entryA->getFileItemPath(), tree.path() + "/a/r.txt");
    EXPECT_EQ(entryA->getParentFolderItemPath(), tree.path() + "/a");

    // An entry that has left its group is refused: the old link stays.
    group->removeDuplicateItem(entryB);
    EXPECT_EQ(b->getDuplicateItem(), nullptr);
    EXPECT_EQ(entryB->getFileSystemItem(), nullptr);
    EXPECT_TRUE(entryB->getFileItemPath().empty());
    EXPECT_FALSE(entryB->initWithFileItemWithGroup(a, group));
    EXPECT_EQ(a->getDuplicateItem(), entryA.get());
    EXPECT_EQ(c->getDuplicateItem(), entryOf(c).get());

    // The name analysis is made once and kept on the item.
    FileSystemItem* copy = tree.file("report copy 2.txt", "x");
    EXPECT_EQ(copy->getAutoSelectData().getCoreName(), "report");
    EXPECT_EQ(&copy->getAutoSelectData(), &copy->getAutoSelectData());
}

TEST_F(DuplicatesGroupTest, AFolderEntryAssociatesEverythingBelowWithTheOutermostDuplicateFolder) {
    FileSystemItem* x1 = tree.file("o1/d1/x.txt", "xx");
    FileSystemItem* x2 = tree.file("o2/d2/x.txt", "xx");
    FileSystemItem* outside = tree.file("elsewhere/x.txt", "xx");
    const auto files = container->addGroupWithItems({x1, x2, outside});
    ASSERT_NE(files, nullptr);

    const auto inner = container->addGroupWithItems({tree.folder("o1/d1"), tree.folder("o2/d2")});
    ASSERT_NE(inner, nullptr);
    const auto d1 = entryOf(tree.folder("o1/d1"));
    EXPECT_EQ(entryOf(x1)->getAssociatedDuplicateFolder(), d1);
    EXPECT_EQ(files->getItemsCountInDuplicatesFolders(), 2u);

    const auto outer = container->addGroupWithItems({tree.folder("o1"), tree.folder("o2")});
    ASSERT_NE(outer, nullptr);
    const auto o1 = entryOf(tree.folder("o1"));
    EXPECT_EQ(entryOf(x1)->getAssociatedDuplicateFolder(), o1);
    EXPECT_EQ(entryOf(tree.folder("o1/d1"))->getAssociatedDuplicateFolder(), o1);
    EXPECT_EQ(entryOf(outside)->getAssociatedDuplicateFolder(), nullptr);
    // The inner folders now lie wholly inside duplicate folders: hidden.
    EXPECT_TRUE(entryOf(tree.folder("o1/d1"))->getGroup()->getCategory()->isHiddenCategory());
    // The file group still has a copy outside: it stays in its category, figures unchanged.
    EXPECT_EQ(entryOf(x1)->getGroup(), files);
    EXPECT_EQ(files->getItemsCountInDuplicatesFolders(), 2u);
    EXPECT_EQ(files->getTotalSize(), 2u);
    // The level counts the slashes of the path.
    EXPECT_EQ(entryOf(x1)->getLevel(), entryOf(outside)->getLevel() + 1);
}

TEST_F(DuplicatesGroupTest, CopiesInsidePackagesAreKeptOutOfFileCategories) {
    tree.folder("Tool.app", true);
    FileSystemItem* inPackage = tree.file("Tool.app/res/icon.png", "png");
    FileSystemItem* a = tree.file("a/icon.png", "png");
    FileSystemItem* b = tree.file("b/icon.png", "png");
    ASSERT_TRUE(inPackage->isInPackage());

    const auto mixed = container->addGroupWithItems({inPackage, a, b});
    ASSERT_NE(mixed, nullptr);
    EXPECT_EQ(mixed->getTotalCount(), 2u);
    EXPECT_EQ(inPackage->getDuplicateItem(), nullptr);
    EXPECT_FALSE(mixed->getCategory()->isHiddenCategory());

    // Every copy inside packages: the group is hidden, where packages are counted.
    tree.folder("One.app", true);
    tree.folder("Two.app", true);
    FileSystemItem* p1 = tree.file("One.app/lib.so", "lib");
    FileSystemItem* p2 = tree.file("Two.app/lib.so", "lib");
    const auto packaged = container->addGroupWithItems({p1, p2});
    ASSERT_NE(packaged, nullptr);
    EXPECT_TRUE(packaged->getCategory()->isHiddenCategory());
    EXPECT_TRUE(packaged->isPackageContent());
    EXPECT_EQ(packaged->getTotalCount(), 2u);
    EXPECT_EQ(packaged->getItemsCountInPackages(), 2u);
    EXPECT_EQ(container->getHiddenCategoryOfDuplicates()->getGroupsCount(), 1u);
    std::int64_t countedInFileCategories = 0;
    for (const FileCategory type : kAllFileCategories)
        countedInFileCategories += container->getCategoryWithType(type)->getTotalCount();
    EXPECT_EQ(countedInFileCategories, 2);  // the two copies of the mixed group only
}

}  // namespace
}  // namespace kestrane
