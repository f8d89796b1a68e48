#include "gui/ReviewPanel.h"

#include "app/AppEvents.h"
#include "app/SelectedItemsPresenter.h"
#include "app/SelectedItemsSortMenuDelegate.h"
#include "duplicates/DuplicateItem.h"
#include "duplicates/DuplicatesContainer.h"
#include "duplicates/DuplicatesManager.h"
#include "gui/GuiText.h"
#include "gui/LastCopyConfirmation.h"
#include "gui/ReviewModel.h"
#include "removal/DuplicateItemsRemover.h"
#include "removal/RemovalCheck.h"
#include "removal/RemoveErrorInfo.h"
#include "settings/Settings.h"

#include <QActionGroup>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QTimer>
#include <QToolButton>
#include <QToolTip>
#include <QTreeView>
#include <QVBoxLayout>

namespace kestrane::gui {

namespace {

constexpr int kProgressRange = 1000;
// Longer reviews open folded, so that they show at once.
constexpr std::size_t kExpandAllUpTo = 2000;

QString copiesText(std::uint64_t count) {
    return count == 1 ? QStringLiteral("1 copy") : QStringLiteral("%1 copies").arg(countText(count));
}

}  // namespace

// The session's delegate; the panel outlives it or tells it it is gone.
class ReviewPanel::RemovalListener final : public DuplicateItemsRemoverDelegate {
public:
    explicit RemovalListener(ReviewPanel* panel) : m_panel(panel) {}
    void forgetPanel() { m_panel = nullptr; }

    void onRemoverRemove(DuplicateItemsRemover&, const std::vector<std::shared_ptr<DuplicateItem>>& items) override {
        // Before the copies leave the result model: the review still knows them.
        if (m_panel) m_panel->m_model->removeItems(items);
    }
    void onRemoverBeginRemoveSession(DuplicateItemsRemover&) override {
        if (m_panel) m_panel->showProgress();
    }
    void onRemoverFinishWork(DuplicateItemsRemover&) override {
        if (m_panel) m_panel->finishRemoval();
    }

private:
    ReviewPanel* m_panel;
};

ReviewPanel::ReviewPanel(std::shared_ptr<QuestionAsker> asker, QWidget* parent)
    : QWidget(parent), m_asker(std::move(asker)) {
    m_listener = std::make_shared<RemovalListener>(this);
    setObjectName(QStringLiteral("reviewPanel"));

    auto* layout = new QVBoxLayout(this);
    auto* title = new QLabel(QStringLiteral("Review the copies selected for removal"), this);
    QFont titleFont = title->font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.3);
    titleFont.setBold(true);
    title->setFont(titleFont);
    layout->addWidget(title);
    m_summary = new QLabel(this);
    layout->addWidget(m_summary);

    // The presentation switch and the sort button.
    auto* bar = new QHBoxLayout;
    m_presentations = new QButtonGroup(this);
    m_presentations->setExclusive(true);
    const struct {
        std::int32_t type;
        const char* title;
        const char* icon;
        const char* tip;
    } presentations[] = {
        {SelectedItemsPresenter::kFileTree, "Tree", "view-list-tree", "The copies under the folders that hold them"},
        {SelectedItemsPresenter::kGroupedByFolders, "By Folder", "folder", "The copies grouped by their folder"},
        {SelectedItemsPresenter::kPlainList, "List", "view-list-details", "The copies in one list"},
    };
    for (const auto& presentation : presentations) {
        auto* button = new QToolButton(this);
        button->setText(QString::fromLatin1(presentation.title));
        button->setIcon(themeIcon(QString::fromLatin1(presentation.icon)));
        button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        button->setToolTip(QString::fromLatin1(presentation.tip));
        button->setCheckable(true);
        button->setAutoRaise(true);
        m_presentations->addButton(button, presentation.type);
        bar->addWidget(button);
    }
    connect(m_presentations, &QButtonGroup::idClicked, this, [this](int type) { setPresentationType(type); });
    bar->addStretch();
    m_sortButton = new QToolButton(this);
    m_sortButton->setObjectName(QStringLiteral("reviewSortButton"));
    m_sortButton->setPopupMode(QToolButton::InstantPopup);
    m_sortButton->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_sortButton->setIcon(themeIcon(QStringLiteral("view-sort-ascending")));
    auto* sortMenu = new QMenu(m_sortButton);
    auto* sortGroup = new QActionGroup(sortMenu);
    for (std::int32_t type = SelectedItemsSortMenuDelegate::kFirstSortType;
         type <= SelectedItemsSortMenuDelegate::kLastSortType; ++type) {
        QAction* action = sortMenu->addAction(QString::fromLatin1(SelectedItemsSortMenuDelegate::menuTitle(type)));
        action->setCheckable(true);
        action->setData(type);
        sortGroup->addAction(action);
        connect(action, &QAction::triggered, this, [this, type] { setSortType(type); });
        // The orders come in pairs; a line between the pairs.
        if (type == 2 || type == 4 || type == 6) sortMenu->addSeparator();
    }
    m_sortButton->setMenu(sortMenu);
    bar->addWidget(m_sortButton);
    layout->addLayout(bar);

