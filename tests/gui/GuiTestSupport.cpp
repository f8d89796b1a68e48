#include "GuiTestSupport.h"

#include "gui/MainQueueBridge.h"
#include "gui/QtQuestionAsker.h"
#include "platform/MainQueue.h"
#include "platform/PreferencesStore.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QMessageBox>
#include <QTest>

#include <cstdlib>

namespace kestrane::test {

GuiSandbox::GuiSandbox() {
    m_home = m_sandbox.makeDir("home");
    ::setenv("HOME", m_home.c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (m_home + "/.config").c_str(), 1);
    ::setenv("XDG_DATA_HOME", (m_home + "/.local/share").c_str(), 1);
    platform::PreferencesStore::reopenStandard();
    m_bridge = std::make_unique<gui::MainQueueBridge>();
}

GuiSandbox::~GuiSandbox() {
    platform::MainQueue::shared().runPending();
    m_bridge.reset();
}

bool waitUntil(const std::function<bool()>& condition, int timeoutMs) {
    return QTest::qWaitFor(condition, timeoutMs);
}

QMessageBox* waitForQuestion(gui::QtQuestionAsker& asker, int timeoutMs) {
    if (!waitUntil([&] { return asker.currentBox() != nullptr; }, timeoutMs)) return nullptr;
    return asker.currentBox();
}

bool answerQuestion(QMessageBox* box, const QString& buttonText, bool suppress) {
    if (!box) return false;
    if (suppress && box->checkBox()) box->checkBox()->setChecked(true);
    for (QAbstractButton* button : box->buttons()) {
        if (button->text() == buttonText) {
            button->click();
            return true;
        }
    }
    return false;
}

}  // namespace kestrane::test
