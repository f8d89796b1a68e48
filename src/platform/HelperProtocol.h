#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kestrane::platform {

// What the privileged helper `trelmor` and the program that started it say
// to each other over its Unix-domain socket (docs/trelmor.md). Shared by both
// sides, so that they cannot disagree.
//
// A request:  "TRM1", one byte of kind (1: remove this path), the path's
//             length as 4 bytes little-endian, the path's bytes.
// A reply:    one byte of outcome (HelperOutcome), the errno as 4 bytes
//             little-endian (0 unless failed).
// A connection carries any number of requests, one reply each, in order.
struct HelperProtocol {
    static constexpr std::string_view kMagic = "TRM1";
    static constexpr std::uint8_t kRemoveRequest = 1;
    // A path longer than this is refused without being read.
    static constexpr std::uint32_t kMaxPathLength = 1u << 20;
    // The first part of every connection name: the program's reverse-DNS
    // label. A name is this, a dot and a number from 100000 to 999998.
    static constexpr std::string_view kNamePrefix = "org.kestrane.trelmor";

    enum class Outcome : std::uint8_t {
        removed = 0,  // nothing is at the path any more
        refused = 1,  // not a path the helper works on (relative, with "." or ".."), nothing done
        failed = 2,   // the removal failed with the errno given
    };

    static std::string encodeRequest(std::string_view path);
    static std::string encodeReply(Outcome outcome, int error);

    // Reads one request from a blocking socket. None when the peer closed the
    // connection or sent something that is not a request.
    static std::optional<std::string> readRequest(int fd);
    struct Reply {
        Outcome outcome = Outcome::failed;
        int error = 0;
    };
    static std::optional<Reply> readReply(int fd);

    // Writes all of the bytes to a socket; false on failure (a peer that has
    // gone is a failure, not a SIGPIPE).
    static bool writeAll(int fd, std::string_view bytes);

    // Why the helper refuses to work on this path, or none when it does not:
    // only absolute paths of plain names (no "." or ".." component, no NUL)
    // other than "/" itself.
    static std::optional<std::string> refusalReason(std::string_view path);
};

}  // namespace kestrane::platform
