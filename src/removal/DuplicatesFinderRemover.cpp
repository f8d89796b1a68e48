#include "removal/DuplicatesFinderRemover.h"

#include "duplicates/DuplicateItem.h"
#include "platform/FileComparison.h"
#include "platform/FileFacts.h"
#include "platform/MainQueue.h"
#include "platform/OperationQueue.h"
#include "removal/BashTask.h"

namespace kestrane {

std::optional<FinderRemoveDataInfo> FinderRemoveDataInfo::buildUsing(const RemoveErrorInfo& error) {
    if (error.path().empty()) return std::nullopt;
    const auto facts = platform::factsOfPath(error.path());
    if (!facts) return std::nullopt;
    return FinderRemoveDataInfo{error, error.path(), facts->identity};
}

DuplicatesFinderRemover::DuplicatesFinderRemover(std::weak_ptr<RemoverListener> listener,
                                                 std::weak_ptr<ScriptRemoverDelegate> delegate)
    : m_listener(std::move(listener)), m_delegate(std::move(delegate)) {}

DuplicatesFinderRemover::~DuplicatesFinderRemover() = default;

bool DuplicatesFinderRemover::addError(RemoveErrorInfo error) {
    if (m_isUsed) return false;
    m_sourceErrors.push_back(std::move(error));
    return true;
}

bool DuplicatesFinderRemover::markUsed() {
    if (m_isUsed) return false;
    m_isUsed = true;
    return true;
}

bool DuplicatesFinderRemover::startRemove() {
    if (!markUsed()) return false;
    std::vector<FinderRemoveDataInfo> entries;
    for (const auto& error : m_sourceErrors) {
        if (auto entry = FinderRemoveDataInfo::buildUsing(error)) entries.push_back(std::move(*entry));
        else m_removeErrors.push_back(error);
    }
    // The checks read files: away from the main queue.
    platform::backgroundQueue().async([self = shared_from_this(), entries = std::move(entries)]() mutable {
        platform::ByteComparer comparer;
        std::vector<FinderRemoveDataInfo> safe;
        std::vector<SkippedCopy> skipped;
        for (auto& entry : entries) {
            const auto& check = entry.errorInfo.check();
            // What an earlier attempt of this run removed from a folder is not a change.
            RemovalCheck::Outcome outcome =
                check ? check->verify(comparer, true)
                      : RemovalCheck::Outcome{RemovalCheck::Result::changedSinceScan, "it was never checked", {}};
            if (outcome.result == RemovalCheck::Result::passed) safe.push_back(std::move(entry));
            else skipped.push_back({entry.errorInfo.item(), entry.path, std::move(outcome)});
        }
        platform::MainQueue::shared().async([self, safe = std::move(safe), skipped = std::move(skipped)]() mutable {
            self->runScript(std::move(safe), std::move(skipped));
        });
    });
    return true;
}

void DuplicatesFinderRemover::runScript(std::vector<FinderRemoveDataInfo> entries, std::vector<SkippedCopy> skipped) {
    prepareForScript(entries);
    m_entries = std::move(entries);
    m_skipped = std::move(skipped);
    std::vector<std::string> paths;
    paths.reserve(m_entries.size());
    for (const auto& entry : m_entries) paths.push_back(entry.path);
    std::weak_ptr<DuplicatesFinderRemover> weak = weak_from_this();
    // The task, for its failure reason once it ends (set right after it is made).
    auto taskOfCompletion = std::make_shared<std::weak_ptr<BashTask>>();
    auto task = BashTask::create(makeScript(paths), [weak, taskOfCompletion](bool ran) {
        const auto self = weak.lock();
        if (!self) return;
        if (const auto ended = taskOfCompletion->lock(); ended && !ran) self->m_failureReason = ended->failureReason();
        self->onScriptEnded(ran);
    });
    *taskOfCompletion = task;
    BashTasksManager::shared().addTask(task);
}

void DuplicatesFinderRemover::onScriptEnded(bool ran) {
    if (!ran)
        if (const auto delegate = m_delegate.lock()) delegate->onUserWasNotAllowedToRunRemover(*this);
    // Whatever the script did, each item's fate is what is on disk now.
    for (const auto& entry : m_entries) {
        if (checkOutcome(entry)) {
            m_removedItems.push_back(entry.errorInfo.item());
            if (const auto& item = entry.errorInfo.item()) m_removedSize += item->getFileItemSize();
        } else {
            m_removeErrors.push_back(entry.errorInfo);
        }
    }
    m_finished = true;
    const auto self = shared_from_this();
    if (const auto listener = m_listener.lock()) {
        listener->onRemoverDidRemove(*this, m_removedItems);
        listener->onRemoverFinished(*this);
    }
}

}  // namespace kestrane
