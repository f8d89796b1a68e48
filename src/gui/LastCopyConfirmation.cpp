#include "gui/LastCopyConfirmation.h"

#include "duplicates/DuplicateItem.h"
#include "platform/Question.h"
#include "settings/Settings.h"

namespace kestrane::gui {

void confirmLastCopySelection(QuestionAsker& asker, const std::shared_ptr<DuplicateItem>& item,
                              ManualSelection::Place place) {
    if (!item) return;
    const char* kind = item->isDirectory() ? "folder" : "file";
    Question question{.kind = "selection.lastCopy",
                      .title = ManualSelection::kAttentionTitle,
                      .text = ManualSelection::allCopiesWillBeSelectedText(kind, item->getDisplayName()),
                      .buttons = {"OK", "Cancel"},
                      .yesButton = 0,
                      .safeButton = 1,
                      .suppressionTitle = ManualSelection::kDoNotShowAgainTitle,
                      .paths = {item->getFileItemPath()}};
    std::weak_ptr<DuplicateItem> weakItem = item;
    asker.ask(question, [weakItem, place](Answer answer) {
        auto item = weakItem.lock();
        if (!item || answer.button != 0) return;
        if (answer.suppress) {
            Settings settings = Settings::standard();
            if (place == ManualSelection::Place::resultLists) settings.setShowRemoveLastInCategoriesMessage(false);
            else settings.setShowRemoveLastInHeapsMessage(false);
        }
        ManualSelection::toggleItemByUser(item, place, true);
    });
}

}  // namespace kestrane::gui
