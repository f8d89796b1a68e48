#include "app/ItemPresentation.h"

#include <algorithm>

namespace kestrane {

ItemPresentation::~ItemPresentation() = default;

void ItemPresentation::addListener(const std::shared_ptr<ItemPresentationListener>& listener) {
    if (!m_listeners) m_listeners = std::make_unique<WeakListeners<ItemPresentationListener>>();
    m_listeners->add(listener);
}

void ItemPresentation::removeListener(const ItemPresentationListener* listener) {
    if (m_listeners) m_listeners->remove(listener);
}

void ItemPresentation::notifyListenersThatPresentationChanged() {
    if (m_listeners) m_listeners->notify(&ItemPresentationListener::onItemPresentationChanged, *this);
}

void sortPresentations(Presentations& presentations, const PresentationComparator& comparator) {
    if (!comparator || presentations.size() < 2) return;
    // A bottom-up merge sort: std::merge never reads past either run, so an
    // inconsistent comparator gives some order but never undefined behaviour
    // (std::stable_sort's insertion steps assume a strict weak order).
    const auto before = [&](const auto& a, const auto& b) { return comparator(*a, *b) < 0; };
    Presentations buffer(presentations.size());
    Presentations* from = &presentations;
    Presentations* to = &buffer;
    for (std::size_t width = 1; width < presentations.size(); width *= 2) {
        for (std::size_t start = 0; start < presentations.size(); start += 2 * width) {
            const std::size_t middle = std::min(start + width, presentations.size());
            const std::size_t end = std::min(start + 2 * width, presentations.size());
            std::merge(std::make_move_iterator(from->begin() + start), std::make_move_iterator(from->begin() + middle),
                       std::make_move_iterator(from->begin() + middle), std::make_move_iterator(from->begin() + end),
                       to->begin() + start, before);
        }
        std::swap(from, to);
    }
    if (from != &presentations) presentations = std::move(*from);
}

}  // namespace kestrane
