#pragma once

#include <string>

namespace kestrane {

// A failure returned by the core: nothing in the core throws across its API.
struct Error {
    std::string domain;   // "posix", "preferences", "scan", ...
    int code = 0;         // errno for "posix", otherwise domain-specific
    std::string message;  // a sentence a person understands
    std::string path;     // the file or folder concerned, when there is one

    static Error fromErrno(int err, std::string what, std::string path = {});
    std::string describe() const;  // "message: path (code)" for logs and the CLI
};

}  // namespace kestrane
