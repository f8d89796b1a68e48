#include "cli/FolderSelectionActions.h"

#include "cli/FolderArguments.h"
#include "duplicates/DuplicateItem.h"
#include "duplicates/DuplicatesContainer.h"
#include "duplicates/HeapsCollection.h"
#include "folders/FSFolder.h"
#include "folders/FSFolderManager.h"
#include "folders/HeapsGroup.h"
#include "folders/InternalDuplicatesByGroupSeparator.h"
#include "platform/MainQueue.h"
#include "platform/Question.h"
#include "scan/FolderSystemItem.h"
#include "selection/FolderSelection.h"
#include "selection/SimilarFolderSelection.h"

#include <chrono>
#include <sys/stat.h>

namespace kestrane::cli {

namespace {

constexpr const char* kAllowAllCopiesHint = " (kestrane prefs set KEY_allowRemovingAllDuplicateCopies on)";

// An option whose value is a folder of the scan.
class FolderAction : public SelectionAction {
public:
    using SelectionAction::SelectionAction;

    std::string checkBeforeScan(const std::vector<std::string>& folders) override {
        m_path = absolutePath(value());
        struct stat info {};
        if (value().empty()) return "needs a folder";
        if (::stat(m_path.c_str(), &info) != 0) return "no such folder";
        if (!S_ISDIR(info.st_mode)) return "not a folder";
        if (!isSameOrInside(m_path, folders)) return "not a folder being scanned, nor inside one";
        return {};
    }

protected:
    // The folder in the scan's result, or null with the note that says why.
    // A folder inside a duplicate folder goes with that folder: null too.
    FolderSystemItem* findFolder(const DuplicatesContainer& container, SelectionActionOutcome& outcome,
                                 const char* instead) const {
        FileSystemItem* item = container.findExistedSystemItemWithPath(m_path);
        if (item == nullptr || !item->isDir()) {
            outcome.applied = false;
            outcome.notes.push_back("not in the scan's result (left out, excluded or hidden): nothing changed");
            return nullptr;
        }
        auto* folder = static_cast<FolderSystemItem*>(item);
        if (const FileSystemItem* enclosing = enclosingDuplicateFolder(*folder)) {
            outcome.applied = false;
            outcome.notes.push_back("lies inside the duplicate folder " + enclosing->path() +
                                    ", whose files go with it: " + instead);
            return nullptr;
        }
        return folder;
    }

    // The outermost duplicate folder the folder lies in, or null.
    static const FileSystemItem* enclosingDuplicateFolder(const FolderSystemItem& folder) {
        const DuplicateItem* nearest = folder.findParentDuplicateFolder();
        if (nearest == nullptr) return nullptr;
        const auto outermost = nearest->getAssociatedDuplicateFolder();
        return outermost ? outermost->getFileSystemItem() : nearest->getFileSystemItem();
    }

    // The folder's node in the current folder tree, when the tree is that of the result.
    static FSFolder* nodeOf(const FolderSystemItem& folder, const SelectionContext& context) {
        if (FSFolderManager::sharedInstance().container() != context.container) return nullptr;
        return folder.fsFolder();
    }

private:
    std::string m_path;
};

class SelectInAction final : public FolderAction {
public:
    using FolderAction::FolderAction;

    void run(SelectionContext& context, std::function<void(SelectionActionOutcome)> done) override {
        SelectionActionOutcome outcome;
        FolderSystemItem* folder = findFolder(*context.container, outcome, "select that folder instead");
        if (folder == nullptr) return done(std::move(outcome));
        if (!FolderSelection::needsDuplicateFolderConfirmation(*folder)) {
            select(*folder, context);
            return done(std::move(outcome));
        }
        const Question question = FolderSelection::duplicateFolderQuestion(*folder);
        context.questions->ask(question, [folder, &context, yes = question.yesButton,
                                          done = std::move(done)](Answer answer) mutable {
            SelectionActionOutcome outcome;
            if (answer.button == yes)
                select(*folder, context);
            else
                outcome.notes.push_back("a duplicate folder, left unselected");
            done(std::move(outcome));
        });
    }

private:
    static void select(const FolderSystemItem& folder, const SelectionContext& context) {
        if (FSFolder* node = nodeOf(folder, context)) {
            // With kept folders: a kept folder stops being one, and the
            // copies in other kept folders stay.
            if (node->isFavorite()) FolderSelection::shallowUnfavoriteFolder(*node);
            FolderSelection::setDuplicatesSelectionState(*node, true);
            return;
        }
        const auto duplicates = InternalDuplicatesByGroupSeparator::duplicatesWithExternalCopies(folder);
        FolderSelection::setDuplicatesSelectionState(duplicates, nullptr, true);
    }
};

class KeepInAction final : public FolderAction {
public:
    using FolderAction::FolderAction;

