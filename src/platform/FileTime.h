#pragma once

#include <sys/stat.h>

#include <compare>
#include <cstdint>

namespace kestrane::platform {

// A time as a file system keeps it: whole seconds since 1970-01-01 00:00 UTC
// and the nanoseconds within that second. Every time statx can give fits:
// the seconds are any 64-bit value (tmpfs and btrfs keep times billions of
// years away; ext4 reaches 2446). A std::chrono::system_clock time point
// counts nanoseconds in 64 bits and so spans only the years 1677 to 2262;
// converting a file time to one would overflow, so file times stay in this
// form and are turned into text by the front ends directly.
struct FileTime {
    std::int64_t seconds = 0;
    std::uint32_t nanoseconds = 0;  // 0 ... 999,999,999

    static FileTime fromStatx(const struct statx_timestamp& time) {
        return {static_cast<std::int64_t>(time.tv_sec), time.tv_nsec};
    }

    friend auto operator<=>(const FileTime&, const FileTime&) = default;
};

}  // namespace kestrane::platform
