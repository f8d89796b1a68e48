#include "gui/ResultsScreen.h"

#include "app/AppEvents.h"
#include "duplicates/DuplicateItem.h"
#include "duplicates/DuplicatesCategory.h"
#include "duplicates/DuplicatesContainer.h"
#include "duplicates/DuplicatesGroup.h"
#include "duplicates/GroupContent.h"
#include "duplicates/HeapsCollection.h"
#include "folders/DuplicatesHeap.h"
#include "folders/HeapsGroup.h"
#include "gui/CategoriesModel.h"
#include "gui/CategoryDelegate.h"
#include "gui/FileActions.h"
#include "gui/GroupsModel.h"
#include "gui/GuiText.h"
#include "gui/LastCopyConfirmation.h"
#include "gui/MergeDialog.h"
#include "gui/PairFilesModel.h"
#include "gui/PreviewPane.h"
#include "gui/SimilarFoldersModel.h"
#include "platform/Question.h"
#include "scan/FolderSystemItem.h"
#include "selection/AutoSelectOperations.h"
#include "selection/FolderSelection.h"
#include "selection/SimilarFolderSelection.h"
#include "settings/Settings.h"

#include <QAction>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QPointer>
#include <QSplitter>
#include <QStackedWidget>
#include <QTableView>
#include <QTimer>
#include <QToolBar>
#include <QToolTip>
#include <QTreeView>
#include <QVBoxLayout>