    void run(SelectionContext& context, std::function<void(SelectionActionOutcome)> done) override {
        SelectionActionOutcome outcome;
        FolderSystemItem* folder = findFolder(*context.container, outcome, "keep that folder instead");
        if (folder == nullptr) return done(std::move(outcome));
        withFolderTree(context.container, [folder, &context, done = std::move(done)]() mutable {
            SelectionActionOutcome outcome;
            if (FSFolder* node = nodeOf(*folder, context)) {
                FolderSelection::setIsFavoriteFolder(*node, true);
            } else {
                outcome.applied = false;
                outcome.notes.push_back("a package, whose files go with it: keep the folder that holds it instead");
            }
            done(std::move(outcome));
        });
    }
};

class SelectSimilarAction final : public FolderAction {
public:
    using FolderAction::FolderAction;

    void run(SelectionContext& context, std::function<void(SelectionActionOutcome)> done) override {
        SelectionActionOutcome outcome;
        FolderSystemItem* folder = findFolder(*context.container, outcome, "use that folder instead");
        if (folder == nullptr) return done(std::move(outcome));
        if (FolderSelection::isDuplicateFolder(*folder)) {
            outcome.applied = false;
            outcome.notes.push_back("a duplicate folder, which goes whole: select it with --select-in");
            return done(std::move(outcome));
        }
        const auto& heaps = context.container->getHeaps();
        if (!heaps) {
            outcome.applied = false;
            outcome.notes.push_back("similar folders were not searched (--no-folder-stages)");
            return done(std::move(outcome));
        }
        std::shared_ptr<HeapsGroup> group = heaps->buildHeapsGroupForFolderWithPath(folder->path());
        if (!group || SimilarFolderSelection::itemsOfFolder(*group).empty()) {
            outcome.notes.push_back("has no similar folders: nothing to select");
            return done(std::move(outcome));
        }
        if (SimilarFolderSelection::setFolderSelected(*group, true, false) ==
            SimilarFolderSelection::Outcome::changed) {
            explain(*group, outcome);
            return done(std::move(outcome));
        }
        const Question question = SimilarFolderSelection::lastCopiesQuestion(*folder);
        context.questions->ask(question, [group, yes = question.yesButton, done = std::move(done)](Answer answer) {
            SimilarFolderSelection::rememberAnswer(answer);
            SelectionActionOutcome outcome;
            if (answer.button == yes)
                SimilarFolderSelection::setFolderSelected(*group, true, true);
            else
                outcome.notes.push_back("the last copies were not to be selected: nothing changed");
            done(std::move(outcome));
        });
    }

private:
    // Why some copies stayed: they are the last of their groups.
    static void explain(const HeapsGroup& group, SelectionActionOutcome& outcome) {
        const std::string why = SimilarFolderSelection::rowExplanation(SimilarFolderSelection::itemsOfFolder(group));
        if (!why.empty()) outcome.notes.push_back(why + kAllowAllCopiesHint);
    }
};

}  // namespace

std::unique_ptr<SelectionAction> makeKeepInAction(const SelectionOption& option, std::string value) {
    return std::make_unique<KeepInAction>(std::string(option.name), std::move(value));
}

std::unique_ptr<SelectionAction> makeSelectInAction(const SelectionOption& option, std::string value) {
    return std::make_unique<SelectInAction>(std::string(option.name), std::move(value));
}

std::unique_ptr<SelectionAction> makeSelectSimilarAction(const SelectionOption& option, std::string value) {
    return std::make_unique<SelectSimilarAction>(std::string(option.name), std::move(value));
}

void withFolderTree(const std::shared_ptr<DuplicatesContainer>& container, std::function<void()> then) {
    FSFolderManager& manager = FSFolderManager::sharedInstance();
    if (manager.rootItem() && manager.container() == container) {
        platform::MainQueue::shared().async(std::move(then));
        return;
    }
    manager.rebuildRootItems(container, std::move(then));
}

void waitForFolderTree(const std::shared_ptr<DuplicatesContainer>& container) {
    bool built = false;
    withFolderTree(container, [&] { built = true; });
    FSFolderManager& manager = FSFolderManager::sharedInstance();
    while (!built || !manager.isUpToDate())
        platform::MainQueue::shared().runUntil([&] { return built && manager.isUpToDate(); }, std::chrono::hours(1));
}

}  // namespace kestrane::cli
