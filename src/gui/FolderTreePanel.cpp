#include "gui/FolderTreePanel.h"

#include "app/AppEvents.h"
#include "duplicates/DuplicateItem.h"
#include "duplicates/DuplicatesContainer.h"
#include "folders/FSFolder.h"
#include "folders/FSFolderDescription.h"
#include "folders/FSFolderManager.h"
#include "gui/FolderTreeModel.h"
#include "gui/GuiText.h"
#include "platform/Question.h"
#include "scan/FileSystemItem.h"
#include "scan/FolderSystemItem.h"
#include "selection/FolderSelection.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QShortcut>
#include <QSplitter>
#include <QTreeView>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace kestrane::gui {

namespace {

// A folder with more files than this shows the first ones and a count of the rest.
constexpr std::size_t kMaxContentRows = 2000;

QTreeWidgetItem* header(QTreeWidget* view, const char* title, const std::string& description) {
    auto* item = new QTreeWidgetItem(view, QStringList{QString::fromLatin1(title)});
    QFont font = item->font(0);
    font.setBold(true);
    item->setFont(0, font);
    item->setFirstColumnSpanned(true);
    if (!description.empty()) {
        auto* line = new QTreeWidgetItem(item, QStringList{toQString(description)});
        line->setFirstColumnSpanned(true);
        line->setFlags(Qt::ItemIsEnabled);
    }
    return item;
}

void addCopy(QTreeWidgetItem* parent, const DuplicateItem& copy, const QString& where) {
    auto* row = new QTreeWidgetItem(parent, QStringList{toQString(copy.getName()),
                                                        toQString(copy.getParentFolderItemPath()), where,
                                                        copy.isSelected() ? QStringLiteral("Selected for removal")
                                                                          : QString()});
    row->setToolTip(0, toQString(copy.getFileItemPath()));
}

}  // namespace

// Hears the first count of a freshly built tree.
class FolderTreePanel::RootListener final : public FSFolderListener {
public:
    RootListener(FolderTreePanel* panel, std::uint64_t generation) : m_panel(panel), m_generation(generation) {}
    void forgetPanel() { m_panel = nullptr; }
    void onFSFolderChanged(const std::shared_ptr<FSFolder>&) override {
        if (m_panel) m_panel->showTree(m_generation);
    }

private:
    FolderTreePanel* m_panel;
    std::uint64_t m_generation;
};

FolderTreePanel::FolderTreePanel(std::shared_ptr<QuestionAsker> asker, QWidget* parent)
    : QWidget(parent), m_asker(std::move(asker)) {
    setObjectName(QStringLiteral("folderTreePanel"));
    auto* layout = new QVBoxLayout(this);
    auto* title = new QLabel(QStringLiteral("Select in Folder"), this);
    QFont titleFont = title->font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.3);
    titleFont.setBold(true);
    title->setFont(titleFont);
    layout->addWidget(title);
    m_hint = new QLabel(QStringLiteral("Tick a folder to select its duplicates; star a folder to keep its files and "
                                       "select their copies elsewhere."),
                        this);
    m_hint->setWordWrap(true);
    layout->addWidget(m_hint);

    auto* splitter = new QSplitter(this);
    m_model = new FolderTreeModel(this);
    m_view = new QTreeView(splitter);
    m_view->setModel(m_model);
    m_view->setUniformRowHeights(true);
    m_view->setAlternatingRowColors(true);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setSelectionMode(QAbstractItemView::SingleSelection);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->setAccessibleName(QStringLiteral("Folders"));
    m_view->header()->setStretchLastSection(false);
    m_view->header()->setSectionResizeMode(FolderTreeModel::nameColumn, QHeaderView::Stretch);
    m_view->header()->setSectionResizeMode(FolderTreeModel::keepColumn, QHeaderView::ResizeToContents);
    for (int column = FolderTreeModel::duplicatesColumn; column < FolderTreeModel::kColumnCount; ++column)
        m_view->header()->resizeSection(column, 90);
    m_view->header()->resizeSection(FolderTreeModel::selectedColumn, 130);
    m_content = new QTreeWidget(splitter);
    m_content->setColumnCount(4);
    m_content->setHeaderLabels({QStringLiteral("Name"), QStringLiteral("Folder"), QStringLiteral("Where"),
                                QStringLiteral("State")});
    m_content->setAccessibleName(QStringLiteral("Content of the folder"));
    m_content->setUniformRowHeights(true);
    m_content->setTextElideMode(Qt::ElideMiddle);
    m_content->header()->setStretchLastSection(false);
    m_content->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_content->header()->setSectionResizeMode(1, QHeaderView::Stretch);
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 2);
    layout->addWidget(splitter, 1);

    auto* buttons = new QHBoxLayout;
    m_back = new QPushButton(themeIcon(QStringLiteral("go-previous")), QStringLiteral("Back to Results"), this);
    buttons->addWidget(m_back);
    buttons->addStretch();
    layout->addLayout(buttons);
    connect(m_back, &QPushButton::clicked, this, &QWidget::close);
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this, this, &QWidget::close);
    escape->setContext(Qt::WidgetWithChildrenShortcut);

    // The star is a click on its column (Space on the name ticks the folder).
    connect(m_view, &QTreeView::clicked, this, [this](const QModelIndex& index) {
        if (index.column() == FolderTreeModel::keepColumn)
            m_model->setFavorite(index, !m_model->data(index, FolderTreeModel::favoriteRole).toBool());
    });
    connect(m_model, &FolderTreeModel::confirmationNeeded, this, &FolderTreePanel::askAboutDuplicateFolder);
    connect(m_view->selectionModel(), &QItemSelectionModel::currentRowChanged, this, &FolderTreePanel::showContent);
    // The content shows which copies are selected; the model is reset when a tree is shown.
    connect(m_model, &QAbstractItemModel::modelReset, this, &FolderTreePanel::showContent);
    m_selectionObservation = platform::NotificationCenter::defaultCenter().addObserver(
        AppEvents::kDuplicateItemSelectionChanged, [this](const platform::Notification&) {
            if (isVisible()) showContent();
        });
}

