#include "cli/TerminalQuestions.h"

#include "app/ScanFlowController.h"

#include <charconv>
#include <istream>
#include <ostream>
#include <string>

namespace kestrane::cli {

namespace {

std::string oneLine(std::string text) {
    for (char& c : text)
        if (c == '\n') c = ' ';
    return text;
}

// What the folder questions of the scan flow say about their folder, in a
// line that fits a terminal.
std::string folderSituation(const Question& question) {
    if (question.kind == ScanFlowQuestionKind::readOnlyFolder)
        return "is on a read-only volume: duplicates can be found there but not removed";
    if (question.kind == ScanFlowQuestionKind::skipListedFolder)
        return "is in the skip list (see `kestrane prefs get KEY_exclude_folders`)";
    return {};
}

// What goes between a title and its text on one line: a title that ends a
// sentence itself ("Remove 2 copies?") needs no full stop of its own.
std::string joiner(const std::string& title) {
    return !title.empty() && (title.back() == '?' || title.back() == '.' || title.back() == '!') ? " " : ". ";
}

std::string subject(const Question& question) {
    return question.paths.size() == 1 ? question.paths.front() + " " : std::string();
}

}  // namespace

TerminalQuestions::TerminalQuestions(Mode mode, bool interactive, std::istream& in, std::ostream& err)
    : m_mode(mode), m_interactive(interactive), m_in(in), m_err(err) {}

void TerminalQuestions::ask(const Question& question, std::function<void(Answer)> answer) {
    if (question.kind == ScanFlowQuestionKind::backupItems) {
        // Nothing to choose: the backup folder is never scanned.
        m_err << "kestrane: " << subject(question) << "left out. " << question.title << ". "
              << oneLine(question.text) << "\n";
        answer({question.safeButton, false});
        return;
    }
    if (question.isMessage()) {
        m_err << question.title << "\n";
        if (!question.text.empty()) m_err << question.text << "\n";
        answer({0, false});
        return;
    }
    const std::string situation = folderSituation(question);
    const bool folderQuestion = !situation.empty();
    // A question of its own kind, whole on one line: "PATH: TITLE. TEXT".
    const std::string asked = (question.paths.size() == 1 ? question.paths.front() + ": " : std::string()) +
                              oneLine(question.title) +
                              (question.text.empty() ? std::string() : joiner(question.title) + oneLine(question.text));
    const auto answered = [&](std::size_t button) { return " Answered \"" + question.buttons[button] + "\""; };
    if (m_mode == Mode::yes) {
        if (folderQuestion)
            m_err << "kestrane: " << subject(question) << situation << "; scanning it (--yes)\n";
        else
            m_err << "kestrane: " << asked << answered(question.yesButton) << " (--yes)\n";
        answer({question.yesButton, false});
        return;
    }
    if (m_mode == Mode::no || !m_interactive) {
        const char* why = m_mode == Mode::no ? " (--no)" : " (no terminal to ask; pass --yes to go ahead anyway)";
        if (folderQuestion)
            m_err << "kestrane: " << subject(question) << situation << "; left out" << why << "\n";
        else
            m_err << "kestrane: " << asked << answered(question.safeButton) << why << "\n";
        answer({question.safeButton, false});
        return;
    }
    m_err << question.title << "\n";
    if (!question.text.empty()) m_err << question.text << "\n";
    // The items a question is about, when it is about several.
    constexpr std::size_t kPathsShown = 10;
    if (question.paths.size() > 1) {
        for (std::size_t i = 0; i < question.paths.size() && i < kPathsShown; ++i)
            m_err << "  " << oneLine(question.paths[i]) << "\n";
        if (question.paths.size() > kPathsShown)
            m_err << "  and " << question.paths.size() - kPathsShown << " more\n";
    }
    if (folderQuestion) {
        m_err << "Scan " << subject(question) << "anyway? [y/N] " << std::flush;
        std::string reply;
        std::getline(m_in, reply);
        const bool accepted = !reply.empty() && (reply[0] == 'y' || reply[0] == 'Y');
        answer({accepted ? question.yesButton : question.safeButton, false});
        return;
    }
    // Any other question: its buttons by number, the safe one by default.
    for (std::size_t i = 0; i < question.buttons.size(); ++i)
        m_err << "  " << i + 1 << ") " << question.buttons[i] << (i == question.safeButton ? " (default)" : "")
              << "\n";
    m_err << "Choose 1-" << question.buttons.size() << ": " << std::flush;
    std::string reply;
    std::size_t chosen = question.safeButton;
    if (std::getline(m_in, reply)) {
        // Anything but a button's number leaves the safe answer.
        std::size_t number = 0;
        const auto [end, error] = std::from_chars(reply.data(), reply.data() + reply.size(), number);
        if (error == std::errc() && end == reply.data() + reply.size() && number >= 1 &&
            number <= question.buttons.size())
            chosen = number - 1;
    }
    // "Don't show this message again" goes with going ahead.
    bool suppress = false;
    if (!question.suppressionTitle.empty() && chosen == question.yesButton) {
        m_err << question.suppressionTitle << "? [y/N] " << std::flush;
        if (std::getline(m_in, reply)) suppress = !reply.empty() && (reply[0] == 'y' || reply[0] == 'Y');
    }
    answer({chosen, suppress});
}

}  // namespace kestrane::cli
