#include "selection/ManualSelection.h"

#include "duplicates/DuplicateItem.h"
#include "duplicates/DuplicatesContainer.h"
#include "duplicates/DuplicatesGroup.h"
#include "duplicates/ModelTestTree.h"
#include "settings/Settings.h"

#include <gtest/gtest.h>

namespace kestrane {
namespace {

using test::entryOf;

class ManualSelectionTest : public test::IsolatedHomeTest {
protected:
    test::ModelTestTree tree;
    std::shared_ptr<DuplicatesContainer> container = DuplicatesContainer::create(nullptr, nullptr);
};

TEST_F(ManualSelectionTest, TickingTheLastCopyByHandFollowsTheSettings) {
    FileSystemItem* a = tree.file("a/t.txt", "t");
    FileSystemItem* b = tree.file("b/t.txt", "t");
    const auto group = container->addGroupWithItems({a, b});
    using Outcome = ManualSelection::Outcome;
    using Place = ManualSelection::Place;
    Settings settings = Settings::standard();

    EXPECT_EQ(ManualSelection::toggleItemByUser(entryOf(a), Place::resultLists, false), Outcome::selected);
    // Removing every copy is not allowed by default.
    EXPECT_EQ(ManualSelection::toggleItemByUser(entryOf(b), Place::resultLists, true), Outcome::lastCopyNotAllowed);
    EXPECT_FALSE(entryOf(b)->isSelected());

    settings.setAllowRemovingAllDuplicateCopies(true);
    EXPECT_EQ(ManualSelection::toggleItemByUser(entryOf(b), Place::resultLists, false), Outcome::confirmationNeeded);
    EXPECT_FALSE(entryOf(b)->isSelected());
    EXPECT_EQ(ManualSelection::toggleItemByUser(entryOf(b), Place::resultLists, true), Outcome::selected);
    EXPECT_TRUE(group->isAllItemsSelected());

    // A selected copy is deselected.
    EXPECT_EQ(ManualSelection::toggleItemByUser(entryOf(b), Place::resultLists, false), Outcome::deselected);
    // Each place has its own message setting.
    settings.saveBoolValue(false, Settings::kKeyShowRemoveLastInCategoriesMessage);
    EXPECT_EQ(ManualSelection::toggleItemByUser(entryOf(b), Place::similarFolders, false), Outcome::confirmationNeeded);
    EXPECT_EQ(ManualSelection::toggleItemByUser(entryOf(b), Place::resultLists, false), Outcome::selected);

    // The question asked before, and the box that turns it off for its place only.
    const Question question = ManualSelection::lastCopyQuestion(*entryOf(b));
    EXPECT_EQ(question.kind, "selection.lastCopy");
    EXPECT_EQ(question.text, "All copies of the file \"t.txt\" will be selected for removal.");
    EXPECT_EQ(question.buttons[question.safeButton], "Cancel");
    EXPECT_EQ(question.suppressionTitle, "Do not show this message again");
    ManualSelection::rememberAnswer({question.safeButton, true}, Place::similarFolders);
    EXPECT_TRUE(settings.showRemoveLastInHeapsMessage()) << "a box ticked on Cancel changes nothing";
    ManualSelection::rememberAnswer({question.yesButton, true}, Place::similarFolders);
    EXPECT_FALSE(settings.showRemoveLastInHeapsMessage());
}

}  // namespace
}  // namespace kestrane
