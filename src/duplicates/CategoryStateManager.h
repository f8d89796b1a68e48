#pragma once

#include "duplicates/FileCategory.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace kestrane {

class DuplicateItem;
class DuplicatesGroup;

// Remembers, for the screens, what was last shown: per category the
// group and the copy, the two folders of the last similar-folder pair, and
// the last auto-select state. Process-wide and thread-safe. Groups and copies
// are held weakly: one that has gone is no longer remembered.
class CategoryStateManager {
public:
    // What is remembered for one category ("DuplicateGroup" and "FileItem").
    struct Items {
        std::shared_ptr<DuplicatesGroup> duplicateGroup;
        std::shared_ptr<DuplicateItem> fileItem;
    };

    static CategoryStateManager& sharedManager();

    // A different group than the one remembered drops the remembered copy.
    void setDuplicateGroupForType(const std::shared_ptr<DuplicatesGroup>& group, FileCategory type);
    void setFileItemForType(const std::shared_ptr<DuplicateItem>& item, FileCategory type);
    Items getItemsForType(FileCategory type) const;
    // Forgets every category.
    void removeCategoryItems();

    // The folders of the last shown similar-folder pair, by path.
    std::optional<std::string> heapsMainFolderItem() const;
    std::optional<std::string> heapsSecondFolderItem() const;
    void setHeapsFolderItems(std::string mainFolderPath, std::string secondFolderPath);
    void removeHeapsItems();

    std::optional<std::int32_t> lastAutoSelectState() const;
    void setLastAutoSelectState(std::optional<std::int32_t> state);

private:
    CategoryStateManager() = default;

    struct Remembered {
        std::weak_ptr<DuplicatesGroup> group;
        std::weak_ptr<DuplicateItem> item;
    };

    mutable std::mutex m_mutex;
    PerCategory<Remembered> m_categories;
    std::optional<std::string> m_heapsMainFolder;
    std::optional<std::string> m_heapsSecondFolder;
    std::optional<std::int32_t> m_lastAutoSelectState;
};

}  // namespace kestrane
