#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace kestrane {

class Settings;

// Which side of a similar-folder pair receives: left to right makes the left
// folder the source and the right one the destination.
enum class MergeDirection : std::uint8_t { LeftToRight, RightToLeft };

enum class MergeFolderRole : std::uint8_t { Destination, Source };

enum class MergeAction : std::uint8_t { Move, Copy };

// Preview -> (perform) -> Perform -> (every operation finished or cancelled) -> ViewResult.
enum class MergeState : std::uint8_t { Preview, Perform, ViewResult };

// "moved", "copied"; "merged" for no action.
std::string_view participleOf(std::optional<MergeAction> action);

// How a merge is to be done; a value, changed as a whole.
struct MergeOperationOptions {
    // Without an action the plan acts on nothing.
    std::optional<MergeAction> action;
    // After a move, the source folder goes to the Trash when everything left
    // in it has an identical copy in the destination.
    bool removeSourceFolder = false;
    // Also take over the source's files whose copy in the destination has
    // another name: the destination then holds both names.
    bool mergeDuplicatesWithDifferentNames = false;
    // A colour label for the files that arrive (0: none; 1 to 7: gray, green,
    // purple, blue, yellow, red, orange), kept as a tag of the file (see
    // MergeColorTag).
    int colorTag = 0;

    // The choices the merge dialogue remembers: move or copy, and whether
    // duplicates with different names are taken over.
    static MergeOperationOptions fromSettings(const Settings& settings);

    friend bool operator==(const MergeOperationOptions&, const MergeOperationOptions&) = default;
};

}  // namespace kestrane
