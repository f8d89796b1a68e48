#include "merge/MergeTexts.h"

#include "merge/SourceFolderRemoval.h"

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

std::string MergeTexts::notPerformedLine(std::uint64_t count) {
    return countOfFiles(count) + (count == 1 ? " was" : " were") + " not merged: the merge was stopped.";
}

std::string MergeTexts::sourceFolderLine(const SourceFolderOutcome& outcome, std::string_view sourceName,
                                         std::string_view destinationName, const NameWriter& write) {
    const std::string source = "The source folder \"" + write(sourceName) + "\"";
    if (outcome.removed) return source + " went to the Trash: " + write(outcome.trashedPath);
    if (!outcome.withoutCopy.empty()) {
        const std::size_t count = outcome.withoutCopy.size();
        std::string line = source + " stays: " + std::to_string(count) + (count == 1 ? " item" : " items") + " in it " +
                           (count == 1 ? "has" : "have") + " no identical copy in \"" + write(destinationName) + "\":";
        for (std::size_t i = 0; i < count && i < 20; ++i) line += (i ? ", " : " ") + write(outcome.withoutCopy[i]);
        if (count > 20) line += ", ...";
        return line;
    }
    if (outcome.error) {
        std::string reason = outcome.error->message;
        for (char& c : reason)
            if (c == '\n') c = ' ';
        return source + " stays: " + reason;
    }
    return {};
}

}  // namespace kestrane
