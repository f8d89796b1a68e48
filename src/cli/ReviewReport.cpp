#include "cli/ReviewReport.h"

#include "app/DuplicateItemPresentation.h"
#include "app/SIFTFolderPresentation.h"
#include "app/SelectedItemsPresenter.h"
#include "app/SelectedItemsSortMenuDelegate.h"
#include "cli/ReportText.h"
#include "cli/ScanReport.h"
#include "duplicates/DuplicateItem.h"
#include "duplicates/DuplicatesContainer.h"
#include "duplicates/DuplicatesGroup.h"

#include <nlohmann/json.hpp>

#include <array>
#include <ostream>
#include <string>

namespace kestrane::cli {

namespace {

using json = nlohmann::ordered_json;

constexpr std::array<std::string_view, 3> kPresentationWords = {"tree", "folders", "list"};
constexpr std::array<std::string_view, 8> kSortWords = {"name", "name-desc", "size",     "size-asc",
                                                        "date", "date-asc",  "selected", "type"};
constexpr std::array<std::string_view, 3> kPresentationTitles = {"as a file tree", "grouped by folders",
                                                                 "as a plain list"};

const SIFTFolderPresentation& asFolder(const ItemPresentation& p) {
    return static_cast<const SIFTFolderPresentation&>(p);
}
const DuplicateItem& itemOf(const ItemPresentation& p) {
    return *static_cast<const DuplicateItemPresentation&>(p).item();
}

std::unique_ptr<SelectedItemsPresenter> sortedPresenter(const DuplicatesContainer& container,
                                                        const ReviewOptions& options) {
    auto presenter = SelectedItemsPresenter::create(options.presentation, container.buildRemoveList());
    presenter->sortUsingComparator(presenter->buildSortComparator(options.sortType));
    return presenter;
}

std::string jsonText(const json& value) {
    return value.dump(-1, ' ', false, json::error_handler_t::replace);
}

// A copy as the removal list and the review give it.
json copyObject(const DuplicateItem& item) {
    json object = json::object();
    putPath(object, item.getFileItemPath());
    object["size"] = item.getFileItemSize();
    object["modified"] = formatIsoDate(item.getLastModificationDate());
    const auto group = item.getGroup();
    object["group"] = group ? group->getGroupID() : 0;
    object["category"] = numberOfFileCategory(item.getType());
    return object;
}

void writeHumanLevel(std::ostream& out, const Presentations& level, std::size_t depth, bool wholePaths) {
    const std::string indent(2 * depth, ' ');
    for (const auto& p : level) {
        if (p->isFolder()) {
            const auto& folder = asFolder(*p);
            out << indent << printablePath(wholePaths ? folder.path() : folder.name()) << "/\n";
            writeHumanLevel(out, folder.subItems(), depth + 1, false);
            continue;
        }
        const DuplicateItem& item = itemOf(*p);
        const FileSystemItem* file = item.getFileSystemItem();
        std::string name = depth == 1 || !file ? item.getFileItemPath() : std::string(file->name());
        if (item.isDirectory()) name += "/";  // a duplicate folder, selected whole
        const auto group = item.getGroup();
        out << indent << printablePath(name) << "  " << formatSize(item.getFileItemSize()) << "  "
            << formatShortDate(item.getLastModificationDate()) << "  (group " << (group ? group->getGroupID() : 0)
            << ")\n";
    }
}

void writeJsonLevel(std::ostream& out, const Presentations& level, const std::string& indent) {
    out << "[";
    bool first = true;
    for (const auto& p : level) {
        out << (first ? "\n" : ",\n") << indent << "  ";
        first = false;
        if (!p->isFolder()) {
            json object = {{"kind", "copy"}};
            object.update(copyObject(itemOf(*p)));
            out << jsonText(object);
            continue;
        }
        const auto& folder = asFolder(*p);
        json head = json::object();
        head["kind"] = "folder";
        head["name"] = folder.name();
        putPath(head, folder.path());
        std::string text = jsonText(head);
        text.pop_back();  // the closing brace: the entries follow
        out << text << ",\"entries\":";
        writeJsonLevel(out, folder.subItems(), indent + "  ");
        out << "}";
    }
    out << (first ? "]" : "\n" + indent + "]");
}

}  // namespace

std::optional<std::int32_t> presentationOfWord(std::string_view word) {
    for (std::size_t i = 0; i < kPresentationWords.size(); ++i)
        if (word == kPresentationWords[i]) return static_cast<std::int32_t>(i);
    return std::nullopt;
}

std::string_view wordOfPresentation(std::int32_t presentation) {
    return presentation >= 0 && presentation < 3 ? kPresentationWords[static_cast<std::size_t>(presentation)] : "tree";
}

std::optional<std::int32_t> sortTypeOfWord(std::string_view word) {
    for (std::size_t i = 0; i < kSortWords.size(); ++i)
        if (word == kSortWords[i]) return static_cast<std::int32_t>(i + 1);
    return std::nullopt;
}

std::string_view wordOfSortType(std::int32_t sortType) {
    return sortType >= 1 && sortType <= 8 ? kSortWords[static_cast<std::size_t>(sortType - 1)] : "name";
}

void writeHumanReview(std::ostream& out, const DuplicatesContainer& container, const ReviewOptions& options) {
    const auto presenter = sortedPresenter(container, options);
    const RemovalListTotals totals = removalListTotals(container);
    out << "\nSelected for removal, " << kPresentationTitles[static_cast<std::size_t>(presenter->type())]
        << ", sorted by " << SelectedItemsSortMenuDelegate::menuTitle(options.sortType) << ": "
        << (totals.count == 1 ? std::string("1 copy") : std::to_string(totals.count) + " copies") << " ("
        << formatSize(totals.size) << ")\n";
    if (totals.count == 0) {
        out << "  nothing is selected\n";
        return;
    }
    writeHumanLevel(out, presenter->subItems(), 1, true);
}

void writeJsonReview(std::ostream& out, const DuplicatesContainer& container, const ReviewOptions& options,
                     const char* indent) {
    const auto presenter = sortedPresenter(container, options);
    out << "{\"presentation\": \"" << wordOfPresentation(presenter->type()) << "\", \"sort\": \""
        << wordOfSortType(options.sortType) << "\", \"entries\": ";
    writeJsonLevel(out, presenter->subItems(), indent);
    out << "}";
}

void writeJsonRemovalList(std::ostream& out, const DuplicatesContainer& container, const char* indent) {
    const RemovalListTotals totals = removalListTotals(container);
    out << "{\"count\": " << totals.count << ", \"size\": " << totals.size << ", \"items\": [";
    bool first = true;
    for (const auto& item : container.buildRemoveList()) {
        out << (first ? "\n" : ",\n") << indent << "  " << jsonText(copyObject(*item));
        first = false;
    }
    out << (first ? "]}" : std::string("\n") + indent + "]}");
}

}  // namespace kestrane::cli
