#pragma once

#include <QWidget>

class QLabel;
class QPushButton;

namespace kestrane::gui {

// A screen that says one thing and offers a few buttons: the summary of the
// last scan (interim), "no duplicates", and the congratulations after the
// last duplicates were removed.
class MessageScreen final : public QWidget {
    Q_OBJECT

public:
    MessageScreen(const QString& iconName, QWidget* parent = nullptr);

    void setTitle(const QString& title);
    void setLines(const QStringList& lines);
    // Buttons are added left to right; the first is the default.
    QPushButton* addButton(const QString& text, const QString& iconName = {});

    QString title() const;
    QString text() const;

private:
    QLabel* m_title;
    QLabel* m_text;
    QWidget* m_buttonRow;
};

}  // namespace kestrane::gui
