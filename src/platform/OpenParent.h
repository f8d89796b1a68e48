#pragma once

#include "platform/Error.h"

#include <optional>
#include <string>
#include <string_view>

namespace kestrane::platform {

// The folder that holds a path, opened from "/" one component at a time
// without following a symbolic link anywhere on the way, and the path's last
// name in it. What removes, unlocks or compares a person's files works
// relative to it, so that a folder replaced by a link since the scan can
// never lead the work to another place.
//
//     std::optional<Error> error;
//     auto parent = OpenParent::open(path, error);
//     if (!parent) ... error says why ...
//     ::unlinkat(parent->fd(), parent->name(), 0);
//
// Refused: a relative path, an empty one, "/" itself (it has no parent), and
// a path with a "." or ".." component (a path a scan gives never has one).
// Doubled and trailing slashes are ignored. Paths of any length work: no
// single call is given more than one component.
class OpenParent {
public:
    static std::optional<OpenParent> open(std::string_view path, std::optional<Error>& error);

    ~OpenParent();
    OpenParent(OpenParent&& other) noexcept;
    OpenParent& operator=(OpenParent&& other) noexcept;
    OpenParent(const OpenParent&) = delete;
    OpenParent& operator=(const OpenParent&) = delete;

    // The parent folder, opened O_PATH: for the *at() calls and for opening
    // children; search permission is all it needed.
    int fd() const { return m_fd; }
    // The last component, NUL-terminated.
    const char* name() const { return m_name.c_str(); }
    const std::string& path() const { return m_path; }

    // Whether the components are all ordinary names ("." and ".." are not).
    static bool isAbsoluteWithoutDots(std::string_view path);

private:
    OpenParent(int fd, std::string name, std::string path);

    int m_fd = -1;
    std::string m_name;
    std::string m_path;
};

}  // namespace kestrane::platform
