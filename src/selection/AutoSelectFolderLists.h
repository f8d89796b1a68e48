#pragma once

#include "platform/Question.h"

#include <optional>
#include <string>
#include <vector>

namespace kestrane {

class Settings;

// The two folder lists of auto-select as the preferences edit them. A folder
// is kept in at most one of them: adding a folder that the other list holds
// asks first whether to move it, and adding one the list already holds says
// so and changes nothing.
namespace AutoSelectFolderLists {

enum class List { alwaysSelect, neverSelect };

inline constexpr const char* kMoveToOtherListKind = "preferences.moveFolderToOtherList";
inline constexpr const char* kAlreadyInListKind = "preferences.folderAlreadyInList";

// "Always Select", "Never Select".
const char* listName(List list);
List otherList(List list);

std::vector<std::string> folders(const Settings& settings, List list);
void setFolders(Settings& settings, List list, const std::vector<std::string>& folders);

enum class Outcome {
    added,             // the folder is in the list now
    moved,             // taken out of the other list and put in this one
    alreadyInList,     // nothing changed; tell the person (the question is a message)
    inOtherList,       // nothing changed yet; ask, and add again with the move confirmed
};

struct AddResult {
    Outcome outcome = Outcome::added;
    std::optional<Question> question;  // for alreadyInList and inOtherList
};

// Adds the folder (as given) to the end of the list. A folder the other list
// holds is moved only when moveConfirmed.
AddResult addFolder(Settings& settings, List list, const std::string& folder, bool moveConfirmed);

// "Do you want to remove this folder from Never Select list and add it to
// Always Select list?" with Cancel and Move; "This folder already added to
// Always Select list" as a message.
Question moveToOtherListQuestion(List to, const std::string& folder);
Question alreadyInListMessage(List list, const std::string& folder);

}  // namespace AutoSelectFolderLists

}  // namespace kestrane
