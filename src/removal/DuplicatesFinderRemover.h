#pragma once

#include "platform/FileIdentity.h"
#include "removal/Remover.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kestrane {

class BashScript;

// Told when a helper remover's script could not run (its administrator
// rights refused, or it could not be written or started).
class ScriptRemoverDelegate {
public:
    virtual ~ScriptRemoverDelegate() = default;
    virtual void onUserWasNotAllowedToRunRemover(Remover& remover) = 0;
};

// One item handed to a helper remover, followed across the script's run.
struct FinderRemoveDataInfo {
    RemoveErrorInfo errorInfo;
    std::string path;
    // Which file it was before the script ran: a moved file keeps it, so it
    // is found again in the Trash afterwards.
    platform::FileIdentity identity;

    // An entry for the error's item; none when nothing is at its path any more.
    static std::optional<FinderRemoveDataInfo> buildUsing(const RemoveErrorInfo& error);
};

// The removers that take over what the first pass could not remove and the
// person agreed to have removed by another means: one generated script for
// all their items (BashTask), then one look at each item on disk. Every
// item's check runs again first (an item may have changed while the person
// answered): what fails it is left alone, as in the first pass. A remover
// runs once; stopping it changes nothing once its script runs. Main queue.
class DuplicatesFinderRemover : public Remover, public std::enable_shared_from_this<DuplicatesFinderRemover> {
public:
    DuplicatesFinderRemover(std::weak_ptr<RemoverListener> listener, std::weak_ptr<ScriptRemoverDelegate> delegate);
    ~DuplicatesFinderRemover() override;

    // Takes an item before the start; false (refused) once started.
    bool addError(RemoveErrorInfo error);
    // True the first time only.
    bool markUsed();

    bool startRemove() override;
    void stopRemove() override {}
    float progress() const override { return m_isUsed && !m_finished ? 0.15f : (m_finished ? 1.0f : 0.0f); }
    std::uint64_t countOfProcessedItems() const override { return m_sourceErrors.size(); }
    std::vector<RemoveErrorInfo> removeErrors() const override { return m_removeErrors; }
    std::vector<SkippedCopy> skippedCopies() const override { return m_skipped; }
    std::uint64_t removedSize() const override { return m_removedSize; }

    const std::vector<RemoveErrorInfo>& sourceErrorsInfo() const { return m_sourceErrors; }
    const std::vector<std::shared_ptr<DuplicateItem>>& removedItems() const { return m_removedItems; }
    // Why the script did not run, when it did not.
    const std::string& failureReason() const { return m_failureReason; }

protected:
    // The script over the paths.
    virtual std::shared_ptr<BashScript> makeScript(const std::vector<std::string>& paths) const = 0;
    // Right before the script is made (main queue).
    virtual void prepareForScript(const std::vector<FinderRemoveDataInfo>& /*entries*/) {}
    // After the script: whether the entry's item is gone from its path, and
    // records it (in the Trash or permanently) when it is.
    virtual bool checkOutcome(const FinderRemoveDataInfo& entry) = 0;

private:
    void runScript(std::vector<FinderRemoveDataInfo> entries, std::vector<SkippedCopy> skipped);
    void onScriptEnded(bool ran);

    std::weak_ptr<RemoverListener> m_listener;
    std::weak_ptr<ScriptRemoverDelegate> m_delegate;
    std::vector<RemoveErrorInfo> m_sourceErrors;
    std::vector<FinderRemoveDataInfo> m_entries;
    std::vector<RemoveErrorInfo> m_removeErrors;
    std::vector<SkippedCopy> m_skipped;
    std::vector<std::shared_ptr<DuplicateItem>> m_removedItems;
    std::uint64_t m_removedSize = 0;
    std::string m_failureReason;
    bool m_isUsed = false;
    bool m_finished = false;
};

}  // namespace kestrane
