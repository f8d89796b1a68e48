#pragma once

#include "merge/MergeFileOperation.h"
#include "merge/MergeOperationOptions.h"
#include "platform/Question.h"

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace kestrane {

class DuplicatesContainer;
class FileSystemItem;

// The kinds of message a one-file merge shows (Question::kind).
namespace OneFileMergeQuestionKind {
inline constexpr const char* cannotMerge = "merge.cannotMerge";  // the feasibility check failed
inline constexpr const char* failed = "merge.fileFailed";        // the move or copy failed
}  // namespace OneFileMergeQuestionKind

// Moves or copies one scanned file (or folder) into a folder, by the rules of
// a merge (MergeFileOperation: the naming rule, nothing replaced, a file
// changed since the scan left in place), and hands the completion where it
// arrived, or none.
//
// Made and started on the main thread; the file operation runs on a queue of
// its own; the completion is called once, on the main thread. What goes
// wrong is shown as a message through the asker first. Given the container
// the file belongs to, the result is brought into the result model and the
// similar folders (MergeModelUpdate).
class OneFileMergeOperation : public std::enable_shared_from_this<OneFileMergeOperation> {
    struct Key {
        explicit Key() = default;
    };

public:
    using Completion = std::function<void(std::optional<std::string> resultingPath)>;

    // buildOperationWith:copy:to: and buildOperationWith:move:to:
    static std::shared_ptr<OneFileMergeOperation> buildOperationWithCopy(
        FileSystemItem& file, std::string destinationFolder, std::shared_ptr<DuplicatesContainer> container = {});
    static std::shared_ptr<OneFileMergeOperation> buildOperationWithMove(
        FileSystemItem& file, std::string destinationFolder, std::shared_ptr<DuplicatesContainer> container = {});
    OneFileMergeOperation(Key, FileSystemItem& file, MergeAction action, std::string destinationFolder,
                          std::shared_ptr<DuplicatesContainer> container);

    // startWithAlertsController:completion: — only once.
    void start(std::weak_ptr<QuestionAsker> alerts, Completion completion);

private:
    void finish(const MergeFileOutcome& outcome);
    void showThenComplete(Question message, std::optional<std::string> path);

    FileSystemItem* m_file;
    MergeAction m_action;
    MergeFileTask m_task;
    std::shared_ptr<DuplicatesContainer> m_container;
    std::weak_ptr<QuestionAsker> m_alerts;
    Completion m_completion;
    std::atomic<bool> m_stop{false};
    bool m_started = false;
};

}  // namespace kestrane
