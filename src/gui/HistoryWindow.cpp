#include "gui/HistoryWindow.h"

#include "gui/GuiText.h"
#include "gui/QtQuestionAsker.h"
#include "gui/RemovedItemsModel.h"
#include "log/BaseRemovedItem.h"
#include "log/RestoreComplexOperation.h"
#include "log/RestoreController.h"
#include "log/RestoreControllersContainer.h"
#include "log/RestoreKernelManager.h"
#include "log/RestoreResultDescriptor.h"
#include "log/VaqLogFactory.h"
#include "platform/UserFolders.h"

#include <QDateTime>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPointer>
#include <QPushButton>
#include <QSplitter>
#include <QTableView>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace kestrane::gui {

namespace {

constexpr int kRunRole = Qt::UserRole + 1;  // a row's index into the runs list

QString describe(const RestoreOutcome& outcome) {
    const QString to = toQString(outcome.destination);
    switch (outcome.method) {
        case RestoreMethod::movedFromTrash: return QStringLiteral("Restored from the Trash to %1").arg(to);
        case RestoreMethod::copiedFromTrash: return QStringLiteral("Copied from the Trash to %1").arg(to);
        case RestoreMethod::copiedFromKeptCopy: return QStringLiteral("Copied from the kept copy to %1").arg(to);
        case RestoreMethod::copiedFromRestoredCopy: return QStringLiteral("Copied from a restored copy to %1").arg(to);
        case RestoreMethod::copiedFromChosenFile: return QStringLiteral("Copied from the chosen file to %1").arg(to);
    }
    return to;
}

}  // namespace

// Hears the restore on the main queue and hands it to the window, while the
// window lives.
class HistoryWindow::OperationListener final : public RestoreComplexOperationDelegate {
public:
    explicit OperationListener(HistoryWindow* window) : m_window(window) {}
    void restoreOperationStarted(RestoreComplexOperation&) override {}
    void restoreOperationSuccessfullyRestore(RestoreComplexOperation&, const std::shared_ptr<BaseRemovedItem>& item,
                                             const RestoreOutcome& outcome) override {
        if (!m_window) return;
        ++m_window->m_succeeded;
        m_window->m_files->setOutcome(*item, describe(outcome));
    }
    void restoreOperationFailedToRestore(RestoreComplexOperation&, const std::shared_ptr<BaseRemovedItem>& item,
                                         const Error& error) override {
        if (!m_window) return;
        ++m_window->m_failed;
        m_window->m_files->setOutcome(*item, QStringLiteral("Not restored: %1").arg(toQString(error.message)));
    }
    void restoreOperationSkipped(RestoreComplexOperation&, const std::shared_ptr<BaseRemovedItem>& item,
                                 RestoreSkipReason reason) override {
        if (!m_window) return;
        m_window->m_files->setOutcome(*item, reason == RestoreSkipReason::alreadyRestored
                                                 ? QStringLiteral("Already restored")
                                                 : QStringLiteral("Nothing left to restore it from"));
    }
    void restoreOperationFinished(RestoreComplexOperation&) override {
        if (m_window) m_window->finishRestore();
    }

private:
    QPointer<HistoryWindow> m_window;
};

HistoryWindow::HistoryWindow(QWidget* parent, std::optional<std::string> folder)
    : QDialog(parent),
      m_folder(folder ? *folder : VaqLogFactory::logFolderPath()),
      m_history(std::make_unique<RestoreKernelManager>()) {
    setWindowTitle(QStringLiteral("Removal History"));
    setObjectName(QStringLiteral("HistoryWindow"));
    m_asker = std::make_shared<QtQuestionAsker>(this);
    m_listener = std::make_shared<OperationListener>(this);

    auto* layout = new QVBoxLayout(this);
    auto* splitter = new QSplitter(Qt::Horizontal, this);
    m_runs = new QTreeWidget(splitter);
    m_runs->setHeaderLabels({QStringLiteral("Removed"), QStringLiteral("Files")});
    m_runs->setAccessibleName(QStringLiteral("Removal runs"));
    m_runs->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    m_runs->header()->setStretchLastSection(false);
    m_filesView = new QTableView(splitter);
    m_files = new RemovedItemsModel(this);
    m_filesView->setModel(m_files);
    m_filesView->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_filesView->verticalHeader()->hide();
    m_filesView->setShowGrid(false);
    m_filesView->setAlternatingRowColors(true);
    m_filesView->setTextElideMode(Qt::ElideMiddle);
    m_filesView->verticalHeader()->setDefaultSectionSize(m_filesView->fontMetrics().height() + 8);
    m_filesView->horizontalHeader()->setSectionResizeMode(RemovedItemsModel::folderColumn, QHeaderView::Stretch);
    m_filesView->setAccessibleName(QStringLiteral("Removed files"));
    splitter->addWidget(m_runs);
    splitter->addWidget(m_filesView);
    splitter->setStretchFactor(1, 3);
    splitter->setSizes({260, 740});
    layout->addWidget(splitter, 1);

    m_result = new QLabel(this);
    m_result->setWordWrap(true);
    layout->addWidget(m_result);

    auto* buttons = new QHBoxLayout;
    m_selectAll = new QPushButton(QStringLiteral("Select All"), this);
    m_restoreTo = new QPushButton(QStringLiteral("Restore To…"), this);
    m_restoreTo->setToolTip(QStringLiteral("Copy the ticked files into a folder you choose"));
    m_restore = new QPushButton(themeIcon(QStringLiteral("edit-undo")), QStringLiteral("Restore"), this);
    m_restore->setToolTip(QStringLiteral("Put the ticked files back where they were"));
    m_restore->setDefault(true);
    auto* close = new QPushButton(QStringLiteral("Close"), this);
    buttons->addWidget(m_selectAll);
    buttons->addStretch();
    buttons->addWidget(m_restoreTo);
    buttons->addWidget(m_restore);
    buttons->addWidget(close);
    layout->addLayout(buttons);

    connect(close, &QPushButton::clicked, this, &QDialog::close);
    connect(m_selectAll, &QPushButton::clicked, this,
            [this] { m_files->selectAll(m_files->selectedItems().size() < m_files->items().size()); });
    connect(m_restore, &QPushButton::clicked, this, [this] { restoreSelected(std::nullopt); });
    connect(m_restoreTo, &QPushButton::clicked, this, [this] {
        const QString folder = QFileDialog::getExistingDirectory(this, QStringLiteral("Restore Into"),
                                                                 toQString(platform::homeFolder()));
        if (!folder.isEmpty()) restoreSelected(toStdString(folder));
    });
    connect(m_runs, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* row) { showRun(row); });
    connect(m_files, &RemovedItemsModel::selectionChanged, this, &HistoryWindow::refreshButtons);
    resize(1000, 560);
    reload();
}

