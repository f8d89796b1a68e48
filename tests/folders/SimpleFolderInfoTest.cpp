#include "folders/SimpleFolderInfo.h"

#include "scan/FolderSystemItem.h"
#include "scan/VolumeSystemItem.h"

#include <gtest/gtest.h>

namespace kestrane {
namespace {

TEST(SimpleFolderInfoTest, IdentifierIsLogicalSizeAndDeepCountOnlyForMethodOne) {
    auto root = VolumeSystemItem::create("/data", 0, 0);
    auto* folder = FolderSystemItem::createInParent("a", *root, false, false);
    FileSystemItem::createInParent("x.jpg", *folder, 4096, false, 1500);
    auto* sub = FolderSystemItem::createInParent("sub", *folder, false, false);
    FileSystemItem::createInParent("y.jpg", *sub, 4096, false, 25);
    root->calctotalsize();
    root->recalculateCountOfDeepChildren();

    SimpleFolderInfo info(folder);
    EXPECT_EQ(info.getSystemItem(), folder);
    EXPECT_EQ(info.buildSimplyHash(), "1525_3");
    EXPECT_EQ(info.buildIdentifierForMethod(1), "1525_3");
    EXPECT_FALSE(info.buildIdentifierForMethod(2).has_value());
}

TEST(SimpleFolderInfoTest, AFolderWithKnownUniqueOrExcludedContentCannotBeADuplicate) {
    auto root = VolumeSystemItem::create("/data", 0, 0);
    auto* clean = FolderSystemItem::createInParent("clean", *root, false, false);
    auto* deep = FolderSystemItem::createInParent("deep", *clean, false, false);
    auto* file = FileSystemItem::createInParent("f.txt", *deep, 0, false, 10);
    EXPECT_TRUE(SimpleFolderInfo(clean).isCanBeDuplicate());

    // Checked without a duplicate entry: known to be unique, however deep it lies.
    file->setIsCheckedForDuplicates(true);
    EXPECT_FALSE(SimpleFolderInfo(clean).isCanBeDuplicate());
    EXPECT_FALSE(SimpleFolderInfo(deep).isCanBeDuplicate());

    auto* excluded = FolderSystemItem::createInParent("excluded", *root, false, false);
    FolderSystemItem::createInParent("inner", *excluded, false, false)->markThatHasExcludeContent();
    EXPECT_FALSE(SimpleFolderInfo(excluded).isCanBeDuplicate());

    auto* checkedItself = FolderSystemItem::createInParent("checked", *root, false, false);
    checkedItself->setIsCheckedForDuplicates(true);
    EXPECT_FALSE(SimpleFolderInfo(checkedItself).isCanBeDuplicate());
}

}  // namespace
}  // namespace kestrane
