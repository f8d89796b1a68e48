#include "merge/MergeColorTag.h"

#include <array>
#include <fcntl.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <vector>

namespace kestrane {

std::optional<std::string_view> MergeColorTag::tagName(int colorTag) {
    static constexpr std::array<std::string_view, 7> kNames = {"Gray", "Green", "Purple", "Blue",
                                                               "Yellow", "Red", "Orange"};
    if (colorTag < 1 || colorTag > static_cast<int>(kNames.size())) return std::nullopt;
    return kNames[static_cast<std::size_t>(colorTag - 1)];
}

std::string MergeColorTag::withTag(std::string_view list, std::string_view tag) {
    std::size_t start = 0;
    while (start <= list.size()) {
        std::size_t end = list.find(',', start);
        if (end == std::string_view::npos) end = list.size();
        if (list.substr(start, end - start) == tag) return std::string(list);
        start = end + 1;
    }
    std::string result(list);
    if (!result.empty()) result.push_back(',');
    result.append(tag);
    return result;
}

bool MergeColorTag::apply(int dirFd, const std::string& name, int colorTag) {
    const auto tag = tagName(colorTag);
    if (!tag) return false;
    const int fd = ::openat(dirFd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    std::string current;
    const ssize_t length = ::fgetxattr(fd, kAttributeName, nullptr, 0);
    if (length > 0) {
        std::vector<char> value(static_cast<std::size_t>(length));
        const ssize_t read = ::fgetxattr(fd, kAttributeName, value.data(), value.size());
        if (read > 0) current.assign(value.data(), static_cast<std::size_t>(read));
    }
    const std::string tags = withTag(current, *tag);
    const bool tagged = tags == current || ::fsetxattr(fd, kAttributeName, tags.data(), tags.size(), 0) == 0;
    ::close(fd);
    return tagged;
}

}  // namespace kestrane
