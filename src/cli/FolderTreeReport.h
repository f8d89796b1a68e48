#pragma once

#include <nlohmann/json_fwd.hpp>

#include <functional>
#include <iosfwd>

namespace kestrane {
class DuplicatesContainer;
}

namespace kestrane::cli {

// The folder tree of a result in the reports (--folders): the tree of
// FSFolderManager when it was built from this result (the caller brings it
// up to date first), nothing otherwise. Layouts in docs/report-format.md.

// One JSON folder object per scanned folder, each with the folders below it
// that hold duplicates.
void forEachFolderTreeObject(const DuplicatesContainer& container,
                             const std::function<void(const nlohmann::ordered_json&)>& emit);
// "Folders holding duplicates", as an indented tree.
void writeFolderTreeText(std::ostream& out, const DuplicatesContainer& container);

}  // namespace kestrane::cli
