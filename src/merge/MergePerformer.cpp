#include "merge/MergePerformer.h"

#include "platform/MainQueue.h"
#include "platform/SerialQueue.h"

namespace kestrane {

namespace {

MergeOperationResult resultOf(const MergeFileTask& task, const MergeFileOutcome& outcome) {
    MergeOperationResult result;
    result.action = task.action;
    result.originalURL = task.sourcePath();
    result.destinationURL = outcome.destinationPath;
    result.result = outcome.result;
    result.originalRemoved = outcome.originalRemoved;
    return result;
}

}  // namespace

std::shared_ptr<MergePerformer> MergePerformer::create(std::vector<MergeFileTask> tasks,
                                                       std::optional<SourceFolderRemovalRequest> sourceRemoval,
                                                       std::weak_ptr<MergePerformerListener> listener) {
    return std::make_shared<MergePerformer>(Key{}, std::move(tasks), std::move(sourceRemoval), std::move(listener));
}

MergePerformer::MergePerformer(Key, std::vector<MergeFileTask> tasks,
                               std::optional<SourceFolderRemovalRequest> sourceRemoval,
                               std::weak_ptr<MergePerformerListener> listener)
    : m_tasks(std::move(tasks)), m_sourceRemoval(std::move(sourceRemoval)), m_listener(std::move(listener)) {}

MergePerformer::~MergePerformer() = default;

void MergePerformer::start() {
    if (m_started) return;
    m_started = true;
    m_queue = platform::SerialQueue::create("merge.working");
    m_queue->async([self = shared_from_this()] { self->work(); });
}

void MergePerformer::report(MergeOperationProgressInfo info) {
    platform::MainQueue::shared().async([listener = m_listener, info = std::move(info)] {
        if (const auto strong = listener.lock()) strong->onMergePerformerProgress(info);
    });
}

void MergePerformer::work() {
    MergeOperationProgressInfo progress;
    progress.operationsStatistics.totalCount = m_tasks.size();
    for (const auto& task : m_tasks) progress.sizeOfAllItems += static_cast<double>(task.size);

    std::vector<MergeFileOutcome> outcomes;
    outcomes.reserve(m_tasks.size());
    double sizeBefore = 0;
    for (const auto& task : m_tasks) {
        const MergeFileOperation::Progress copied = [&](std::uint64_t bytes) {
            MergeOperationProgressInfo step;
            step.sizeOfAllItems = progress.sizeOfAllItems;
            step.sizeOfMergedItems = sizeBefore + static_cast<double>(bytes);
            step.operationsStatistics = progress.operationsStatistics;
            report(std::move(step));
        };
        MergeFileOutcome outcome = MergeFileOperation::perform(task, m_stop, copied);
        auto& statistics = progress.operationsStatistics;
        if (outcome.cancelled) {
            ++statistics.countOfNotPerformed;
        } else {
            if (outcome.result.isSuccessful()) ++statistics.countOfSuccessfullyPerformed;
            else ++statistics.countOfFailed;
            progress.resultFromLastUpdate = {resultOf(task, outcome)};
        }
        sizeBefore += static_cast<double>(task.size);
        progress.sizeOfMergedItems = sizeBefore;
        report(progress);
        progress.resultFromLastUpdate.clear();
        outcomes.push_back(std::move(outcome));
    }

    std::optional<SourceFolderOutcome> sourceFolder;
    if (m_sourceRemoval && !m_stop.load()) sourceFolder = SourceFolderRemoval::run(*m_sourceRemoval, m_stop);
    platform::MainQueue::shared().async(
        [listener = m_listener, outcomes = std::move(outcomes), sourceFolder = std::move(sourceFolder)]() mutable {
            if (const auto strong = listener.lock())
                strong->onMergePerformerFinished(std::move(outcomes), std::move(sourceFolder));
        });
}

}  // namespace kestrane