    m_model = new ReviewModel(this);
    m_view = new QTreeView(this);
    m_view->setModel(m_model);
    m_view->setUniformRowHeights(true);
    m_view->setAlternatingRowColors(true);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setSelectionMode(QAbstractItemView::SingleSelection);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->setTextElideMode(Qt::ElideMiddle);
    m_view->setAccessibleName(QStringLiteral("Selected copies"));
    m_view->header()->setStretchLastSection(false);
    m_view->header()->setSectionResizeMode(ReviewModel::nameColumn, QHeaderView::Stretch);
    m_view->header()->resizeSection(ReviewModel::folderColumn, 260);
    m_view->header()->resizeSection(ReviewModel::sizeColumn, 80);
    m_view->header()->resizeSection(ReviewModel::dateColumn, 140);
    layout->addWidget(m_view, 1);
    connect(m_model, &ReviewModel::confirmationNeeded, this, [this](std::shared_ptr<DuplicateItem> item) {
        confirmLastCopySelection(*m_asker, item, ManualSelection::Place::resultLists);
    });
    connect(m_model, &ReviewModel::lastCopyRefused, this, [this](const QModelIndex& index, const QString& text) {
        QToolTip::showText(m_view->viewport()->mapToGlobal(m_view->visualRect(index).center()), text, m_view);
    });

    // Where the copies go.
    auto* destination = new QHBoxLayout;
    m_toTrash = new QRadioButton(QStringLiteral("Move to the Trash"), this);
    m_permanently = new QRadioButton(QStringLiteral("Delete permanently"), this);
    auto* destinations = new QButtonGroup(this);
    destinations->addButton(m_toTrash);
    destinations->addButton(m_permanently);
    m_removeEmptyFolders = new QCheckBox(QStringLiteral("Remove folders left empty"), this);
    destination->addWidget(m_toTrash);
    destination->addWidget(m_permanently);
    destination->addSpacing(16);
    destination->addWidget(m_removeEmptyFolders);
    destination->addStretch();
    layout->addLayout(destination);
    connect(m_toTrash, &QRadioButton::toggled, this, [](bool on) {
        Settings settings = Settings::standard();
        if (settings.moveCleanedDuplicatesToTheTrashCan() != on) settings.setMoveCleanedDuplicatesToTheTrashCan(on);
    });
    connect(m_removeEmptyFolders, &QCheckBox::toggled, this, [](bool on) {
        Settings settings = Settings::standard();
        if (settings.removeEmptyFolders() != on) settings.setRemoveEmptyFolders(on);
    });

    // Progress while removing, the result afterwards.
    auto* progressRow = new QHBoxLayout;
    m_progress = new QProgressBar(this);
    m_progress->setRange(0, kProgressRange);
    m_progress->setTextVisible(false);
    m_status = new QLabel(this);
    progressRow->addWidget(m_progress, 1);
    progressRow->addWidget(m_status);
    layout->addLayout(progressRow);
    m_result = new QLabel(this);
    m_result->setWordWrap(true);
    m_result->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(m_result);

    auto* buttons = new QHBoxLayout;
    m_back = new QPushButton(themeIcon(QStringLiteral("go-previous")), QStringLiteral("Back to Results"), this);
    m_remove = new QPushButton(themeIcon(QStringLiteral("edit-delete")), QStringLiteral("Remove"), this);
    m_remove->setObjectName(QStringLiteral("reviewRemoveButton"));
    m_remove->setDefault(true);
    buttons->addWidget(m_back);
    buttons->addStretch();
    buttons->addWidget(m_remove);
    layout->addLayout(buttons);
    connect(m_back, &QPushButton::clicked, this, &QWidget::close);
    connect(m_remove, &QPushButton::clicked, this, &ReviewPanel::removeOrStop);
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this, this, &QWidget::close);
    escape->setContext(Qt::WidgetWithChildrenShortcut);

    m_progressTimer = new QTimer(this);
    m_progressTimer->setInterval(100);
    connect(m_progressTimer, &QTimer::timeout, this, &ReviewPanel::showProgress);

    auto& center = platform::NotificationCenter::defaultCenter();
    m_observations.push_back(center.addObserver(AppEvents::kDuplicateItemSelectionChanged,
                                                [this](const platform::Notification&) { refresh(); }));
    m_observations.push_back(center.addObserver(AppEvents::kSelectedFilesSortChanged,
                                                [this](const platform::Notification&) {
                                                    m_model->setSortType(Settings::standard().selectedFilesSortType());
                                                    refreshSortButton();
                                                }));
    m_observations.push_back(center.addObserver(AppEvents::kRemoveToTrashSettingChanged,
                                                [this](const platform::Notification&) { refreshDestination(); }));
    refresh();
}