namespace kestrane::gui {

namespace {

QTreeView* makeTree(QWidget* parent) {
    auto* view = new QTreeView(parent);
    view->setUniformRowHeights(true);
    view->setAlternatingRowColors(true);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    return view;
}

}  // namespace

ResultsScreen::ResultsScreen(std::shared_ptr<QuestionAsker> asker, QWidget* parent)
    : QWidget(parent), m_asker(std::move(asker)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto* top = new QHBoxLayout;
    top->setContentsMargins(4, 2, 8, 2);
    m_toolBar = new QToolBar(this);
    m_toolBar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_toolBar->setIconSize(QSize(16, 16));
    top->addWidget(m_toolBar, 1);
    layout->addLayout(top);

    m_search = new QLineEdit(this);
    top->addWidget(m_search);
    // The list commands sit at the right of the window's own actions.
    const struct {
        const char* name;
        const char* title;
        const char* icon;
        const char* tip;
        void (ResultsScreen::*run)(std::shared_ptr<DuplicatesGroup>);
    } commands[] = {
        {"selectNewest", "Select Newest", "view-sort-descending",
         "In every group shown, select the newer copies and keep the oldest", &ResultsScreen::selectNewest},
        {"selectOldest", "Select Oldest", "view-sort-ascending",
         "In every group shown, select the older copies and keep the newest", &ResultsScreen::selectOldest},
        {"autoSelect", "Auto Select", "tools-wizard",
         "Select the copies to remove in every group shown, keeping one sensible copy", &ResultsScreen::autoSelect},
        {"deselectAll", "Deselect All", "edit-clear", "Deselect every copy in the groups shown",
         &ResultsScreen::deselectAll},
    };
    for (int i = 0; i < 4; ++i) {
        auto* action = new QAction(themeIcon(QString::fromLatin1(commands[i].icon)),
                                   QString::fromLatin1(commands[i].title), this);
        action->setObjectName(QString::fromLatin1(commands[i].name));
        action->setToolTip(QString::fromLatin1(commands[i].tip));
        const auto run = commands[i].run;
        connect(action, &QAction::triggered, this, [this, run] { (this->*run)(nullptr); });
        m_commands[i] = action;
    }
    m_search->setPlaceholderText(QStringLiteral("Search names and folders"));
    m_search->setClearButtonEnabled(true);
    m_search->setMaximumWidth(320);
    m_search->addAction(themeIcon(QStringLiteral("edit-find")), QLineEdit::LeadingPosition);
    m_search->setAccessibleName(QStringLiteral("Search"));

    m_categories = new CategoriesModel(this);
    m_groups = new GroupsModel(this);
    m_similar = new SimilarFoldersModel(this);
    m_pairFiles[0] = new PairFilesModel(PairFilesModel::mainSide, this);
    m_pairFiles[1] = new PairFilesModel(PairFilesModel::secondSide, this);

    auto* splitter = new QSplitter(Qt::Horizontal, this);
    splitter->setChildrenCollapsible(false);
    m_categoriesView = new QListView(splitter);
    m_categoriesView->setModel(m_categories);
    m_categoriesView->setItemDelegate(new CategoryDelegate(m_categoriesView));
    m_categoriesView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_categoriesView->setMinimumWidth(200);
    m_categoriesView->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_categoriesView->setAccessibleName(QStringLiteral("Categories"));

    m_center = new QStackedWidget(splitter);
    m_groupsView = makeTree(m_center);
    m_groupsView->setModel(m_groups);
    m_groupsView->setAccessibleName(QStringLiteral("Duplicates"));
    m_groupsView->setContextMenuPolicy(Qt::CustomContextMenu);
    m_groupsView->header()->setSectionsClickable(true);
    m_groupsView->header()->setSortIndicatorShown(true);
    m_groupsView->header()->setStretchLastSection(false);
    m_groupsView->header()->setSectionResizeMode(GroupsModel::folderColumn, QHeaderView::Stretch);
    m_groupsView->header()->resizeSection(GroupsModel::nameColumn, 220);
    m_groupsView->header()->resizeSection(GroupsModel::sizeColumn, 75);
    m_groupsView->header()->resizeSection(GroupsModel::dateColumn, 130);
    m_groupsView->setTextElideMode(Qt::ElideMiddle);
    m_center->addWidget(m_groupsView);

    auto* similarPage = new QSplitter(Qt::Vertical, m_center);
    m_pairsView = new QTableView(similarPage);
    m_pairsView->setModel(m_similar);
    m_pairsView->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_pairsView->setSelectionMode(QAbstractItemView::SingleSelection);
    m_pairsView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_pairsView->verticalHeader()->hide();
    m_pairsView->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    m_pairsView->horizontalHeader()->setSectionResizeMode(SimilarFoldersModel::folderColumn, QHeaderView::Stretch);
    m_pairsView->horizontalHeader()->setSectionResizeMode(SimilarFoldersModel::similarFolderColumn,
                                                          QHeaderView::Stretch);
    m_pairsView->verticalHeader()->setDefaultSectionSize(m_pairsView->fontMetrics().height() + 8);
    m_pairsView->setTextElideMode(Qt::ElideMiddle);
    m_pairsView->setShowGrid(false);
    m_pairsView->setAlternatingRowColors(true);
    m_pairsView->setAccessibleName(QStringLiteral("Similar folders"));
    auto* sides = new QSplitter(Qt::Horizontal, similarPage);
    for (int side = 0; side < 2; ++side) {
        m_pairViews[side] = makeTree(sides);
        m_pairViews[side]->setModel(m_pairFiles[side]);
        m_pairViews[side]->header()->setStretchLastSection(false);
        m_pairViews[side]->header()->setSectionResizeMode(PairFilesModel::nameColumn, QHeaderView::Stretch);
        connect(m_pairFiles[side], &QAbstractItemModel::modelReset, m_pairViews[side], &QTreeView::expandAll);
        connect(m_pairFiles[side], &PairFilesModel::confirmationNeeded, this,
                [this](std::shared_ptr<DuplicateItem> item) {
                    confirmLastCopySelection(*m_asker, item, ManualSelection::Place::similarFolders);
                });
        connect(m_pairFiles[side], &PairFilesModel::lastCopyRefused, this,
                [view = m_pairViews[side]](const QModelIndex& index, const QString& text) {
                    QToolTip::showText(view->viewport()->mapToGlobal(view->visualRect(index).center()), text, view);
                });
        connect(m_pairViews[side]->selectionModel(), &QItemSelectionModel::currentChanged, this,
                [this, side](const QModelIndex& index) {
                    m_currentPath = toStdString(index.data(PairFilesModel::pathRole).toString());
                    m_preview->showFile(m_currentPath);
                });
    }
    m_center->addWidget(similarPage);
    // Ticking a folder of a pair that holds the last copies asks first.
    connect(m_similar, &SimilarFoldersModel::confirmationNeeded, this, [this](const QModelIndex& index, bool selected) {
        const auto heap = m_similar->heapAt(index.row());
        const FolderSystemItem* folder = !heap ? nullptr
                                         : index.column() == SimilarFoldersModel::folderColumn ? heap->getMainFolderItem()
                                                                                               : heap->getSecondFolderItem();
        if (!folder) return;
        const Question question = SimilarFolderSelection::lastCopiesQuestion(*folder);
        QPointer<ResultsScreen> self(this);
        m_asker->ask(question, [self, row = QPersistentModelIndex(index), selected](Answer answer) {
            SimilarFolderSelection::rememberAnswer(answer);
            if (self && row.isValid() && answer.button == 0) self->m_similar->setSideSelected(row, selected, true);
        });
    });

    m_preview = new PreviewPane(splitter);
    m_preview->setMinimumWidth(220);
    splitter->addWidget(m_categoriesView);
    splitter->addWidget(m_center);
    splitter->addWidget(m_preview);
    splitter->setStretchFactor(0, 0);
    splitter->setStretchFactor(1, 3);
    splitter->setStretchFactor(2, 1);
    splitter->setSizes({200, 760, 260});
    layout->addWidget(splitter, 1);

    m_summary = new QLabel(this);
    m_summary->setContentsMargins(8, 4, 8, 4);
    layout->addWidget(m_summary);

    // The search waits for a pause in the typing.
    auto* searchDelay = new QTimer(this);
    searchDelay->setSingleShot(true);
    searchDelay->setInterval(200);
    connect(m_search, &QLineEdit::textChanged, searchDelay, qOverload<>(&QTimer::start));
    connect(searchDelay, &QTimer::timeout, this, [this] { m_groups->setFilterText(m_search->text()); });

    connect(m_categoriesView->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& index) { categoryChosen(index.row()); });
    connect(m_groupsView->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &ResultsScreen::currentCopyChanged);
    connect(m_groupsView, &QTreeView::activated, this, [this](const QModelIndex& index) {
        if (m_groups->itemAt(index)) FileActions::openWithDefaultApplication(m_currentPath);
    });
    connect(m_groupsView, &QWidget::customContextMenuRequested, this, &ResultsScreen::showGroupsContextMenu);
    connect(m_groups, &QAbstractItemModel::modelReset, this, &ResultsScreen::refreshCommands);
    connect(m_groupsView->header(), &QHeaderView::sectionClicked, this, &ResultsScreen::sortByColumn);
    connect(m_groups, &GroupsModel::confirmationNeeded, this, [this](std::shared_ptr<DuplicateItem> item) {
        confirmLastCopySelection(*m_asker, item, ManualSelection::Place::resultLists);
    });
    connect(m_groups, &GroupsModel::lastCopyRefused, this, [this](const QModelIndex& index, const QString& text) {
        QToolTip::showText(m_groupsView->viewport()->mapToGlobal(m_groupsView->visualRect(index).center()), text,
                           m_groupsView);
    });
    connect(m_pairsView->selectionModel(), &QItemSelectionModel::currentChanged, this, &ResultsScreen::pairChosen);
    m_pairsView->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_pairsView, &QWidget::customContextMenuRequested, this, &ResultsScreen::showPairsContextMenu);
    connect(m_similar, &QAbstractItemModel::modelReset, this, &ResultsScreen::pairChosen);
    // Enter or a double click on a pair opens its merge.
    connect(m_pairsView, &QTableView::activated, this, [this] { openMerge(); });

    auto& center = platform::NotificationCenter::defaultCenter();
    m_selectionObservation = center.addObserver(AppEvents::kDuplicateItemSelectionChanged,
                                                [this](const platform::Notification&) { refreshSummary(); });
    m_dataObservation = center.addObserver(AppEvents::kDuplicatesContainerDataChanged,
                                           [this](const platform::Notification&) {
                                               if (m_category) showCategory(*m_category);
                                               refreshSummary();
                                           });
    m_openObservation = center.addObserver(AppEvents::kOpenFile, [this](const platform::Notification&) {
        if (isVisible() && !m_currentPath.empty()) FileActions::openWithDefaultApplication(m_currentPath);
    });
    m_revealObservation = center.addObserver(AppEvents::kRevealInFileManager, [this](const platform::Notification&) {
        if (isVisible() && !m_currentPath.empty()) FileActions::showInFileManager(m_currentPath);
    });
    m_findObservation = center.addObserver(AppEvents::kFindInActiveView, [this](const platform::Notification&) {
        if (isVisible()) focusSearch();
    });
    m_sortObservation = center.addObserver(AppEvents::kSortingTypeChanged, [this](const platform::Notification&) {
        const Settings settings = Settings::standard();
        const int type = settings.getIntValueForKey(GroupsModel::kSortTypeKey, 0);
        const bool descending = settings.getIntValueForKey(GroupsModel::kSortDirectionKey, 1) == 1;
        m_groups->setSortType(type, descending);
        const int column = GroupsModel::columnOfSortType(type);
        m_groupsView->header()->setSortIndicatorShown(column >= 0);
        if (column >= 0)
            m_groupsView->header()->setSortIndicator(column, descending ? Qt::DescendingOrder : Qt::AscendingOrder);
    });
}

