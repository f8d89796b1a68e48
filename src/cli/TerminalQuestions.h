#pragma once

#include "app/ScanFlowController.h"

#include <iosfwd>
#include <string>

namespace kestrane::cli {

// Answers the scan flow's questions on the command line: from --yes / --no,
// by asking on the terminal, or, when there is no terminal to ask, with the
// safe answer (the folder is left out), saying so.
class TerminalQuestions final : public ScanFlowQuestions {
public:
    enum class Mode { ask, yes, no };

    // `in` is read for answers, `err` shows the questions and notes.
    TerminalQuestions(Mode mode, bool interactive, std::istream& in, std::ostream& err);

    void askQuestion(const ScanFlowQuestion& question, std::function<void(ScanFlowAnswer)> answer) override;

private:
    Mode m_eMode;
    bool m_bInteractive;
    std::istream& m_in;
    std::ostream& m_err;
};

}  // namespace kestrane::cli
