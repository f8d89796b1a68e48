#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace kestrane {

// The names an item takes when it arrives in the destination of a merge.
//
// It keeps its name when nothing of that name is there. Otherwise the names
// tried are, for k = 1, 2, 3...: the name without its extension, a space, k,
// and the extension with its dot ("report.pdf" -> "report 1.pdf"); a folder's
// name is never split at a dot ("photos.2019" -> "photos.2019 1"). A name
// without an extension ("README", ".bashrc", "notes.") takes the number at
// its end. Names are bytes: the extension is what platform::pathExtension
// finds. A numbered name that would be longer than a file name may be (255
// bytes) is shortened before the number, never inside a UTF-8 sequence.
class MergeNaming {
public:
    static constexpr std::size_t kMaximalNameLength = 255;

    // The k-th name tried (k >= 1).
    static std::string numberedName(std::string_view name, bool isFolder, std::uint64_t k);
    // The name itself when isTaken says it is free, else the first free numbered name.
    static std::string freeName(std::string_view name, bool isFolder,
                                const std::function<bool(std::string_view)>& isTaken);
};

}  // namespace kestrane
