#include "app/RemoveItemPresentationContainer.h"

#include "app/SIFTFolderPresentation.h"

namespace kestrane {

bool RemoveItemPresentationContainer::shouldDelete(ItemPresentation& presentation) {
    if (const void* object = presentation.representedObject(); object && m_objects.erase(object) > 0) return true;
    if (!presentation.isFolder()) return false;
    auto& folder = static_cast<SIFTFolderPresentation&>(presentation);
    const bool hadChildren = folder.hasChildren();
    folder.removeRemovedSubItems(*this);
    return hadChildren && !folder.hasChildren();
}

std::vector<std::size_t> RemoveItemPresentationContainer::indexesToDelete(const Presentations& presentations) {
    std::vector<std::size_t> indexes;
    for (std::size_t i = 0; i < presentations.size(); ++i)
        if (presentations[i] && shouldDelete(*presentations[i])) indexes.push_back(i);
    return indexes;
}

void deletePresentationsAt(Presentations& presentations, const std::vector<std::size_t>& indexes) {
    std::size_t next = 0;
    std::size_t kept = 0;
    for (std::size_t i = 0; i < presentations.size(); ++i) {
        if (next < indexes.size() && indexes[next] == i) {
            ++next;
            continue;
        }
        presentations[kept++] = std::move(presentations[i]);
    }
    presentations.resize(kept);
}

}  // namespace kestrane
