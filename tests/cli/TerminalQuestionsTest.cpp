#include "cli/TerminalQuestions.h"

#include <gtest/gtest.h>

#include <sstream>

namespace kestrane::cli {
namespace {

Question permanentQuestion() {
    Question question;
    question.kind = "removal.removePermanently";
    question.title = "Are you sure you want to delete some files permanently?";
    question.text = "2 items will be deleted permanently. You cannot undo this action.";
    question.buttons = {"OK", "Cancel"};
    question.yesButton = 0;
    question.safeButton = 1;
    question.suppressionTitle = "Don't show this message again";
    question.paths = {"/a/one.jpg", "/b/two.jpg"};
    return question;
}

Answer ask(TerminalQuestions& terminal, const Question& question) {
    Answer given{99, false};
    terminal.ask(question, [&](Answer answer) { given = answer; });
    return given;
}

TEST(TerminalQuestionsTest, OnATerminalTheItemsAreListedAndTheBoxIsAskedAfterGoingAhead) {
    std::istringstream in("1\ny\n");
    std::ostringstream err;
    TerminalQuestions terminal(TerminalQuestions::Mode::ask, true, in, err);
    const Answer answer = ask(terminal, permanentQuestion());
    EXPECT_EQ(answer.button, 0u);
    EXPECT_TRUE(answer.suppress);
    EXPECT_NE(err.str().find("  /a/one.jpg\n  /b/two.jpg\n"), std::string::npos) << err.str();
    EXPECT_NE(err.str().find("Don't show this message again? [y/N]"), std::string::npos) << err.str();

    // Cancel: the box is not asked, nothing is suppressed.
    std::istringstream cancel("2\n");
    std::ostringstream quiet;
    TerminalQuestions second(TerminalQuestions::Mode::ask, true, cancel, quiet);
    const Answer declined = ask(second, permanentQuestion());
    EXPECT_EQ(declined.button, 1u);
    EXPECT_FALSE(declined.suppress);
    EXPECT_EQ(quiet.str().find("Don't show"), std::string::npos);
}

TEST(TerminalQuestionsTest, WithoutATerminalTheSafeAnswerIsGivenOnOneLine) {
    std::istringstream in;
    std::ostringstream err;
    TerminalQuestions terminal(TerminalQuestions::Mode::ask, false, in, err);
    const Answer answer = ask(terminal, permanentQuestion());
    EXPECT_EQ(answer.button, 1u);
    EXPECT_FALSE(answer.suppress);
    EXPECT_EQ(err.str(),
              "kestrane: Are you sure you want to delete some files permanently? 2 items will be deleted permanently. "
              "You cannot undo this action. Answered \"Cancel\" (no terminal to ask; pass --yes to go ahead anyway)\n");
}

}  // namespace
}  // namespace kestrane::cli
