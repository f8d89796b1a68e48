#include "platform/HelperProtocol.h"

#include "platform/OpenParent.h"

#include <cerrno>

#include <sys/socket.h>
#include <unistd.h>

namespace kestrane::platform {

namespace {

void appendLittleEndian(std::string& out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xff));
}

std::uint32_t readLittleEndian(const unsigned char* bytes) {
    return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
           static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

// Reads exactly length bytes; false at the end of the stream or on an error.
bool readExactly(int fd, void* buffer, std::size_t length) {
    auto* out = static_cast<unsigned char*>(buffer);
    std::size_t done = 0;
    while (done < length) {
        const ssize_t got = ::read(fd, out + done, length - done);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        done += static_cast<std::size_t>(got);
    }
    return true;
}

}  // namespace

std::string HelperProtocol::encodeRequest(std::string_view path) {
    std::string bytes(kMagic);
    bytes.push_back(static_cast<char>(kRemoveRequest));
    appendLittleEndian(bytes, static_cast<std::uint32_t>(path.size()));
    bytes.append(path);
    return bytes;
}

std::string HelperProtocol::encodeReply(Outcome outcome, int error) {
    std::string bytes(1, static_cast<char>(outcome));
    appendLittleEndian(bytes, static_cast<std::uint32_t>(error));
    return bytes;
}

std::optional<std::string> HelperProtocol::readRequest(int fd) {
    unsigned char header[9];
    if (!readExactly(fd, header, sizeof header)) return std::nullopt;
    if (std::string_view(reinterpret_cast<const char*>(header), 4) != kMagic || header[4] != kRemoveRequest)
        return std::nullopt;
    const std::uint32_t length = readLittleEndian(header + 5);
    if (length > kMaxPathLength) return std::nullopt;
    std::string path(length, '\0');
    if (length > 0 && !readExactly(fd, path.data(), length)) return std::nullopt;
    return path;
}

std::optional<HelperProtocol::Reply> HelperProtocol::readReply(int fd) {
    unsigned char bytes[5];
    if (!readExactly(fd, bytes, sizeof bytes)) return std::nullopt;
    if (bytes[0] > static_cast<unsigned char>(Outcome::failed)) return std::nullopt;
    return Reply{static_cast<Outcome>(bytes[0]), static_cast<int>(readLittleEndian(bytes + 1))};
}

bool HelperProtocol::writeAll(int fd, std::string_view bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        // MSG_NOSIGNAL: a peer that has gone gives EPIPE, not a fatal SIGPIPE.
        const ssize_t wrote = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0) return false;
        done += static_cast<std::size_t>(wrote);
    }
    return true;
}

std::optional<std::string> HelperProtocol::refusalReason(std::string_view path) {
    if (path.empty() || path.front() != '/') return "not an absolute path";
    if (path.find('\0') != std::string_view::npos) return "the path holds a NUL byte";
    if (!OpenParent::isAbsoluteWithoutDots(path)) return "the path has a \".\" or \"..\" component";
    if (path.find_first_not_of('/') == std::string_view::npos) return "the root folder is never removed";
    return std::nullopt;
}

}  // namespace kestrane::platform
