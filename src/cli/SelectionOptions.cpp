#include "cli/SelectionOptions.h"

#include "cli/FolderSelectionActions.h"
#include "cli/ListSelectionActions.h"
#include "cli/ScanReport.h"
#include "duplicates/DuplicateItem.h"
#include "duplicates/DuplicatesContainer.h"
#include "platform/MainQueue.h"

#include <chrono>
#include <ostream>
#include <unordered_map>

namespace kestrane::cli {

namespace {

// The table of selection options. A new option is one more row (see the
// header for the steps).
const std::vector<SelectionOption> kSelectionOptions = {
    {"--keep-in", "DIR",
     "keep the files in DIR (a kept folder, with its sub-folders): their copies outside the kept folders are "
     "selected, none inside; a group held whole by kept folders is left unselected",
     &makeKeepInAction},
    {"--select-in", "DIR",
     "select the copies DIR holds whose group has copies outside DIR (the copies outside are kept, and so "
     "are those in kept folders); a folder that is itself a duplicate folder is asked about first, as it goes "
     "with all its files",
     &makeSelectInAction},
    {"--auto-select", "",
     "in every group, select the copies auto-select chooses: copies whose names mark them as copies, copies "
     "under always-select folders, never copies under never-select folders (see --always-select), then the "
     "newer, deeper and later copies; one copy of each group stays",
     &makeAutoSelectAction},
    {"--select-newest", "",
     "in every group, deselect, then select every copy newer than the oldest one (copies of the oldest date "
     "stay, as do copies in never-select folders)",
     &makeSelectNewestAction},
    {"--select-oldest", "",
     "in every group, deselect, then select every copy older than the newest one (copies of the newest date "
     "stay, as do copies in never-select folders)",
     &makeSelectOldestAction},
    {"--deselect-all", "", "deselect every copy", &makeDeselectAllAction},
    {"--select-similar", "DIR",
     "select DIR's side of every pair of similar folders it belongs to: DIR's copies of the files it shares "
     "with its similar folders",
     &makeSelectSimilarAction},
};

// The removal list as it stands: each copy with its size.
using RemovalList = std::unordered_map<const DuplicateItem*, std::uint64_t>;

RemovalList removalListOf(const DuplicatesContainer& container) {
    RemovalList list;
    for (const auto& item : container.buildRemoveList()) list.emplace(item.get(), item->getFileItemSize());
    return list;
}

std::string copiesText(std::uint64_t count) {
    return std::to_string(count) + (count == 1 ? " copy" : " copies");
}

// "3 copies (12 KB) selected, 1 copy (4.0 KB) deselected", or "nothing changed".
std::string changeText(const RemovalList& before, const RemovalList& after) {
    std::uint64_t added = 0, addedSize = 0, dropped = 0, droppedSize = 0;
    for (const auto& [item, size] : after)
        if (!before.contains(item)) ++added, addedSize += size;
    for (const auto& [item, size] : before)
        if (!after.contains(item)) ++dropped, droppedSize += size;
    std::string text;
    if (added > 0) text = copiesText(added) + " (" + formatSize(addedSize) + ") selected";
    if (dropped > 0)
        text += (text.empty() ? "" : ", ") + copiesText(dropped) + " (" + formatSize(droppedSize) + ") deselected";
    return text.empty() ? "nothing changed" : text;
}

// Runs the actions from `next` on, one at a time.
struct SelectionRun : std::enable_shared_from_this<SelectionRun> {
    std::vector<std::unique_ptr<SelectionAction>> actions;
    SelectionContext* context = nullptr;
    std::function<void(bool)> finished;
    std::size_t next = 0;
    bool allApplied = true;

    void runNext() {
        if (next >= actions.size() || !context->container) {
            actions.clear();  // nothing an action kept may hold this run any longer
            auto done = std::move(finished);
            if (done) done(allApplied);
            return;
        }
        SelectionAction& action = *actions[next];
        auto before = std::make_shared<RemovalList>(removalListOf(*context->container));
        action.run(*context, [self = shared_from_this(), before, called = false](SelectionActionOutcome outcome) mutable {
            if (called) return;  // an action answers once; a second call is a mistake and ignored
            called = true;
            self->onActionDone(*before, std::move(outcome));
        });
    }

