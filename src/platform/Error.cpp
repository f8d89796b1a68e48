#include "platform/Error.h"

#include <cstring>

namespace kestrane {

Error Error::fromErrno(int err, std::string what, std::string path) {
    Error e;
    e.domain = "posix";
    e.code = err;
    e.message = std::move(what) + ": " + std::strerror(err);
    e.path = std::move(path);
    return e;
}

std::string Error::describe() const {
    std::string text = message;
    if (!path.empty()) text += " (" + path + ")";
    return text;
}

}  // namespace kestrane
