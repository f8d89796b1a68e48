#include "log/RestoreControllersContainer.h"

#include <algorithm>

namespace kestrane {

void RestoreControllersContainer::addController(const std::shared_ptr<RestoreController>& controller) {
    if (!controller) return;
    controller->setDelegate(weak_from_this());
    std::lock_guard lock(m_mutex);
    const auto position = std::find_if(m_controllers.begin(), m_controllers.end(), [&](const auto& other) {
        return other->date() < controller->date();
    });
    m_controllers.insert(position, controller);
}

std::vector<std::shared_ptr<RestoreController>> RestoreControllersContainer::controllers() const {
    std::lock_guard lock(m_mutex);
    return m_controllers;
}

std::vector<std::shared_ptr<BaseRemovedItem>> RestoreControllersContainer::allItemsSet() const {
    std::vector<std::shared_ptr<BaseRemovedItem>> items;
    for (const auto& controller : controllers())
        for (auto& child : controller->children()) items.push_back(std::move(child));
    return items;
}

std::size_t RestoreControllersContainer::calculateNumberOfRemovedItems() const {
    std::size_t count = 0;
    for (const auto& controller : controllers()) count += controller->calculateNumberOfRemovedItems();
    return count;
}

std::size_t RestoreControllersContainer::calculateNumberOfRestorableItems() const {
    std::size_t count = 0;
    for (const auto& controller : controllers()) count += controller->calculateNumberOfRestorableItems();
    return count;
}

void RestoreControllersContainer::loadOnlyIfHasNoLoadedData(bool onlyIfNotLoaded) {
    for (const auto& controller : controllers()) controller->loadOnlyIfHasNoLoadedData(onlyIfNotLoaded);
}

RestoreController::LoadingState RestoreControllersContainer::loadingState() const {
    bool anyNotLoaded = false;
    for (const auto& controller : controllers()) {
        const auto state = controller->loadingState();
        if (state == RestoreController::LoadingState::loading) return state;
        anyNotLoaded = anyNotLoaded || state == RestoreController::LoadingState::notLoaded;
    }
    return anyNotLoaded ? RestoreController::LoadingState::notLoaded : RestoreController::LoadingState::loaded;
}

void RestoreControllersContainer::restoreControllerLoadingStateDidUpdate(RestoreController& controller) {
    m_listeners.notify(&RestoreControllerDelegate::restoreControllerLoadingStateDidUpdate, controller);
}

void RestoreControllersContainer::restoreControllerAppearedToBeEmptyAfterLoading(RestoreController& controller) {
    m_listeners.notify(&RestoreControllerDelegate::restoreControllerAppearedToBeEmptyAfterLoading, controller);
}

void RestoreControllersContainer::restoreControllerRemovedItemStateDidUpdate(RestoreController& controller,
                                                                             BaseRemovedItem& item) {
    m_listeners.notify(&RestoreControllerDelegate::restoreControllerRemovedItemStateDidUpdate, controller, item);
}

void RestoreControllersContainer::restoreControllerSelectionDidChange(RestoreController& controller) {
    m_listeners.notify(&RestoreControllerDelegate::restoreControllerSelectionDidChange, controller);
}

}  // namespace kestrane
