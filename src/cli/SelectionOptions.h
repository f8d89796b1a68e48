#pragma once

#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kestrane {
class DuplicatesContainer;
class QuestionAsker;
}  // namespace kestrane

namespace kestrane::cli {

// The selection options of the command line (--select-in DIR, --keep-in DIR,
// ...): an ordered list of actions applied to the result of a scan, one after
// another in the order they were given, on the main queue. Each action says
// what it changed on standard error and asks its questions through the
// QuestionAsker it is given (on a terminal: TerminalQuestions, which answers
// from --yes / --no, or with the safe answer when there is no terminal).
//
// How another option joins the list:
//  1. write a SelectionAction subclass: checkBeforeScan() for what can be
//     checked before anything is scanned (a folder that is not scanned),
//     run() for the change itself, calling `done` exactly once;
//  2. add a row for it to the table in SelectionOptions.cpp (name, value
//     name, help text, factory).
// Parsing (`kestrane scan` and every command that takes the same options),
// --help, the order of application and the report of what each action did
// come from that table; nothing else changes.

// What a run of the actions works with.
struct SelectionContext {
    std::shared_ptr<DuplicatesContainer> container;
    std::shared_ptr<QuestionAsker> questions;
    std::ostream& messages;  // standard error: what each action did, and notes
};

// What an action says when it is done.
struct SelectionActionOutcome {
    bool applied = true;             // false: the action could not be applied at all (a note says why)
    std::vector<std::string> notes;  // shown after the line of what changed
};

// One selection option as given on the command line.
class SelectionAction {
public:
    SelectionAction(std::string option, std::string value) : m_option(std::move(option)), m_value(std::move(value)) {}
    virtual ~SelectionAction() = default;
    SelectionAction(const SelectionAction&) = delete;
    SelectionAction& operator=(const SelectionAction&) = delete;

    const std::string& option() const { return m_option; }
    const std::string& value() const { return m_value; }
    // "--select-in /home/ann/Downloads"
    std::string describe() const { return m_value.empty() ? m_option : m_option + " " + m_value; }

    // Before the scan, with the folders that will be scanned (absolute and
    // resolved): empty when the option can apply, otherwise a one-line reason
    // (a usage error: nothing is scanned).
    virtual std::string checkBeforeScan(const std::vector<std::string>& /*folders*/) { return {}; }
    // After the scan, on the main queue: changes the selection, asking what
    // it must through context.questions, and calls `done` exactly once, at
    // once or later, on the main queue.
    virtual void run(SelectionContext& context, std::function<void(SelectionActionOutcome)> done) = 0;

private:
    std::string m_option;
    std::string m_value;
};

// A row of the table of selection options.
struct SelectionOption {
    std::string_view name;       // "--select-in"
    std::string_view valueName;  // "DIR"; empty for an option that takes no value
    std::string_view help;       // one sentence or two, for --help
    std::unique_ptr<SelectionAction> (*make)(const SelectionOption& option, std::string value);
};

// Every selection option, in the order --help lists them.
const std::vector<SelectionOption>& selectionOptions();
const SelectionOption* findSelectionOption(std::string_view name);

// A selection option found on the command line, before anything is made of it.
struct SelectionRequest {
    const SelectionOption* option = nullptr;
    std::string value;
};
std::vector<std::unique_ptr<SelectionAction>> makeSelectionActions(const std::vector<SelectionRequest>& requests);

// Checks every action before the scan (see checkBeforeScan); each one that
// cannot apply is named on `err` with the reason. False when any cannot.
bool checkSelectionActions(const std::vector<std::unique_ptr<SelectionAction>>& actions,
                           const std::vector<std::string>& folders, std::ostream& err);

// The options' part of --help: one entry per option, wrapped to the width of
// the rest of the help.
std::string selectionOptionsHelp();

// Runs the actions in order on the main queue (which the caller keeps
// running); after each, writes what changed in the removal list. Calls
// `finished` once, with false when an action could not be applied.
void runSelectionActions(std::vector<std::unique_ptr<SelectionAction>> actions, SelectionContext& context,
                         std::function<void(bool)> finished);
// The same, driving the main queue until the last action is done. Main thread.
bool runSelectionActionsAndWait(std::vector<std::unique_ptr<SelectionAction>> actions, SelectionContext& context);

}  // namespace kestrane::cli
