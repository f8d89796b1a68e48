#pragma once

#include <string>

// What the window does with a file outside itself.
namespace kestrane::gui::FileActions {

// Opens the file with the desktop's default application for its type.
bool openWithDefaultApplication(const std::string& path);
// Shows the file selected in the desktop's file manager (the freedesktop
// FileManager1 interface on the session bus), or opens its folder when no
// file manager offers that.
bool showInFileManager(const std::string& path);

}  // namespace kestrane::gui::FileActions
