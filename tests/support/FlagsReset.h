#pragma once

#include <string>

namespace kestrane::test {

// Clears the immutable and append-only flags of a path when it goes, so that
// a temporary folder holding it can be removed even when a test fails.
class FlagsReset {
public:
    explicit FlagsReset(std::string path) : m_path(std::move(path)) {}
    ~FlagsReset();
    FlagsReset(const FlagsReset&) = delete;
    FlagsReset& operator=(const FlagsReset&) = delete;

private:
    std::string m_path;
};

}  // namespace kestrane::test
