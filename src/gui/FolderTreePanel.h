#pragma once

#include "platform/NotificationCenter.h"

#include <QWidget>

#include <memory>
#include <vector>

class QLabel;
class QPushButton;
class QTreeView;
class QTreeWidget;

namespace kestrane {
class DuplicatesContainer;
class FSFolder;
class QuestionAsker;
}  // namespace kestrane

namespace kestrane::gui {

class FolderTreeModel;

// Selecting by folder, over the results: the tree of the scanned folders
// with their counters, the checkbox that selects a folder's duplicates and
// the star that keeps its files; beside it the content of the current
// folder ("Duplicate Files": each group with its copies here and elsewhere;
// "Other Files"). The tree opens on the folder with the most duplicates.
class FolderTreePanel final : public QWidget {
    Q_OBJECT

public:
    explicit FolderTreePanel(std::shared_ptr<QuestionAsker> asker, QWidget* parent = nullptr);
    ~FolderTreePanel() override;

    // Builds the tree of the result again (in the background) and shows it.
    void open(std::shared_ptr<DuplicatesContainer> container);
    // The tree is built and its counters are counted.
    bool isReady() const { return m_ready; }

    FolderTreeModel* model() const { return m_model; }
    QTreeView* view() const { return m_view; }
    QTreeWidget* contentView() const { return m_content; }
    QPushButton* backButton() const { return m_back; }

signals:
    // The person is done with the tree (Back, Escape, or closing it).
    void closed();
    // The tree is shown, opened on the folder with the most duplicates.
    void ready();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    class RootListener;
    void showTree(std::uint64_t generation);
    void showContent();
    void askAboutDuplicateFolder(const QModelIndex& index);

    std::shared_ptr<QuestionAsker> m_asker;
    std::shared_ptr<RootListener> m_rootListener;
    std::uint64_t m_generation = 0;
    bool m_ready = false;
    FolderTreeModel* m_model;
    QTreeView* m_view;
    QTreeWidget* m_content;
    QLabel* m_hint;
    QPushButton* m_back;
    std::unique_ptr<platform::NotificationCenter::Observation> m_selectionObservation;
};

}  // namespace kestrane::gui
