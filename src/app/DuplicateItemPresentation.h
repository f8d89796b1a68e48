#pragma once

#include "app/ItemPresentation.h"

#include <memory>
#include <optional>
#include <string>

namespace kestrane {

class DuplicateItem;

// A copy in the review: the copy, and the reason shown for it after a
// removal that failed.
class DuplicateItemPresentation : public ItemPresentation {
public:
    explicit DuplicateItemPresentation(std::shared_ptr<DuplicateItem> item) : m_item(std::move(item)) {}

    const std::shared_ptr<DuplicateItem>& item() const { return m_item; }
    const void* representedObject() const override { return m_item.get(); }

    // Why the copy could not be removed; empty while nothing failed.
    const std::string& errorInfo() const { return m_errorInfo; }
    void setErrorInfo(std::string error) { m_errorInfo = std::move(error); }

    // The name of the copy's item, lowercased in canonical decomposed form
    // for comparisons without regard to case; none when the copy has no item.
    const std::optional<std::string>& comparableName() const;

private:
    std::shared_ptr<DuplicateItem> m_item;
    std::string m_errorInfo;
    mutable std::optional<std::optional<std::string>> m_comparableName;  // made on first use
};

}  // namespace kestrane
