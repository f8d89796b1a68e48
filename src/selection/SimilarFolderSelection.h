#pragma once

#include "platform/Question.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kestrane {

class DuplicateItem;
class DuplicatesHeap;
class FolderSystemItem;
class HeapsGroup;

// Selecting one folder's side of its similar-folder pairs: the folder's
// copies of the files it shares with its similar folders. Copies are
// selected with force only when the preference
// KEY_allowRemovingAllDuplicateCopies is on; otherwise each group keeps its
// last copy. Each operation is one selection batch. Main queue.
namespace SimilarFolderSelection {

inline constexpr const char* kLastCopiesQuestionKind = "selection.lastCopiesInFolder";
inline constexpr const char* kNoneSelectedLastCopiesText =
    "This folder has the last unselected copies of duplicates. If you want to select all copies change the "
    "option in Preferences.";
inline constexpr const char* kSomeSelectedLastCopiesText =
    "Some files in the folder are the last unselected copies of duplicates. If you want to select all copies "
    "change the option in Preferences.";
// A duplicate folder has no checkbox among the similar folders; its row leads here.
inline constexpr const char* kOpenInDuplicateFoldersTitle = "Open in Duplicate Folders";

enum class Outcome {
    changed,             // the copies were selected or deselected (as far as the rules allow)
    confirmationNeeded,  // the last copies would be selected: ask lastCopiesQuestion, then call again confirmed
};

// The folder's copies taking part in its pairs (the main folder of the group).
std::vector<std::shared_ptr<DuplicateItem>> itemsOfFolder(const HeapsGroup& group);
// The copies of one side of a pair: the main folder's or the second folder's.
std::vector<std::shared_ptr<DuplicateItem>> itemsOfPairSide(const DuplicatesHeap& heap, bool mainSide);

// Ticks (selected) or unticks the folder of a group of pairs.
Outcome setFolderSelected(const HeapsGroup& group, bool selected, bool confirmed);
// Ticks or unticks one side of one pair (the header checkbox of the pair's view).
Outcome setPairSideSelected(const DuplicatesHeap& heap, bool mainSide, bool selected, bool confirmed);

// "Attention" / "You are selecting the last copies of duplicates in the
// folder "NAME" including the original ones." with OK, Cancel and a
// "Do not show this message again" box.
Question lastCopiesQuestion(const FolderSystemItem& folder);
std::string lastCopiesText(std::string_view folderName);
// After the question: a ticked box turns the message off.
void rememberAnswer(const Answer& answer);

// What the folder's row says when removing all copies is not allowed and
// nothing more of the copies can be selected; empty otherwise.
std::string rowExplanation(const std::vector<std::shared_ptr<DuplicateItem>>& items);

}  // namespace SimilarFolderSelection

}  // namespace kestrane
