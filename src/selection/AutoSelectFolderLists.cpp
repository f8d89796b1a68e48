#include "selection/AutoSelectFolderLists.h"

#include "settings/Settings.h"

#include <algorithm>

namespace kestrane::AutoSelectFolderLists {

const char* listName(List list) {
    return list == List::alwaysSelect ? "Always Select" : "Never Select";
}

List otherList(List list) {
    return list == List::alwaysSelect ? List::neverSelect : List::alwaysSelect;
}

std::vector<std::string> folders(const Settings& settings, List list) {
    return list == List::alwaysSelect ? settings.autoAlwaysSelectFolders() : settings.autoNeverSelectFolders();
}

void setFolders(Settings& settings, List list, const std::vector<std::string>& folders) {
    if (list == List::alwaysSelect)
        settings.setAutoAlwaysSelectFolders(folders);
    else
        settings.setAutoNeverSelectFolders(folders);
}

Question moveToOtherListQuestion(List to, const std::string& folder) {
    return Question{.kind = kMoveToOtherListKind,
                    .title = std::string("Do you want to remove this folder from ") + listName(otherList(to)) +
                             " list and add it to " + listName(to) + " list?",
                    .buttons = {"Cancel", "Move"},
                    .yesButton = 1,
                    .safeButton = 0,
                    .paths = {folder}};
}

Question alreadyInListMessage(List list, const std::string& folder) {
    return Question{.kind = kAlreadyInListKind,
                    .title = std::string("This folder already added to ") + listName(list) + " list",
                    .buttons = {"OK"},
                    .paths = {folder}};
}

AddResult addFolder(Settings& settings, List list, const std::string& folder, bool moveConfirmed) {
    std::vector<std::string> entries = folders(settings, list);
    if (std::find(entries.begin(), entries.end(), folder) != entries.end())
        return {Outcome::alreadyInList, alreadyInListMessage(list, folder)};
    std::vector<std::string> others = folders(settings, otherList(list));
    const bool inOther = std::find(others.begin(), others.end(), folder) != others.end();
    if (inOther) {
        if (!moveConfirmed) return {Outcome::inOtherList, moveToOtherListQuestion(list, folder)};
        std::erase(others, folder);
        setFolders(settings, otherList(list), others);
    }
    entries.push_back(folder);
    setFolders(settings, list, entries);
    return {inOther ? Outcome::moved : Outcome::added, std::nullopt};
}

}  // namespace kestrane::AutoSelectFolderLists
