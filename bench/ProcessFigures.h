#pragma once

// Memory figures of the benchmark process itself, read from /proc.

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

namespace kestrane::bench {

struct MemoryStatus {
    std::uint64_t rssKiB = 0;  // resident now
    std::uint64_t hwmKiB = 0;  // peak resident ("high water mark")
};

inline MemoryStatus readMemoryStatus() {
    MemoryStatus status;
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("VmRSS:", 0) == 0) status.rssKiB = std::strtoull(line.c_str() + 6, nullptr, 10);
        if (line.rfind("VmHWM:", 0) == 0) status.hwmKiB = std::strtoull(line.c_str() + 6, nullptr, 10);
    }
    return status;
}

// Lowers the peak-RSS mark to the current RSS (Linux 4.0 and later), so that
// the next peak belongs to what runs next. False when the kernel refuses.
inline bool resetPeakRss() {
    std::ofstream out("/proc/self/clear_refs");
    out << "5";
    out.flush();
    return static_cast<bool>(out);
}

}  // namespace kestrane::bench
