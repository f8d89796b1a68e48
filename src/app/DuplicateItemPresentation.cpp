#include "app/DuplicateItemPresentation.h"

#include "duplicates/DuplicateItem.h"
#include "scan/AutoSelectName.h"

namespace kestrane {

const std::optional<std::string>& DuplicateItemPresentation::comparableName() const {
    if (!m_comparableName) {
        const FileSystemItem* file = m_item ? m_item->getFileSystemItem() : nullptr;
        m_comparableName.emplace(file ? std::optional(AutoSelectName::lowercasedName(file->name())) : std::nullopt);
    }
    return *m_comparableName;
}

}  // namespace kestrane
