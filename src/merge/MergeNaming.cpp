#include "merge/MergeNaming.h"

#include "platform/Text.h"

namespace kestrane {

namespace {

// Cuts text to at most length bytes without splitting a UTF-8 sequence.
std::string_view cutAt(std::string_view text, std::size_t length) {
    if (text.size() <= length) return text;
    while (length > 0 && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80) --length;
    return text.substr(0, length);
}

}  // namespace

std::string MergeNaming::numberedName(std::string_view name, bool isFolder, std::uint64_t k) {
    const std::string_view extension = isFolder ? std::string_view() : platform::pathExtension(name);
    const std::string_view base = isFolder ? name : platform::nameWithoutExtension(name);
    const std::string suffix = " " + std::to_string(k);
    const std::size_t tail = suffix.size() + (extension.empty() ? 0 : extension.size() + 1);
    std::string numbered(cutAt(base, tail < kMaximalNameLength ? kMaximalNameLength - tail : 0));
    numbered += suffix;
    if (!extension.empty()) numbered.append(".").append(extension);
    return numbered;
}

std::string MergeNaming::freeName(std::string_view name, bool isFolder,
                                  const std::function<bool(std::string_view)>& isTaken) {
    if (!isTaken(name)) return std::string(name);
    for (std::uint64_t k = 1;; ++k) {
        std::string candidate = numberedName(name, isFolder, k);
        if (!isTaken(candidate)) return candidate;
    }
}

}  // namespace kestrane
