#include "merge/MergeOperationData.h"

#include "duplicates/DuplicatesContainer.h"
#include "folders/DuplicatesHeap.h"
#include "folders/DuplicatesHeaps.h"
#include "folders/HeapsFolderData.h"
#include "merge/MergeFeasibility.h"
#include "merge/MergeModelUpdate.h"
#include "merge/MergeNaming.h"
#include "platform/FileFacts.h"
#include "platform/MainQueue.h"
#include "scan/FolderSystemItem.h"

#include <set>

namespace kestrane {

namespace {

std::string joined(const std::string& folder, std::string_view name) {
    std::string path = folder == "/" ? std::string() : folder;
    path.push_back('/');
    path.append(name);
    return path;
}

std::string_view lastComponent(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

}  // namespace

std::shared_ptr<DuplicatesHeap> MergeOperationData::heapOfFolders(const DuplicatesContainer& container,
                                                                const std::string& mainFolder,
                                                                const std::string& secondFolder) {
    const auto heaps = std::dynamic_pointer_cast<DuplicatesHeaps>(container.getHeaps());
    if (!heaps) return nullptr;
    const auto recordOf = [&](const std::string& path) -> std::shared_ptr<HeapsFolderData> {
        for (const auto* records : {&heaps->getAllFoldersData(), &heaps->getHiddenFoldersData()})
            if (const auto it = records->find(path); it != records->end()) return it->second;
        return nullptr;
    };
    const auto main = recordOf(mainFolder);
    const auto second = recordOf(secondFolder);
    if (!main || !second) return nullptr;
    return DuplicatesHeap::buildHeapWithFolderWithFolder(main, second);
}

std::shared_ptr<MergeOperationData> MergeOperationData::create(std::shared_ptr<DuplicatesHeap> heap,
                                                               std::shared_ptr<DuplicatesContainer> container,
                                                               MergeOperationOptions options,
                                                               MergeDirection direction) {
    auto merge = std::make_shared<MergeOperationData>(Key{}, std::move(heap), std::move(container), options, direction);
    merge->recalculatePlan();
    return merge;
}

MergeOperationData::MergeOperationData(Key, std::shared_ptr<DuplicatesHeap> heap,
                                       std::shared_ptr<DuplicatesContainer> container, MergeOperationOptions options,
                                       MergeDirection direction)
    : m_heap(std::move(heap)), m_container(std::move(container)), m_direction(direction), m_options(options) {
    const bool leftIsSource = direction == MergeDirection::LeftToRight;
    m_leftFolder = MergeFolder::create(m_heap->getMainHeapsFolderData(),
                                       leftIsSource ? MergeFolderRole::Source : MergeFolderRole::Destination,
                                       m_heap->getMainFolderItems());
    m_rightFolder = MergeFolder::create(m_heap->getSecondHeapsFolderData(),
                                        leftIsSource ? MergeFolderRole::Destination : MergeFolderRole::Source,
                                        m_heap->getSecondFolderItems());
}

MergeOperationData::~MergeOperationData() {
    // Operations still running end without changing anything more than they must.
    if (m_performer) m_performer->stop();
}

const std::shared_ptr<MergeFolder>& MergeOperationData::sourceFolder() const {
    return m_direction == MergeDirection::LeftToRight ? m_leftFolder : m_rightFolder;
}

const std::shared_ptr<MergeFolder>& MergeOperationData::destinationFolder() const {
    return m_direction == MergeDirection::LeftToRight ? m_rightFolder : m_leftFolder;
}

void MergeOperationData::setDirection(MergeDirection direction) {
    if (m_state != MergeState::Preview || direction == m_direction) return;
    m_direction = direction;
    sourceFolder()->setRole(MergeFolderRole::Source);
    destinationFolder()->setRole(MergeFolderRole::Destination);
    recalculatePlan();
    notifyPlanChanged();
}

void MergeOperationData::setOptions(const MergeOperationOptions& options) {
    if (m_state != MergeState::Preview || options == m_options) return;
    m_options = options;
    recalculatePlan();
    notifyPlanChanged();
}

void MergeOperationData::recalculatePlan() {
    m_countOfAffectedItems = 0;
    for (const auto* folder : {&m_leftFolder, &m_rightFolder}) {
        for (const auto& item : (*folder)->items()) {
            item->setAction(std::nullopt);
            item->setPlannedName({});
        }
    }
    if (!m_options.action) return;
    const MergeFolder& source = *sourceFolder();
    const MergeFolder& destination = *destinationFolder();
    std::set<std::string, std::less<>> given;
    const auto isTaken = [&](std::string_view name) {
        return given.contains(name) || destination.itemWithName(name) != nullptr ||
               platform::factsOfPath(joined(destination.path(), name)).has_value();
    };
    const std::string& into = destination.path();
    for (const auto& item : source.items()) {
        if (!item->canBeMerged()) continue;
        // The destination itself, or a folder holding it, cannot go into it.
        if (into == item->url() || (into.starts_with(item->url()) && into[item->url().size()] == '/')) continue;
        if (source.isDuplicate(*item)) {
            const auto copies = destination.copiesOf(*item);
            bool sameName = false;
            for (const MergeItem* copy : copies) sameName = sameName || copy->name() == item->name();
            if (sameName) continue;  // already there
            if (!copies.empty() && !m_options.mergeDuplicatesWithDifferentNames) continue;
        }
        item->setAction(m_options.action);
        std::string name = MergeNaming::freeName(item->name(), item->isFolder(), isTaken);
        given.insert(name);
        item->setPlannedName(std::move(name));
        ++m_countOfAffectedItems;
    }
}

void MergeOperationData::notifyPlanChanged() {
    m_leftFolder->notifyChanged();
    m_rightFolder->notifyChanged();
    m_listeners.notify(&MergeOperationDataListener::onMergePlanChanged, *this);
}

void MergeOperationData::setState(MergeState state) {
    m_state = state;
    m_listeners.notify(&MergeOperationDataListener::onMergeStateChanged, *this);
}

std::vector<MergeItem*> MergeOperationData::plannedItems() const {
    std::vector<MergeItem*> planned;
    for (const auto& item : sourceFolder()->items())
        if (item->action()) planned.push_back(item.get());
    return planned;
}

MergeTexts::Preview MergeOperationData::preview() const {
    return MergeTexts::preview(m_countOfAffectedItems, m_options.action, sourceFolder()->name(),
                               destinationFolder()->name());
}

std::optional<std::string> MergeOperationData::feasibilityMessage() const {
    return MergeFeasibility::check(sourceFolder()->path(), destinationFolder()->path(), m_options.action);
}

std::vector<MergeFileTask> MergeOperationData::buildTasks() const {
    std::vector<MergeFileTask> tasks;
    for (const MergeItem* item : m_performedItems) {
        MergeFileTask task;
        task.action = *item->action();
        task.sourceFolder = sourceFolder()->path();
        task.name = item->name();
        task.destinationFolder = destinationFolder()->path();
        task.isFolder = item->isFolder();
        task.seen = item->seenFacts();
        task.size = item->size();
        task.colorTag = m_options.colorTag;
        tasks.push_back(std::move(task));
    }
    return tasks;
}

SourceFolderRemovalRequest MergeOperationData::buildSourceRemovalRequest() const {
    SourceFolderRemovalRequest request;
    request.sourceFolder = sourceFolder()->path();
    request.destinationFolder = destinationFolder()->path();
    for (const MergeItem* item : sourceFolder()->duplicates()) {
        auto& copies = request.knownCopies[item->name()];
        for (const MergeItem* copy : destinationFolder()->copiesOf(*item)) copies.push_back(copy->url());
    }
    return request;
}

bool MergeOperationData::perform(std::string* refusal) {
    if (m_state != MergeState::Preview) {
        if (refusal != nullptr) *refusal = "This merge has already been performed.";
        return false;
    }
    if (auto message = feasibilityMessage()) {
        if (refusal != nullptr) *refusal = std::move(*message);
        return false;
    }
    m_performedItems = plannedItems();
    m_statistics = {};
    m_statistics.totalCount = m_performedItems.size();
    std::optional<SourceFolderRemovalRequest> removal;
    if (m_options.removeSourceFolder && m_options.action == MergeAction::Move) removal = buildSourceRemovalRequest();
    m_performer = MergePerformer::create(buildTasks(), std::move(removal), weak_from_this());
    setState(MergeState::Perform);
    m_performer->start();
    return true;
}

void MergeOperationData::stop() {
    if (m_performer) m_performer->stop();
}

void MergeOperationData::onMergePerformerProgress(const MergeOperationProgressInfo& info) {
    if (m_state != MergeState::Perform) return;
    m_statistics = info.operationsStatistics;
    m_listeners.notify(&MergeOperationDataListener::onMergeProgress, *this, info);
}

void MergeOperationData::onMergePerformerFinished(std::vector<MergeFileOutcome> outcomes,
                                                  std::optional<SourceFolderOutcome> sourceFolderOutcome) {
    if (m_state != MergeState::Perform) return;
    m_performer.reset();
    m_statistics = {};
    m_statistics.totalCount = m_performedItems.size();
    m_results.clear();
    MergeModelUpdate update(m_container);
    FolderSystemItem* destinationItem = destinationFolder()->folderItem();
    std::vector<std::pair<FileSystemItem*, MergeAction>> created;
    for (std::size_t i = 0; i < outcomes.size() && i < m_performedItems.size(); ++i) {
        MergeItem& item = *m_performedItems[i];
        MergeFileOutcome& outcome = outcomes[i];
        MergeOperationResult result;
        result.action = *item.action();
        result.originalFileSystemItem = item.file();
        result.originalURL = item.url();
        result.destinationURL = outcome.destinationPath;
        result.originalRemoved = outcome.originalRemoved;
        if (outcome.cancelled) {
            // Never done: where the plan would have put it.
            result.destinationURL = joined(destinationFolder()->path(), item.plannedName());
            ++m_statistics.countOfNotPerformed;
        } else {
            result.result = outcome.result;
            item.setError(outcome.result.error);
            if (outcome.result.isSuccessful()) ++m_statistics.countOfSuccessfullyPerformed;
            else ++m_statistics.countOfFailed;
        }
        if (outcome.arrived && item.file() != nullptr && destinationItem != nullptr) {
            const bool moved = outcome.originalRemoved;
            FileSystemItem* arrived = update.addArrival(*item.file(), *destinationItem,
                                                        lastComponent(outcome.destinationPath), moved);
            if (moved) item.forgetFile();
            if (arrived != nullptr) created.emplace_back(arrived, moved ? MergeAction::Move : MergeAction::Copy);
        }
        m_results.push_back(std::move(result));
    }
    m_sourceFolderOutcome = std::move(sourceFolderOutcome);
    if (m_sourceFolderOutcome && m_sourceFolderOutcome->removed) {
        if (FolderSystemItem* folder = sourceFolder()->folderItem()) update.removeFolder(*folder);
        for (const auto& item : sourceFolder()->items()) item->forgetFile();
    }
    update.finish();
    for (const auto& [file, action] : created) destinationFolder()->addCreatedItem(*file, action);
    m_leftFolder->notifyChanged();
    m_rightFolder->notifyChanged();
    setState(MergeState::ViewResult);
}

std::vector<std::string> MergeOperationData::resultLines() const {
    std::vector<std::string> lines;
    if (m_statistics.countOfSuccessfullyPerformed > 0 || m_statistics.countOfFailed == 0)
        lines.push_back(MergeTexts::successLine(m_statistics.countOfSuccessfullyPerformed, m_options.action));
    if (m_statistics.countOfFailed > 0)
        lines.push_back(MergeTexts::failureLine(m_statistics.countOfFailed, m_options.action));
    return lines;
}

}  // namespace kestrane
