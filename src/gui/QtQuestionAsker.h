#pragma once

#include "platform/Question.h"

#include <QObject>
#include <QPointer>

#include <deque>
#include <functional>

#include <QMessageBox>
class QWidget;

namespace kestrane::gui {

// Shows the core's questions as message boxes over the window, one at a
// time in the order asked: the exact title and text, the buttons in their
// order (the safe button is also what Escape and closing the box choose),
// and the "do not show again" box when the question has one. Never blocks:
// the box is window-modal and the answer is given when it closes.
class QtQuestionAsker final : public QObject, public QuestionAsker {
    Q_OBJECT

public:
    explicit QtQuestionAsker(QWidget* window);
    ~QtQuestionAsker() override;

    void ask(const Question& question, std::function<void(Answer)> answer) override;

    // The box shown now, if any (tests answer through it).
    QMessageBox* currentBox() const { return m_box; }
    std::size_t waitingCount() const { return m_waiting.size(); }

signals:
    void questionShown(const QString& kind);

private:
    struct Pending {
        Question question;
        std::function<void(Answer)> answer;
    };
    void showNext();

    QPointer<QWidget> m_window;
    QPointer<QMessageBox> m_box;
    std::deque<Pending> m_waiting;
};

}  // namespace kestrane::gui