FolderTreePanel::~FolderTreePanel() {
    if (m_rootListener) m_rootListener->forgetPanel();
}

void FolderTreePanel::open(std::shared_ptr<DuplicatesContainer> container) {
    const std::uint64_t generation = ++m_generation;
    m_ready = false;
    m_model->setRoot(nullptr);
    if (m_rootListener) m_rootListener->forgetPanel();
    m_rootListener = std::make_shared<RootListener>(this, generation);
    if (!container) return;
    QPointer<FolderTreePanel> self(this);
    FSFolderManager::sharedInstance().rebuildRootItems(std::move(container), [self, generation] {
        if (!self || generation != self->m_generation) return;
        // The first count follows the handover; the root says when it is done.
        if (const auto& root = FSFolderManager::sharedInstance().rootItem()) root->addListener(self->m_rootListener);
    });
}

void FolderTreePanel::showTree(std::uint64_t generation) {
    if (generation != m_generation || m_ready) return;
    const auto root = FSFolderManager::sharedInstance().rootItem();
    if (!root) return;
    m_ready = true;
    root->removeListener(m_rootListener.get());
    m_model->setRoot(root);
    const std::shared_ptr<FSFolder> best = root->findSubFolderWithMaxCountOfDuplicates();
    const QModelIndex index = best ? m_model->indexOfFolder(*best) : QModelIndex();
    if (index.isValid()) {
        for (QModelIndex above = index.parent(); above.isValid(); above = above.parent()) m_view->expand(above);
        m_view->setCurrentIndex(index);
        m_view->scrollTo(index);
    } else if (m_model->rowCount() > 0) {
        m_view->setCurrentIndex(m_model->index(0, 0));
    }
    m_view->setFocus();
    emit ready();
}

void FolderTreePanel::showContent() {
    m_content->clear();
    const auto folder = m_model->folderAt(m_view->currentIndex());
    if (!folder || !folder->folderItem()) return;
    const FSFolderDescription description(folder->folderItem());
    std::size_t rows = 0;
    QTreeWidgetItem* duplicates =
        header(m_content, FSFolderDescription::kDuplicateFilesTitle, description.duplicateFilesDescription());
    // By name, then by size, so that a folder shows the same way every time.
    std::vector<const FSFolderDuplicates*> groups;
    groups.reserve(description.duplicates().size());
    for (const auto& group : description.duplicates())
        if (!group.internalItems.empty()) groups.push_back(&group);
    std::sort(groups.begin(), groups.end(), [](const FSFolderDuplicates* a, const FSFolderDuplicates* b) {
        const DuplicateItem& x = *a->internalItems.front();
        const DuplicateItem& y = *b->internalItems.front();
        const std::string xName = x.getName(), yName = y.getName();
        return xName != yName ? xName < yName : x.getFileItemSize() > y.getFileItemSize();
    });
    for (const FSFolderDuplicates* found : groups) {
        const FSFolderDuplicates& group = *found;
        const auto& first = *group.internalItems.front();
        auto* block = new QTreeWidgetItem(
            duplicates, QStringList{toQString(first.getName()), QString(),
                                    QStringLiteral("%1 here, %2 elsewhere")
                                        .arg(countText(group.internalItems.size()),
                                             countText(group.externalItems.size())),
                                    sizeText(first.getFileItemSize())});
        for (const auto& copy : group.internalItems) addCopy(block, *copy, QStringLiteral("Here"));
        for (const auto& copy : group.externalItems) addCopy(block, *copy, QStringLiteral("Elsewhere"));
        if (++rows >= kMaxContentRows) break;
    }
    if (groups.size() > rows)
        new QTreeWidgetItem(duplicates,
                            QStringList{QStringLiteral("… and %1 more groups").arg(countText(groups.size() - rows))});
    QTreeWidgetItem* others =
        header(m_content, FSFolderDescription::kOtherFilesTitle, description.otherFilesDescription());
    rows = 0;
    for (const FileSystemItem* file : description.otherFiles()) {
        auto* row = new QTreeWidgetItem(others, QStringList{toQString(file->name())});
        row->setToolTip(0, toQString(file->path()));
        if (++rows >= kMaxContentRows) break;
    }
    if (description.otherFiles().size() > rows)
        new QTreeWidgetItem(others, QStringList{QStringLiteral("… and %1 more files")
                                                    .arg(countText(description.otherFiles().size() - rows))});
    duplicates->setExpanded(true);
    others->setExpanded(true);
    for (int row = 0; row < duplicates->childCount() && row < 20; ++row) duplicates->child(row)->setExpanded(true);
    m_content->resizeColumnToContents(0);
}

void FolderTreePanel::askAboutDuplicateFolder(const QModelIndex& index) {
    const auto folder = m_model->folderAt(index);
    if (!folder || !folder->folderItem()) return;
    const Question question = FolderSelection::duplicateFolderQuestion(*folder->folderItem());
    const QPersistentModelIndex row(index);
    QPointer<FolderTreePanel> self(this);
    m_asker->ask(question, [self, row, yes = question.yesButton](Answer answer) {
        if (!self || !row.isValid() || answer.button != yes) return;
        self->m_model->toggleFolder(row, true);
    });
}

void FolderTreePanel::closeEvent(QCloseEvent* event) {
    event->accept();
    emit closed();
}

}  // namespace kestrane::gui
