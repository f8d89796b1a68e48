#include "folders/SimpleFolderInfo.h"

#include "scan/FolderSystemItem.h"
#include "scan/VolumeSystemItem.h"
#include "folders/ScannedFolders.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

namespace kestrane {
namespace {

TEST(SimpleFolderInfoTest, IdentifierIsLogicalSizeAndDeepCountOnlyForMethodOne) {
    auto root = VolumeSystemItem::create("/data", 0, 0);
    auto* folder = FolderSystemItem::createInParent("a", *root, false, false);
    FileSystemItem::createInParent("x.jpg", *folder, 4096, false, 1500);
    auto* sub = FolderSystemItem::createInParent("sub", *folder, false, false);
    FileSystemItem::createInParent("y.jpg", *sub, 4096, false, 25);
    root->calculateTotalSize();
    root->recalculateCountOfDeepChildren();

    SimpleFolderInfo info(folder);
    EXPECT_EQ(info.getSystemItem(), folder);
    EXPECT_EQ(info.buildSizeAndChildrenCountIdentifier(), "1525_3");
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

namespace kestrane {
namespace {

using test::folderAt;

// The names of the folders of each bucket, bucket by bucket.
std::vector<std::set<std::string>> namesOf(const std::vector<SimpleFolderInfoGroup>& groups) {
    std::vector<std::set<std::string>> names;
    for (const auto& group : groups) {
        std::set<std::string> bucket;
        for (const auto& info : group) bucket.insert(std::string(info.getSystemItem()->path()));
        names.push_back(std::move(bucket));
    }
    return names;
}

class SimpleFolderInfoBucketsTest : public test::IsolatedHomeTest {
protected:
    std::shared_ptr<VolumeSystemItem> scan() {
        auto root = test::scanFolder(m_dir.path());
        root->recalculateCountOfDeepChildren();
        return root;
    }
    std::vector<SimpleFolderInfo> infos(FolderSystemItem& root, const std::vector<std::string>& relatives) {
        std::vector<SimpleFolderInfo> result;
        for (const auto& relative : relatives) result.emplace_back(folderAt(root, relative));
        return result;
    }
    std::set<std::string> paths(const std::vector<std::string>& relatives) {
        std::set<std::string> result;
        for (const auto& relative : relatives) result.insert(m_dir / relative);
        return result;
    }
    test::TempDir m_dir;
};

TEST_F(SimpleFolderInfoBucketsTest, FoldersOfEqualSizeAndDescendantCountShareABucketAndLoneFoldersAreSettled) {
    m_dir.writeFileOfSize("a/f", 100);
    m_dir.writeFileOfSize("b/g", 100, 'y');   // other content: still the same bucket
    m_dir.writeFileOfSize("c/h", 100);
    m_dir.writeFileOfSize("c/i", 0);          // same size, one more descendant
    m_dir.writeFileOfSize("d/k", 200);
    auto root = scan();
    const auto candidates = infos(*root, {"a", "b", "c", "d"});

    EXPECT_TRUE(SimpleFolderInfo::GroupFoldersWithMethod(candidates, 2).empty());
    for (const auto& info : candidates) EXPECT_FALSE(info.getSystemItem()->isCheckedForDuplicates());

    const auto buckets = SimpleFolderInfo::GroupFoldersBySizeAndChildrenCount(candidates);
    ASSERT_EQ(namesOf(buckets), (std::vector<std::set<std::string>>{paths({"a", "b"})}));
    EXPECT_FALSE(folderAt(*root, "a")->isCheckedForDuplicates());
    EXPECT_FALSE(folderAt(*root, "b")->isCheckedForDuplicates());
    // Nothing else has their identifier: they can have no twin.
    EXPECT_TRUE(folderAt(*root, "c")->isCheckedForDuplicates());
    EXPECT_TRUE(folderAt(*root, "d")->isCheckedForDuplicates());
}

TEST_F(SimpleFolderInfoBucketsTest, SmallToBigOrdersBySizeThenByDescendantCount) {
    for (const std::string twin : {"1", "2"}) {
        m_dir.writeFileOfSize("big" + twin + "/x", 300);
        m_dir.writeFileOfSize("deep" + twin + "/s/t", 100);
        m_dir.makeDir("deep" + twin + "/e");
        m_dir.writeFileOfSize("flat" + twin + "/u", 100);
        m_dir.writeFileOfSize("mid" + twin + "/w", 200);
    }
    auto root = scan();
    auto buckets = SimpleFolderInfo::GroupFoldersBySizeAndChildrenCount(
        infos(*root, {"big1", "big2", "deep1", "deep2", "flat1", "flat2", "mid1", "mid2"}));
    ASSERT_EQ(buckets.size(), 4u);

    const std::vector<std::set<std::string>> smallToBig{paths({"flat1", "flat2"}), paths({"deep1", "deep2"}),
                                                        paths({"mid1", "mid2"}), paths({"big1", "big2"})};
    EXPECT_EQ(namesOf(SimpleFolderInfo::SortedGroupsBySizeFromSmallToBig(buckets)), smallToBig);
    std::reverse(buckets.begin(), buckets.end());  // the input order must not matter
    EXPECT_EQ(namesOf(SimpleFolderInfo::SortedGroupsBySizeFromSmallToBig(buckets)), smallToBig);

    const auto preSorted = namesOf(SimpleFolderInfo::PreSortedGroupsBySizeFromBigToSmall(buckets));
    ASSERT_EQ(preSorted.size(), 4u);
    EXPECT_EQ(preSorted.front(), paths({"big1", "big2"}));
    EXPECT_EQ(preSorted[1], paths({"mid1", "mid2"}));
}

TEST_F(SimpleFolderInfoBucketsTest, BigToSmallPutsTheBucketsNestedInABigFolderJustBeforeIt) {
    // X and X2 hold Y and Y2, which hold V and V2; a third twin of V lies
    // outside, in a folder that is no candidate. Z and M are unrelated.
    for (const std::string twin : {"", "2"}) {
        m_dir.writeFileOfSize("X" + twin + "/Y" + twin + "/V" + twin + "/v", 10);
        m_dir.writeFileOfSize("X" + twin + "/Y" + twin + "/y", 40);
        m_dir.writeFileOfSize("X" + twin + "/x", 1000);
        m_dir.writeFileOfSize("Z" + twin + "/z", 500);
        m_dir.writeFileOfSize("M" + twin + "/m", 20);
    }
    m_dir.writeFileOfSize("W/V3/v", 10);
    m_dir.writeFileOfSize("W/other", 7);
    auto root = scan();
    const auto buckets = SimpleFolderInfo::GroupFoldersBySizeAndChildrenCount(
        infos(*root, {"M", "M2", "W/V3", "X", "X2", "X/Y", "X2/Y2", "X/Y/V", "X2/Y2/V2", "Z", "Z2"}));
    ASSERT_EQ(buckets.size(), 5u);

    const std::vector<std::set<std::string>> expected{paths({"X/Y/V", "X2/Y2/V2", "W/V3"}), paths({"X/Y", "X2/Y2"}),
                                                      paths({"X", "X2"}), paths({"Z", "Z2"}), paths({"M", "M2"})};
    EXPECT_EQ(namesOf(SimpleFolderInfo::SortedGroupsBySizeFromBigToSmall(buckets)), expected);
    auto reversed = buckets;
    std::reverse(reversed.begin(), reversed.end());
    EXPECT_EQ(namesOf(SimpleFolderInfo::SortedGroupsBySizeFromBigToSmall(reversed)), expected);
}

}  // namespace
}  // namespace kestrane
