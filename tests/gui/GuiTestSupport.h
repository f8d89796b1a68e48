#pragma once

#include "support/TestSupport.h"

#include <QString>

#include <functional>
#include <memory>
#include <string>

class QMessageBox;

namespace kestrane::gui {
class MainQueueBridge;
class QtQuestionAsker;
}  // namespace kestrane::gui

namespace kestrane::test {

// What every GUI test needs: HOME and the XDG folders in a temporary folder
// (so that the person's preferences and Trash are never touched), a fresh
// preferences store there, and the core's main queue run by Qt's event loop.
class GuiSandbox {
public:
    GuiSandbox();
    ~GuiSandbox();
    GuiSandbox(const GuiSandbox&) = delete;
    GuiSandbox& operator=(const GuiSandbox&) = delete;

    const std::string& home() const { return m_home; }
    TempDir& tree() { return m_tree; }

private:
    TempDir m_sandbox;
    TempDir m_tree;
    std::string m_home;
    std::unique_ptr<gui::MainQueueBridge> m_bridge;
};

// Waits, running Qt's event loop (and so the main queue), until the
// condition holds; false when the time ran out.
bool waitUntil(const std::function<bool()>& condition, int timeoutMs = 20000);

// The question shown now by the asker, once one is shown (null on timeout).
QMessageBox* waitForQuestion(gui::QtQuestionAsker& asker, int timeoutMs = 5000);
// Clicks the button with this text (and ticks the "do not show again" box
// first when asked to); false when the box has no such button.
bool answerQuestion(QMessageBox* box, const QString& buttonText, bool suppress = false);

}  // namespace kestrane::test
