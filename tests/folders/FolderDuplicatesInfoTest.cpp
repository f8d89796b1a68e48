#include "folders/FolderDuplicatesInfo.h"

#include "duplicates/DuplicatesContainer.h"
#include "duplicates/DuplicatesGroup.h"
#include "folders/ScannedFolders.h"

#include <gtest/gtest.h>

namespace kestrane {
namespace {

using test::folderAt;
using test::itemAt;

class FolderDuplicatesInfoTest : public test::IsolatedHomeTest {
protected:
    // The container keeps the tree alive for as long as its groups point into it.
    std::shared_ptr<VolumeSystemItem> scan() {
        auto root = test::scanFolder(m_dir.path());
        m_container->saveRoots({root});
        return root;
    }
    // What the file separator leaves behind: the items checked and, for two or more, grouped.
    std::shared_ptr<DuplicatesGroup> group(std::vector<FileSystemItem*> items) {
        for (auto* item : items) item->setIsCheckedForDuplicates(true);
        return m_container->addGroupWithItems(items);
    }
    test::TempDir m_dir;
    std::shared_ptr<DuplicatesContainer> m_container = DuplicatesContainer::create(nullptr, nullptr);
};

TEST_F(FolderDuplicatesInfoTest, CountsChildrenAndTakesInOnlyCheckedChildrenOfItsOwnFolder) {
    m_dir.writeFile("p/a.txt", "alpha");
    m_dir.writeFile("p/b.txt", "beta");
    m_dir.writeFile("p/sub/c.txt", "gamma");
    m_dir.writeFile("q/a.txt", "alpha");
    auto root = scan();
    FolderSystemItem* p = folderAt(*root, "p");

    FolderDuplicatesInfo info(p);
    EXPECT_EQ(info.getFolder(), p);
    EXPECT_EQ(info.getCountOfItems(), 3u);
    EXPECT_EQ(info.getCountOfSubFolders(), 1u);
    EXPECT_EQ(info.getCountOfNotCheckedItems(), 3u);
    EXPECT_FALSE(info.isHasUniqueItems());
    EXPECT_EQ(info.getCountOfDuplicatesGroups(), 0u);

    FileSystemItem* a = itemAt(*root, "p/a.txt");
    info.updateDataAfterProcessedItem(a);  // not checked yet: nothing to take in
    EXPECT_EQ(info.getCountOfNotCheckedItems(), 3u);
    FileSystemItem* elsewhere = itemAt(*root, "q/a.txt");
    elsewhere->setIsCheckedForDuplicates(true);
    info.updateDataAfterProcessedItem(elsewhere);  // another folder's child
    EXPECT_EQ(info.getCountOfNotCheckedItems(), 3u);
    EXPECT_FALSE(info.isHasUniqueItems());

    a->setIsCheckedForDuplicates(true);  // compared, no copy found
    info.updateDataAfterProcessedItem(a);
    EXPECT_EQ(info.getCountOfNotCheckedItems(), 2u);
    EXPECT_TRUE(info.isHasUniqueItems());
    // A folder with something unique in it is like no other, not even itself.
    EXPECT_FALSE(info.isEqualToFolderInfo(info));

    // Recounting from scratch finds the same.
    info.updateData();
    EXPECT_EQ(info.getCountOfNotCheckedItems(), 2u);
    EXPECT_EQ(info.getCountOfUniqueItems(), 1u);
}

TEST_F(FolderDuplicatesInfoTest, FoldersAreEqualOnlyWhenEveryGroupHoldsAsManyChildrenOfEach) {
    for (const std::string folder : {"p", "q", "r"}) {
        m_dir.writeFile(folder + "/1.txt", "x");
        m_dir.writeFile(folder + "/2.txt", "x");
        m_dir.writeFile(folder + "/3.txt", "x");
    }
    auto root = scan();
    auto file = [&](const std::string& path) { return itemAt(*root, path); };
    // p and q: one child in G, two in H. r: two in G, one in H.
    auto g = group({file("p/1.txt"), file("q/1.txt"), file("r/1.txt"), file("r/2.txt")});
    auto h = group({file("p/2.txt"), file("p/3.txt"), file("q/2.txt"), file("q/3.txt"), file("r/3.txt")});
    ASSERT_TRUE(g && h);

    FolderDuplicatesInfo p(folderAt(*root, "p")), q(folderAt(*root, "q")), r(folderAt(*root, "r"));
    EXPECT_EQ(p.getCountOfDuplicatesGroups(), 2u);
    EXPECT_EQ(p.getCountOfDuplicatesInGroupWithID(g->getGroupID()), 1);
    EXPECT_EQ(p.getCountOfDuplicatesInGroupWithID(h->getGroupID()), 2);
    EXPECT_EQ(p.getCountOfNotCheckedItems(), 0u);
    EXPECT_TRUE(p.isEqualToFolderInfo(q));
    EXPECT_TRUE(q.isEqualToFolderInfo(p));
    EXPECT_FALSE(p.isEqualToFolderInfo(r));  // same counts of items and groups, spread differently
    EXPECT_FALSE(r.isEqualToFolderInfo(p));

    // Forgetting the groups keeps the other counts: what was compared before stays compared.
    r.resetGroupsInfo();
    EXPECT_EQ(r.getCountOfDuplicatesGroups(), 0u);
    EXPECT_EQ(r.getCountOfNotCheckedItems(), 0u);
    EXPECT_EQ(r.getCountOfItems(), 3u);
    p.resetGroupsInfo();
    EXPECT_TRUE(p.isEqualToFolderInfo(r));
}

TEST_F(FolderDuplicatesInfoTest, EmptyFoldersAreToldApartByNameOnly) {
    m_dir.makeDir("one/cache");
    m_dir.makeDir("two/cache");
    m_dir.makeDir("two/Cache");
    m_dir.writeFile("three/cache/x", "1");
    m_dir.writeFile("four/other/x", "2");
    auto root = scan();

    FolderDuplicatesInfo a(folderAt(*root, "one/cache")), b(folderAt(*root, "two/cache")), c(folderAt(*root, "two/Cache"));
    EXPECT_TRUE(a.isEqualToFolderInfo(b));
    EXPECT_FALSE(a.isEqualToFolderInfo(c));  // names compare exactly

    // With children, names play no part (yet): one unchecked child each.
    FolderDuplicatesInfo d(folderAt(*root, "three/cache")), e(folderAt(*root, "four/other"));
    EXPECT_TRUE(d.isEqualToFolderInfo(e));
    EXPECT_FALSE(d.isEqualToFolderInfo(a));
}

}  // namespace
}  // namespace kestrane
