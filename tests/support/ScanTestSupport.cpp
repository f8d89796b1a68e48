#include "support/ScanTestSupport.h"

#include "duplicates/DuplicateItem.h"
#include "duplicates/DuplicatesCategory.h"
#include "duplicates/DuplicatesContainer.h"
#include "duplicates/DuplicatesGroup.h"
#include "platform/MainQueue.h"
#include "app/FoldersScanner.h"
#include "support/TestSupport.h"

namespace kestrane::test {


ScanOutcome scanFolders(const std::vector<std::string>& paths, const ScanOptions& options) {
    auto listener = std::make_shared<ResultListener>();
    ScanOutcome outcome;
    outcome.scanner = FoldersScanner::create(paths, listener);
    outcome.scanner->includeHiddenFiles(options.includeHidden);
    outcome.scanner->enableSearchDuplicatesFoldersAndSimilars(options.folderStages);
    if (options.minimalSize)
        outcome.scanner->startScanWithMinimalSize(*options.minimalSize, options.fullHash);
    else
        outcome.scanner->startScanWithAutomaticMinimalSize(options.fullHash);
    runMainQueueUntil([&] { return listener->calls > 0; }, std::chrono::minutes(5));
    EXPECT_EQ(listener->calls, 1);
    outcome.container = listener->container;
    return outcome;
}

PathGroups groupsOfCategory(const DuplicatesContainer& container, FileCategory category) {
    PathGroups groups;
    const auto cat = container.getCategoryWithType(category);
    if (!cat) return groups;
    for (const auto& group : cat->getGroups()) {
        std::set<std::string> paths;
        for (const auto& item : group->getItems()) paths.insert(item->getFileItemPath());
        groups.insert(std::move(paths));
    }
    return groups;
}

PathGroups fileGroups(const DuplicatesContainer& container) {
    PathGroups all;
    for (const FileCategory category : kFileContentCategories) all.merge(groupsOfCategory(container, category));
    return all;
}

}  // namespace kestrane::test
