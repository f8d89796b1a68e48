#include "selection/ListSelectionCommands.h"

#include "duplicates/DuplicateItem.h"
#include "duplicates/DuplicatesContainer.h"
#include "duplicates/DuplicatesGroup.h"
#include "duplicates/GroupSelection.h"
#include "duplicates/ModelTestTree.h"
#include "platform/NotificationCenter.h"
#include "selection/AutoSelectOperations.h"
#include "settings/Settings.h"

#include <gtest/gtest.h>

#include <set>

namespace kestrane {
namespace {

using Sender = ListSelectionCommands::Sender;
using Paths = std::set<std::string>;

class ListSelectionCommandsTest : public test::IsolatedHomeTest {
protected:
    void SetUp() override {
        IsolatedHomeTest::SetUp();
        settings = Settings::standard();  // the store of the isolated home
        settings.setAutoAlwaysSelectFolders(std::vector<std::string>{});
        settings.setAutoNeverSelectFolders(std::vector<std::string>{});
    }

    // Copies of one content, each with its modification time.
    std::shared_ptr<DuplicatesGroup> group(const std::vector<std::pair<std::string, std::int64_t>>& copies) {
        const std::string content = "group " + std::to_string(++m_groups);
        std::vector<FileSystemItem*> items;
        for (const auto& [name, time] : copies) {
            items.push_back(tree.file(name, content));
            test::setModificationTime(tree.path() + "/" + name, time);
        }
        return container->addGroupWithItems(items);
    }
    Paths selected(const DuplicatesGroup& g) const {
        Paths paths;
        for (const auto& item : g.getSelectedItems()) paths.insert(item->getFileItemPath().substr(tree.path().size() + 1));
        return paths;
    }

