#include "cli/ListSelectionActions.h"

#include "cli/ScanReport.h"
#include "duplicates/DuplicatesContainer.h"
#include "selection/AutoSelectOperations.h"
#include "selection/ListSelectionCommands.h"
#include "settings/Settings.h"

#include <sstream>

namespace kestrane::cli {

namespace {

enum class Command { autoSelect, selectNewest, selectOldest, deselectAll };

class ListCommandAction final : public SelectionAction {
public:
    ListCommandAction(std::string option, Command command)
        : SelectionAction(std::move(option), {}), m_command(command) {}

    void run(SelectionContext& context, std::function<void(SelectionActionOutcome)> done) override {
        // Every group the report lists, as a results list shows them.
        ListSelectionCommands commands;
        commands.setShownEntries(reportedGroups(*context.container));
        constexpr auto sender = ListSelectionCommands::Sender::other;
        SelectionActionOutcome outcome;
        switch (m_command) {
        case Command::selectNewest: commands.selectNewest(sender); break;
        case Command::selectOldest: commands.selectOldest(sender); break;
        case Command::deselectAll: commands.deselectAll(sender); break;
        case Command::autoSelect:
            if (const auto message = commands.autoSelectPressed(sender)) outcome.notes = notesOf(*message);
            break;
        }
        done(std::move(outcome));
    }

private:
    // The message after auto-select, in its own words, a line each; the
    // never-select list is shown where a window would offer to show it.
    static std::vector<std::string> notesOf(const Question& message) {
        std::vector<std::string> notes{message.title};
        std::istringstream lines(message.text);
        for (std::string line; std::getline(lines, line);) notes.push_back(line);
        if (message.kind == AutoSelectOperations::kNothingSelectedNeverSelectListKind) {
            std::string list;
            for (const std::string& folder : Settings::standard().autoNeverSelectFolders())
                list += (list.empty() ? "" : ", ") + folder;
            notes.push_back("Never Select list: " + list);
        }
        return notes;
    }

    Command m_command;
};

}  // namespace

std::unique_ptr<SelectionAction> makeAutoSelectAction(const SelectionOption& option, std::string) {
    return std::make_unique<ListCommandAction>(std::string(option.name), Command::autoSelect);
}

std::unique_ptr<SelectionAction> makeSelectNewestAction(const SelectionOption& option, std::string) {
    return std::make_unique<ListCommandAction>(std::string(option.name), Command::selectNewest);
}

std::unique_ptr<SelectionAction> makeSelectOldestAction(const SelectionOption& option, std::string) {
    return std::make_unique<ListCommandAction>(std::string(option.name), Command::selectOldest);
}

std::unique_ptr<SelectionAction> makeDeselectAllAction(const SelectionOption& option, std::string) {
    return std::make_unique<ListCommandAction>(std::string(option.name), Command::deselectAll);
}

}  // namespace kestrane::cli
