#pragma once

#include <cstdint>

namespace kestrane {

// The duplicate counters of one folder of the folder tree (see FSFolder).
// A plain value; all 0 when made.
struct FSSimpleFolderData {
    // Copies the folder holds whose group has copies outside it.
    std::int64_t countOfDuplicates = 0;
    // How many of those are selected for removal, how many of those lie
    // directly in the folder, and their logical size in bytes.
    std::int64_t countOfSelectedDuplicates = 0;
    std::int64_t countOfSelectedDuplicatesInCurrentFolder = 0;
    std::int64_t sizeOfSelectedDuplicates = 0;
    // Files without a copy outside the folder.
    std::int64_t countOfUniqueFiles = 0;
    // Folders below whose countOfDuplicates is above 0.
    std::int64_t countOfFoldersWithDuplicates = 0;

    // Compares every counter but countOfSelectedDuplicatesInCurrentFolder;
    // nothing is equal to a missing value.
    bool isEqualToInformationData(const FSSimpleFolderData* other) const;
};

// A running sum of folder data.
struct FSAccumulativeFolderData : FSSimpleFolderData {
    // Adds every counter but countOfSelectedDuplicatesInCurrentFolder; data
    // of another folder (a sub-folder) that has duplicates counts that folder
    // as one more folder with duplicates.
    void addDataFromInfo(const FSSimpleFolderData& data, bool currentFolder);
    // Takes out what addDataFromInfo put in.
    void removeDataFromInfo(const FSSimpleFolderData& data, bool currentFolder);
};

}  // namespace kestrane
