#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace kestrane {

class RestoreControllersContainer;
class RestoreKernelManager;

class RestoreKernelManagerDelegate {
public:
    virtual ~RestoreKernelManagerDelegate() = default;
    virtual void restoreKernelManagerHistoryWasCleared(RestoreKernelManager& manager) = 0;
    virtual void restoreKernelManagerHistoryWasRemovedFor(RestoreKernelManager& manager,
                                                          RestoreControllersContainer& container) = 0;
};

// The removal history: the log files of a folder, by day (newest day first,
// newest log first within a day). Logs are listed here and read when asked
// (RestoreController).
class RestoreKernelManager {
public:
    // loadFromFolder: lists the folder (not descending); every "*.log" whose
    // name reads as a date ("yyyy-MM-dd HH.mm.ss z" and the other forms of
    // parseLogDate) is a log, in the container of its local day.
    void loadFromFolder(const std::string& folder);
    const std::string& folderName() const { return m_folderName; }

    // The days, newest first.
    std::vector<std::shared_ptr<RestoreControllersContainer>> restoreControllers() const;

    // Calls `visit` with the name and date of every log file of the folder.
    void enumerateLogFiles(const std::function<void(const std::string& name, std::int64_t date)>& visit) const;
    // Deletes every log file of the folder (a file whose name is not a date
    // is not a log and stays), forgets every day and tells the delegate.
    void clearHistory();
    // Deletes the log files of one day (those whose date's noon is within a
    // second of the day's noon), drops the day and tells the delegate.
    void clearHistoryFor(const std::shared_ptr<RestoreControllersContainer>& container);
    void cutAllLogFiles();
    void cutAllLogFilesConnectedToNoon(std::int64_t noon);

    void setDelegate(std::weak_ptr<RestoreKernelManagerDelegate> delegate) { m_delegate = std::move(delegate); }

private:
    std::string m_folderName;
    std::map<std::int64_t, std::shared_ptr<RestoreControllersContainer>> m_restoreControllersDictionary;  // by noon
    std::weak_ptr<RestoreKernelManagerDelegate> m_delegate;
};

}  // namespace kestrane
