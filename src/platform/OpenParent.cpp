#include "platform/OpenParent.h"

#include <cerrno>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace kestrane::platform {

namespace {

// The components of an absolute path, empty ones (doubled or trailing "/") left out.
std::vector<std::string_view> componentsOf(std::string_view path) {
    std::vector<std::string_view> components;
    std::size_t start = 0;
    while (start < path.size()) {
        std::size_t end = path.find('/', start);
        if (end == std::string_view::npos) end = path.size();
        if (end > start) components.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return components;
}

}  // namespace

bool OpenParent::isAbsoluteWithoutDots(std::string_view path) {
    if (path.empty() || path.front() != '/' || path.find('\0') != std::string_view::npos) return false;
    for (const std::string_view component : componentsOf(path))
        if (component == "." || component == "..") return false;
    return true;
}

std::optional<OpenParent> OpenParent::open(std::string_view path, std::optional<Error>& error) {
    error.reset();
    if (!isAbsoluteWithoutDots(path)) {
        error = Error::fromErrno(EINVAL, "Not an absolute path of plain names", std::string(path));
        return std::nullopt;
    }
    const std::vector<std::string_view> components = componentsOf(path);
    if (components.empty()) {
        error = Error::fromErrno(EINVAL, "The root folder has no parent", std::string(path));
        return std::nullopt;
    }
    int fd = ::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        error = Error::fromErrno(errno, "Could not open the root folder", std::string(path));
        return std::nullopt;
    }
    std::string component;
    for (std::size_t i = 0; i + 1 < components.size(); ++i) {
        component.assign(components[i]);
        // O_NOFOLLOW with O_DIRECTORY: a link on the way fails (ENOTDIR or
        // ELOOP) instead of being followed; mounts are passed through.
        const int next = ::openat(fd, component.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        const int openErrno = errno;
        ::close(fd);
        if (next < 0) {
            std::string reached;
            for (std::size_t j = 0; j <= i; ++j) reached.append("/").append(components[j]);
            error = Error::fromErrno(openErrno == ENOTDIR || openErrno == ELOOP ? ENOTDIR : openErrno,
                                     "A folder on the way is missing, not a folder, or a symbolic link", reached);
            return std::nullopt;
        }
        fd = next;
    }
    return OpenParent(fd, std::string(components.back()), std::string(path));
}

OpenParent::OpenParent(int fd, std::string name, std::string path)
    : m_fd(fd), m_name(std::move(name)), m_path(std::move(path)) {}

OpenParent::~OpenParent() {
    if (m_fd >= 0) ::close(m_fd);
}

OpenParent::OpenParent(OpenParent&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1)), m_name(std::move(other.m_name)), m_path(std::move(other.m_path)) {}

OpenParent& OpenParent::operator=(OpenParent&& other) noexcept {
    if (this != &other) {
        if (m_fd >= 0) ::close(m_fd);
        m_fd = std::exchange(other.m_fd, -1);
        m_name = std::move(other.m_name);
        m_path = std::move(other.m_path);
    }
    return *this;
}

}  // namespace kestrane::platform
