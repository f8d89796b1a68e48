#pragma once

// The names of the events that the parts of a front end post to one another
// on the process-wide notification centre (platform::NotificationCenter),
// with the payload keys they carry. Events the core posts itself are named
// where they are posted (ScanFlowController, DuplicatesContainer, Settings)
// and repeated here so that a front end finds them all in one place.
namespace kestrane::AppEvents {

// Posted by the core.
inline constexpr const char* kScannerWillStart = "Scanner::WillStartNotification";
inline constexpr const char* kDuplicateItemSelectionChanged = "DuplicateItemSelectionChangedNotification";
inline constexpr const char* kDuplicatesContainerDataChanged = "DuplicatesContainerDataChangedNotification";
inline constexpr const char* kBackToWelcomeScreen = "BackToWelcomeScreen";
inline constexpr const char* kBackToInterimScreen = "BackToInterimScreen";
inline constexpr const char* kRestartScan = "RestartScan";
inline constexpr const char* kNoDuplicatesMore = "NoDuplicatesMore";
inline constexpr const char* kRemoveToTrashSettingChanged = "RemoveToTrashSettingChangedNotification";
inline constexpr const char* kAutoSelectPreferencesChanged = "AutoSelectPreferencesChangedNotification";
inline constexpr const char* kForceFullHashCalculationChanged = "OnForceFullHashCalculationChangedNotificationName";
inline constexpr const char* kLogRemovedDuplicatesChanged = "OnLogRemovedDuplicatesChangedNotification";
inline constexpr const char* kAllowRemovingAllDuplicateCopiesChanged =
    "OnAllowRemovingAllDuplicateCopiesChangedNotification";

// Posted by the window.
inline constexpr const char* kSortingTypeChanged = "SortingTypeChangedNotification";
inline constexpr const char* kKeyPressed = "KeyPressedNotification";  // payload "Event": the key, as int
inline constexpr const char* kArrowNavigation = "ArrowNavigationNotification";  // payload "Type"
inline constexpr const char* kBackgroundTypeChanged = "BackgroundTypeChangedNotification";  // payload "Type"
inline constexpr const char* kAddFolder = "CoverFlowCommand::AddFolderNotification";
inline constexpr const char* kStartScan = "CoverFlowCommand::StartScanNotification";
inline constexpr const char* kFindInActiveView = "FindInActiveViewNotification";
inline constexpr const char* kRevealInFileManager = "RevealInFinderNotification";
inline constexpr const char* kGetInfo = "GetInfoNotification";
inline constexpr const char* kOpenFile = "OpenFileNotification";
inline constexpr const char* kTryToScanHomeFolder = "TryToScanHomeFolderNotification";
inline constexpr const char* kSelectedFilesSortChanged = "SelectedFilesVCSortChangedNotification";
inline constexpr const char* kMainMenuItemClosed = "OnMainMenuItemClosedNotification";
inline constexpr const char* kFilesDropped = "OnFilesDroppedNotification";  // payload "paths": vector<string>
inline constexpr const char* kLocalizedAppNameDidChange = "LocalizedAppNameDidChangedNotification";

// Payload keys.
inline constexpr const char* kEventKey = "Event";
inline constexpr const char* kTypeKey = "Type";
inline constexpr const char* kPathsKey = "paths";

}  // namespace kestrane::AppEvents
