#pragma once

#include "removal/RemoveErrorInfo.h"

#include <utility>
#include <vector>

namespace kestrane {

// The failures of one kind, offered together: one question for the whole
// group, and one helper remover for what the person confirms. Every group is
// this one class with its type; what differs between groups (texts, help,
// helper remover) follows from the type (RemoveAlertsController,
// helperRemoverTypeOfGroup). Used on the main queue.
class DefaultRemoverErrorGroup {
public:
    explicit DefaultRemoverErrorGroup(RemoveGroupType type)
        : m_type(type), m_removerType(helperRemoverTypeOfGroup(type)) {}

    RemoveGroupType type() const { return m_type; }
    HelperRemoverType removerType() const { return m_removerType; }
    const std::vector<RemoveErrorInfo>& errors() const { return m_errors; }

    void addError(RemoveErrorInfo error) { m_errors.push_back(std::move(error)); }
    void addErrors(std::vector<RemoveErrorInfo> errors) {
        for (auto& error : errors) m_errors.push_back(std::move(error));
    }
    bool hasErrors() const { return !m_errors.empty(); }
    // Hands the errors over and leaves the group empty (it is offered no more).
    std::vector<RemoveErrorInfo> takeErrors() { return std::exchange(m_errors, {}); }

private:
    RemoveGroupType m_type;
    HelperRemoverType m_removerType;
    std::vector<RemoveErrorInfo> m_errors;
};

}  // namespace kestrane
