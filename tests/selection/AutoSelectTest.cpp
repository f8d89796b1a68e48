#include "selection/AutoSelectFolderLists.h"
#include "selection/AutoSelectGroupSeparator.h"
#include "selection/AutoSelectManager.h"
#include "selection/AutoSelectOperations.h"
#include "selection/DuplicateItemActionsStatistics.h"

#include "duplicates/DuplicateItem.h"
#include "duplicates/DuplicatesContainer.h"
#include "duplicates/DuplicatesGroup.h"
#include "duplicates/DuplicatesManager.h"
#include "duplicates/ModelTestTree.h"
#include "settings/Settings.h"

#include <gtest/gtest.h>

#include <set>

namespace kestrane {
namespace {

using test::entryOf;
using Choice = AutoSelectChoice;
using Paths = std::set<std::string>;

class AutoSelectTest : public test::IsolatedHomeTest {
protected:
    void SetUp() override {
        IsolatedHomeTest::SetUp();
        settings = Settings::standard();  // the store of the isolated home
        // No folder is listed unless a test lists one.
        settings.setAutoAlwaysSelectFolders(std::vector<std::string>{});
        settings.setAutoNeverSelectFolders(std::vector<std::string>{});
    }

    // A group of files written with the same content (its own per group),
    // each given a modification time (all the same unless said otherwise).
    std::shared_ptr<DuplicatesGroup> group(const std::vector<std::string>& names,
                                           const std::vector<std::int64_t>& times = {}) {
        const std::string content = "content of group " + std::to_string(++m_groups);
        std::vector<FileSystemItem*> items;
        for (std::size_t i = 0; i < names.size(); ++i) {
            items.push_back(tree.file(names[i], content));
            test::setModificationTime(tree.path() + "/" + names[i], i < times.size() ? times[i] : 1'000'000);
        }
        return container->addGroupWithItems(items);
    }

    std::string at(const std::string& relative) const { return tree.path() + "/" + relative; }

    // The paths, relative to the tree, of the copies selected in the group.
    Paths selected(const DuplicatesGroup& g) const {
        Paths paths;
        for (const auto& item : g.getSelectedItems()) paths.insert(item->getFileItemPath().substr(tree.path().size() + 1));
        return paths;
    }
    Paths chosenByNames(const DuplicatesGroup& g, const AutoSelectManager* manager = nullptr) const {
        AutoSelectGroupSeparator separator(g.getItems());
        separator.separateItemsUsingManager(manager);
        Paths paths;
        for (const auto& item : separator.getItemsForSelect())
            paths.insert(item->getFileItemPath().substr(tree.path().size() + 1));
        return paths;
    }

