#include "folders/FSComplexFolderData.h"

namespace kestrane {

void FSComplexFolderData::addData(const FSSimpleFolderData& data, const FSFolder* folder) {
    if (folder == nullptr) return;
    const bool own = folder == m_representedFolder;
    auto [entry, added] = m_infoMap.try_emplace(folder, data);
    if (!added) {
        // For the folder's own data the count of selected copies lying
        // directly in it is compared too: a selection that moves between the
        // folder and a sub-folder changes only that count.
        if (entry->second.isEqualToInformationData(&data) &&
            (!own || entry->second.countOfSelectedDuplicatesInCurrentFolder ==
                         data.countOfSelectedDuplicatesInCurrentFolder))
            return;
        m_info.removeDataFromInfo(entry->second, own);
        entry->second = data;
    }
    m_info.addDataFromInfo(data, own);
    if (own) {
        // The folder's own data covers its whole subtree already.
        countOfDuplicates = data.countOfDuplicates;
        countOfSelectedDuplicates = data.countOfSelectedDuplicates;
        countOfSelectedDuplicatesInCurrentFolder = data.countOfSelectedDuplicatesInCurrentFolder;
        sizeOfSelectedDuplicates = data.sizeOfSelectedDuplicates;
    }
    countOfUniqueFiles = m_info.countOfUniqueFiles;
    countOfFoldersWithDuplicates = m_info.countOfFoldersWithDuplicates;
}

}  // namespace kestrane