ReviewPanel::~ReviewPanel() {
    m_listener->forgetPanel();
    if (m_remover) m_remover->stop();
}

void ReviewPanel::open(std::shared_ptr<DuplicatesContainer> container) {
    if (isRemoving()) return;
    m_container = std::move(container);
    m_resultLines.clear();
    const Settings settings = Settings::standard();
    m_model->setItems(m_container ? m_container->buildRemoveList() : std::vector<std::shared_ptr<DuplicateItem>>{},
                      settings.selectedFilesPresentation(), settings.selectedFilesSortType());
    expandIfSmall();
    refreshSortButton();
    refreshDestination();
    if (m_model->rowCount() > 0) m_view->setCurrentIndex(m_model->index(0, 0));
    refresh();
    m_view->setFocus();
}

void ReviewPanel::setPresentationType(std::int32_t type) {
    if (isRemoving()) return;  // never rebuilt while a removal runs
    Settings::standard().setSelectedFilesPresentation(type);
    m_model->setPresentationType(type);
    expandIfSmall();
    refresh();
}

void ReviewPanel::setSortType(std::int32_t type) {
    SelectedItemsSortMenuDelegate(Settings::standard()).setCurrentSortType(type);
    platform::NotificationCenter::defaultCenter().post(AppEvents::kSelectedFilesSortChanged);
}

QAbstractButton* ReviewPanel::presentationButton(std::int32_t type) const {
    return m_presentations->button(type);
}

void ReviewPanel::expandIfSmall() {
    if (m_model->copyCount() <= kExpandAllUpTo) m_view->expandAll();
    // The folder of each copy is said by the tree already.
    m_view->setColumnHidden(ReviewModel::folderColumn, m_model->presentationType() != SelectedItemsPresenter::kPlainList);
}

// --- Removing ---------------------------------------------------------------------------

void ReviewPanel::removeOrStop() {
    if (m_remover) {
        m_stopping = true;
        m_remover->stop();
        refresh();
        return;
    }
    if (m_confirming || !m_container) return;
    const auto count = m_container->getItemsCountInRemoveList();
    if (count <= 0) return;
    if (Settings::standard().moveCleanedDuplicatesToTheTrashCan()) return startRemoval();
    m_confirming = true;
    refresh();
    QPointer<ReviewPanel> self(this);
    DuplicateItemsRemover::confirmRemovePermanently(m_asker, static_cast<std::uint64_t>(count), [self](bool accepted) {
        if (!self) return;
        self->m_confirming = false;
        if (accepted) self->startRemoval();
        else self->refresh();
    });
}

void ReviewPanel::startRemoval() {
    m_resultLines.clear();
    m_stopping = false;
    m_remover = DuplicateItemsRemover::create(m_listener, m_asker);
    m_remover->setContainer(m_container);
    m_model->setCheckable(false);
    m_progress->setValue(0);
    m_progressTimer->start();
    refresh();
    emit removalStarted();
    m_remover->removeItemsInRemoveList();
}

void ReviewPanel::showProgress() {
    if (!m_remover) return;
    m_progress->setValue(static_cast<int>(m_remover->progress() * kProgressRange));
    m_status->setText(m_stopping ? QStringLiteral("Stopping after the copy being removed…")
                                 : QStringLiteral("Removing: %1 of %2")
                                       .arg(countText(m_remover->removedCount()),
                                            copiesText(m_remover->itemsToRemoveCount())));
}

