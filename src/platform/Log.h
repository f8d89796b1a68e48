#pragma once

#include <functional>
#include <string_view>

namespace kestrane::platform {

// Warnings for the person running Kestrane: written to standard error as
// "kestrane: warning: ...", or handed to a front end that installed a sink.
void logWarning(std::string_view text);
// Installs a sink (an empty function restores standard error); returns the previous one.
std::function<void(std::string_view)> setWarningSink(std::function<void(std::string_view)> sink);

}  // namespace kestrane::platform
