#include "merge/OneFileMergeOperation.h"

#include "duplicates/DuplicatesContainer.h"
#include "merge/MergeFeasibility.h"
#include "merge/MergeModelUpdate.h"
#include "platform/MainQueue.h"
#include "platform/SerialQueue.h"
#include "scan/FolderSystemItem.h"

namespace kestrane {

namespace {

std::string_view lastComponent(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

}  // namespace

std::shared_ptr<OneFileMergeOperation> OneFileMergeOperation::buildOperationWithCopy(
    FileSystemItem& file, std::string destinationFolder, std::shared_ptr<DuplicatesContainer> container) {
    return std::make_shared<OneFileMergeOperation>(Key{}, file, MergeAction::Copy, std::move(destinationFolder),
                                                   std::move(container));
}

std::shared_ptr<OneFileMergeOperation> OneFileMergeOperation::buildOperationWithMove(
    FileSystemItem& file, std::string destinationFolder, std::shared_ptr<DuplicatesContainer> container) {
    return std::make_shared<OneFileMergeOperation>(Key{}, file, MergeAction::Move, std::move(destinationFolder),
                                                   std::move(container));
}

OneFileMergeOperation::OneFileMergeOperation(Key, FileSystemItem& file, MergeAction action,
                                             std::string destinationFolder,
                                             std::shared_ptr<DuplicatesContainer> container)
    : m_file(&file), m_action(action), m_container(std::move(container)) {
    const std::string path = file.path();
    m_task.action = action;
    m_task.name = std::string(file.name());
    m_task.sourceFolder = file.parent() != nullptr ? file.parent()->path() : std::string(path.substr(0, path.rfind('/')));
    if (m_task.sourceFolder.empty()) m_task.sourceFolder = "/";
    m_task.destinationFolder = std::move(destinationFolder);
    m_task.isFolder = file.isDir();
    m_task.size = file.logicalSize() > 0 ? static_cast<std::uint64_t>(file.logicalSize()) : 0;
    m_task.seen = platform::factsOfPath(path);
    if (m_task.seen && !m_task.isFolder) m_task.seen->size = m_task.size;
}

void OneFileMergeOperation::start(std::weak_ptr<QuestionAsker> alerts, Completion completion) {
    if (m_started) return;
    m_started = true;
    m_alerts = std::move(alerts);
    m_completion = std::move(completion);
    if (auto message = MergeFeasibility::check(m_task.sourceFolder, m_task.destinationFolder, m_action)) {
        showThenComplete({.kind = OneFileMergeQuestionKind::cannotMerge,
                          .title = *message,
                          .buttons = {"OK"},
                          .paths = {m_task.sourcePath(), m_task.destinationFolder}},
                         std::nullopt);
        return;
    }
    auto queue = platform::SerialQueue::create("merge.oneFile");
    queue->async([self = shared_from_this(), queue] {
        MergeFileOutcome outcome = MergeFileOperation::perform(self->m_task, self->m_stop);
        platform::MainQueue::shared().async([self, outcome = std::move(outcome)] { self->finish(outcome); });
    });
}

void OneFileMergeOperation::finish(const MergeFileOutcome& outcome) {
    if (outcome.arrived && m_container && m_file != nullptr) {
        FileSystemItem* destination = m_container->findExistedSystemItemWithPath(m_task.destinationFolder);
        if (destination != nullptr && destination->isDir()) {
            MergeModelUpdate update(m_container);
            update.addArrival(*m_file, static_cast<FolderSystemItem&>(*destination),
                              lastComponent(outcome.destinationPath), outcome.originalRemoved);
            update.finish();
        }
        if (outcome.originalRemoved) m_file = nullptr;
    }
    if (outcome.result.isSuccessful()) {
        if (m_completion) m_completion(outcome.destinationPath);
        return;
    }
    std::string title = "The file \"" + m_task.name + "\" could not be ";
    title.append(participleOf(m_action)).append(".");
    showThenComplete({.kind = OneFileMergeQuestionKind::failed,
                      .title = std::move(title),
                      .text = outcome.result.error ? outcome.result.error->describe() : std::string(),
                      .buttons = {"OK"},
                      .paths = {m_task.sourcePath()}},
                     outcome.arrived ? std::optional<std::string>(outcome.destinationPath) : std::nullopt);
}

void OneFileMergeOperation::showThenComplete(Question message, std::optional<std::string> path) {
    const auto alerts = m_alerts.lock();
    if (!alerts) {
        if (m_completion) m_completion(std::move(path));
        return;
    }
    alerts->ask(message, [self = shared_from_this(), path = std::move(path)](Answer) {
        if (self->m_completion) self->m_completion(path);
    });
}

}  // namespace kestrane
