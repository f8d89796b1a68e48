#pragma once

#include "scan/ExcludeTreeChecker.h"

namespace kestrane {

// A checker that gives one fixed value for every name, and itself for every
// sub-folder: what applies below the deepest node of the exclusion tree.
class ExcludeTreeCheckerWithValue final : public ExcludeTreeChecker {
public:
    explicit ExcludeTreeCheckerWithValue(int value) : m_value(value) {}

    // A shared checker for the value. The checkers for Included, Excluded and
    // NotSet are made once per process and handed out again, so that taking
    // a with-value checker costs no allocation.
    static std::shared_ptr<const ExcludeTreeCheckerWithValue> withValue(int value);

    int value() const { return m_value; }

    int checkName(std::string_view name) const override;
    std::shared_ptr<const ExcludeTreeChecker> subCheckerByName(std::string_view name) const override;

private:
    int m_value;
};

}  // namespace kestrane