void ReviewPanel::finishRemoval() {
    const auto remover = std::move(m_remover);
    m_remover.reset();
    m_progressTimer->stop();

    // What stayed, and why, on its row.
    std::uint64_t notRemoved = 0;
    for (const auto& skipped : remover->skippedCopies()) {
        if (!skipped.item) continue;
        std::string why = std::string("Not removed: ") + RemovalCheck::describe(skipped.outcome.result);
        if (!skipped.outcome.detail.empty()) why += " (" + skipped.outcome.detail + ")";
        m_model->setErrorInfo(*skipped.item, why);
        ++notRemoved;
    }
    for (const auto& failure : remover->removeErrors()) {
        if (!failure.item()) continue;
        std::string why = "Not removed";
        if (failure.error() && !failure.error()->message.empty()) why += ": " + failure.error()->message;
        m_model->setErrorInfo(*failure.item(), why);
        ++notRemoved;
    }

    // The size cleaned since the scan, for the summary of the scan.
    DuplicatesManager& manager = DuplicatesManager::sharedManager();
    manager.setRemovedSize(manager.removedSize().value_or(0) + static_cast<std::int64_t>(remover->removedSize()));

    const std::uint64_t removed = remover->removedCount();
    if (removed > 0) {
        m_resultLines << QStringLiteral("%1 (%2) %3.")
                             .arg(copiesText(removed), sizeText(remover->removedSize()),
                                  (removed == 1 ? QStringLiteral("was ") : QStringLiteral("were ")) +
                                      (remover->removeToTrash() ? QStringLiteral("moved to the Trash")
                                                                : QStringLiteral("deleted permanently")));
    } else {
        m_resultLines << QStringLiteral("Nothing was removed.");
    }
    if (notRemoved > 0)
        m_resultLines << QStringLiteral("%1 %2 not removed: the marked rows say why.")
                             .arg(copiesText(notRemoved), notRemoved == 1 ? QStringLiteral("was")
                                                                          : QStringLiteral("were"));
    const std::uint64_t accounted = removed + notRemoved;
    if (m_stopping && accounted < remover->itemsToRemoveCount())
        m_resultLines << QStringLiteral("The removal was stopped; %1 left as they were.")
                             .arg(copiesText(remover->itemsToRemoveCount() - accounted));
    if (!remover->logFilePath().empty())
        m_resultLines << QStringLiteral("File > Removal History can put them back.");
    m_stopping = false;
    m_model->setCheckable(true);
    refresh();
    emit removalFinished();
}

QStringList ReviewPanel::resultLines() const {
    return m_resultLines;
}

// --- What the panel shows -------------------------------------------------------------------

void ReviewPanel::refresh() {
    const bool removing = isRemoving();
    refreshSummary();
    m_remove->setText(removing ? QStringLiteral("Stop") : QStringLiteral("Remove"));
    m_remove->setIcon(themeIcon(removing ? QStringLiteral("process-stop") : QStringLiteral("edit-delete")));
    const bool anySelected = m_container && m_container->getItemsCountInRemoveList() > 0;
    m_remove->setEnabled(removing ? !m_stopping : anySelected && !m_confirming);
    m_back->setEnabled(!removing);
    for (QAbstractButton* button : m_presentations->buttons()) button->setEnabled(!removing);
    m_toTrash->setEnabled(!removing);
    m_permanently->setEnabled(!removing);
    m_removeEmptyFolders->setEnabled(!removing);
    m_progress->setVisible(removing);
    m_status->setVisible(removing);
    if (removing) showProgress();
    m_result->setText(m_resultLines.join(QLatin1Char('\n')));
    m_result->setVisible(!m_resultLines.isEmpty());
    if (QAbstractButton* current = m_presentations->button(m_model->presentationType())) current->setChecked(true);
}

void ReviewPanel::refreshSummary() {
    if (!m_container) return m_summary->clear();
    const auto count = static_cast<std::uint64_t>(std::max<std::int64_t>(0, m_container->getItemsCountInRemoveList()));
    if (count == 0) {
        m_summary->setText(QStringLiteral("Nothing is selected for removal."));
        return;
    }
    m_summary->setText(QStringLiteral("%1 selected for removal (%2)")
                           .arg(copiesText(count), sizeText(static_cast<std::uint64_t>(std::max<std::int64_t>(
                                                       0, m_container->getRemoveListTotalSize())))));
}

void ReviewPanel::refreshSortButton() {
    const std::int32_t type = Settings::standard().selectedFilesSortType();
    m_sortButton->setText(QString::fromLatin1(SelectedItemsSortMenuDelegate::buttonTitle(type)));
    for (QAction* action : m_sortButton->menu()->actions())
        if (action->isCheckable()) action->setChecked(action->data().toInt() == type);
}

void ReviewPanel::refreshDestination() {
    const Settings settings = Settings::standard();
    (settings.moveCleanedDuplicatesToTheTrashCan() ? m_toTrash : m_permanently)->setChecked(true);
    m_removeEmptyFolders->setChecked(settings.removeEmptyFolders());
}

void ReviewPanel::closeEvent(QCloseEvent* event) {
    // A removal runs to its end (or its stop) with the review in sight.
    if (isRemoving() || m_confirming) return event->ignore();
    event->accept();
    emit closed();
}

}  // namespace kestrane::gui
