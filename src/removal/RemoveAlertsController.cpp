#include "removal/RemoveAlertsController.h"

#include "removal/DuplicateItemsRemoverBehaviorLog.h"

namespace kestrane {

namespace {

constexpr const char* kReadMore = "Read More";

const char* kindOfGroup(RemoveGroupType type) {
    switch (type) {
        case RemoveGroupType::readOnlyAccess: return RemovalQuestionKind::readOnlyAccess;
        case RemoveGroupType::lockedFiles: return RemovalQuestionKind::lockedFiles;
        case RemoveGroupType::hardLinkFolder: return RemovalQuestionKind::hardLinkFolder;
        case RemoveGroupType::networkDisk: return RemovalQuestionKind::networkDisk;
        case RemoveGroupType::readOnlyNTFSDisk: return RemovalQuestionKind::readOnlyNTFSDisk;
        case RemoveGroupType::readOnlyDisk: return RemovalQuestionKind::readOnlyDisk;
        case RemoveGroupType::notRemoved: return RemovalQuestionKind::notRemoved;
        case RemoveGroupType::unknown: break;
    }
    return RemovalQuestionKind::unknown;
}

std::string nameOfPath(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The texts that differ with the number of errors: `one` with one error,
// `several` otherwise.
const std::string& byCount(std::size_t count, const std::string& one, const std::string& several) {
    return count == 1 ? one : several;
}

struct Texts {
    std::string title;
    std::string text;
};

// Title: with one error the item's name in quotes (`oneNamed` around it),
// without a name `oneUnnamed`; with several the count and `severalSuffix`.
std::string titleFor(const std::vector<RemoveErrorInfo>& errors, const std::string& oneNamedPrefix,
                     const std::string& oneNamedSuffix, const std::string& oneUnnamed, const std::string& severalSuffix) {
    if (errors.size() == 1) {
        const std::string name = nameOfPath(errors.front().path());
        if (name.empty()) return oneUnnamed;
        return oneNamedPrefix + "\"" + name + "\"" + oneNamedSuffix;
    }
    return std::to_string(errors.size()) + severalSuffix;
}

Texts textsFor(RemoveGroupType type, const std::vector<RemoveErrorInfo>& errors, bool removeToTrash) {
    const std::size_t count = errors.size();
    switch (type) {
        case RemoveGroupType::readOnlyAccess:
            return {titleFor(errors, "The file ", " was not removed due to lack of permission",
                             "The file was not removed due to lack of permission",
                             " files were not removed due to lack of permission"),
                    byCount(count, "Removal of this file requires your confirmation in the Finder.\nDo you confirm removal?",
                            "Removal of these files requires your confirmation in the Finder.\nDo you confirm removal?")};
        case RemoveGroupType::lockedFiles:
            return {titleFor(errors, "The file ", " was not removed due to being locked",
                             "The file was not removed due to being locked", " files were not removed due to being locked"),
                    byCount(count,
                            "Removal of this file requires your unlocking and confirmation in the Finder.\nDo you confirm removal?",
                            "Removal of these files requires your unlocking and confirmation in the Finder.\nDo you confirm removal?")};
        case RemoveGroupType::networkDisk:
            return {titleFor(errors, "The file ", " cannot be removed to Trash", "The file cannot be removed to Trash",
                             " files cannot be removed to Trash"),
                    byCount(count,
                            "The file is located on the Network disk and can be removed permanently only.\nDo you confirm removal?",
                            "The files are located on the Network disk and can be removed permanently only.\nDo you confirm removal?")};
        case RemoveGroupType::hardLinkFolder:
            return {titleFor(errors, "The folder ", " cannot be removed to Trash", "The folder cannot be removed to Trash",
                             " folders cannot be removed to Trash"),
                    byCount(count, "The folder has the hard links and can be removed permanently only.\nDo you confirm removal?",
                            "The folders have the hard links and can be removed permanently only.\nDo you confirm removal?")};
        case RemoveGroupType::readOnlyNTFSDisk:
            return {titleFor(errors, "The file ", " was not removed", "The file was not removed", " files were not removed"),
                    byCount(count,
                            "The file is located on the NTFS formatted disk.\nYou should install a special extension to have the ability to write to the disk.",
                            "The files are located on the NTFS formatted disk.\nYou should install a special extension to have the ability to write to the disk.")};
        case RemoveGroupType::readOnlyDisk:
            return {titleFor(errors, "The file ", " was not removed", "The file was not removed", " files were not removed"),
                    byCount(count, "The file is located on a disk with Read Only permission.",
                            "The files are located on a disk with Read Only permission.")};
        case RemoveGroupType::notRemoved: {
            std::string text = "Cannot remove files due to lack of permission.";
            if (count == 1) {
                const auto& error = errors.front().error();
                text = "The file cannot be removed. " + (error ? error->message : std::string());
            }
            return {titleFor(errors, "The file ", " was not removed", "The file was not removed", " files were not removed"),
                    text};
        }
        case RemoveGroupType::unknown: break;
    }
    // Unknown: "folder" when every item is a folder, else "file"; "s" with several.
    bool allFolders = !errors.empty();
    for (const auto& error : errors) allFolders = allFolders && error.isDuplicateFolder();
    std::string noun = allFolders ? "folder" : "file";
    if (count != 1) noun += "s";
    std::string title;
    if (count == 1) {
        title = "The " + noun;
        const std::string name = nameOfPath(errors.front().path());
        if (!name.empty()) title += " \"" + name + "\"";
        title += removeToTrash ? " cannot be removed to Trash" : " was not removed";
    } else {
        title = std::to_string(count) + " " + noun + (removeToTrash ? " cannot be removed to Trash" : " were not removed");
    }
    const std::string text = removeToTrash
                                 ? "The " + noun + " can be removed permanently only.\nDo you confirm removal?"
                                 : "Removal of the " + noun + " requires your confirmation in the Finder.\nDo you confirm removal?";
    return {title, text};
}

}  // namespace

Question RemoveAlertsController::questionForGroup(RemoveGroupType type, const std::vector<RemoveErrorInfo>& errors,
                                                  bool removeToTrash) {
    const Texts texts = textsFor(type, errors, removeToTrash);
    Question question;
    question.kind = kindOfGroup(type);
    question.title = texts.title;
    question.text = texts.text;
    switch (helperRemoverTypeOfGroup(type)) {
        case HelperRemoverType::none:
            question.buttons = {"OK", type == RemoveGroupType::notRemoved ? "Report Us" : kReadMore};
            question.yesButton = 0;
            question.safeButton = 0;
            break;
        default:
            question.buttons = {"Confirm", "Cancel", kReadMore};
            question.yesButton = 0;
            question.safeButton = 1;
            break;
    }
    for (const auto& error : errors) question.paths.push_back(error.path());
    question.parameters = {{"count", std::to_string(errors.size())},
                           {"group", nameOfGroupType(type)},
                           {"removeToTrash", removeToTrash ? "true" : "false"}};
    return question;
}

std::string RemoveAlertsController::helpTextForGroup(RemoveGroupType type) {
    switch (type) {
        case RemoveGroupType::readOnlyAccess:
            return "Your account may not change the folder that holds these items, or their volume has no Trash "
                   "that Kestrane can use. Confirming runs a script with administrator rights (through pkexec, or "
                   "sudo where polkit is missing) that moves them to the Trash, or removes them when removing "
                   "permanently. The copies were checked against the copies you keep before anything is run.";
        case RemoveGroupType::lockedFiles:
            return "These items, or the folders that hold them, have the immutable or append-only attribute "
                   "(chattr +i, chattr +a): nobody may remove them, not even an administrator, until it is cleared. "
                   "Confirming runs a script with administrator rights that clears it (chattr -i -a) and then "
                   "removes them.";
        case RemoveGroupType::hardLinkFolder:
            return "Folders on Linux have no hard links: Kestrane never puts a folder in this group on Linux.";
        case RemoveGroupType::networkDisk:
            return "These items are on a volume reached over a network (NFS, SMB, SSHFS...), where Kestrane keeps "
                   "no Trash. Confirming removes them permanently with your own rights.";
        case RemoveGroupType::readOnlyNTFSDisk:
            return "The NTFS volume is mounted read-only. Mount it read-write (with the kernel's ntfs3 driver or "
                   "ntfs-3g) and remove the duplicates again.";
        case RemoveGroupType::readOnlyDisk:
            return "The volume is mounted read-only, so nothing on it can be changed. Mount it read-write and "
                   "remove the duplicates again.";
        case RemoveGroupType::unknown:
            return "The removal failed for a reason none of the other groups covers. Confirming tries again with "
                   "administrator rights, permanently.";
        case RemoveGroupType::notRemoved:
            return {};
    }
    return {};
}

Question RemoveAlertsController::removePermanentlyQuestion(std::uint64_t count) {
    Question question;
    question.kind = RemovalQuestionKind::removePermanently;
    question.title = "Are you sure you want to delete some files permanently?";
    question.text = std::to_string(count) + " item" + (count == 1 ? "" : "s") +
                    " will be deleted permanently. You cannot undo this action.";
    question.buttons = {"OK", "Cancel"};
    question.yesButton = 0;
    question.safeButton = 1;
    question.suppressionTitle = "Don't show this message again";
    question.parameters = {{"count", std::to_string(count)}};
    return question;
}

void RemoveAlertsController::showAlertForGroup(RemoveGroupType type, const std::vector<RemoveErrorInfo>& errors,
                                               bool removeToTrash, std::function<void(bool)> handler) {
    askWith(m_asker, questionForGroup(type, errors, removeToTrash), type, std::move(handler));
}

void RemoveAlertsController::askWith(const std::weak_ptr<QuestionAsker>& weakAsker, Question question,
                                     RemoveGroupType type, std::function<void(bool)> handler) {
    const auto asker = weakAsker.lock();
    if (!asker) {
        handler(false);
        return;
    }
    auto chosen = [weakAsker, question, type, handler = std::move(handler)](Answer answer) mutable {
        const std::string& button =
            answer.button < question.buttons.size() ? question.buttons[answer.button] : std::string();
        if (button != kReadMore && button != "Report Us") {
            handler(answer.button == question.yesButton);
            return;
        }
        const auto asker = weakAsker.lock();
        if (!asker) {
            handler(false);
            return;
        }
        Question more;
        more.kind = button == kReadMore ? RemovalQuestionKind::readMore : RemovalQuestionKind::report;
        more.title = question.title;
        more.text = button == kReadMore ? helpTextForGroup(type) : DuplicateItemsRemoverBehaviorLog::shared()->content();
        more.buttons = {"OK"};
        // After the help, the same question again; after the report, the
        // final group has been acknowledged.
        const bool askAgain = button == kReadMore;
        asker->ask(more, [weakAsker, question, type, askAgain, handler = std::move(handler)](Answer) mutable {
            if (askAgain) askWith(weakAsker, std::move(question), type, std::move(handler));
            else handler(true);
        });
    };
    asker->ask(question, std::move(chosen));
}

}  // namespace kestrane
