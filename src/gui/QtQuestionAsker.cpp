#include "gui/QtQuestionAsker.h"

#include "gui/GuiText.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QMessageBox>
#include <QPushButton>

#include <memory>
#include <vector>

namespace kestrane::gui {

QtQuestionAsker::QtQuestionAsker(QWidget* window) : m_window(window) {}

QtQuestionAsker::~QtQuestionAsker() {
    // Unanswered questions get their safe answer: the core waits for one.
    auto waiting = std::move(m_waiting);
    for (auto& pending : waiting) pending.answer(Answer{pending.question.safeButton, false});
}

void QtQuestionAsker::ask(const Question& question, std::function<void(Answer)> answer) {
    m_waiting.push_back(Pending{question, std::move(answer)});
    if (!m_box) showNext();
}

void QtQuestionAsker::showNext() {
    if (m_waiting.empty() || m_box) return;
    const Question& question = m_waiting.front().question;

    auto* box = new QMessageBox(m_window);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowTitle(QStringLiteral("Kestrane"));
    box->setText(toQString(question.title));
    if (!question.text.empty()) box->setInformativeText(toQString(question.text));
    if (question.kind.starts_with("removal.") || question.kind.starts_with("merge."))
        box->setIcon(QMessageBox::Warning);
    else
        box->setIcon(question.isMessage() ? QMessageBox::Information : QMessageBox::Question);

    std::vector<QAbstractButton*> buttons;
    const std::vector<std::string> titles = question.buttons.empty() ? std::vector<std::string>{"OK"}
                                                                     : question.buttons;
    for (std::size_t i = 0; i < titles.size(); ++i) {
        QMessageBox::ButtonRole role = QMessageBox::ActionRole;
        if (i == question.safeButton && titles.size() > 1) role = QMessageBox::RejectRole;
        else if (i == question.yesButton) role = QMessageBox::AcceptRole;
        QPushButton* button = box->addButton(toQString(titles[i]), role);
        buttons.push_back(button);
        if (i == question.yesButton) box->setDefaultButton(button);
    }
    if (question.safeButton < buttons.size()) box->setEscapeButton(buttons[question.safeButton]);
    if (!question.suppressionTitle.empty()) box->setCheckBox(new QCheckBox(toQString(question.suppressionTitle)));

    box->setWindowModality(m_window ? Qt::WindowModal : Qt::ApplicationModal);
    m_box = box;
    const QString kind = toQString(question.kind);
    connect(box, &QMessageBox::finished, this, [this, box, buttons] {
        Pending pending = std::move(m_waiting.front());
        m_waiting.pop_front();
        Answer answer{pending.question.safeButton, false};
        QAbstractButton* clicked = box->clickedButton();
        for (std::size_t i = 0; i < buttons.size(); ++i)
            if (buttons[i] == clicked) answer.button = i;
        if (auto* check = box->checkBox()) answer.suppress = check->isChecked();
        m_box = nullptr;
        pending.answer(answer);
        showNext();
    });
    box->open();
    emit questionShown(kind);
}

}  // namespace kestrane::gui
