#include "log/RestoreKernelManager.h"

#include "log/LogDates.h"
#include "log/RestoreControllersContainer.h"
#include "platform/UserFolders.h"

#include <dirent.h>
#include <unistd.h>

namespace kestrane {

namespace {
constexpr std::string_view kLogExtension = ".log";
}

void RestoreKernelManager::enumerateLogFiles(
    const std::function<void(const std::string& name, std::int64_t date)>& visit) const {
    DIR* dir = ::opendir(m_folderName.c_str());
    if (dir == nullptr) return;
    std::vector<std::pair<std::string, std::int64_t>> logs;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (!name.ends_with(kLogExtension)) continue;
        if (const auto date = parseLogDate(name.substr(0, name.size() - kLogExtension.size())))
            logs.emplace_back(std::string(name), *date);
    }
    ::closedir(dir);
    for (const auto& [name, date] : logs) visit(name, date);
}

void RestoreKernelManager::loadFromFolder(const std::string& folder) {
    m_folderName = folder;
    m_restoreControllersDictionary.clear();
    enumerateLogFiles([&](const std::string& name, std::int64_t date) {
        auto controller = RestoreController::create(platform::joinPath(folder, name));
        if (!controller) return;
        const std::int64_t noon = noonOfDay(localDayOf(date));
        auto& container = m_restoreControllersDictionary[noon];
        if (!container) container = std::make_shared<RestoreControllersContainer>(noon);
        container->addController(controller);
    });
}

std::vector<std::shared_ptr<RestoreControllersContainer>> RestoreKernelManager::restoreControllers() const {
    std::vector<std::shared_ptr<RestoreControllersContainer>> days;
    for (auto it = m_restoreControllersDictionary.rbegin(); it != m_restoreControllersDictionary.rend(); ++it)
        days.push_back(it->second);
    return days;
}

void RestoreKernelManager::cutAllLogFiles() {
    enumerateLogFiles([&](const std::string& name, std::int64_t) {
        ::unlink(platform::joinPath(m_folderName, name).c_str());
    });
}

void RestoreKernelManager::cutAllLogFilesConnectedToNoon(std::int64_t noon) {
    enumerateLogFiles([&](const std::string& name, std::int64_t date) {
        const std::int64_t logNoon = noonOfDay(localDayOf(date));
        if (logNoon - noon <= 1 && noon - logNoon <= 1) ::unlink(platform::joinPath(m_folderName, name).c_str());
    });
}

void RestoreKernelManager::clearHistory() {
    cutAllLogFiles();
    m_restoreControllersDictionary.clear();
    if (const auto delegate = m_delegate.lock()) delegate->restoreKernelManagerHistoryWasCleared(*this);
}

void RestoreKernelManager::clearHistoryFor(const std::shared_ptr<RestoreControllersContainer>& container) {
    if (!container) return;
    cutAllLogFilesConnectedToNoon(container->noonOfTheDay());
    m_restoreControllersDictionary.erase(container->noonOfTheDay());
    if (const auto delegate = m_delegate.lock()) delegate->restoreKernelManagerHistoryWasRemovedFor(*this, *container);
}

}  // namespace kestrane
