#pragma once

#include "platform/Question.h"

#include <iosfwd>
#include <string>

namespace kestrane::cli {

// Answers the core's questions on the command line: from --yes / --no, by
// asking on the terminal, or, when there is no terminal to ask, with the safe
// answer, saying so. Messages (one button) are printed and need no answer.
class TerminalQuestions final : public QuestionAsker {
public:
    enum class Mode { ask, yes, no };

    // `in` is read for answers, `err` shows the questions and notes.
    TerminalQuestions(Mode mode, bool interactive, std::istream& in, std::ostream& err);

    void ask(const Question& question, std::function<void(Answer)> answer) override;

private:
    Mode m_mode;
    bool m_interactive;
    std::istream& m_in;
    std::ostream& m_err;
};

}  // namespace kestrane::cli
