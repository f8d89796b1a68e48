#include "folders/FSSimpleFolderData.h"

namespace kestrane {

bool FSSimpleFolderData::isEqualToInformationData(const FSSimpleFolderData* other) const {
    return other != nullptr && countOfSelectedDuplicates == other->countOfSelectedDuplicates &&
           countOfFoldersWithDuplicates == other->countOfFoldersWithDuplicates &&
           sizeOfSelectedDuplicates == other->sizeOfSelectedDuplicates &&
           countOfDuplicates == other->countOfDuplicates && countOfUniqueFiles == other->countOfUniqueFiles;
}

void FSAccumulativeFolderData::addDataFromInfo(const FSSimpleFolderData& data, bool currentFolder) {
    countOfSelectedDuplicates += data.countOfSelectedDuplicates;
    sizeOfSelectedDuplicates += data.sizeOfSelectedDuplicates;
    countOfDuplicates += data.countOfDuplicates;
    countOfUniqueFiles += data.countOfUniqueFiles;
    countOfFoldersWithDuplicates += data.countOfFoldersWithDuplicates;
    if (!currentFolder && data.countOfDuplicates > 0) ++countOfFoldersWithDuplicates;
}

void FSAccumulativeFolderData::removeDataFromInfo(const FSSimpleFolderData& data, bool currentFolder) {
    countOfSelectedDuplicates -= data.countOfSelectedDuplicates;
    sizeOfSelectedDuplicates -= data.sizeOfSelectedDuplicates;
    countOfDuplicates -= data.countOfDuplicates;
    countOfUniqueFiles -= data.countOfUniqueFiles;
    countOfFoldersWithDuplicates -= data.countOfFoldersWithDuplicates;
    if (!currentFolder && data.countOfDuplicates > 0) --countOfFoldersWithDuplicates;
}

}  // namespace kestrane
