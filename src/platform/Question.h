#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace kestrane {

// Something the core asks or tells the person using Kestrane, as data: the
// core fills in the exact texts and the buttons, a front end shows it (a
// dialog in the window, a prompt on a terminal) and answers with the button
// chosen. The core never shows anything itself.
struct Question {
    // What is asked, as a stable identifier ("scan.readOnlyFolder",
    // "selection.lastCopy", ...): front ends and tests tell questions apart by
    // it, and a front end may word its own prompt for a kind it knows.
    std::string kind;
    std::string title;
    std::string text;
    std::vector<std::string> buttons;  // in the order shown
    // The button that goes ahead (what --yes picks) and the one that changes
    // nothing (what --no picks, and what is chosen when nobody can be asked).
    std::size_t yesButton = 0;
    std::size_t safeButton = 0;
    std::string suppressionTitle;    // empty: the message has no "do not show again" box
    std::vector<std::string> paths;  // the files or folders it is about, if any
    // Figures and names the texts were made from, for front ends that lay the
    // question out themselves ("count" -> "3", "size" -> "12345").
    std::vector<std::pair<std::string, std::string>> parameters;

    // A message with one button, which is both the yes and the safe answer.
    bool isMessage() const { return buttons.size() <= 1; }
    const std::string* parameter(const std::string& name) const {
        for (const auto& [key, value] : parameters)
            if (key == name) return &value;
        return nullptr;
    }
};

struct Answer {
    std::size_t button = 0;
    bool suppress = false;  // the "do not show again" box was ticked
};

// The front end's side: shows questions and answers them.
class QuestionAsker {
public:
    virtual ~QuestionAsker() = default;
    // Called on the main queue. `answer` must be called exactly once, at once
    // or later, on the main queue; the asker's caller waits for it.
    virtual void ask(const Question& question, std::function<void(Answer)> answer) = 0;
};

}  // namespace kestrane
