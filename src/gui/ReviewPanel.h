#pragma once

#include "platform/NotificationCenter.h"

#include <QWidget>

#include <cstdint>
#include <memory>
#include <vector>

class QAbstractButton;
class QButtonGroup;
class QCheckBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTimer;
class QToolButton;
class QTreeView;

namespace kestrane {
class DuplicateItemsRemover;
class DuplicatesContainer;
class QuestionAsker;
}  // namespace kestrane

namespace kestrane::gui {

class ReviewModel;

// The review over the results: the copies selected for removal as a file
// tree, by folder or as a list, in the review's eight orders, with where
// they go (the Trash or gone for good) and the Remove button. Remove asks
// first when the copies are to be deleted permanently, then runs the
// removal session: progress, the questions of the error groups (through
// the window's asker), removed copies leaving the review as they go, and
// at the end the result, with each copy that stayed marked with why.
// While the removal runs the button stops it, and nothing else changes.
class ReviewPanel final : public QWidget {
    Q_OBJECT

public:
    explicit ReviewPanel(std::shared_ptr<QuestionAsker> asker, QWidget* parent = nullptr);
    ~ReviewPanel() override;

    // Builds the review of the result's removal list, in the stored
    // presentation and order; forgets the last removal's result.
    void open(std::shared_ptr<DuplicatesContainer> container);
    // Removes the selected copies, or, while a removal runs, stops it.
    void removeOrStop();
    bool isRemoving() const { return m_remover != nullptr; }
    // What the last removal did, line by line (empty before one ran).
    QStringList resultLines() const;

    // The presentation (SelectedItemsPresenter's types), stored for next time.
    void setPresentationType(std::int32_t type);
    // The order (1 to 8), stored; the change is announced to whoever shows the review.
    void setSortType(std::int32_t type);

    ReviewModel* model() const { return m_model; }
    QTreeView* view() const { return m_view; }
    QToolButton* sortButton() const { return m_sortButton; }
    QAbstractButton* presentationButton(std::int32_t type) const;
    QPushButton* removeButton() const { return m_remove; }
    QPushButton* backButton() const { return m_back; }
    QLabel* summaryLabel() const { return m_summary; }
    QLabel* resultLabel() const { return m_result; }
    QProgressBar* progressBar() const { return m_progress; }
    QRadioButton* toTrashButton() const { return m_toTrash; }
    QRadioButton* permanentlyButton() const { return m_permanently; }

signals:
    // The person is done with the review (Back, Escape, or closing it).
    void closed();
    // A removal session starts (after the confirmation, when one is asked).
    void removalStarted();
    // A removal session ended; the result model has followed it.
    void removalFinished();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    class RemovalListener;
    void startRemoval();
    void finishRemoval();
    void refresh();
    void refreshSummary();
    void refreshSortButton();
    void refreshDestination();
    void showProgress();
    void expandIfSmall();

    std::shared_ptr<QuestionAsker> m_asker;
    std::shared_ptr<DuplicatesContainer> m_container;
    std::shared_ptr<RemovalListener> m_listener;
    std::shared_ptr<DuplicateItemsRemover> m_remover;
    bool m_confirming = false;
    bool m_stopping = false;
    QStringList m_resultLines;
    ReviewModel* m_model;
    QTreeView* m_view;
    QLabel* m_summary;
    QButtonGroup* m_presentations;
    QToolButton* m_sortButton;
    QRadioButton* m_toTrash;
    QRadioButton* m_permanently;
    QCheckBox* m_removeEmptyFolders;
    QProgressBar* m_progress;
    QLabel* m_status;
    QLabel* m_result;
    QPushButton* m_back;
    QPushButton* m_remove;
    QTimer* m_progressTimer;
    std::vector<std::unique_ptr<platform::NotificationCenter::Observation>> m_observations;
};

}  // namespace kestrane::gui
