#include "merge/MergeTexts.h"

namespace kestrane {

std::string MergeTexts::countOfFiles(std::uint64_t count) {
    return count == 1 ? std::string("1 file") : std::to_string(count) + " files";
}

MergeTexts::Preview MergeTexts::preview(std::uint64_t countOfAffectedItems, std::optional<MergeAction> action,
                                        std::string_view sourceName, std::string_view destinationName) {
    Preview preview;
    if (countOfAffectedItems == 0 || !action) {
        preview.message = "There is nothing to merge from \"";
        preview.message.append(sourceName).append("\" to \"").append(destinationName).append("\" folder.");
        preview.hint = kNothingToMergeHint;
        return preview;
    }
    preview.message = countOfFiles(countOfAffectedItems) + " from \"";
    preview.message.append(sourceName).append("\" will be ").append(participleOf(action));
    preview.message.append(" to \"").append(destinationName).append("\" folder.");
    preview.hint = kCustomizeHint;
    return preview;
}

std::string MergeTexts::successLine(std::uint64_t count, std::optional<MergeAction> action) {
    std::string line = count == 1 ? std::string("1 file was ") : std::to_string(count) + " files were ";
    line.append(participleOf(action)).append(" succesfully.");
    return line;
}

std::string MergeTexts::failureLine(std::uint64_t count, std::optional<MergeAction> action) {
    std::string line = count == 1 ? std::string("1 file could not be ") : std::to_string(count) + " files could not be ";
    line.append(participleOf(action)).append(".");
    return line;
}

}  // namespace kestrane