HistoryWindow::~HistoryWindow() {
    if (m_operation) m_operation->stop();
}

void HistoryWindow::reload() {
    m_runs->clear();
    m_files->setItems({});
    m_history = std::make_unique<RestoreKernelManager>();
    m_history->loadFromFolder(m_folder);
    QTreeWidgetItem* first = nullptr;
    for (const auto& day : m_history->restoreControllers()) {
        auto* dayRow = new QTreeWidgetItem(m_runs);
        dayRow->setText(0, QLocale().toString(QDateTime::fromSecsSinceEpoch(day->noonOfTheDay()).date(),
                                              QLocale::LongFormat));
        QFont bold = dayRow->font(0);
        bold.setBold(true);
        dayRow->setFont(0, bold);
        std::size_t total = 0;
        for (const auto& log : day->controllers()) {
            // The lists are short: the logs are read as they are listed.
            log->loadNow();
            if (log->children().empty()) continue;
            auto* runRow = new QTreeWidgetItem(dayRow);
            runRow->setText(0, QLocale().toString(QDateTime::fromSecsSinceEpoch(log->date()).time(),
                                                  QLocale::ShortFormat));
            runRow->setText(1, QString::number(log->children().size()));
            runRow->setData(0, kRunRole, toQString(log->path()));
            total += log->children().size();
            if (!first) first = runRow;
        }
        dayRow->setText(1, QString::number(total));
        if (dayRow->childCount() == 0) delete dayRow;
    }
    m_runs->expandAll();
    if (first) m_runs->setCurrentItem(first);
    if (!first) m_result->setText(QStringLiteral("Nothing has been removed yet."));
    refreshButtons();
}

void HistoryWindow::showRun(QTreeWidgetItem* row) {
    std::vector<std::shared_ptr<BaseRemovedItem>> items;
    if (row) {
        // A day shows the files of all its runs.
        std::vector<QTreeWidgetItem*> runs;
        if (row->childCount() > 0)
            for (int i = 0; i < row->childCount(); ++i) runs.push_back(row->child(i));
        else
            runs.push_back(row);
        for (QTreeWidgetItem* run : runs) {
            const std::string path = toStdString(run->data(0, kRunRole).toString());
            for (const auto& day : m_history->restoreControllers())
                for (const auto& log : day->controllers())
                    if (log->path() == path)
                        for (const auto& item : log->children()) items.push_back(item);
        }
    }
    m_files->setItems(std::move(items));
    m_filesView->resizeColumnToContents(RemovedItemsModel::nameColumn);
    refreshButtons();
}

void HistoryWindow::refreshButtons() {
    const bool any = !m_files->selectedItems().empty();
    m_restore->setEnabled(any && !m_operation);
    m_restoreTo->setEnabled(any && !m_operation);
    m_selectAll->setEnabled(!m_files->items().empty() && !m_operation);
    m_selectAll->setText(!m_files->items().empty() && m_files->selectedItems().size() == m_files->items().size()
                             ? QStringLiteral("Select None")
                             : QStringLiteral("Select All"));
}

void HistoryWindow::restoreSelected(std::optional<std::string> folder) {
    if (m_operation) return;
    const auto items = m_files->selectedItems();
    if (items.empty()) return;
    if (auto message = RestoreComplexOperation::messageWhenNothingCanBeRestored(items, folder.has_value())) {
        m_asker->ask(*message, [](Answer) {});
        return;
    }
    m_succeeded = 0;
    m_failed = 0;
    m_result->setText(QStringLiteral("Restoring %1 files…").arg(items.size()));
    m_operation = RestoreComplexOperation::create(items, std::move(folder), m_asker);
    m_operation->setDelegate(m_listener);
    refreshButtons();
    m_operation->start();
}

void HistoryWindow::finishRestore() {
    RestoreResultDescriptor result(static_cast<std::int64_t>(m_operation ? m_operation->totalCountOfOperations() : 0),
                                   0);
    for (std::int64_t i = 0; i < m_succeeded; ++i) result.itemHasSuccessfullyRestored();
    for (std::int64_t i = 0; i < m_failed; ++i) result.itemHasFailedToRestore();
    m_operation.reset();
    const QString summary = toQString(result.resultDescription());
    m_result->setText(summary.isEmpty() ? QStringLiteral("Nothing was restored.") : summary);
    for (const auto& item : m_files->items()) item->setIsSelected(false);
    m_files->refresh();
    refreshButtons();
    emit restoreFinished(summary);
}

}  // namespace kestrane::gui
