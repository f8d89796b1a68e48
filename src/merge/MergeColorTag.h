#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kestrane {

// The colour label a merge may put on the files that arrive. Linux keeps no
// colour labels of its own; desktop file managers that tag files (KDE's among
// them) read the tags of a file from its extended attribute "user.xdg.tags",
// a comma-separated list of tag names, so the label becomes the tag of its
// colour name there ("Red"), added to the tags the file already has.
//
// Numbers as the options give them: 0 none, 1 Gray, 2 Green, 3 Purple,
// 4 Blue, 5 Yellow, 6 Red, 7 Orange.
class MergeColorTag {
public:
    static constexpr const char* kAttributeName = "user.xdg.tags";

    // The tag name of a label; none for 0 and numbers out of range.
    static std::optional<std::string_view> tagName(int colorTag);
    // Adds the label's tag to `name` inside the open folder dirFd. A file
    // system without user attributes (or a label of none) leaves the file as
    // it is: a tag is a convenience, never a reason for a merge to fail.
    // Returns whether the tag is on the file afterwards.
    static bool apply(int dirFd, const std::string& name, int colorTag);
    // The tags of `list` with `tag` added when it is not there yet.
    static std::string withTag(std::string_view list, std::string_view tag);
};

}  // namespace kestrane
