#pragma once

#include "app/FoldersScanner.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace kestrane::test {

struct ScanOptions {
    // nullopt: the minimal size is found automatically.
    std::optional<std::uint64_t> minimalSize = 0;
    bool fullHash = false;
    bool includeHidden = true;
    bool folderStages = true;
};

// Keeps what a scan hands over at its end, and how many times it did.
class ResultListener : public FoldersScannerListener {
public:
    void onScanCompleteWithResult(std::shared_ptr<DuplicatesContainer> result) override {
        ++calls;
        container = std::move(result);
    }
    int calls = 0;
    std::shared_ptr<DuplicatesContainer> container;
};

struct ScanOutcome {
    std::shared_ptr<FoldersScanner> scanner;
    std::shared_ptr<DuplicatesContainer> container;  // null when no result came
};

// Scans real folders the way a user's scan runs (FoldersScanner through all
// its stages) and waits on the main queue for the result.
ScanOutcome scanFolders(const std::vector<std::string>& paths, const ScanOptions& options = {});

// The groups of a category as sets of paths, for comparing results.
using PathGroups = std::set<std::set<std::string>>;
PathGroups groupsOfCategory(const DuplicatesContainer& container, FileCategory category);
// Every group of identical files of the categories 0 to 5.
PathGroups fileGroups(const DuplicatesContainer& container);

}  // namespace kestrane::test
