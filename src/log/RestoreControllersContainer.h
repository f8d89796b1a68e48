#pragma once

#include "log/RestoreController.h"
#include "platform/WeakListeners.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace kestrane {

// The logs of one day of the history, newest first. It is the delegate of
// its logs and passes what they tell on to its own listeners.
class RestoreControllersContainer final : public RestoreControllerDelegate,
                                          public std::enable_shared_from_this<RestoreControllersContainer> {
public:
    // initWithNoonDate: the day whose 12:00 (local time) is `noon`.
    explicit RestoreControllersContainer(std::int64_t noon) : m_noonOfTheDay(noon) {}

    std::int64_t noonOfTheDay() const { return m_noonOfTheDay; }
    // Keeps the controllers sorted by date, newest first; becomes its delegate.
    void addController(const std::shared_ptr<RestoreController>& controller);
    std::vector<std::shared_ptr<RestoreController>> controllers() const;

    std::vector<std::shared_ptr<BaseRemovedItem>> allItemsSet() const;
    std::size_t calculateNumberOfRemovedItems() const;
    std::size_t calculateNumberOfRestorableItems() const;
    void loadOnlyIfHasNoLoadedData(bool onlyIfNotLoaded);
    // Loading when any log is loading, else not loaded when any is not, else loaded.
    RestoreController::LoadingState loadingState() const;

    void addListener(const std::shared_ptr<RestoreControllerDelegate>& listener) { m_listeners.add(listener); }
    void removeListener(const RestoreControllerDelegate* listener) { m_listeners.remove(listener); }

    void restoreControllerLoadingStateDidUpdate(RestoreController& controller) override;
    void restoreControllerAppearedToBeEmptyAfterLoading(RestoreController& controller) override;
    void restoreControllerRemovedItemStateDidUpdate(RestoreController& controller, BaseRemovedItem& item) override;
    void restoreControllerSelectionDidChange(RestoreController& controller) override;

private:
    const std::int64_t m_noonOfTheDay;
    mutable std::mutex m_mutex;
    std::vector<std::shared_ptr<RestoreController>> m_controllers;
    WeakListeners<RestoreControllerDelegate> m_listeners;
};

}  // namespace kestrane