ResultsScreen::~ResultsScreen() = default;

void ResultsScreen::setContainer(std::shared_ptr<DuplicatesContainer> container) {
    m_container = std::move(container);
    m_categories->setContainer(m_container);
    m_similar->setContainer(m_container);
    m_category.reset();
    m_search->clear();
    // The stored order of the lists.
    platform::NotificationCenter::defaultCenter().post(AppEvents::kSortingTypeChanged);
    if (m_categories->rowCount() > 0) m_categoriesView->setCurrentIndex(m_categories->index(0));
    else m_groups->setGroups({});
    refreshSummary();
}

void ResultsScreen::categoryChosen(int row) {
    if (m_categories->isSimilarFoldersRow(row)) return showSimilarFolders();
    if (const auto category = m_categories->categoryAt(row)) showCategory(*category);
}

void ResultsScreen::showCategory(FileCategory category) {
    m_category = category;
    const int row = m_categories->rowOfCategory(category);
    if (row >= 0 && m_categoriesView->currentIndex().row() != row)
        m_categoriesView->setCurrentIndex(m_categories->index(row));
    const auto groups = m_container ? m_container->getCategoryWithType(category) : nullptr;
    m_groups->setGroups(groups ? groups->getGroups() : std::vector<std::shared_ptr<DuplicatesGroup>>{});
    m_center->setCurrentIndex(0);
    emit currentPairChanged();
    refreshCommands();
    // Small groups open at once; a long list is left folded so it shows at once.
    if (m_groups->rowCount() <= 2000) m_groupsView->expandAll();
    if (m_groups->rowCount() > 0) {
        const QModelIndex first = m_groups->index(0, 0);
        m_groupsView->setCurrentIndex(m_groups->rowCount(first) > 0 ? m_groups->index(0, 0, first) : first);
    } else {
        m_currentPath.clear();
        m_preview->showFile({});
    }
}

