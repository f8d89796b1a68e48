#include "scan/ExcludeTreeCheckerWithValue.h"

#include <array>

namespace kestrane {

std::shared_ptr<const ExcludeTreeCheckerWithValue> ExcludeTreeCheckerWithValue::withValue(int value) {
    // Built once (thread-safe static initialisation) and only read afterwards.
    static const std::array<std::shared_ptr<const ExcludeTreeCheckerWithValue>, 3> shared = {
        std::make_shared<ExcludeTreeCheckerWithValue>(Included),
        std::make_shared<ExcludeTreeCheckerWithValue>(Excluded),
        std::make_shared<ExcludeTreeCheckerWithValue>(NotSet),
    };
    if (value >= 0 && value < static_cast<int>(shared.size())) return shared[static_cast<std::size_t>(value)];
    return std::make_shared<ExcludeTreeCheckerWithValue>(value);
}

int ExcludeTreeCheckerWithValue::checkName(std::string_view) const {
    return m_value;
}

std::shared_ptr<const ExcludeTreeChecker> ExcludeTreeCheckerWithValue::subCheckerByName(std::string_view) const {
    if (auto self = weak_from_this().lock()) return self;
    // Only reached for a checker that is not held by a shared_ptr.
    return withValue(m_value);
}

}  // namespace kestrane