    Settings settings = Settings::standard();  // replaced in SetUp
    test::ModelTestTree tree;
    std::shared_ptr<DuplicatesContainer> container = DuplicatesContainer::create(nullptr, nullptr);
    int m_groups = 0;
};

TEST_F(ListSelectionCommandsTest, NewestAndOldestKeepTheCopiesOfOneDate) {
    const auto equal = group({{"a/e.txt", 10}, {"b/e.txt", 10}});
    const auto three = group({{"a/t.txt", 1}, {"b/t.txt", 2}, {"c/t.txt", 2}});
    // The first copy's date counts even when it is selected and cannot be
    // deselected; here it is only the first of three.
    const auto firstNewest = group({{"a/f.txt", 9}, {"b/f.txt", 3}, {"c/f.txt", 5}});
    const ListSelectionCommands::Groups groups{equal, three, firstNewest};

    ListSelectionCommands::doNewestSelectionInGroups(groups);
    EXPECT_EQ(selected(*equal), Paths{});
    EXPECT_EQ(selected(*three), (Paths{"b/t.txt", "c/t.txt"}));
    EXPECT_EQ(selected(*firstNewest), (Paths{"a/f.txt", "c/f.txt"}));

    // The earlier selection does not matter: it is undone first.
    ListSelectionCommands::doOldestSelectionInGroups(groups);
    EXPECT_EQ(selected(*equal), Paths{});
    EXPECT_EQ(selected(*three), (Paths{"a/t.txt"}));
    EXPECT_EQ(selected(*firstNewest), (Paths{"b/f.txt", "c/f.txt"}));
}

TEST_F(ListSelectionCommandsTest, NeverSelectFoldersAndTheLastCopyAreRespected) {
    settings.setAutoNeverSelectFolders(std::vector<std::string>{tree.path() + "/keep"});
    const auto guarded = group({{"a/g.txt", 1}, {"keep/g.txt", 5}, {"keepsake/g.txt", 5}});
    ListSelectionCommands::doNewestSelectionInGroups({guarded});
    // A folder that only begins with the listed name is not in it.
    EXPECT_EQ(selected(*guarded), (Paths{"keepsake/g.txt"}));

    EXPECT_TRUE(ListSelectionCommands::isFileInNeverSelectList("/x/keep/a", {"/y", "/x/keep"}));
    EXPECT_FALSE(ListSelectionCommands::isFileInNeverSelectList("/x/keep", {"/x/keep"}));
    EXPECT_FALSE(ListSelectionCommands::isFileInNeverSelectList("/x/keeper/a", {"/x/keep"}));
    // Entries are taken as stored: one that ends with "/" matches nothing.
    EXPECT_FALSE(ListSelectionCommands::isFileInNeverSelectList("/x/keep/a", {"/x/keep/"}));

    // Two copies of which the older one is selected by hand: selecting the
    // newest deselects it and selects the newer one; never both.
    const auto pair = group({{"p/h.txt", 1}, {"q/h.txt", 2}});
    ASSERT_TRUE(pair->getItems()[0]->selectItemForced(false));
    ListSelectionCommands::doNewestSelectionInGroups({pair});
    EXPECT_EQ(selected(*pair), (Paths{"q/h.txt"}));
    settings.setAllowRemovingAllDuplicateCopies(true);
    ListSelectionCommands::doOldestSelectionInGroups({pair});
    EXPECT_EQ(selected(*pair), (Paths{"p/h.txt"}));
}

TEST_F(ListSelectionCommandsTest, ACommandWorksOnTheShownGroupsOrTheOneUnderThePointerInOneBatch) {
    const auto first = group({{"a/1.txt", 1}, {"b/1.txt", 2}});
    const auto second = group({{"a/2.txt", 1}, {"b/2.txt", 2}});
    const auto hidden = group({{"a/3.txt", 1}, {"b/3.txt", 2}});  // filtered out of the list
    ListSelectionCommands commands;
    commands.setShownEntries({nullptr, first, nullptr, second});  // section titles are null entries
    commands.setSelectedGroupItem(second);
    int notifications = 0;
    const auto observation = platform::NotificationCenter::defaultCenter().addObserver(
        GroupSelection::kDuplicateItemSelectionChangedNotification, [&](const platform::Notification&) { ++notifications; });

    EXPECT_EQ(commands.scopeFor(Sender::other), (ListSelectionCommands::Groups{first, second}));
    commands.selectNewest(Sender::other);
    EXPECT_EQ(notifications, 1);
    EXPECT_EQ(selected(*first), (Paths{"b/1.txt"}));
    EXPECT_EQ(selected(*second), (Paths{"b/2.txt"}));
    EXPECT_EQ(selected(*hidden), Paths{});

    commands.deselectAll(Sender::contextMenuItem);
    EXPECT_EQ(notifications, 2);
    EXPECT_EQ(selected(*first), (Paths{"b/1.txt"}));
    EXPECT_EQ(selected(*second), Paths{});

    commands.selectOldest(Sender::contextMenuItem);
    EXPECT_EQ(selected(*second), (Paths{"a/2.txt"}));
    commands.deselectAll(Sender::other);
    EXPECT_EQ(selected(*first), Paths{});
    EXPECT_EQ(selected(*second), Paths{});

    // Auto select from a context menu asks for no review message; from
    // elsewhere it does. Either is one batch.
    notifications = 0;
    EXPECT_FALSE(commands.autoSelectPressed(Sender::contextMenuItem));
    EXPECT_EQ(notifications, 1);
    EXPECT_EQ(selected(*second), (Paths{"b/2.txt"}));
    const auto message = commands.autoSelectPressed(Sender::other);
    ASSERT_TRUE(message);
    EXPECT_EQ(message->kind, AutoSelectOperations::kReviewSelectedKind);
    EXPECT_EQ(selected(*first), (Paths{"b/1.txt"}));
    EXPECT_EQ(notifications, 2);

    // Without a group under the pointer a context-menu command does nothing.
    ListSelectionCommands empty;
    EXPECT_TRUE(empty.scopeFor(Sender::contextMenuItem).empty());
}

}  // namespace
}  // namespace kestrane
