#pragma once

#include <QDialog>

#include <memory>
#include <optional>
#include <string>
#include <vector>

class QLabel;
class QPushButton;
class QTableView;
class QTreeWidget;
class QTreeWidgetItem;

namespace kestrane {
class BaseRemovedItem;
class RestoreComplexOperation;
class RestoreController;
class RestoreKernelManager;
}  // namespace kestrane

namespace kestrane::gui {

class QtQuestionAsker;
class RemovedItemsModel;

// The removal history: every removal run by day (newest first), the files
// a run removed with where each stands, and restoring the ticked files to
// their original places or into a chosen folder, with the outcome of every
// file and the summary ("2 files were restored successfully.").
class HistoryWindow final : public QDialog {
    Q_OBJECT

public:
    // The history of the logs in `folder` (the removal logs' folder unless told).
    explicit HistoryWindow(QWidget* parent = nullptr, std::optional<std::string> folder = std::nullopt);
    ~HistoryWindow() override;

    // Lists the days and runs again.
    void reload();
    // Restores the ticked files; to the original places without a folder.
    void restoreSelected(std::optional<std::string> folder);
    bool isRestoring() const { return m_operation != nullptr; }

    QTreeWidget* runsView() const { return m_runs; }
    QTableView* filesView() const { return m_filesView; }
    RemovedItemsModel* filesModel() const { return m_files; }
    QLabel* resultLabel() const { return m_result; }
    QPushButton* restoreButton() const { return m_restore; }
    QtQuestionAsker& questions() const { return *m_asker; }
    // Shows the files of the run (or the day) of this row of the runs view.
    void showRun(QTreeWidgetItem* row);

signals:
    void restoreFinished(const QString& summary);

private:
    class OperationListener;
    void refreshButtons();
    void finishRestore();

    std::string m_folder;
    std::unique_ptr<RestoreKernelManager> m_history;
    std::shared_ptr<QtQuestionAsker> m_asker;
    std::shared_ptr<OperationListener> m_listener;
    std::shared_ptr<RestoreComplexOperation> m_operation;
    std::int64_t m_succeeded = 0;
    std::int64_t m_failed = 0;
    QTreeWidget* m_runs;
    QTableView* m_filesView;
    RemovedItemsModel* m_files;
    QLabel* m_result;
    QPushButton* m_selectAll;
    QPushButton* m_restore;
    QPushButton* m_restoreTo;
};

}  // namespace kestrane::gui