    Settings settings = Settings::standard();  // replaced in SetUp
    test::ModelTestTree tree;
    std::shared_ptr<DuplicatesContainer> container = DuplicatesContainer::create(nullptr, nullptr);
    int m_groups = 0;
};

TEST_F(AutoSelectTest, TheMostSpecificListedFolderDecides) {
    EXPECT_EQ(AutoSelectManager::preparePathsArrayToUse({"/", "/a", "/a/b/c", "x", "/a/b/"}),
              (std::vector<std::string>{"/a/b/c/", "/a/b/", "/a/"}));

    AutoSelectManager manager;
    manager.setFolderLists({"/home/me/Downloads", "/same", "/", "/in"}, {"/home/me/Downloads/Keep", "/home/me/Music",
                                                                         "/same", "/in/side"});
    EXPECT_EQ(manager.getChoiceUsingUserAutoSelectPathsForPath("/home/me/Downloads/Keep/a.jpg"), Choice::neverSelect);
    EXPECT_EQ(manager.getChoiceUsingUserAutoSelectPathsForPath("/home/me/Downloads/a.jpg"), Choice::select);
    EXPECT_EQ(manager.getChoiceUsingUserAutoSelectPathsForPath("/home/me/Music/a.mp3"), Choice::neverSelect);
    // An always-select folder beats a never-select folder of the same length.
    EXPECT_EQ(manager.getChoiceUsingUserAutoSelectPathsForPath("/same/a"), Choice::select);
    EXPECT_EQ(manager.getChoiceUsingUserAutoSelectPathsForPath("/in/side/deep/a"), Choice::neverSelect);
    EXPECT_EQ(manager.getChoiceUsingUserAutoSelectPathsForPath("/in/other/a"), Choice::select);
    // Folders, not name prefixes; exact bytes; the folder itself is not under itself; "/" is dropped.
    EXPECT_EQ(manager.getChoiceUsingUserAutoSelectPathsForPath("/home/me/Downloads2/a.jpg"), Choice::none);
    EXPECT_EQ(manager.getChoiceUsingUserAutoSelectPathsForPath("/home/me/downloads/a.jpg"), Choice::none);
    EXPECT_EQ(manager.getChoiceUsingUserAutoSelectPathsForPath("/home/me/Downloads"), Choice::none);
    EXPECT_EQ(manager.getChoiceUsingUserAutoSelectPathsForPath("/etc/passwd"), Choice::none);

    // Only a counting manager tells the statistics when the never-select list decided.
    auto& statistics = DuplicateItemActionsStatistics::shared();
    statistics.clearInfo();
    manager.getChoiceUsingUserAutoSelectPathsForPath("/home/me/Music/a.mp3");
    EXPECT_EQ(statistics.countOfNeverSelectListWasUsed(), 0u);
    AutoSelectManager counting(true);
    counting.setFolderLists({}, {"/home/me/Music"});
    counting.getChoiceUsingUserAutoSelectPathsForPath("/home/me/Music/a.mp3");
    counting.getChoiceUsingUserAutoSelectPathsForPath("/home/me/Pictures/a.jpg");
    EXPECT_EQ(statistics.countOfNeverSelectListWasUsed(), 1u);
}

TEST_F(AutoSelectTest, NamesChooseTheCopiesThatLookLikeCopiesOfTheSameOriginal) {
    const auto copies = group({"p/photo.jpg", "p/photo copy.jpg", "p/photo copy 2.jpg"});
    EXPECT_EQ(chosenByNames(*copies), (Paths{"p/photo copy.jpg", "p/photo copy 2.jpg"}));
    // Both numbered once: the smaller number stays.
    const auto numbered = group({"n/pic (2).jpg", "n/pic (1).jpg"});
    EXPECT_EQ(chosenByNames(*numbered), (Paths{"n/pic (2).jpg"}));
    // Different cores are never compared.
    EXPECT_EQ(chosenByNames(*group({"d/a.jpg", "d/b.jpg"})), Paths{});
    EXPECT_EQ(chosenByNames(*group({"d/report.txt", "d/notes copy.txt"})), Paths{});
    // A tie is broken by the folders' names one level up...
    EXPECT_EQ(chosenByNames(*group({"x/Album/photo.jpg", "y/Album copy/photo.jpg"})), (Paths{"y/Album copy/photo.jpg"}));
    // ...and stays a tie when the copies share their folders all the way up.
    EXPECT_EQ(chosenByNames(*group({"s/img.jpg", "s/img.png"})), Paths{});
    // Only the tied copies go up a level: "copy of" loses at once, and the
    // tie of the two others is broken by their folders.
    EXPECT_EQ(chosenByNames(*group({"t/a/doc.txt", "t/a copy/doc.txt", "t/b/copy of doc.txt"})),
              (Paths{"t/a copy/doc.txt", "t/b/copy of doc.txt"}));

    // Composed and decomposed spellings of one name, and markers in other languages.
    const std::string composed = "r\xC3\xA9sum\xC3\xA9";     // résumé, precomposed
    const std::string decomposed = "re\xCC\x81sume\xCC\x81";  // résumé, e + combining acute
    EXPECT_EQ(chosenByNames(*group({"l/" + composed + ".txt", "l/" + decomposed + " copy.txt"})),
              (Paths{"l/" + decomposed + " copy.txt"}));
    EXPECT_EQ(chosenByNames(*group({"l/foto k\xC3\xB3pia.jpg", "l/foto.jpg"})), (Paths{"l/foto k\xC3\xB3pia.jpg"}));
    // 写真 のコピー with a precomposed ピ (as Linux tools write it).
    const std::string photo = "\xE5\x86\x99\xE7\x9C\x9F";
    EXPECT_EQ(chosenByNames(*group({"j/" + photo + " \xE3\x81\xAE\xE3\x82\xB3\xE3\x83\x94\xE3\x83\xBC.jpg", "j/" + photo + ".jpg"})),
              (Paths{"j/" + photo + " \xE3\x81\xAE\xE3\x82\xB3\xE3\x83\x94\xE3\x83\xBC.jpg"}));
    EXPECT_EQ(chosenByNames(*group({"k/Kopie van/bild kopie.png", "k/bild.png", "k/copy of bild.png"})),
              (Paths{"k/Kopie van/bild kopie.png", "k/copy of bild.png"}));
}

TEST_F(AutoSelectTest, FolderListsChooseFirstAndNeverSelectedCopiesAreNeverChosen) {
    AutoSelectManager manager;
    manager.setFolderLists({at("Downloads")}, {at("Keep")});
    // The always-select copy is chosen whatever its name; names rank the rest.
    EXPECT_EQ(chosenByNames(*group({"Downloads/q.txt", "home/q copy.txt", "home/q copy 2.txt"}), &manager),
              (Paths{"Downloads/q.txt", "home/q copy 2.txt"}));
    // Every copy under an always-select folder: the lists are left out and names decide.
    EXPECT_EQ(chosenByNames(*group({"Downloads/a/v.txt", "Downloads/v copy.txt"}), &manager),
              (Paths{"Downloads/v copy.txt"}));
    // A copy under a never-select folder is ranked but never chosen.
    EXPECT_EQ(chosenByNames(*group({"home/w.txt", "Keep/w copy.txt"}), &manager), Paths{});
}

TEST_F(AutoSelectTest, EachGroupKeepsOneSensibleCopy) {
    settings.setAutoAlwaysSelectFolders(std::vector<std::string>{at("Downloads")});
    settings.setAutoNeverSelectFolders(std::vector<std::string>{at("Keep")});
    auto& manager = AutoSelectManager::sharedManager();
    // A copy under a never-select folder stays, every other one goes, names
    // and dates aside.
    const auto protectedCopy = group({"x/a.txt", "Keep/a copy.txt", "y/a.txt"}, {5, 9, 1});
    // Names, then the oldest date, then the shallowest, then the first.
    const auto named = group({"p/b copy.txt", "p/b.txt"});
    const auto dated = group({"n1/c.txt", "n2/c.txt", "n3/c.txt"}, {200, 100, 200});
    const auto sameDate = group({"n1/d.txt", "n2/d.txt", "n3/d.txt"}, {100, 200, 100});
    const auto deep = group({"s/t/e.txt", "s/e.txt"});
    const auto first = group({"f/g.txt", "h/g.txt", "i/g.txt"});
    const auto downloaded = group({"Downloads/h.txt", "m/h copy.txt"});
    AutoSelectOperations::performForceSelectForGroups(
        {protectedCopy, named, dated, sameDate, deep, first, downloaded}, manager);

    EXPECT_EQ(selected(*protectedCopy), (Paths{"x/a.txt", "y/a.txt"}));
    EXPECT_EQ(selected(*named), (Paths{"p/b copy.txt"}));
    EXPECT_EQ(selected(*dated), (Paths{"n1/c.txt", "n3/c.txt"}));
    // Two copies share the oldest date: the depth does not tell them apart, the order does.
    EXPECT_EQ(selected(*sameDate), (Paths{"n2/d.txt", "n3/d.txt"}));
    EXPECT_EQ(selected(*deep), (Paths{"s/t/e.txt"}));
    EXPECT_EQ(selected(*first), (Paths{"h/g.txt", "i/g.txt"}));
    // The always-select copy goes, though its name is the original one.
    EXPECT_EQ(selected(*downloaded), (Paths{"Downloads/h.txt"}));
}

TEST_F(AutoSelectTest, NeverSelectsTheLastCopyNorDeselectsAnything) {
    auto& manager = AutoSelectManager::sharedManager();
    // Selected by hand: auto-select would choose the copy, but only one copy may go.
    const auto byHand = group({"m/k.txt", "m/k copy.txt"});
    ASSERT_TRUE(byHand->getItems()[0]->selectItemForced(false));
    // Every copy of the group under a never-select folder but one: the
    // others go, the last one stays.
    settings.setAutoNeverSelectFolders(std::vector<std::string>{at("Keep")});
    const auto kept = group({"Keep/r.txt", "Keep/r copy.txt", "o/r copy 3.txt"});
    AutoSelectOperations::performForceSelectForGroups({byHand, kept}, manager);
    EXPECT_EQ(selected(*byHand), (Paths{"m/k.txt"}));
    EXPECT_EQ(selected(*kept), (Paths{"o/r copy 3.txt"}));

    // Copies inside duplicate folders go with their folders: one folder
    // stays, and the copy outside goes, since one inside is kept.
    FileSystemItem* inA = tree.file("A/z.txt", "z");
    FileSystemItem* inB = tree.file("B/z.txt", "z");
    FileSystemItem* outside = tree.file("C/z.txt", "z");
    for (const char* path : {"A", "B", "A/z.txt", "B/z.txt", "C/z.txt"}) test::setModificationTime(at(path), 50);
    const auto folders = container->addGroupWithItems({tree.folder("A"), tree.folder("B")});
    const auto files = container->addGroupWithItems({inA, inB, outside});
    AutoSelectOperations::performForceSelectForGroups({folders, files}, manager);
    EXPECT_EQ(selected(*folders), (Paths{"B"}));
    EXPECT_EQ(selected(*files), (Paths{"B/z.txt", "C/z.txt"}));
    EXPECT_FALSE(entryOf(inA)->isSelected());
}

TEST_F(AutoSelectTest, ARunFromAScreenSaysWhatCameOfIt) {
    using namespace AutoSelectOperations;
    const auto first = group({"a/x.txt", "a/x copy.txt"});
    const auto second = group({"b/y.txt", "b/y copy.txt", "b/y copy 2.txt"});
    const auto size = first->oneItemSize() + 2 * second->oneItemSize();

    auto message = doAutoSelectInGroups({first, second}, true);
    ASSERT_TRUE(message);
    EXPECT_EQ(message->kind, kReviewSelectedKind);
    EXPECT_EQ(message->title, "Review the selected duplicates");
    EXPECT_EQ(message->text, "3 duplicates of " + std::to_string(size) +
                                 " bytes are selected for removal.\nReview and confirm the selected files before removal.");
    EXPECT_EQ(*message->parameter("count"), "3");
    EXPECT_EQ(reviewSelectedText(1, 4'100'000),
              "1 duplicate of 4.1 MB is selected for removal.\nReview and confirm the selected file before removal.");

    // Again: nothing new.
    message = doAutoSelectInGroups({first, second}, true);
    ASSERT_TRUE(message);
    EXPECT_EQ(message->kind, kNothingSelectedKind);
    EXPECT_EQ(message->title, "No duplicates were selected");
    EXPECT_EQ(message->text, "All duplicate files were selected before.");
    settings.setShowAlertThatAutoSelectDidNotChangeSelection(false);
    EXPECT_FALSE(doAutoSelectInGroups({first, second}, true));

    // Nothing new because the never-select list protected the copies.
    settings.setAutoNeverSelectFolders(std::vector<std::string>{at("Keep")});
    const auto guarded = group({"Keep/g.txt", "Keep/g copy.txt"});
    message = doAutoSelectInGroups({guarded}, false);
    ASSERT_TRUE(message);
    EXPECT_EQ(message->kind, kNothingSelectedNeverSelectListKind);
    EXPECT_EQ(message->text,
              "All duplicate files have been already selected.\nSome duplicates could not be selected by Auto Select "
              "because they are stored in the folders added to the Never Select list in Preferences.");
    EXPECT_EQ(message->buttons, (std::vector<std::string>{"OK", "Show Never Select List"}));
    settings.setShowAlertThatAutoSelectDidNotChangeSelectionBecauseNeverSelectList(false);
    EXPECT_FALSE(doAutoSelectInGroups({guarded}, true));

    // A run that selects says so only when asked to and allowed to.
    const auto third = group({"c/z.txt", "c/z copy.txt"});
    EXPECT_FALSE(doAutoSelectInGroups({third}, false));
    EXPECT_EQ(selected(*third), (Paths{"c/z copy.txt"}));
    settings.setShowAutoSelectMessage(false);
    const auto fourth = group({"d/w.txt", "d/w copy.txt"});
    EXPECT_FALSE(doAutoSelectInGroups({fourth}, true));
    EXPECT_EQ(selected(*fourth), (Paths{"d/w copy.txt"}));
}

class CandidatesReceiver : public AutoSelectCandidatesDelegate {
public:
    void onCalculatedDuplicatesForAutoselect(const std::vector<AutoSelectCandidates>& result) override {
        candidates = result;
        ++calls;
    }
    std::vector<AutoSelectCandidates> candidates;
    int calls = 0;
};

TEST_F(AutoSelectTest, CandidatesAreCountedByALaterTaskWithoutSelecting) {
    settings.setAutoNeverSelectFolders(std::vector<std::string>{at("Keep")});
    const auto small = group({"a/s.txt", "a/s copy.txt"});
    const auto big = group({"b/l.txt", "b/l copy.txt", "b/l copy 2.txt"});
    group({"c/same.txt", "d/same.txt"});            // no candidate: the names tie
    group({"Keep/n.txt", "e/n copy.txt"});          // the candidate of names is elsewhere
    group({"Keep/m.txt", "Keep/deeper/m copy.txt"});  // never chosen
    DuplicatesManager::sharedManager().setDuplicateContainer(container);

    auto receiver = std::make_shared<CandidatesReceiver>();
    AutoSelectManager::calculateDuplicatesForAutoselectWithDelegate(receiver);
    ASSERT_TRUE(test::runMainQueueUntil([&] { return receiver->calls == 1; }));
    DuplicatesManager::sharedManager().setDuplicateContainer(nullptr);

    ASSERT_EQ(receiver->candidates.size(), 3u);
    // Largest first: the big group's two copies outweigh the others.
    EXPECT_EQ(receiver->candidates[0].group, big);
    EXPECT_EQ(receiver->candidates[0].size, 2 * big->oneItemSize());
    std::set<std::string> all;
    for (const auto& record : receiver->candidates)
        for (const auto& item : record.duplicateArray) {
            EXPECT_EQ(item->getGroup(), record.group);
            all.insert(item->getFileItemPath().substr(tree.path().size() + 1));
        }
    EXPECT_EQ(all, (std::set<std::string>{"a/s copy.txt", "b/l copy.txt", "b/l copy 2.txt", "e/n copy.txt"}));
    // The same as on the main queue, and nothing was selected.
    AutoSelectManager manager;
    manager.prepareWithSettings(settings);
    EXPECT_EQ(manager.getDuplicateItemsForAutoSelectFromGroups({small}).size(), 1u);
    EXPECT_EQ(container->buildRemoveList().size(), 0u);
}

TEST_F(AutoSelectTest, AFolderIsInOneOfTheTwoListsAtMost) {
    using namespace AutoSelectFolderLists;
    settings.setAutoNeverSelectFolders(std::vector<std::string>{"/data/keep"});
    auto result = addFolder(settings, List::alwaysSelect, "/data/keep", false);
    EXPECT_EQ(result.outcome, Outcome::inOtherList);
    ASSERT_TRUE(result.question);
    EXPECT_EQ(result.question->title,
              "Do you want to remove this folder from Never Select list and add it to Always Select list?");
    EXPECT_EQ(settings.autoAlwaysSelectFolders(), std::vector<std::string>{});

    result = addFolder(settings, List::alwaysSelect, "/data/keep", true);
    EXPECT_EQ(result.outcome, Outcome::moved);
    EXPECT_EQ(settings.autoAlwaysSelectFolders(), std::vector<std::string>{"/data/keep"});
    EXPECT_EQ(settings.autoNeverSelectFolders(), std::vector<std::string>{});

    result = addFolder(settings, List::alwaysSelect, "/data/keep", true);
    EXPECT_EQ(result.outcome, Outcome::alreadyInList);
    EXPECT_EQ(result.question->title, "This folder already added to Always Select list");
    EXPECT_TRUE(result.question->isMessage());
    EXPECT_EQ(addFolder(settings, List::neverSelect, "/data/other", false).outcome, Outcome::added);
    EXPECT_EQ(settings.autoNeverSelectFolders(), std::vector<std::string>{"/data/other"});
}

}  // namespace
}  // namespace kestrane
