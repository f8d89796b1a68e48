#include "cli/FolderSelectionActions.h"

#include "cli/FolderArguments.h"
#include "duplicates/DuplicateItem.h"
#include "duplicates/DuplicatesContainer.h"
#include "folders/InternalDuplicatesByGroupSeparator.h"
#include "platform/Question.h"
#include "scan/FolderSystemItem.h"
#include "selection/FolderSelection.h"

#include <sys/stat.h>

namespace kestrane::cli {

namespace {

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
    FolderSystemItem* findFolder(const DuplicatesContainer& container, SelectionActionOutcome& outcome) const {
        FileSystemItem* item = container.findExistedSystemItemWithPath(m_path);
        if (item == nullptr || !item->isDir()) {
            outcome.applied = false;
            outcome.notes.push_back("not in the scan's result (left out, excluded or hidden): nothing selected");
            return nullptr;
        }
        return static_cast<FolderSystemItem*>(item);
    }

    // The outermost duplicate folder the folder lies in, or null.
    static const FileSystemItem* enclosingDuplicateFolder(const FolderSystemItem& folder) {
        const DuplicateItem* nearest = folder.findParentDuplicateFolder();
        if (nearest == nullptr) return nullptr;
        const auto outermost = nearest->getAssociatedDuplicateFolder();
        return outermost ? outermost->getFileSystemItem() : nearest->getFileSystemItem();
    }

    const std::string& folderPath() const { return m_path; }

private:
    std::string m_path;
};

class SelectInAction final : public FolderAction {
public:
    using FolderAction::FolderAction;

    void run(SelectionContext& context, std::function<void(SelectionActionOutcome)> done) override {
        SelectionActionOutcome outcome;
        FolderSystemItem* folder = findFolder(*context.container, outcome);
        if (folder == nullptr) return done(std::move(outcome));
        if (const FileSystemItem* enclosing = enclosingDuplicateFolder(*folder)) {
            outcome.notes.push_back("lies inside the duplicate folder " + enclosing->path() +
                                    ", whose files go with it: select that folder instead");
            return done(std::move(outcome));
        }
        if (!FolderSelection::needsDuplicateFolderConfirmation(*folder)) {
            select(*folder);
            return done(std::move(outcome));
        }
        const Question question = FolderSelection::duplicateFolderQuestion(*folder);
        const std::size_t yes = question.yesButton;
        context.questions->ask(question, [this, folder, yes, done = std::move(done)](Answer answer) mutable {
            SelectionActionOutcome outcome;
            if (answer.button == yes)
                select(*folder);
            else
                outcome.notes.push_back("a duplicate folder, left unselected");
            done(std::move(outcome));
        });
    }

private:
    static void select(const FolderSystemItem& folder) {
        const auto duplicates = InternalDuplicatesByGroupSeparator::duplicatesWithExternalCopies(folder);
        FolderSelection::setDuplicatesSelectionState(duplicates, nullptr, true);
    }
};

}  // namespace

std::unique_ptr<SelectionAction> makeSelectInAction(const SelectionOption& option, std::string value) {
    return std::make_unique<SelectInAction>(std::string(option.name), std::move(value));
}

}  // namespace kestrane::cli
