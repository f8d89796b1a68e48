#pragma once

#include "merge/MergeOperationOptions.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace kestrane {

// The words a merge shows, exactly: the preview's message and hint, the
// result lines and the titles of the preview's two lists. The feasibility
// messages are MergeFeasibility's.
struct SourceFolderOutcome;

class MergeTexts {
public:
    static constexpr std::string_view kNothingToMergeHint = "Change Merge options or direction to process.";
    static constexpr std::string_view kCustomizeHint =
        "You can customize Merge using the options below or changing direction.";
    static constexpr std::string_view kUniqueFilesTitle = "Unique Files";
    static constexpr std::string_view kDuplicateFilesTitle = "Duplicate Files";

    struct Preview {
        std::string message;
        std::string hint;
    };

    // With nothing to act on: "There is nothing to merge from "A" to "B"
    // folder." Otherwise: "3 files from "A" will be copied to "B" folder."
    // A count without an action reads as nothing to merge.
    static Preview preview(std::uint64_t countOfAffectedItems, std::optional<MergeAction> action,
                           std::string_view sourceName, std::string_view destinationName);

    // "1 file" or "N files".
    static std::string countOfFiles(std::uint64_t count);
    // "1 file was copied succesfully." / "3 files were moved succesfully."
    static std::string successLine(std::uint64_t count, std::optional<MergeAction> action);
    // "1 file could not be copied." / "3 files could not be moved."
    static std::string failureLine(std::uint64_t count, std::optional<MergeAction> action);

    // How a name or path is written in a line (the command line escapes
    // bytes a terminal would take as controls; the window shows them as they are).
    using NameWriter = std::function<std::string(std::string_view)>;

    // "2 files were not merged: the merge was stopped."
    static std::string notPerformedLine(std::uint64_t count);
    // What became of the source folder whose removal was asked for: "The
    // source folder "A" went to the Trash: PATH", or why it stays; empty when
    // there is nothing to say.
    static std::string sourceFolderLine(const SourceFolderOutcome& outcome, std::string_view sourceName,
                                        std::string_view destinationName, const NameWriter& write);
};

}  // namespace kestrane
