#include "removal/DuplicateItemsRemover.h"

#include "duplicates/DuplicateItem.h"
#include "duplicates/DuplicatesContainer.h"
#include "duplicates/DuplicatesGroup.h"
#include "duplicates/DuplicatesManager.h"
#include "log/VaqLog.h"
#include "removal/DuplicateItemsRemoverBehaviorLog.h"
#include "removal/DuplicatesDefaultRemover.h"
#include "removal/DuplicatesFinderPermanentRemover.h"
#include "removal/DuplicatesFinderToTrashRemover.h"
#include "scan/VolumeSystemItem.h"
#include "settings/Settings.h"

#include <algorithm>

namespace kestrane {

namespace {

const char* flagText(bool value) {
    return value ? "true" : "false";
}

}  // namespace

std::shared_ptr<DuplicateItemsRemover> DuplicateItemsRemover::create(std::weak_ptr<DuplicateItemsRemoverDelegate> delegate,
                                                                     std::weak_ptr<QuestionAsker> asker) {
    return std::make_shared<DuplicateItemsRemover>(std::move(delegate), std::move(asker));
}

DuplicateItemsRemover::DuplicateItemsRemover(std::weak_ptr<DuplicateItemsRemoverDelegate> delegate,
                                             std::weak_ptr<QuestionAsker> asker)
    : m_delegate(std::move(delegate)),
      m_alertsController(std::move(asker)),
      m_behaviorLog(DuplicateItemsRemoverBehaviorLog::shared()) {
    const Settings settings = Settings::standard();
    m_removeToTrash = settings.moveCleanedDuplicatesToTheTrashCan();
    m_removeEmptyFolders = settings.removeEmptyFolders();
    m_errorsContainer = std::make_unique<DefaultRemoverErrorsContainer>(m_removeToTrash);
    auto& log = *m_behaviorLog;
    log.clear();
    log.addLine(" --- Remove Log Start -- ");
    log.addLine(std::string("Remove to Trash: ") + flagText(m_removeToTrash));
    log.addLine(std::string("Remove empty folders: ") + flagText(m_removeEmptyFolders));
}

DuplicateItemsRemover::~DuplicateItemsRemover() = default;

void DuplicateItemsRemover::confirmRemovePermanently(const std::shared_ptr<QuestionAsker>& asker, std::uint64_t count,
                                                     std::function<void(bool)> then) {
    if (!Settings::standard().showRemovePermanentlyMessage()) {
        then(true);
        return;
    }
    if (!asker) {
        then(false);  // nobody to ask: nothing is removed
        return;
    }
    const Question question = RemoveAlertsController::removePermanentlyQuestion(count);
    asker->ask(question, [question, then = std::move(then)](Answer answer) {
        const bool accepted = answer.button == question.yesButton;
        if (accepted && answer.suppress) Settings::standard().setShowRemovePermanentlyMessage(false);
        then(accepted);
    });
}

void DuplicateItemsRemover::setRemoveToTrash(bool toTrash) {
    if (m_isUsed || toTrash == m_removeToTrash) return;
    m_removeToTrash = toTrash;
    m_errorsContainer = std::make_unique<DefaultRemoverErrorsContainer>(m_removeToTrash);
    m_behaviorLog->addLine(std::string("Remove to Trash: ") + flagText(m_removeToTrash));
}

float DuplicateItemsRemover::progress() const {
    return m_activeRemover ? m_activeRemover->progress() : 0.0f;
}

std::string DuplicateItemsRemover::activeGroupName() const {
    return m_activeGroup ? nameOfGroupType(*m_activeGroup) : "nil";
}

void DuplicateItemsRemover::removeItemsInRemoveList() {
    if (m_isUsed || m_delegate.expired()) return;
    m_isUsed = true;
    if (!m_container) m_container = DuplicatesManager::sharedManager().duplicateContainer();
    if (!m_container) {
        endSession();
        return;
    }
    std::vector<std::shared_ptr<DuplicateItem>> items = m_container->buildRemoveListAsArray();
    m_itemsToRemoveCount = items.size();
    // Every group taking part is recorded, its copies as kept until reported removed.
    std::vector<std::shared_ptr<DuplicatesGroup>> groups;
    for (const auto& item : items)
        if (auto group = item->getGroup(); group && std::find(groups.begin(), groups.end(), group) == groups.end())
            groups.push_back(std::move(group));
    VaqLog::shared().beginLogOfGroups(groups);

    auto firstPass = DuplicatesDefaultRemover::create();
    m_behaviorLog->addLine("Count of remove items: " + std::to_string(items.size()));
    std::vector<std::string> chosen;
    for (const auto& root : m_container->buildRootFolders())
        if (root) chosen.push_back(root->path());
    firstPass->setChosenFolders(std::move(chosen));
    firstPass->setItems(std::move(items), weak_from_this(), m_removeToTrash, m_removeEmptyFolders);
    if (m_firstPassSetup) m_firstPassSetup(*firstPass);
    m_defaultRemover = firstPass;
    startRemover(firstPass, std::nullopt);
}

void DuplicateItemsRemover::stop() {
    m_isStopped = true;
    if (m_defaultRemover) m_defaultRemover->stopRemove();
    if (m_helperRemover) m_helperRemover->stopRemove();
}

void DuplicateItemsRemover::startRemover(std::shared_ptr<Remover> remover, std::optional<RemoveGroupType> group) {
    m_activeGroup = group;
    m_behaviorLog->addLine("Run remove " + activeGroupName());
    m_removedSizeLastSession = 0;
    m_countOfProcessedItemsLastSession = 0;
    if (const auto delegate = m_delegate.lock()) delegate->onRemoverBeginRemoveSession(*this);
    m_activeRemover = remover;
    if (!remover->startRemove()) onRemoverFinished(*remover);
}

void DuplicateItemsRemover::onRemoverDidRemove(Remover& remover, const std::vector<std::shared_ptr<DuplicateItem>>& items) {
    if (items.empty()) return;
    if (const auto delegate = m_delegate.lock()) delegate->onRemoverRemove(*this, items);
    for (const auto& item : items) {
        if (!item) continue;
        m_removedSizeLastSession += item->getFileItemSize();
        m_removedSize += item->getFileItemSize();
        ++m_removedCount;
    }
    // Before the copies leave the result: the file on disk lists them now.
    if (&remover != m_defaultRemover.get()) VaqLog::shared().flush();
    if (m_container) m_container->removeEntries(items);
}

void DuplicateItemsRemover::takeSkippedCopies(Remover& remover) {
    std::vector<SkippedCopy> skipped = remover.skippedCopies();
    if (skipped.empty()) return;
    // Never offered for removal again: out of the selection, in one batch.
    DuplicatesGroup::BeginSelectionGroup();
    for (auto& copy : skipped) {
        if (copy.item && copy.item->isSelected()) copy.item->deselectItem();
        m_skipped.push_back(std::move(copy));
    }
    DuplicatesGroup::EndSelectionGroup();
}

void DuplicateItemsRemover::onRemoverFinished(Remover& remover) {
    if (m_activeRemover.get() != &remover) return;
    m_behaviorLog->addLine("Finish remove " + activeGroupName());
    const auto finished = m_activeRemover;
    m_activeRemover.reset();
    // Deselected first, while their groups are where they were.
    takeSkippedCopies(remover);
    if (m_container) m_container->validateEmptyDataAfterRemoveWithListener(nullptr);

    m_countOfProcessedItemsLastSession = remover.countOfProcessedItems();
    if (finished == m_defaultRemover) {
        for (auto& error : remover.removeErrors()) m_errorsContainer->addError(std::move(error));
    } else if (finished == m_helperRemover) {
        const bool trashHelperFailed = m_removeToTrash && m_activeGroup &&
                                       helperRemoverTypeOfGroup(*m_activeGroup) == HelperRemoverType::finder;
        for (auto& error : remover.removeErrors()) {
            // What could not go to the Trash is offered for permanent removal later.
            if (trashHelperFailed) m_errorsContainer->unknownErrorGroup().addError(std::move(error));
            else m_allRemoveErrors.push_back(std::move(error));
        }
    }
    if (const auto delegate = m_delegate.lock()) delegate->onRemoverEndRemoveSession(*this);
    m_errorsContainer->writeGroupCounts(*m_behaviorLog);
    if (m_isStopped) endSession();
    else processNextGroup();
}

void DuplicateItemsRemover::processNextGroup() {
    const auto self = shared_from_this();
    if (DefaultRemoverErrorGroup* group = m_errorsContainer->nextGroup()) {
        m_behaviorLog->addLine(std::string("Start remove ") + nameOfGroupType(group->type()));
        m_alertsController.showAlertForGroup(group->type(), group->errors(), m_removeToTrash,
                                             [self, group](bool confirmed) { self->onGroupAnswered(*group, confirmed); });
        return;
    }
    if (m_couldShowNotRemovedGroupMessage) {
        m_couldShowNotRemovedGroupMessage = false;
        m_notRemovedGroup = std::make_unique<DefaultRemoverErrorGroup>(RemoveGroupType::notRemoved);
        std::vector<RemoveErrorInfo> left;
        std::size_t moved = 0;
        for (auto& error : m_allRemoveErrors) {
            if (helperRemoverTypeOfGroup(error.removeGroupType()) != HelperRemoverType::none) {
                m_notRemovedGroup->addError(std::move(error));
                ++moved;
            } else {
                left.push_back(std::move(error));
            }
        }
        m_allRemoveErrors = std::move(left);
        auto& log = *m_behaviorLog;
        log.addLine("Not removed items info:");
        log.addLine("Count of items: " + std::to_string(moved));
        log.addLine("Count of not processed errors: " + std::to_string(m_allRemoveErrors.size()));
        if (m_notRemovedGroup->hasErrors()) {
            log.addLine("Start remove NotRemoved");
            DefaultRemoverErrorGroup* group = m_notRemovedGroup.get();
            m_alertsController.showAlertForGroup(group->type(), group->errors(), m_removeToTrash,
                                                 [self, group](bool confirmed) { self->onGroupAnswered(*group, confirmed); });
            return;
        }
    }
    endSession();
}

void DuplicateItemsRemover::onGroupAnswered(DefaultRemoverErrorGroup& group, bool confirmed) {
    std::vector<RemoveErrorInfo> errors = group.takeErrors();
    const HelperRemoverType type = group.removerType();
    const std::string name = nameOfGroupType(group.type());
    if (!confirmed || type == HelperRemoverType::none) {
        if (!confirmed && type != HelperRemoverType::none) m_couldShowNotRemovedGroupMessage = false;
        for (auto& error : errors) m_allRemoveErrors.push_back(std::move(error));
        m_behaviorLog->addLine("Cancel remove " + name);
        processNextGroup();
        return;
    }
    auto helper = makeHelperRemover(type);
    if (!helper) {
        for (auto& error : errors) m_allRemoveErrors.push_back(std::move(error));
        processNextGroup();
        return;
    }
    for (auto& error : errors)
        if (!helper->addError(error)) m_allRemoveErrors.push_back(std::move(error));
    m_helperRemover = helper;
    startRemover(helper, group.type());
}

std::shared_ptr<DuplicatesFinderRemover> DuplicateItemsRemover::makeHelperRemover(HelperRemoverType type) {
    switch (type) {
        case HelperRemoverType::finder:
            if (m_removeToTrash) return std::make_shared<DuplicatesFinderToTrashRemover>(weak_from_this(), weak_from_this());
            return std::make_shared<DuplicatesFinderPermanentRemover>(weak_from_this(), weak_from_this());
        case HelperRemoverType::permanentAsAdmin:
            return std::make_shared<DuplicatesFinderPermanentRemover>(weak_from_this(), weak_from_this());
        case HelperRemoverType::permanentAsUser: {
            auto remover = std::make_shared<DuplicatesFinderPermanentRemover>(weak_from_this(), weak_from_this());
            remover->setUseAdminPrivileges(false);
            return remover;
        }
        case HelperRemoverType::none: break;
    }
    return nullptr;
}

void DuplicateItemsRemover::onUserWasNotAllowedToRunRemover(Remover& remover) {
    m_couldShowNotRemovedGroupMessage = false;
    if (&remover == m_helperRemover.get() && !m_helperRemover->failureReason().empty() &&
        std::find(m_notices.begin(), m_notices.end(), m_helperRemover->failureReason()) == m_notices.end())
        m_notices.push_back(m_helperRemover->failureReason());
}

void DuplicateItemsRemover::endSession() {
    if (m_isFinished) return;
    m_isFinished = true;
    m_behaviorLog->addLine(" --- Remove Log End -- ");
    if (m_isUsed && m_container) {
        auto& log = VaqLog::shared();
        log.flush();
        m_logFilePath = log.currentLogFilePath();
        log.endLog();
    }
    if (const auto delegate = m_delegate.lock()) delegate->onRemoverFinishWork(*this);
}

}  // namespace kestrane
