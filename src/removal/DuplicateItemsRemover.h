#pragma once

#include "platform/Question.h"
#include "removal/DefaultRemoverErrorsContainer.h"
#include "removal/DuplicatesFinderRemover.h"
#include "removal/RemoveAlertsController.h"
#include "removal/Remover.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kestrane {

class DuplicateItem;
class DuplicateItemsRemover;
class DuplicatesContainer;
class DuplicatesDefaultRemover;
class DuplicateItemsRemoverBehaviorLog;

// What a front end hears of a removal session, on the main queue.
class DuplicateItemsRemoverDelegate {
public:
    virtual ~DuplicateItemsRemoverDelegate() = default;
    // A remover starts (the first pass, or a helper remover for a group).
    virtual void onRemoverBeginRemoveSession(DuplicateItemsRemover& /*remover*/) {}
    // A batch of removed copies, right before they leave the result model
    // (their paths and sizes can still be read).
    virtual void onRemoverRemove(DuplicateItemsRemover& /*remover*/,
                                 const std::vector<std::shared_ptr<DuplicateItem>>& /*items*/) {}
    // A remover ended.
    virtual void onRemoverEndRemoveSession(DuplicateItemsRemover& /*remover*/) {}
    // The session is over; told once.
    virtual void onRemoverFinishWork(DuplicateItemsRemover& remover) = 0;
};

// One removal session: removes the container's removal list (the first pass,
// DuplicatesDefaultRemover), then offers the failures group by group (each
// group's question through RemoveAlertsController) and hands what the person
// confirms to a helper remover (a script as the user or as administrator);
// what nothing could remove ends in a last "not removed" group. Removed
// copies leave the result model batch by batch; groups left with fewer than
// two copies are dropped after each remover. Copies the checks kept from
// removal are deselected and listed in skippedCopies().
//
// Made with create() on the main queue, used there, run once.
class DuplicateItemsRemover : public RemoverListener,
                              public ScriptRemoverDelegate,
                              public std::enable_shared_from_this<DuplicateItemsRemover> {
public:
    // Reads the settings "move to the Trash" and "remove empty folders",
    // clears the behaviour log and writes its first lines.
    static std::shared_ptr<DuplicateItemsRemover> create(std::weak_ptr<DuplicateItemsRemoverDelegate> delegate,
                                                         std::weak_ptr<QuestionAsker> asker);
    DuplicateItemsRemover(std::weak_ptr<DuplicateItemsRemoverDelegate> delegate, std::weak_ptr<QuestionAsker> asker);
    ~DuplicateItemsRemover() override;

    // Asks "Are you sure you want to delete some files permanently?" unless
    // the setting says not to show it; a ticked "Don't show this message
    // again" with OK turns the setting off. then(true) when the removal may go on.
    static void confirmRemovePermanently(const std::shared_ptr<QuestionAsker>& asker, std::uint64_t count,
                                         std::function<void(bool)> then);

    // The choices of the session, overriding the settings (before the start).
    void setRemoveToTrash(bool toTrash);
    void setRemoveEmptyFolders(bool remove) { m_removeEmptyFolders = remove; }
    // The result to remove from (the duplicates manager's current one by default).
    void setContainer(std::shared_ptr<DuplicatesContainer> container) { m_container = std::move(container); }
    // Passed to the first pass (tests).
    void setFirstPassSetup(std::function<void(DuplicatesDefaultRemover&)> setup) { m_firstPassSetup = std::move(setup); }

    // Starts the session; a second call, or one without a delegate, does nothing.
    void removeItemsInRemoveList();
    // The current remover stops taking items; no question follows.
    void stop();

    bool removeToTrash() const { return m_removeToTrash; }
    bool removeEmptyFolders() const { return m_removeEmptyFolders; }
    bool isUsed() const { return m_isUsed; }
    bool isStopped() const { return m_isStopped; }
    bool isFinished() const { return m_isFinished; }
    // The running remover's progress, 0 when none runs.
    float progress() const;
    std::uint64_t removedSizeLastSession() const { return m_removedSizeLastSession; }
    std::uint64_t countOfProcessedItemsLastSession() const { return m_countOfProcessedItemsLastSession; }
    // The failures no later step retries (declined, or no means left).
    const std::vector<RemoveErrorInfo>& removeErrors() const { return m_allRemoveErrors; }
    // The copies the checks kept from removal, deselected.
    const std::vector<SkippedCopy>& skippedCopies() const { return m_skipped; }
    // Everything removed in the session.
    std::uint64_t removedCount() const { return m_removedCount; }
    std::uint64_t removedSize() const { return m_removedSize; }
    std::uint64_t itemsToRemoveCount() const { return m_itemsToRemoveCount; }
    // The removal log of the session, once it ended; empty when none was
    // written (nothing removed, or logging off).
    const std::string& logFilePath() const { return m_logFilePath; }
    // Why a means of removal could not be used (a script that could not run,
    // administrator rights that could not be had), each once.
    const std::vector<std::string>& notices() const { return m_notices; }

    // RemoverListener
    void onRemoverDidRemove(Remover& remover, const std::vector<std::shared_ptr<DuplicateItem>>& items) override;
    void onRemoverFinished(Remover& remover) override;
    // ScriptRemoverDelegate
    void onUserWasNotAllowedToRunRemover(Remover& remover) override;

private:
    void startRemover(std::shared_ptr<Remover> remover, std::optional<RemoveGroupType> group);
    void processNextGroup();
    void onGroupAnswered(DefaultRemoverErrorGroup& group, bool confirmed);
    std::shared_ptr<DuplicatesFinderRemover> makeHelperRemover(HelperRemoverType type);
    void takeSkippedCopies(Remover& remover);
    void endSession();
    std::string activeGroupName() const;

    std::weak_ptr<DuplicateItemsRemoverDelegate> m_delegate;
    RemoveAlertsController m_alertsController;
    std::shared_ptr<DuplicateItemsRemoverBehaviorLog> m_behaviorLog;
    std::shared_ptr<DuplicatesContainer> m_container;
    std::function<void(DuplicatesDefaultRemover&)> m_firstPassSetup;
    bool m_removeToTrash = true;
    bool m_removeEmptyFolders = false;
    bool m_isUsed = false;
    bool m_isStopped = false;
    bool m_isFinished = false;
    bool m_couldShowNotRemovedGroupMessage = true;
    std::uint64_t m_removedSizeLastSession = 0;
    std::uint64_t m_countOfProcessedItemsLastSession = 0;
    std::uint64_t m_removedCount = 0;
    std::uint64_t m_removedSize = 0;
    std::uint64_t m_itemsToRemoveCount = 0;
    std::optional<RemoveGroupType> m_activeGroup;
    std::shared_ptr<Remover> m_activeRemover;
    std::shared_ptr<Remover> m_defaultRemover;
    std::shared_ptr<DuplicatesFinderRemover> m_helperRemover;
    std::unique_ptr<DefaultRemoverErrorsContainer> m_errorsContainer;
    std::unique_ptr<DefaultRemoverErrorGroup> m_notRemovedGroup;
    std::vector<RemoveErrorInfo> m_allRemoveErrors;
    std::vector<SkippedCopy> m_skipped;
    std::string m_logFilePath;
    std::vector<std::string> m_notices;
};

}  // namespace kestrane
