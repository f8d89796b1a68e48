#include "gui/ScanScreen.h"

#include "app/FoldersScanner.h"
#include "app/ScanFlowController.h"
#include "duplicates/DuplicatesCategory.h"
#include "duplicates/DuplicatesContainer.h"
#include "duplicates/DuplicatesManager.h"
#include "gui/GuiText.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <cmath>

namespace kestrane::gui {

ScanScreen::ScanScreen(std::shared_ptr<ScanFlowController> flow, QWidget* parent)
    : QWidget(parent), m_flow(std::move(flow)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 24, 24, 24);
    layout->setSpacing(12);
    m_heading = new QLabel(QStringLiteral("Searching for duplicates…"), this);
    QFont headingFont = m_heading->font();
    headingFont.setPointSizeF(headingFont.pointSizeF() * 1.5);
    headingFont.setBold(true);
    m_heading->setFont(headingFont);
    m_folders = new QLabel(this);
    m_folders->setWordWrap(true);
    m_folders->setForegroundRole(QPalette::PlaceholderText);
    m_progress = new QProgressBar(this);
    m_progress->setRange(0, kProgressRange);
    m_progress->setTextVisible(false);
    m_description = new QLabel(this);
    m_description->setAccessibleName(QStringLiteral("Scan status"));

    m_counters = new QTreeWidget(this);
    m_counters->setColumnCount(3);
    m_counters->setHeaderLabels({QStringLiteral("Category"), QStringLiteral("Possible"), QStringLiteral("Found")});
    m_counters->setRootIsDecorated(false);
    m_counters->setSelectionMode(QAbstractItemView::NoSelection);
    m_counters->setFocusPolicy(Qt::NoFocus);
    m_counters->header()->setSectionResizeMode(QHeaderView::Stretch);
    for (FileCategory category : kAllFileCategories) {
        auto* row = new QTreeWidgetItem(m_counters);
        row->setText(0, categoryTitle(category));
        row->setIcon(0, themeIcon(categoryIconName(category)));
        row->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
        row->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
    }

    m_stop = new QPushButton(themeIcon(QStringLiteral("process-stop")), QStringLiteral("Stop"), this);
    m_stop->setToolTip(QStringLiteral("Stop the scan and go back to the folders (Esc)"));
    connect(m_stop, &QPushButton::clicked, this, &ScanScreen::stopRequested);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_stop);

    layout->addWidget(m_heading);
    layout->addWidget(m_folders);
    layout->addWidget(m_progress);
    layout->addWidget(m_description);
    layout->addWidget(m_counters, 1);
    layout->addLayout(buttons);
}

void ScanScreen::scanStarted() {
    m_heading->setText(QStringLiteral("Searching for duplicates…"));
    QStringList names;
    for (const auto& path : m_flow->selectedFoldersArray()) names << toQString(path);
    m_folders->setText(names.join(QStringLiteral(", ")));
    m_stop->setEnabled(true);
    refreshStatus();
    refreshCounters();
}

void ScanScreen::refreshStatus() {
    m_progress->setValue(static_cast<int>(std::lround(m_flow->shownProgress() * kProgressRange)));
    m_description->setText(toQString(m_flow->descriptionLine()));
}

void ScanScreen::refreshCounters() {
    const auto& scanner = m_flow->scanner();
    const auto& container = DuplicatesManager::sharedManager().duplicateContainer();
    int row = 0;
    for (FileCategory category : kAllFileCategories) {
        QTreeWidgetItem* item = m_counters->topLevelItem(row++);
        if (scanner) {
            item->setText(1, sizeText(scanner->getPossibleDuplicatesSizeOfType(category)));
            item->setText(2, sizeText(scanner->getActualDuplicatesSizeOfType(category)));
        } else if (container && m_flow->screen() != ScanFlowController::Screen::welcome) {
            // The final figures, from the result.
            const auto groups = container->getCategoryWithType(category);
            item->setText(2, sizeText(groups ? static_cast<std::uint64_t>(groups->getTotalSize()) : 0));
        }
    }
}

void ScanScreen::scanFinished(bool found) {
    m_stop->setEnabled(false);
    m_heading->setText(found ? QStringLiteral("Duplicates found") : QStringLiteral("No duplicates found"));
    refreshStatus();
    refreshCounters();
}

}  // namespace kestrane::gui
