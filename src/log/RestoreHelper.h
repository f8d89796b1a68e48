#pragma once

#include "platform/FileTime.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kestrane {

class BaseFileLogItem;
class BaseRemovedItem;

// The rules of restoring: which file can stand for a removed one, the names
// a restored file gets, and where a restore puts it.
class RestoreHelper {
public:
    // restorationSuffix: appended to the base name of a restored file.
    static constexpr std::string_view kRestorationSuffix = " restored";

    // The match test: whether a file with this modification date and size
    // can take the place of the item. No date: no. A date 2 seconds or more
    // away from the logged one is accepted only when it is earlier than the
    // removal (a file older than the removal, as a copy restored with its
    // own date is). Then a folder or an item of unknown size accepts any
    // size; otherwise the sizes must be equal.
    static bool attributesMatchItem(std::optional<platform::FileTime> modified, std::int64_t size,
                                    const BaseFileLogItem& item);
    // The same for the file at `path` (not following a final link); no when
    // it cannot be examined.
    static bool fileMatchesItem(const std::string& path, const BaseFileLogItem& item);

    // The restored name of index 0 (the original path, or with a folder that
    // folder and the original name), 1 ("photo restored.jpg"), 2 and up
    // ("photo restored 2.jpg"); a folder keeps its whole name as the base
    // ("album restored 2").
    static std::string restoredFilePath(const std::string& path, bool isDirectory, unsigned index,
                                        const std::optional<std::string>& destinationFolder);
    static std::string restoredFilePathForItem(const BaseFileLogItem& item, unsigned index,
                                               const std::optional<std::string>& destinationFolder);

    // calculateRestoredFilePathForItem: the file standing where the item was,
    // if any: index 0, 1, 2 first, then any "base restored N.ext" in the
    // original folder; it must be a path the item may take
    // (couldBeUsedAsRestoredPath) and pass the match test.
    static std::optional<std::string> restoredFilePath(const BaseRemovedItem& item);

    // generateRestoreDestinationFilePathForItem:inFolder: the first restored
    // name, from index 0 up, that the item may take and that does not exist.
    static std::string restoreDestination(const BaseRemovedItem& item,
                                          const std::optional<std::string>& destinationFolder);
};

}  // namespace kestrane
