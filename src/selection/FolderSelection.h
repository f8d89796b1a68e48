#pragma once

#include "platform/Question.h"

#include <string>
#include <string_view>

namespace kestrane {

class FolderSystemItem;
class InternalDuplicatesByGroupSeparator;

// Selecting the duplicates of a whole folder: the copies a folder holds
// whose group has copies outside it. Main queue.
namespace FolderSelection {

inline constexpr const char* kDuplicateFolderQuestionKind = "selection.duplicateFolder";
inline constexpr const char* kDuplicateFolderText = "This folder will be removed along with its files.";

// For each group of `duplicates` (a folder's copies with external copies,
// less those lying in favourite folders):
//  - selecting: only when the folder does not hold every copy of the group;
//    when every copy outside it is already selected the group is first
//    deselected, so that the outside copies become the kept ones; then each
//    of the folder's copies is selected, never the last unselected one;
//  - deselecting: each of the folder's copies is deselected.
// Runs as one selection batch.
void setDuplicatesSelectionState(const InternalDuplicatesByGroupSeparator& duplicates,
                                 const InternalDuplicatesByGroupSeparator* favorites, bool selected);

// The folder is itself a duplicate folder that is not selected: selecting
// its duplicates removes it with its files, which is confirmed first.
bool needsDuplicateFolderConfirmation(const FolderSystemItem& folder);
// "\"NAME\" is a duplicate folder" / "This folder will be removed along with its files."
Question duplicateFolderQuestion(const FolderSystemItem& folder);
std::string duplicateFolderTitle(std::string_view folderName);

}  // namespace FolderSelection

}  // namespace kestrane
