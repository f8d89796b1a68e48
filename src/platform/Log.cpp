#include "platform/Log.h"

#include <cstdio>
#include <mutex>
#include <string>

namespace kestrane::platform {

namespace {
std::mutex g_sinkMutex;
std::function<void(std::string_view)> g_sink;
}  // namespace

void logWarning(std::string_view text) {
    std::function<void(std::string_view)> sink;
    {
        std::lock_guard lock(g_sinkMutex);
        sink = g_sink;
    }
    if (sink) {
        sink(text);
        return;
    }
    std::string line = "kestrane: warning: ";
    line.append(text).append("\n");
    std::fputs(line.c_str(), stderr);
}

std::function<void(std::string_view)> setWarningSink(std::function<void(std::string_view)> sink) {
    std::lock_guard lock(g_sinkMutex);
    auto previous = std::move(g_sink);
    g_sink = std::move(sink);
    return previous;
}

}  // namespace kestrane::platform
