#include "cli/FolderTreeReport.h"

#include "cli/ReportText.h"
#include "cli/ScanReport.h"
#include "folders/FSFolder.h"
#include "folders/FSFolderManager.h"
#include "scan/FolderSystemItem.h"

#include <nlohmann/json.hpp>

#include <ostream>
#include <string>
#include <vector>

namespace kestrane::cli {

namespace {

using json = nlohmann::ordered_json;

// The top nodes of the folder tree, when it is the tree of this result.
const std::vector<std::shared_ptr<FSFolder>>* folderTreeOf(const DuplicatesContainer& container) {
    const FSFolderManager& manager = FSFolderManager::sharedInstance();
    if (!manager.rootItem() || manager.container().get() != &container) return nullptr;
    return &manager.userSelectedItemsForScan();
}

// A folder the tree report shows below the top: one holding duplicates, or
// leading to folders that do.
bool shownInTree(const FSFolder& node) {
    return node.info().countOfDuplicates > 0 || node.info().countOfFoldersWithDuplicates > 0;
}

json folderTreeObject(const FSFolder& node) {
    json object = json::object();
    putPath(object, node.folderItem() ? node.folderItem()->path() : std::string());
    const FSComplexFolderData& info = node.info();
    object["duplicates"] = info.countOfDuplicates;
    object["selected"] = info.countOfSelectedDuplicates;
    object["selectedHere"] = info.countOfSelectedDuplicatesInCurrentFolder;
    object["selectedSize"] = info.sizeOfSelectedDuplicates;
    object["otherFiles"] = info.countOfUniqueFiles;
    object["foldersWithDuplicates"] = info.countOfFoldersWithDuplicates;
    object["duplicateFolder"] = node.isDuplicateFolder();
    object["kept"] = node.isFavorite();
    json children = json::array();
    for (const auto& sub : node.subFoldersInViewOrder())
        if (shownInTree(*sub)) children.push_back(folderTreeObject(*sub));
    object["folders"] = std::move(children);
    return object;
}

std::string countText(std::int64_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

void writeFolderLine(std::ostream& out, const FSFolder& node, std::size_t depth) {
    const FSComplexFolderData& info = node.info();
    const std::string name = depth == 0 && node.folderItem() ? node.folderItem()->path() : std::string(node.name());
    out << std::string(2 + 2 * depth, ' ') << printablePath(name) << ": "
        << countText(info.countOfDuplicates, "duplicate", "duplicates");
    if (info.countOfSelectedDuplicates > 0)
        out << ", " << info.countOfSelectedDuplicates << " selected ("
            << formatSize(static_cast<std::uint64_t>(info.sizeOfSelectedDuplicates)) << ")";
    if (info.countOfUniqueFiles > 0) out << ", " << countText(info.countOfUniqueFiles, "other file", "other files");
    if (node.isDuplicateFolder()) out << ", a duplicate folder";
    if (node.isFavorite()) out << ", kept";
    out << "\n";
    for (const auto& sub : node.subFoldersInViewOrder())
        if (shownInTree(*sub)) writeFolderLine(out, *sub, depth + 1);
}

}  // namespace

void forEachFolderTreeObject(const DuplicatesContainer& container, const std::function<void(const json&)>& emit) {
    if (const auto* tops = folderTreeOf(container))
        for (const auto& top : *tops) emit(folderTreeObject(*top));
}

void writeFolderTreeText(std::ostream& out, const DuplicatesContainer& container) {
    const auto* tops = folderTreeOf(container);
    if (!tops) return;
    out << "\nFolders holding duplicates (copies whose group has copies outside the folder), with their other "
           "files:\n";
    for (const auto& top : *tops) writeFolderLine(out, *top, 0);
}

}  // namespace kestrane::cli