void ResultsScreen::showSimilarFolders() {
    m_category.reset();
    const int row = m_categories->similarFoldersRow();
    if (row >= 0 && m_categoriesView->currentIndex().row() != row)
        m_categoriesView->setCurrentIndex(m_categories->index(row));
    m_center->setCurrentIndex(1);
    refreshCommands();
    if (m_similar->rowCount() > 0 && !m_pairsView->currentIndex().isValid())
        m_pairsView->setCurrentIndex(m_similar->index(0, 0));
    emit currentPairChanged();
}

void ResultsScreen::pairChosen() {
    const auto heap = m_similar->heapAt(m_pairsView->currentIndex().row());
    for (auto* model : m_pairFiles) model->setHeap(heap);
    m_currentPath = heap ? m_pairFiles[0]->folderPath() : std::string();
    m_preview->showFile(m_currentPath);
    emit currentPairChanged();
}

std::shared_ptr<DuplicatesHeap> ResultsScreen::currentPair() const {
    if (m_center->currentIndex() != 1) return nullptr;
    return m_similar->heapAt(m_pairsView->currentIndex().row());
}

MergeDialog* ResultsScreen::mergeDialog() const {
    return m_merge.data();
}

void ResultsScreen::openMerge() {
    const auto heap = currentPair();
    if (!heap || !m_container || m_merge) return;
    m_merge = new MergeDialog(heap, m_container, this);
    m_merge->setAttribute(Qt::WA_DeleteOnClose);
    m_merge->setWindowModality(Qt::WindowModal);
    m_merge->open();
}

