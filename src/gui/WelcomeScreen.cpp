#include "gui/WelcomeScreen.h"

#include "app/ScanFlowController.h"
#include "gui/GuiText.h"
#include "platform/UserFolders.h"
#include "settings/Settings.h"

#include <QAction>
#include <QFileIconProvider>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QShortcut>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace kestrane::gui {

namespace {
const char* const kStartTitle = "Find duplicates";
const char* const kFullScaleTitle = "Full-scale Scan";
const char* const kFullScaleTooltip = "Full-scale duplicates scan. It will be slower scan.";
}  // namespace

WelcomeScreen::WelcomeScreen(std::shared_ptr<ScanFlowController> flow, QWidget* parent)
    : QWidget(parent), m_flow(std::move(flow)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 24, 24, 24);
    layout->setSpacing(12);

    auto* heading = new QLabel(QStringLiteral("Choose the folders to search for duplicates"), this);
    QFont headingFont = heading->font();
    headingFont.setPointSizeF(headingFont.pointSizeF() * 1.5);
    headingFont.setBold(true);
    heading->setFont(headingFont);
    auto* hint = new QLabel(
        QStringLiteral("Add folders with the button below or drop them here. Nothing is changed until you say so."),
        this);
    hint->setWordWrap(true);
    hint->setForegroundRole(QPalette::PlaceholderText);
    layout->addWidget(heading);
    layout->addWidget(hint);

    m_list = new QTreeWidget(this);
    m_list->setColumnCount(2);
    m_list->setHeaderLabels({QStringLiteral("Folder"), QStringLiteral("Location")});
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    m_list->header()->setStretchLastSection(true);
    m_list->setAccessibleName(QStringLiteral("Folders to scan"));
    layout->addWidget(m_list, 1);

    auto* row = new QHBoxLayout;
    m_add = new QToolButton(this);
    m_add->setText(QStringLiteral("Add Folder…"));
    m_add->setIcon(themeIcon(QStringLiteral("list-add")));
    m_add->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_add->setPopupMode(QToolButton::MenuButtonPopup);
    m_recent = new QMenu(QStringLiteral("Recent Folders"), this);
    m_add->setMenu(m_recent);
    connect(m_recent, &QMenu::aboutToShow, this, &WelcomeScreen::fillRecentMenu);
    connect(m_add, &QToolButton::clicked, this, &WelcomeScreen::addFolderRequested);

    m_remove = new QPushButton(themeIcon(QStringLiteral("list-remove")), QStringLiteral("Remove"), this);
    m_remove->setToolTip(QStringLiteral("Take the chosen folders off the list (Delete)"));
    connect(m_remove, &QPushButton::clicked, this, &WelcomeScreen::removeSelected);
    auto* deleteKey = new QShortcut(QKeySequence::Delete, m_list);
    deleteKey->setContext(Qt::WidgetShortcut);
    connect(deleteKey, &QShortcut::activated, this, &WelcomeScreen::removeSelected);

    m_start = new QPushButton(QString::fromUtf8(kStartTitle), this);
    m_start->setIcon(themeIcon(QStringLiteral("edit-find")));
    m_start->setDefault(true);
    m_start->setAutoDefault(true);
    m_start->setMinimumHeight(m_start->sizeHint().height() * 3 / 2);
    connect(m_start, &QPushButton::clicked, this, &WelcomeScreen::startRequested);

    row->addWidget(m_add);
    row->addWidget(m_remove);
    row->addStretch();
    m_label = new QLabel(this);
    m_label->setForegroundRole(QPalette::PlaceholderText);
    row->addWidget(m_label);
    row->addWidget(m_start);
    layout->addLayout(row);

    connect(m_list, &QTreeWidget::itemSelectionChanged, this,
            [this] { m_remove->setEnabled(!m_list->selectedItems().isEmpty()); });
    refresh();
}

void WelcomeScreen::refresh() {
    m_list->clear();
    const QFileIconProvider icons;
    QTreeWidgetItem* current = nullptr;
    for (const auto& folder : m_flow->folderList()) {
        auto* item = new QTreeWidgetItem(m_list);
        item->setText(0, toQString(folder.name));
        item->setText(1, toQString(folder.path));
        item->setToolTip(1, toQString(folder.path));
        item->setIcon(0, icons.icon(QFileIconProvider::Folder));
        item->setData(0, Qt::UserRole, toQString(folder.path));
        if (folder.path == m_flow->currentFolderPath()) current = item;
    }
    if (current) m_list->setCurrentItem(current);
    m_remove->setEnabled(!m_list->selectedItems().isEmpty());
    m_label->setText(toQString(m_flow->folderCountLabel()));
    m_start->setEnabled(!m_flow->folderList().empty());
    refreshStartButton();
}

void WelcomeScreen::refreshStartButton() {
    const bool fullScale = Settings::standard().actualFullHashCalculationState();
    m_start->setText(QString::fromUtf8(fullScale ? kFullScaleTitle : kStartTitle));
    m_start->setToolTip(fullScale ? QString::fromUtf8(kFullScaleTooltip)
                                  : QStringLiteral("Scan the folders for duplicates (Ctrl+Return)"));
}

void WelcomeScreen::removeSelected() {
    const auto selected = m_list->selectedItems();
    std::vector<std::string> paths;
    for (auto* item : selected) paths.push_back(toStdString(item->data(0, Qt::UserRole).toString()));
    for (const auto& path : paths) m_flow->removeFolderWithPath(path);
}

void WelcomeScreen::fillRecentMenu() {
    m_recent->clear();
    const auto recent = Settings::standard().lastTenFolders();
    if (recent.empty()) {
        m_recent->addAction(QStringLiteral("No Recent Folders"))->setEnabled(false);
        return;
    }
    for (const auto& path : recent) {
        QAction* action = m_recent->addAction(themeIcon(QStringLiteral("folder")), toQString(path));
        connect(action, &QAction::triggered, this, [this, path] { m_flow->addPaths({path}); });
    }
    m_recent->addSeparator();
    connect(m_recent->addAction(QStringLiteral("Clear Recent Folders")), &QAction::triggered, this,
            [] { Settings::standard().clearRecentFolders(); });
}

}  // namespace kestrane::gui