    void onActionDone(const RemovalList& before, SelectionActionOutcome outcome) {
        const SelectionAction& action = *actions[next];
        std::ostream& out = context->messages;
        if (outcome.applied)
            out << "kestrane: " << action.describe() << ": " << changeText(before, removalListOf(*context->container))
                << "\n";
        for (const auto& note : outcome.notes) out << "kestrane: " << action.describe() << ": " << note << "\n";
        out.flush();
        allApplied = allApplied && outcome.applied;
        ++next;
        // The next action starts from the main queue, not from inside this one.
        platform::MainQueue::shared().async([self = shared_from_this()] { self->runNext(); });
    }
};

// Wraps text to lines of at most `width` characters after `indent`.
void appendWrapped(std::string& out, std::string_view text, std::size_t indent, std::size_t width) {
    std::size_t column = indent;
    bool firstWord = true;
    while (!text.empty()) {
        const std::size_t space = text.find(' ');
        const std::string_view word = text.substr(0, space);
        text = space == std::string_view::npos ? std::string_view() : text.substr(space + 1);
        if (!firstWord && column + 1 + word.size() > width) {
            out += "\n" + std::string(indent, ' ');
            column = indent;
        } else if (!firstWord) {
            out += ' ';
            ++column;
        }
        out += word;
        column += word.size();
        firstWord = false;
    }
    out += "\n";
}

}  // namespace

const std::vector<SelectionOption>& selectionOptions() {
    return kSelectionOptions;
}

const SelectionOption* findSelectionOption(std::string_view name) {
    for (const auto& option : kSelectionOptions)
        if (option.name == name) return &option;
    return nullptr;
}

std::vector<std::unique_ptr<SelectionAction>> makeSelectionActions(const std::vector<SelectionRequest>& requests) {
    std::vector<std::unique_ptr<SelectionAction>> actions;
    for (const auto& request : requests)
        if (request.option) actions.push_back(request.option->make(*request.option, request.value));
    return actions;
}

bool checkSelectionActions(const std::vector<std::unique_ptr<SelectionAction>>& actions,
                           const std::vector<std::string>& folders, std::ostream& err) {
    bool usable = true;
    for (const auto& action : actions) {
        if (const std::string problem = action->checkBeforeScan(folders); !problem.empty()) {
            err << "kestrane: " << action->describe() << ": " << problem << "\n";
            usable = false;
        }
    }
    return usable;
}

std::string selectionOptionsHelp() {
    constexpr std::size_t kHelpColumn = 24;
    constexpr std::size_t kWidth = 78;
    std::string help;
    for (const auto& option : kSelectionOptions) {
        std::string head = "      " + std::string(option.name);
        if (!option.valueName.empty()) head += " " + std::string(option.valueName);
        if (head.size() + 2 > kHelpColumn) {
            help += head + "\n" + std::string(kHelpColumn, ' ');
        } else {
            help += head + std::string(kHelpColumn - head.size(), ' ');
        }
        appendWrapped(help, option.help, kHelpColumn, kWidth);
    }
    return help;
}

void runSelectionActions(std::vector<std::unique_ptr<SelectionAction>> actions, SelectionContext& context,
                         std::function<void(bool)> finished) {
    auto run = std::make_shared<SelectionRun>();
    run->actions = std::move(actions);
    run->context = &context;
    run->finished = std::move(finished);
    run->runNext();
}

bool runSelectionActionsAndWait(std::vector<std::unique_ptr<SelectionAction>> actions, SelectionContext& context) {
    bool done = false;
    bool allApplied = true;
    runSelectionActions(std::move(actions), context, [&](bool applied) {
        allApplied = applied;
        done = true;
    });
    while (!done) platform::MainQueue::shared().runUntil([&] { return done; }, std::chrono::hours(1));
    return allApplied;
}

}  // namespace kestrane::cli
