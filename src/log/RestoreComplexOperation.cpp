#include "log/RestoreComplexOperation.h"

#include "log/BaseRemovedItem.h"
#include "log/KeptItem.h"
#include "log/RestoreGroup.h"
#include "log/RestoreHelper.h"
#include "log/RestoreItem.h"
#include "platform/MainQueue.h"
#include "platform/SafeFileOperations.h"
#include "platform/SerialQueue.h"
#include "platform/Trash.h"

#include <cerrno>
#include <future>
#include <sys/stat.h>

namespace kestrane {

namespace {


// The time a copy gets: the removed file's logged time, unless the source
// has that time to the second already (then its own, to the nanosecond).
std::optional<platform::FileTime> timeForCopy(const std::string& source, const BaseRemovedItem& item) {
    const auto logged = item.originalFileModificationDate();
    if (!logged) return std::nullopt;
    struct stat attributes {};
    if (::lstat(source.c_str(), &attributes) == 0 && attributes.st_mtim.tv_sec == *logged) return std::nullopt;
    return platform::FileTime{*logged, 0};
}

}  // namespace

std::shared_ptr<RestoreComplexOperation> RestoreComplexOperation::create(
    std::vector<std::shared_ptr<BaseRemovedItem>> items, std::optional<std::string> destinationFolder,
    std::shared_ptr<QuestionAsker> asker) {
    return std::make_shared<RestoreComplexOperation>(Key(), std::move(items), std::move(destinationFolder),
                                                     std::move(asker));
}

RestoreComplexOperation::RestoreComplexOperation(Key, std::vector<std::shared_ptr<BaseRemovedItem>> items,
                                                 std::optional<std::string> destinationFolder,
                                                 std::shared_ptr<QuestionAsker> asker)
    : m_items(std::move(items)),
      m_destinationFolder(std::move(destinationFolder)),
      m_asker(std::move(asker)),
      m_queue(platform::SerialQueue::create("kestrane.restore")) {}

RestoreComplexOperation::~RestoreComplexOperation() = default;

void RestoreComplexOperation::start() {
    if (m_isUsed.exchange(true)) return;
    if (const auto delegate = m_delegate.lock()) delegate->restoreOperationStarted(*this);
    m_queue->async([self = shared_from_this()] { self->run(); });
}

void RestoreComplexOperation::run() {
    for (const auto& item : m_items) {
        if (m_stopped) break;
        restoreItem(item);
    }
    platform::MainQueue::shared().async([self = shared_from_this()] {
        if (const auto delegate = self->m_delegate.lock()) delegate->restoreOperationFinished(*self);
    });
}

void RestoreComplexOperation::restoreItem(const std::shared_ptr<BaseRemovedItem>& item) {
    item->clearItemErrorInfo();
    auto skip = [&](RestoreSkipReason reason) {
        platform::MainQueue::shared().async([self = shared_from_this(), item, reason] {
            if (const auto delegate = self->m_delegate.lock()) delegate->restoreOperationSkipped(*self, item, reason);
        });
    };
    if (!item->isRestorable()) return skip(RestoreSkipReason::noSource);
    if (item->isRestored() && !m_destinationFolder) return skip(RestoreSkipReason::alreadyRestored);

    const std::string destination = RestoreHelper::restoreDestination(*item, m_destinationFolder);
    if (!m_destinationFolder && destination != item->originalPath() && m_asker &&
        !askOriginalPlaceTaken(*item, destination))
        return finishItem(item, std::nullopt,
                          Error{"restore", EEXIST, "something else is at its place; it was not restored",
                                       item->originalPath()});

    const auto source = item->itemToRestoreFrom();
    const auto sourcePath = source ? source->itemToRestoreSourcePath() : std::nullopt;
    if (!source || !sourcePath)
        return finishItem(item, std::nullopt,
                          Error{"restore", ENOENT, "no copy is left to restore it from", item->originalPath()});
    const std::string folder(platform::parentPath(destination));
    if (!folder.empty()) platform::makeFolders(folder);  // a failure shows in the move or the copy

    RestoreOutcome outcome;
    outcome.source = *sourcePath;
    outcome.destination = destination;
    const auto* trashItem = dynamic_cast<const RestoreItem*>(source.get());
    const auto trashEntry = trashItem ? trashItem->currentTrashEntry() : std::nullopt;
    const bool fromTrash = trashEntry && trashEntry->trashedPath == *sourcePath;
    const bool move = !m_destinationFolder && source == item && source->itemToRestoreHasToBeRemovedAfterRestore();
    if (move && fromTrash) {
        auto error = platform::Trash::restore(*trashEntry, destination);
        if (!error) {
            outcome.method = RestoreMethod::movedFromTrash;
            return finishItem(item, outcome, std::nullopt);
        }
        if (error->code != EXDEV) return finishItem(item, std::nullopt, std::move(error));
        // Another volume now (a mount changed): copied, the trash keeps its copy.
    }
    if (fromTrash) {
        outcome.method = RestoreMethod::copiedFromTrash;
    } else if (const auto kept = std::dynamic_pointer_cast<KeptItem>(source)) {
        const auto group = item->removeInfoDataSource();
        outcome.method = group && group->fakeKeptItem() == kept ? RestoreMethod::copiedFromChosenFile
                                                                 : RestoreMethod::copiedFromKeptCopy;
    } else {
        outcome.method = RestoreMethod::copiedFromRestoredCopy;
    }
    if (auto error = platform::copyWithoutReplacing(*sourcePath, destination, timeForCopy(*sourcePath, *item))) {
        if (error->code == EEXIST)
            error = Error{"restore", EEXIST, "something appeared at its place meanwhile; nothing was replaced",
                                 destination};
        return finishItem(item, std::nullopt, std::move(error));
    }
    finishItem(item, outcome, std::nullopt);
}

void RestoreComplexOperation::finishItem(const std::shared_ptr<BaseRemovedItem>& item,
                                         std::optional<RestoreOutcome> outcome, std::optional<Error> error) {
    // What the folders hold changed: the next item must not see old answers.
    if (const auto group = item->removeInfoDataSource())
        group->baseRemovedItemCacheHasToBeCleaned(*item);
    else
        item->clearCache();
    if (outcome) ++m_successCount;
    platform::MainQueue::shared().async([self = shared_from_this(), item, outcome = std::move(outcome),
                                         error = std::move(error)] {
        const bool toFolder = self->m_destinationFolder.has_value();
        item->onItemWasRestoredSuccessfully(outcome.has_value(), error, toFolder);
        const auto delegate = self->m_delegate.lock();
        if (!delegate) return;
        if (outcome)
            delegate->restoreOperationSuccessfullyRestore(*self, item, *outcome);
        else
            delegate->restoreOperationFailedToRestore(*self, item, *error);
    });
}

bool RestoreComplexOperation::askOriginalPlaceTaken(const BaseRemovedItem& item, const std::string& destination) {
    if (m_rememberedAnswer) return *m_rememberedAnswer;
    const Question question = originalPlaceTakenQuestion(item, destination);
    auto promise = std::make_shared<std::promise<Answer>>();
    auto answered = promise->get_future();
    platform::MainQueue::shared().async([asker = m_asker, question, promise] {
        asker->ask(question, [promise](Answer answer) { promise->set_value(answer); });
    });
    const Answer answer = answered.get();
    const bool yes = answer.button == question.yesButton && answer.button != question.safeButton;
    if (answer.suppress) m_rememberedAnswer = yes;
    return yes;
}

Question RestoreComplexOperation::originalPlaceTakenQuestion(const BaseRemovedItem& item,
                                                             const std::string& destination) {
    Question question;
    question.kind = "restore.originalPlaceTaken";
    const std::string name(platform::lastPathComponent(destination));
    question.title = "The original place is taken";
    question.text = "Something is already at \"" + item.originalPath() + "\". Restore the removed " +
                    (item.isDirectory() ? "folder" : "file") + " next to it as \"" + name + "\"?";
    question.buttons = {"Restore next to it", "Skip"};
    question.yesButton = 0;
    question.safeButton = 1;
    question.suppressionTitle = "Do the same for the other files whose place is taken";
    question.paths = {item.originalPath()};
    question.parameters = {{"path", item.originalPath()}, {"destination", destination}};
    return question;
}

std::optional<Question> RestoreComplexOperation::messageWhenNothingCanBeRestored(
    const std::vector<std::shared_ptr<BaseRemovedItem>>& items, bool toFolder) {
    std::size_t restorable = 0;
    std::vector<const BaseRemovedItem*> withoutSource;
    for (const auto& item : items) {
        if (!item->isRestorable())
            withoutSource.push_back(item.get());
        else if (toFolder || !item->isRestored())
            ++restorable;
    }
    if (restorable > 0) return std::nullopt;
    Question message;
    message.buttons = {"OK"};
    if (withoutSource.size() == 1) {
        const BaseRemovedItem& item = *withoutSource.front();
        const std::string kept = item.pathToKeptCopyItem().value_or(item.originalPath());
        message.kind = "restore.cannotRestore";
        message.title = std::string("Cannot restore ") + (item.isDirectory() ? "folder" : "file") + " \"" +
                        std::string(platform::lastPathComponent(kept)) + "\"";
        message.paths = {item.originalPath()};
    } else if (withoutSource.empty()) {
        message.kind = "restore.nothingToRestore";
        message.title = "No duplicates to restore";
        message.text = "All duplicates removed on this date have been restored already.";
    } else {
        message.kind = "restore.filesNotFound";
        message.title = "Cannot restore some files";
        message.text = std::to_string(withoutSource.size()) + " files were not found.";
        message.parameters = {{"count", std::to_string(withoutSource.size())}};
        for (const auto* item : withoutSource) message.paths.push_back(item->originalPath());
    }
    return message;
}

}  // namespace kestrane