void ResultsScreen::currentCopyChanged() {
    const QModelIndex index = m_groupsView->currentIndex();
    const auto item = m_groups->itemAt(index);
    if (item) {
        m_currentPath = item->getFileItemPath();
    } else if (const auto group = m_groups->groupAt(index); group && group->getContent() &&
                                                             !group->getContent()->getItems().empty()) {
        m_currentPath = group->getContent()->getItems().front()->getFileItemPath();
    } else {
        m_currentPath.clear();
    }
    m_preview->showFile(m_currentPath);
}

std::string ResultsScreen::currentPath() const {
    return m_currentPath;
}

void ResultsScreen::focusSearch() {
    m_search->setFocus(Qt::ShortcutFocusReason);
    m_search->selectAll();
}

void ResultsScreen::refreshSummary() {
    if (!m_container) return m_summary->clear();
    const auto count = m_container->getItemsCountInRemoveList();
    if (count == 0) {
        m_summary->setText(QStringLiteral("Tick the copies you want to remove; one copy of each file is always kept."));
        return;
    }
    m_summary->setText(QStringLiteral("%1 %2 selected for removal (%3)")
                           .arg(countText(static_cast<std::uint64_t>(count)),
                                count == 1 ? QStringLiteral("copy") : QStringLiteral("copies"),
                                sizeText(static_cast<std::uint64_t>(m_container->getRemoveListTotalSize()))));
}

namespace {

// The folder of a cell of the pairs view, unless it is itself a duplicate
// folder (selected with its group among the duplicate folders).
const FolderSystemItem* similarFolderOf(const SimilarFoldersModel& model, const QModelIndex& cell) {
    const auto heap = model.heapAt(cell.row());
    if (!heap) return nullptr;
    const FolderSystemItem* folder = cell.column() == SimilarFoldersModel::similarFolderColumn
                                         ? heap->getSecondFolderItem()
                                         : heap->getMainFolderItem();
    return folder && !FolderSelection::isDuplicateFolder(*folder) ? folder : nullptr;
}

}  // namespace

void ResultsScreen::setFolderSelectedInAllPairs(const QModelIndex& cell, bool selected) {
    const FolderSystemItem* folder = similarFolderOf(*m_similar, cell);
    if (!folder || !m_container || !m_container->getHeaps()) return;
    const std::shared_ptr<HeapsGroup> group = m_container->getHeaps()->buildHeapsGroupForFolderWithPath(folder->path());
    if (!group ||
        SimilarFolderSelection::setFolderSelected(*group, selected, false) == SimilarFolderSelection::Outcome::changed)
        return;
    const Question question = SimilarFolderSelection::lastCopiesQuestion(*folder);
    m_asker->ask(question, [group, selected, yes = question.yesButton](Answer answer) {
        SimilarFolderSelection::rememberAnswer(answer);
        if (answer.button == yes) SimilarFolderSelection::setFolderSelected(*group, selected, true);
    });
}

void ResultsScreen::showPairsContextMenu(const QPoint& position) {
    const QModelIndex cell = m_pairsView->indexAt(position);
    if (!cell.isValid()) return;
    m_pairsView->setCurrentIndex(cell);
    QMenu menu(this);
    menu.addAction(themeIcon(QStringLiteral("folder-copy")), QStringLiteral("&Merge Folders…"), this,
                   [this] { openMerge(); });
    const FolderSystemItem* folder = similarFolderOf(*m_similar, cell);
    if (folder) {
        const QString name = toQString(folder->displayName());
        menu.addSeparator();
        menu.addAction(QStringLiteral("Select \"%1\" in All Its Pairs").arg(name), this,
                       [this, cell] { setFolderSelectedInAllPairs(cell, true); });
        menu.addAction(QStringLiteral("Deselect \"%1\" in All Its Pairs").arg(name), this,
                       [this, cell] { setFolderSelectedInAllPairs(cell, false); });
    }
    menu.exec(m_pairsView->viewport()->mapToGlobal(position));
}

