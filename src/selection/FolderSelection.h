#pragma once

#include "platform/Question.h"

#include <string>
#include <string_view>

namespace kestrane {

class FSFolder;
class FolderSystemItem;
class InternalDuplicatesByGroupSeparator;

// Selecting by folder, on the folder tree (FSFolder, FSFolderManager):
// selecting the duplicates of a whole folder (the copies it holds whose group
// has copies outside it), and keeping the files of folders (favourites),
// whose copies elsewhere are then selected. Every operation is one big
// selection: one selection batch, and the tree's counters follow once when
// it closes. Nothing here ever selects the last unselected copy of a group.
// Main queue.
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

// The same for a folder of the tree, with the favourites of the tree's manager.
void setDuplicatesSelectionState(FSFolder& folder, bool selected);

// The checkbox of a folder's row: selects when nothing of the folder is
// selected, deselects otherwise; a favourite folder loses its mark first. A
// duplicate folder that would be selected needs a confirmation first
// (duplicateFolderQuestion): call again with confirmed.
enum class ToggleOutcome { selected, deselected, unchanged, confirmationNeeded };
ToggleOutcome toggleFolder(FSFolder& folder, bool confirmed);

// Favourites: a favourite folder's files are kept, and their copies outside
// the favourite folders are selected. Marking a folder marks its sub-folders
// too; unmarking also unmarks its ancestors. The groups that had copies in
// the old favourites are deselected first, then the new favourites apply.
void setIsFavoriteFolder(FSFolder& folder, bool favorite);
// Unmarks the folder and its ancestors only (the sub-folders stay favourites).
void shallowUnfavoriteFolder(FSFolder& folder);
// Every group with copies in the favourites is deselected whole.
void deselectUsingFavorites();
// Per group with copies in the favourites: when the favourites hold fewer
// than all its copies, those are deselected and every other copy selected
// (never the last one); when they hold all of them, the group is deselected.
void selectUsingFavorites();
// The copies lying in favourite folders, gathered from the tree; the files
// inside duplicate folders that lie in favourite folders count too (they are
// kept with their folder, so their copies elsewhere are selected).
InternalDuplicatesByGroupSeparator allDuplicatesInFavoriteFolders();
// Stores allDuplicatesInFavoriteFolders() as the manager's favourites.
void calculateFavoriteFolders();

// The hints of a row's star.
inline constexpr const char* kKeepFilesHint =
    "Click to keep files in the folder. All their external copies will be selected for removal.";
inline constexpr const char* kDeselectExternalHint = "Click to deselect external duplicates for folder items.";

// The folder is itself a copy in a group of identical folders.
bool isDuplicateFolder(const FolderSystemItem& folder);
// The folder is itself a duplicate folder that is not selected: selecting
// its duplicates removes it with its files, which is confirmed first.
bool needsDuplicateFolderConfirmation(const FolderSystemItem& folder);
// "\"NAME\" is a duplicate folder" / "This folder will be removed along with its files."
Question duplicateFolderQuestion(const FolderSystemItem& folder);
std::string duplicateFolderTitle(std::string_view folderName);

}  // namespace FolderSelection

}  // namespace kestrane
