#pragma once

#include "merge/MergeOperationOptions.h"

#include <QDialog>

#include <memory>

class QCheckBox;
class QComboBox;
class QDialogButtonBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QToolButton;
class QTreeWidget;
class QWidget;

namespace kestrane {
class DuplicatesContainer;
class DuplicatesHeap;
class MergeItem;
class MergeOperationData;
}  // namespace kestrane

namespace kestrane::gui {

// The merge of one similar-folder pair: which folder is completed from which
// (the direction), move or copy (the action), the options, the preview of
// what will happen and what stands in the way; then Merge, the progress with
// Stop, and the result lines with each file's outcome. The work runs on the
// core's queues; the window only listens. What the merge did is brought into
// the results by the core, so the lists behind the window follow at once.
//
// The action, the different-names option and whether the options are shown
// are remembered in the preferences file the command line reads too.
class MergeDialog final : public QDialog {
    Q_OBJECT

public:
    MergeDialog(std::shared_ptr<DuplicatesHeap> heap, std::shared_ptr<DuplicatesContainer> container,
                QWidget* parent = nullptr);
    ~MergeDialog() override;

    const std::shared_ptr<MergeOperationData>& merge() const { return m_merge; }
    bool isPerforming() const;

    QRadioButton* directionButton(MergeDirection direction) const;
    QRadioButton* actionButton(MergeAction action) const;
    QToolButton* optionsToggle() const { return m_optionsToggle; }
    QWidget* optionsArea() const { return m_options; }
    QCheckBox* differentNamesBox() const { return m_differentNames; }
    QCheckBox* removeSourceBox() const { return m_removeSource; }
    QComboBox* colorTagBox() const { return m_colorTag; }
    QLabel* messageLabel() const { return m_message; }
    QLabel* hintLabel() const { return m_hint; }
    QLabel* feasibilityLabel() const { return m_feasibility; }
    // The source's items under "Unique Files" and "Duplicate Files", with
    // what happens to each (then, once merged, what happened).
    QTreeWidget* itemsView() const { return m_items; }
    QProgressBar* progressBar() const { return m_progress; }
    QLabel* progressLabel() const { return m_progressText; }
    // The result lines, one a line, once the merge ended.
    QLabel* resultLabel() const { return m_result; }
    QPushButton* mergeButton() const { return m_mergeButton; }
    QPushButton* closeButton() const { return m_closeButton; }

    // Escape and Close: while the merge runs they stop it (the window stays
    // until the merge has ended), otherwise they close the window.
    void reject() override;

signals:
    // The merge has ended and its results are in the result model.
    void mergeEnded();

private:
    class Listener;

    void setDirection(MergeDirection direction);
    void setAction(MergeAction action);
    void setOptionsShown(bool shown);
    void optionsEdited();
    void startMerge();
    void refreshPlan();
    void refreshState();
    void showProgress(double done, double total, std::uint64_t filesDone, std::uint64_t filesTotal);
    void fillItems();
    QString planOf(const MergeItem& item) const;
    QString outcomeOf(const MergeItem& item) const;

    std::shared_ptr<MergeOperationData> m_merge;
    std::shared_ptr<Listener> m_listener;
    QRadioButton* m_directions[2];
    QRadioButton* m_actions[2];
    QToolButton* m_optionsToggle;
    QWidget* m_options;
    QCheckBox* m_differentNames;
    QCheckBox* m_removeSource;
    QComboBox* m_colorTag;
    QLabel* m_message;
    QLabel* m_hint;
    QLabel* m_feasibility;
    QTreeWidget* m_items;
    QProgressBar* m_progress;
    QLabel* m_progressText;
    QLabel* m_result;
    QDialogButtonBox* m_buttons;
    QPushButton* m_mergeButton;
    QPushButton* m_closeButton;
    bool m_stopping = false;
};

}  // namespace kestrane::gui