void ResultsScreen::sortByColumn(int column) {
    const int type = GroupsModel::sortTypeOfColumn(column);
    if (type < 0) return;
    // The same column again turns the order round.
    const bool descending = type == m_groups->sortType() ? !m_groups->sortDescending() : type != GroupsModel::byName;
    Settings settings = Settings::standard();
    settings.saveIntValue(type, GroupsModel::kSortTypeKey);
    settings.saveIntValue(descending ? 1 : 0, GroupsModel::kSortDirectionKey);
    platform::NotificationCenter::defaultCenter().post(AppEvents::kSortingTypeChanged);
}

ListSelectionCommands ResultsScreen::commandsFor(const std::shared_ptr<DuplicatesGroup>& onlyGroup) const {
    ListSelectionCommands commands;
    commands.setShownEntries(m_groups->shownGroups());
    commands.setSelectedGroupItem(onlyGroup);
    return commands;
}

namespace {
ListSelectionCommands::Sender senderOf(const std::shared_ptr<DuplicatesGroup>& onlyGroup) {
    return onlyGroup ? ListSelectionCommands::Sender::contextMenuItem : ListSelectionCommands::Sender::other;
}
}  // namespace

void ResultsScreen::selectNewest(std::shared_ptr<DuplicatesGroup> onlyGroup) {
    commandsFor(onlyGroup).selectNewest(senderOf(onlyGroup));
}

void ResultsScreen::selectOldest(std::shared_ptr<DuplicatesGroup> onlyGroup) {
    commandsFor(onlyGroup).selectOldest(senderOf(onlyGroup));
}

void ResultsScreen::deselectAll(std::shared_ptr<DuplicatesGroup> onlyGroup) {
    commandsFor(onlyGroup).deselectAll(senderOf(onlyGroup));
}

void ResultsScreen::autoSelect(std::shared_ptr<DuplicatesGroup> onlyGroup) {
    const auto message = commandsFor(onlyGroup).autoSelectPressed(senderOf(onlyGroup));
    if (!message) return;
    const std::vector<std::string> buttons = message->buttons;
    m_asker->ask(*message, [this, buttons](Answer answer) {
        if (answer.button < buttons.size() && buttons[answer.button] == AutoSelectOperations::kShowNeverSelectListButton)
            emit neverSelectListRequested();
    });
}

QList<QAction*> ResultsScreen::listCommands() const {
    return {m_commands[0], m_commands[1], m_commands[2], m_commands[3]};
}

void ResultsScreen::refreshCommands() {
    const bool groupsShown = m_center->currentIndex() == 0 && m_groups->rowCount() > 0;
    for (QAction* action : m_commands) action->setEnabled(groupsShown);
}

void ResultsScreen::showGroupsContextMenu(const QPoint& position) {
    const QModelIndex index = m_groupsView->indexAt(position);
    if (!index.isValid()) return;
    m_groupsView->setCurrentIndex(index);
    QMenu menu(this);
    if (m_groups->itemAt(index)) {
        menu.addAction(themeIcon(QStringLiteral("document-open")), QStringLiteral("Open"), this,
                       [this] { FileActions::openWithDefaultApplication(m_currentPath); });
        menu.addAction(themeIcon(QStringLiteral("folder-open")), QStringLiteral("Show in Folder"), this,
                       [this] { FileActions::showInFileManager(m_currentPath); });
    }
    const auto group = m_groups->groupAt(index);
    if (group) {
        if (!menu.isEmpty()) menu.addSeparator();
        menu.addAction(QStringLiteral("Select Newest"), this, [this, group] { selectNewest(group); });
        menu.addAction(QStringLiteral("Select Oldest"), this, [this, group] { selectOldest(group); });
        menu.addAction(QStringLiteral("Auto Select"), this, [this, group] { autoSelect(group); });
        menu.addAction(QStringLiteral("Deselect All"), this, [this, group] { deselectAll(group); });
    }
    emit groupContextMenuRequested(&menu, group);
    if (!menu.isEmpty()) menu.exec(m_groupsView->viewport()->mapToGlobal(position));
}

}  // namespace kestrane::gui
