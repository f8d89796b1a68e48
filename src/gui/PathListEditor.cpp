#include "gui/PathListEditor.h"

#include "gui/GuiText.h"

#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

#include <algorithm>

namespace kestrane::gui {

PathListEditor::PathListEditor(const QString& title, std::function<Entries()> load,
                               std::function<void(const Entries&)> store, QWidget* parent)
    : QWidget(parent), m_load(std::move(load)), m_store(std::move(store)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* label = new QLabel(title, this);
    QFont bold = label->font();
    bold.setBold(true);
    label->setFont(bold);
    layout->addWidget(label);
    m_list = new QListWidget(this);
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setAccessibleName(title);
    label->setBuddy(m_list);
    layout->addWidget(m_list, 1);
    auto* buttons = new QHBoxLayout;
    m_addButton = new QPushButton(themeIcon(QStringLiteral("list-add")), QStringLiteral("Add…"), this);
    m_removeButton = new QPushButton(themeIcon(QStringLiteral("list-remove")), QStringLiteral("Remove"), this);
    buttons->addWidget(m_addButton);
    buttons->addWidget(m_removeButton);
    buttons->addStretch();
    layout->addLayout(buttons);
    connect(m_addButton, &QPushButton::clicked, this, [this] {
        if (m_add) m_add(*this);
    });
    connect(m_removeButton, &QPushButton::clicked, this, &PathListEditor::removeSelected);
    auto* deleteKey = new QShortcut(QKeySequence::Delete, m_list);
    deleteKey->setContext(Qt::WidgetShortcut);
    connect(deleteKey, &QShortcut::activated, this, &PathListEditor::removeSelected);
    connect(m_list, &QListWidget::itemSelectionChanged, this,
            [this] { m_removeButton->setEnabled(!m_list->selectedItems().isEmpty()); });
    reload();
}

void PathListEditor::reload() {
    m_list->clear();
    for (const auto& entry : m_load()) m_list->addItem(toQString(entry));
    m_removeButton->setEnabled(false);
}

PathListEditor::Entries PathListEditor::entries() const {
    Entries entries;
    for (int row = 0; row < m_list->count(); ++row) entries.push_back(toStdString(m_list->item(row)->text()));
    return entries;
}

void PathListEditor::addEntries(const Entries& added) {
    bool changed = false;
    for (const auto& entry : added) {
        if (m_accept && !m_accept(entry)) continue;
        Entries current = m_load();
        if (std::find(current.begin(), current.end(), entry) != current.end()) continue;
        current.push_back(entry);
        m_store(current);
        changed = true;
    }
    if (changed) reload();
}

void PathListEditor::removeEntry(const std::string& entry) {
    Entries current = m_load();
    const auto before = current.size();
    std::erase(current, entry);
    if (current.size() == before) return;
    m_store(current);
    reload();
}

void PathListEditor::removeSelected() {
    Entries current = m_load();
    for (auto* item : m_list->selectedItems()) std::erase(current, toStdString(item->text()));
    m_store(current);
    reload();
}

}  // namespace kestrane::gui
