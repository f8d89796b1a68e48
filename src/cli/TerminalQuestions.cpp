#include "cli/TerminalQuestions.h"

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

}  // namespace

TerminalQuestions::TerminalQuestions(Mode mode, bool interactive, std::istream& in, std::ostream& err)
    : m_eMode(mode), m_bInteractive(interactive), m_in(in), m_err(err) {}

void TerminalQuestions::askQuestion(const ScanFlowQuestion& question, std::function<void(ScanFlowAnswer)> answer) {
    using Kind = ScanFlowQuestion::Kind;
    if (question.kind == Kind::backupItems) {
        // Nothing to choose: the backup folder is never scanned.
        m_err << "kestrane: " << question.path << ": left out. " << question.title << ". "
              << oneLine(question.text) << "\n";
        answer({0, false});
        return;
    }
    const std::size_t yes = 0;
    const std::size_t no = question.buttons.empty() ? 0 : question.buttons.size() - 1;
    std::string what;
    switch (question.kind) {
        case Kind::readOnlyFolder:
            what = "is on a read-only volume: duplicates can be found there but not removed";
            break;
        case Kind::skipListedFolder:
            what = "is in the skip list (see `kestrane prefs get KEY_exclude_folders`)";
            break;
        default:
            what = oneLine(question.title);
            break;
    }
    if (m_eMode == Mode::yes) {
        m_err << "kestrane: " << question.path << " " << what << "; scanning it (--yes)\n";
        answer({yes, false});
        return;
    }
    if (m_eMode == Mode::no || !m_bInteractive) {
        m_err << "kestrane: " << question.path << " " << what << "; left out"
              << (m_eMode == Mode::no ? " (--no)" : " (no terminal to ask; pass --yes to scan it anyway)") << "\n";
        answer({no, false});
        return;
    }
    m_err << question.title << "\n";
    if (!question.text.empty()) m_err << question.text << "\n";
    m_err << "Scan " << question.path << " anyway? [y/N] " << std::flush;
    std::string reply;
    std::getline(m_in, reply);
    const bool accepted = !reply.empty() && (reply[0] == 'y' || reply[0] == 'Y');
    answer({accepted ? yes : no, false});
}

}  // namespace kestrane::cli
