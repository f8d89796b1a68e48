#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace kestrane::cli {

// A size as a person types it on the command line, in bytes:
//   "4096"            plain bytes ("B" may follow)
//   "500k", "2M", "1G", "3T"   powers of 1000, as the preferences count
//                              megabytes (a trailing "B" is allowed: "2MB")
//   "64KiB", "1MiB", "2GiB", "1TiB"   powers of 1024
// Units are matched without regard to case, and a decimal fraction is allowed
// ("1.5M") as long as the result is a whole number of bytes. No value for
// anything else: an empty text, a sign, spaces, an unknown unit, a fraction of
// a byte, or a size beyond 2^64 - 1 bytes.
std::optional<std::uint64_t> parseSize(std::string_view text);

}  // namespace kestrane::cli
