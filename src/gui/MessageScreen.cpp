#include "gui/MessageScreen.h"

#include "gui/GuiText.h"

#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace kestrane::gui {

MessageScreen::MessageScreen(const QString& iconName, QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 24, 24, 24);
    layout->addStretch(1);
    auto* icon = new QLabel(this);
    icon->setAlignment(Qt::AlignCenter);
    const int extent = style()->pixelMetric(QStyle::PM_LargeIconSize) * 2;
    icon->setPixmap(themeIcon(iconName, QIcon(QStringLiteral(":/kestrane/kestrane.svg")))
                        .pixmap(QSize(extent, extent), devicePixelRatioF()));
    layout->addWidget(icon);
    m_title = new QLabel(this);
    m_title->setAlignment(Qt::AlignCenter);
    m_title->setWordWrap(true);
    QFont titleFont = m_title->font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.6);
    titleFont.setBold(true);
    m_title->setFont(titleFont);
    layout->addWidget(m_title);
    m_text = new QLabel(this);
    m_text->setAlignment(Qt::AlignCenter);
    m_text->setWordWrap(true);
    m_text->setTextFormat(Qt::PlainText);
    layout->addWidget(m_text);
    m_buttonRow = new QWidget(this);
    auto* row = new QHBoxLayout(m_buttonRow);
    row->addStretch();
    row->addStretch();
    layout->addWidget(m_buttonRow);
    layout->addStretch(2);
}

void MessageScreen::setTitle(const QString& title) {
    m_title->setText(title);
}

void MessageScreen::setLines(const QStringList& lines) {
    m_text->setText(lines.join(QLatin1Char('\n')));
}

QPushButton* MessageScreen::addButton(const QString& text, const QString& iconName) {
    auto* row = static_cast<QHBoxLayout*>(m_buttonRow->layout());
    auto* button = new QPushButton(text, m_buttonRow);
    if (!iconName.isEmpty()) button->setIcon(themeIcon(iconName));
    // Between the two stretches.
    row->insertWidget(row->count() - 1, button);
    if (row->count() == 3) {
        button->setDefault(true);
        button->setAutoDefault(true);
    }
    return button;
}

QString MessageScreen::title() const {
    return m_title->text();
}

QString MessageScreen::text() const {
    return m_text->text();
}

}  // namespace kestrane::gui
