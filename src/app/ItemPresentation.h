#pragma once

#include "platform/WeakListeners.h"

#include <functional>
#include <memory>
#include <vector>

namespace kestrane {

class ItemPresentation;

// Told, on the thread that changed it, that a presentation changed (a folder
// lost children that were removed).
class ItemPresentationListener {
public:
    virtual ~ItemPresentationListener() = default;
    virtual void onItemPresentationChanged(const ItemPresentation& presentation) = 0;
};

// One row of the review of the copies selected for removal: a copy
// (DuplicateItemPresentation) or a folder (SIFTFolderPresentation). A
// presentation is told apart from others by what it shows, its represented
// object (the copy, or the folder's item). Built and used on one thread, the
// main queue in practice.
class ItemPresentation {
public:
    virtual ~ItemPresentation();

    // What the presentation shows, for identity only.
    virtual const void* representedObject() const = 0;
    virtual bool isFolder() const { return false; }

    void addListener(const std::shared_ptr<ItemPresentationListener>& listener);
    void removeListener(const ItemPresentationListener* listener);
    void notifyListenersThatPresentationChanged();

private:
    std::unique_ptr<WeakListeners<ItemPresentationListener>> m_listeners;  // made on first use
};

using Presentations = std::vector<std::shared_ptr<ItemPresentation>>;

// The order of two presentations: negative when a comes first, positive
// when b does, 0 when either may. May be empty (no order).
using PresentationComparator = std::function<int(const ItemPresentation& a, const ItemPresentation& b)>;

// Sorts stably by the comparator. Safe for any comparator, even one that
// is not a consistent order (values that cannot be compared count as equal
// to everything); an empty one leaves the list as it is.
void sortPresentations(Presentations& presentations, const PresentationComparator& comparator);

}  // namespace kestrane
