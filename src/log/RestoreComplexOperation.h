#pragma once

#include "platform/Error.h"
#include "platform/Question.h"

#include <atomic>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kestrane {

namespace platform {
class SerialQueue;
}

class BaseFileLogItem;
class BaseRemovedItem;
class RestoreComplexOperation;

// How a file came back.
enum class RestoreMethod {
    movedFromTrash,          // its own copy in the trash, moved back (and its info file removed)
    copiedFromTrash,         // a copy in a trash, copied (into a chosen folder, or across volumes)
    copiedFromKeptCopy,      // the copy that was kept when it was removed
    copiedFromRestoredCopy,  // a copy restored earlier (its own or another of the group)
    copiedFromChosenFile,    // a file the user chose to stand for the kept copy
};

struct RestoreOutcome {
    RestoreMethod method = RestoreMethod::copiedFromKeptCopy;
    std::string source;
    std::string destination;
};

// Why an item was left out of a restore.
enum class RestoreSkipReason {
    alreadyRestored,  // a matching file is at its place already (restoring to the original places)
    noSource,         // nothing is left to restore it from
};

// Told, on the main queue, how a restore goes.
class RestoreComplexOperationDelegate {
public:
    virtual ~RestoreComplexOperationDelegate() = default;
    virtual void restoreOperationStarted(RestoreComplexOperation& operation) = 0;
    virtual void restoreOperationSuccessfullyRestore(RestoreComplexOperation& operation,
                                                     const std::shared_ptr<BaseRemovedItem>& item,
                                                     const RestoreOutcome& outcome) = 0;
    virtual void restoreOperationFailedToRestore(RestoreComplexOperation& operation,
                                                 const std::shared_ptr<BaseRemovedItem>& item, const Error& error) = 0;
    virtual void restoreOperationSkipped(RestoreComplexOperation& operation,
                                         const std::shared_ptr<BaseRemovedItem>& item, RestoreSkipReason reason) = 0;
    virtual void restoreOperationFinished(RestoreComplexOperation& operation) = 0;
};

// Puts chosen removed files back, at their original places or into a folder
// the user chose, one after the other on the operation's own queue, from the
// source the history found for each: its copy in the trash (moved back), a
// kept copy or a restored copy (copied), or a file the user chose (copied).
//
// Nothing is ever replaced. When the original place is taken, the file gets
// the first free restored name next to it ("photo restored.jpg", "photo
// restored 2.jpg"...); with a question asker, the user is asked first
// ("restore.originalPlaceTaken") and a "no" leaves the file where it is, as a
// failure saying why. A copy is written under a temporary name in the
// destination folder, fsynced, and renamed into place without replacing, so
// a crash never leaves a partial file under the real name; the copy keeps
// the content, the permission bits and the logged modification time of the
// removed file (the source's own time when it is the same to the second).
//
// Made with create() on the main queue, started once, told to stop between
// two files; the delegate (held weakly) hears every outcome and the end on
// the main queue.
class RestoreComplexOperation : public std::enable_shared_from_this<RestoreComplexOperation> {
public:
    struct Key {
    private:
        friend class RestoreComplexOperation;
        Key() = default;
    };

    // initWithItems:to:alertsController: no destination folder means the
    // original places; no asker means the restored names are used without asking.
    static std::shared_ptr<RestoreComplexOperation> create(std::vector<std::shared_ptr<BaseRemovedItem>> items,
                                                           std::optional<std::string> destinationFolder,
                                                           std::shared_ptr<QuestionAsker> asker = nullptr);
    RestoreComplexOperation(Key, std::vector<std::shared_ptr<BaseRemovedItem>> items,
                            std::optional<std::string> destinationFolder, std::shared_ptr<QuestionAsker> asker);
    ~RestoreComplexOperation();

    void setDelegate(std::weak_ptr<RestoreComplexOperationDelegate> delegate) { m_delegate = std::move(delegate); }
    // Only the first call has an effect.
    void start();
    // The file being restored is finished; no other is begun.
    void stop() { m_stopped = true; }
    bool isUsed() const { return m_isUsed; }
    std::size_t totalCountOfOperations() const { return m_items.size(); }
    std::size_t countOfSuccessfullyPerformedOperations() const { return m_successCount; }
    const std::optional<std::string>& destinationFolder() const { return m_destinationFolder; }

    // What to tell the user before a restore when none of the chosen items
    // can be restored (restoring to the original places unless `toFolder`):
    // "Cannot restore file "NAME"" for one item without a source, "No
    // duplicates to restore" when all are restored already, "Cannot restore
    // some files" otherwise. None when at least one can be restored.
    static std::optional<Question> messageWhenNothingCanBeRestored(
        const std::vector<std::shared_ptr<BaseRemovedItem>>& items, bool toFolder);
    // The question asked when the original place of `item` is taken.
    static Question originalPlaceTakenQuestion(const BaseRemovedItem& item, const std::string& destination);

private:
    void run();
    void restoreItem(const std::shared_ptr<BaseRemovedItem>& item);
    // Asks on the main queue and waits for the answer (operation queue).
    bool askOriginalPlaceTaken(const BaseRemovedItem& item, const std::string& destination);
    void finishItem(const std::shared_ptr<BaseRemovedItem>& item, std::optional<RestoreOutcome> outcome,
                    std::optional<Error> error);

    const std::vector<std::shared_ptr<BaseRemovedItem>> m_items;
    const std::optional<std::string> m_destinationFolder;
    const std::shared_ptr<QuestionAsker> m_asker;
    std::weak_ptr<RestoreComplexOperationDelegate> m_delegate;
    std::shared_ptr<platform::SerialQueue> m_queue;
    std::atomic<bool> m_stopped{false};
    std::atomic<bool> m_isUsed{false};
    std::atomic<std::size_t> m_successCount{0};
    // The answer given with "do the same for the others" (operation queue).
    std::optional<bool> m_rememberedAnswer;
};

}  // namespace kestrane
