#include "folders/InternalDuplicatesByGroupSeparator.h"

#include "duplicates/DuplicateItem.h"
#include "duplicates/DuplicatesContainer.h"
#include "duplicates/DuplicatesGroup.h"
#include "scan/FolderSystemItem.h"
#include "support/ScanTestSupport.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace kestrane {
namespace {

using Separator = InternalDuplicatesByGroupSeparator;

// A scanned tree of real files:
//   P/A/x P/B/x          a group held whole by P, reaching outside A and B
//   P/A/y Q/y            a group reaching from P/A into Q
//   P/A/z Q/D1/z Q/D2/z  D1 and D2 are identical folders (z and w each): z's
//                        only copy outside them is in A, so A holds it whole
//   P/A/own              a file without copies
class SeparatorTest : public test::IsolatedHomeTest {
protected:
    void SetUp() override {
        IsolatedHomeTest::SetUp();
        m_dir.writeFile("P/A/x", test::noise(3000, 1));
        m_dir.writeFile("P/B/x", test::noise(3000, 1));
        m_dir.writeFile("P/A/y", test::noise(3100, 2));
        m_dir.writeFile("Q/y", test::noise(3100, 2));
        m_dir.writeFile("P/A/z", test::noise(3200, 3));
        for (const char* twin : {"Q/D1/", "Q/D2/"}) {
            m_dir.writeFile(std::string(twin) + "z", test::noise(3200, 3));
            m_dir.writeFile(std::string(twin) + "w", test::noise(3300, 4));
        }
        m_dir.writeFile("P/A/own", test::noise(3400, 5));
        m_scan = test::scanFolders({m_dir.path()});
        ASSERT_TRUE(m_scan.container);
    }

    FolderSystemItem* folder(const std::string& relative) {
        const std::string path = relative.empty() ? m_dir.path() : m_dir / relative;
        auto* item = m_scan.container->findExistedSystemItemWithPath(path);
        EXPECT_TRUE(item && item->isDir()) << relative;
        return static_cast<FolderSystemItem*>(item);
    }

    // The copies kept, as paths relative to the tree.
    std::set<std::string> pathsOf(const Separator::Items& items) const {
        std::set<std::string> paths;
        for (const auto& item : items) paths.insert(item->getFileItemPath().substr(m_dir.path().size() + 1));
        return paths;
    }
    std::set<std::string> external(const std::string& relative) {
        return pathsOf(Separator::duplicatesWithExternalCopies(*folder(relative)).allDuplicates());
    }

    test::TempDir m_dir;
    test::ScanOutcome m_scan;
};

TEST_F(SeparatorTest, AFolderCountsOnlyTheCopiesWhoseGroupReachesOutsideIt) {
    EXPECT_EQ(external("P/A"), (std::set<std::string>{"P/A/x", "P/A/y"}));
    EXPECT_EQ(external("P/B"), (std::set<std::string>{"P/B/x"}));
    // P holds x whole; z's copies inside duplicate folders do not count.
    EXPECT_EQ(external("P"), (std::set<std::string>{"P/A/y"}));
    // Q holds both duplicate folders, so their group is whole there; y reaches out.
    EXPECT_EQ(external("Q"), (std::set<std::string>{"Q/y"}));
    // A duplicate folder counts itself, and nothing inside it.
    EXPECT_EQ(external("Q/D1"), (std::set<std::string>{"Q/D1"}));
    // The whole tree holds every group whole.
    EXPECT_TRUE(external("").empty());

    // Walked without removing full groups, P/A holds z too, never D1's z.
    Separator all(Separator::CollectionType::duplicates);
    all.addFolder(folder("P/A"));
    EXPECT_EQ(pathsOf(all.allDuplicates()), (std::set<std::string>{"P/A/x", "P/A/y", "P/A/z"}));
    Separator direct;
    direct.addChildrenOfFolder(folder("Q/D1"));
    EXPECT_TRUE(direct.empty());
}

TEST_F(SeparatorTest, TheDescriptionOfAFolderSplitsGroupsReachingOutFromOtherFiles) {
    const Separator described(folder("P"), Separator::CollectionType::description);
    // x is held whole by P: its files join the other files with P's own.
    std::set<std::string> others;
    for (const FileSystemItem* item : described.otherItems()) others.insert(item->path().substr(m_dir.path().size() + 1));
    EXPECT_EQ(others, (std::set<std::string>{"P/A/x", "P/B/x", "P/A/z", "P/A/own"}));
    EXPECT_EQ(pathsOf(described.allDuplicates()), (std::set<std::string>{"P/A/y"}));
    EXPECT_EQ(described.countOfRemovedFullGroups(), 3);  // x, y and z were looked at

    // Described from a duplicate folder: the folder itself is left out, its
    // content (inside a duplicate folder) is no duplicate of its own.
    const Separator twin(folder("Q/D1"), Separator::CollectionType::description);
    EXPECT_TRUE(twin.empty());
    EXPECT_TRUE(twin.otherItems().empty());
}

TEST_F(SeparatorTest, UnitingKeepsEachCopyOnceAndGroupsCanBeTakenOut) {
    Separator a = Separator::duplicatesWithExternalCopies(*folder("P/A"));
    const Separator b = Separator::duplicatesWithExternalCopies(*folder("P/B"));
    a.addSeparator(b);
    a.addSeparator(b);
    EXPECT_EQ(a.countOfDuplicates(), 3u);
    EXPECT_EQ(a.countOfGroups(), 2u);
    // x is now held whole (both copies), y is not.
    std::set<std::string> whole;
    Separator copy = a;
    copy.removeFullGroupsWithAction(
        [&](const std::shared_ptr<DuplicatesGroup>&, const Separator::Items& items) { whole.merge(pathsOf(items)); });
    EXPECT_EQ(whole, (std::set<std::string>{"P/A/x", "P/B/x"}));
    EXPECT_EQ(pathsOf(copy.allDuplicates()), (std::set<std::string>{"P/A/y"}));
    EXPECT_EQ(a.countOfDuplicates(), 3u) << "a copy is a value of its own";

    // A visit of a snapshot may change the separator itself.
    a.enumerateWithAbilityToMutate(
        [&](const std::shared_ptr<DuplicatesGroup>& group, const Separator::Items&) { a.removeGroup(group->getGroupID()); });
    EXPECT_TRUE(a.empty());
}

}  // namespace
}  // namespace kestrane
