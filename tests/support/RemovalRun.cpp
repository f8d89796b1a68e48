#include "support/RemovalRun.h"

#include "log/VaqLog.h"
#include "platform/Trash.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

namespace kestrane::test {

void recordRemovalRun(const std::vector<std::vector<RunFile>>& groups, std::int64_t date) {
    constexpr std::uint64_t kFirstId = 100;
    std::vector<VaqLogGroup> described;
    std::uint64_t id = kFirstId;
    for (const auto& group : groups) {
        VaqLogGroup logGroup(id++);
        for (const auto& file : group) {
            struct stat attributes {};
            ASSERT_EQ(::lstat(file.path.c_str(), &attributes), 0) << file.path;
            const bool folder = S_ISDIR(attributes.st_mode);
            logGroup.addItem({file.path, folder ? 0 : static_cast<std::uint64_t>(attributes.st_size),
                              {attributes.st_mtim.tv_sec, static_cast<std::uint32_t>(attributes.st_mtim.tv_nsec)},
                              folder});
        }
        described.push_back(std::move(logGroup));
    }
    VaqLog recorder;
    if (date != 0) recorder.setDateSource([date] { return date; });
    recorder.beginLogOfGroups(described);
    platform::Trash trash;
    id = kFirstId;
    for (const auto& group : groups) {
        for (const auto& file : group) {
            if (file.fate == RunFile::trashed) {
                const auto entry = trash.moveToTrash(file.path);
                ASSERT_TRUE(entry) << entry.error().describe();
                recorder.onItemMovedToTrash(id, file.path, entry->trashedPath);
            } else if (file.fate == RunFile::deleted) {
                ASSERT_GT(std::filesystem::remove_all(file.path), 0u) << file.path;
                recorder.onItemRemoved(id, file.path);
            }
        }
        ++id;
    }
    ASSERT_FALSE(recorder.endLog());
}

}  // namespace kestrane::test
