#pragma once

#include "merge/MergeFolder.h"
#include "merge/MergeOperationOptions.h"
#include "merge/MergeOperationResult.h"
#include "merge/MergePerformer.h"
#include "merge/MergeTexts.h"
#include "platform/WeakListeners.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kestrane {

class DuplicatesContainer;
class DuplicatesHeap;
class MergeOperationData;

// Told, on the main thread, how a merge changes.
class MergeOperationDataListener {
public:
    virtual ~MergeOperationDataListener() = default;
    // The direction or the options changed, and so the plan.
    virtual void onMergePlanChanged(const MergeOperationData& /*merge*/) {}
    // Preview -> Perform -> ViewResult.
    virtual void onMergeStateChanged(const MergeOperationData& /*merge*/) {}
    virtual void onMergeProgress(const MergeOperationData& /*merge*/, const MergeOperationProgressInfo& /*info*/) {}
};

// One merge of a pair of similar folders: the two sides, the direction that
// makes one the source and the other the destination, the options, the plan
// (which source items are moved or copied, and under which names they
// arrive), the file operations and their results.
//
// The plan, from the two folders and the options:
//  - no action chosen: nothing;
//  - a unique item of the source (no copy directly in the destination) is
//    acted on;
//  - a duplicate whose copy in the destination has the same name is already
//    there: never acted on;
//  - a duplicate whose copies in the destination all have other names is
//    acted on only with mergeDuplicatesWithDifferentNames: it then arrives
//    under its own name, and the destination holds both names;
//  - only files and folders are acted on (never a device, FIFO or socket),
//    and never the destination itself or a folder that holds it.
// Each item acted on is given the name it will arrive under: its own, or the
// next free numbered one (MergeNaming), free of the destination's items, of
// what is on the disk there now, and of the names given before it.
//
// Preview -> perform() -> Perform -> (all operations finished, or stopped) ->
// ViewResult. A merge is used once. Once the operations end, every item acted
// on carries its error when it failed, the destination gains the items that
// arrived (createdByAction), and the result is brought into the result model
// and the similar-folder registry (MergeModelUpdate), so that what is shown
// stays true without a new scan.
//
// Lives on the main thread. Holds the container, which keeps the scanned
// trees alive, and its listeners weakly.
class MergeOperationData : public MergePerformerListener, public std::enable_shared_from_this<MergeOperationData> {
    struct Key {
        explicit Key() = default;
    };

public:
    // The pair's main folder is the left one, its second folder the right one.
    static std::shared_ptr<MergeOperationData> create(std::shared_ptr<DuplicatesHeap> heap,
                                                      std::shared_ptr<DuplicatesContainer> container,
                                                      MergeOperationOptions options,
                                                      MergeDirection direction = MergeDirection::LeftToRight);
    MergeOperationData(Key, std::shared_ptr<DuplicatesHeap> heap, std::shared_ptr<DuplicatesContainer> container,
                       MergeOperationOptions options, MergeDirection direction);
    ~MergeOperationData() override;

    // The pair of two folders among the container's similar folders (the
    // first one as the pair's main folder), built afresh from their records;
    // null when they are no similar-folder pair.
    static std::shared_ptr<DuplicatesHeap> heapOfFolders(const DuplicatesContainer& container,
                                                         const std::string& mainFolder,
                                                         const std::string& secondFolder);

    const std::shared_ptr<DuplicatesHeap>& heap() const { return m_heap; }
    const std::shared_ptr<DuplicatesContainer>& container() const { return m_container; }

    const std::shared_ptr<MergeFolder>& leftFolder() const { return m_leftFolder; }
    const std::shared_ptr<MergeFolder>& rightFolder() const { return m_rightFolder; }
    const std::shared_ptr<MergeFolder>& sourceFolder() const;
    const std::shared_ptr<MergeFolder>& destinationFolder() const;

    MergeDirection direction() const { return m_direction; }
    // Swaps the roles (in Preview only) and recomputes the plan.
    void setDirection(MergeDirection direction);
    const MergeOperationOptions& options() const { return m_options; }
    // Recomputes the plan (in Preview only).
    void setOptions(const MergeOperationOptions& options);

    // The source items the plan acts on.
    std::uint64_t countOfAffectedItems() const { return m_countOfAffectedItems; }
    // Those items, by name.
    std::vector<MergeItem*> plannedItems() const;
    MergeTexts::Preview preview() const;
    // The feasibility check of the current direction and action: a message, or none.
    std::optional<std::string> feasibilityMessage() const;

    MergeState state() const { return m_state; }
    // Starts the file operations. Refused (false, the reason in `refusal`)
    // out of Preview and when the feasibility check fails.
    bool perform(std::string* refusal = nullptr);
    // Stops the operations: the one under way ends without a change when it
    // can, the others never run (not performed).
    void stop();

    const SubOperationsStatistics& operationsStatistics() const { return m_statistics; }
    // Once in ViewResult: one result per planned operation, in plan order.
    const std::vector<MergeOperationResult>& results() const { return m_results; }
    // When the source folder's removal was asked for and the operations ran to their end.
    const std::optional<SourceFolderOutcome>& sourceFolderOutcome() const { return m_sourceFolderOutcome; }
    // The result lines: the successes (when any), then the failures (when any).
    std::vector<std::string> resultLines() const;

    void addListener(const std::shared_ptr<MergeOperationDataListener>& listener) { m_listeners.add(listener); }
    void removeListener(const MergeOperationDataListener* listener) { m_listeners.remove(listener); }

    // MergePerformerListener
    void onMergePerformerProgress(const MergeOperationProgressInfo& info) override;
    void onMergePerformerFinished(std::vector<MergeFileOutcome> outcomes,
                                  std::optional<SourceFolderOutcome> sourceFolder) override;

private:
    void recalculatePlan();
    void notifyPlanChanged();
    void setState(MergeState state);
    std::vector<MergeFileTask> buildTasks() const;
    SourceFolderRemovalRequest buildSourceRemovalRequest() const;

    std::shared_ptr<DuplicatesHeap> m_heap;
    std::shared_ptr<DuplicatesContainer> m_container;
    std::shared_ptr<MergeFolder> m_leftFolder;
    std::shared_ptr<MergeFolder> m_rightFolder;
    MergeDirection m_direction;
    MergeOperationOptions m_options;
    std::uint64_t m_countOfAffectedItems = 0;
    MergeState m_state = MergeState::Preview;
    SubOperationsStatistics m_statistics;
    std::vector<MergeItem*> m_performedItems;  // the planned items, in task order, while performing
    std::vector<MergeOperationResult> m_results;
    std::optional<SourceFolderOutcome> m_sourceFolderOutcome;
    std::shared_ptr<MergePerformer> m_performer;
    WeakListeners<MergeOperationDataListener> m_listeners;
};

}  // namespace kestrane
