#pragma once

#include "duplicates/FileCategory.h"
#include "platform/NotificationCenter.h"
#include "selection/ListSelectionCommands.h"

#include <QList>
#include <QPointer>
#include <QWidget>

#include <memory>
#include <optional>
#include <string>

class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class QListView;
class QStackedWidget;
class QToolBar;
class QTreeView;
class QTableView;

namespace kestrane {
class DuplicatesContainer;
class DuplicatesGroup;
class DuplicatesHeap;
class QuestionAsker;
}  // namespace kestrane

namespace kestrane::gui {

class CategoriesModel;
class GroupsModel;
class MergeDialog;
class PairFilesModel;
class PreviewPane;
class SimilarFoldersModel;

// The results of a scan: the categories on the left; in the middle the
// groups of the chosen category with their copies (sorted by a click on a
// column, filtered by the search field), or the similar-folder pairs with
// the shared and unique files of the chosen pair; on the right the preview
// of the current copy. Copies are ticked for removal here.
class ResultsScreen final : public QWidget {
    Q_OBJECT

public:
    ResultsScreen(std::shared_ptr<QuestionAsker> asker, QWidget* parent = nullptr);
    ~ResultsScreen() override;

    // Shows a result (the duplicates manager's current one).
    void setContainer(std::shared_ptr<DuplicatesContainer> container);
    void showCategory(FileCategory category);
    void showSimilarFolders();
    // The path of the current copy or file (empty when none).
    std::string currentPath() const;
    void focusSearch();

    QToolBar* toolBar() const { return m_toolBar; }
    QListView* categoriesView() const { return m_categoriesView; }
    QTreeView* groupsView() const { return m_groupsView; }
    QTableView* pairsView() const { return m_pairsView; }
    QTreeView* pairSideView(int side) const { return m_pairViews[side]; }
    QLineEdit* searchField() const { return m_search; }
    PreviewPane* previewPane() const { return m_preview; }
    CategoriesModel* categoriesModel() const { return m_categories; }
    GroupsModel* groupsModel() const { return m_groups; }
    SimilarFoldersModel* similarFoldersModel() const { return m_similar; }
    PairFilesModel* pairFilesModel(int side) const { return m_pairFiles[side]; }
    QLabel* selectionSummary() const { return m_summary; }

    // The list commands, on every group the list shows (or, from a group's
    // context menu, on that group): select the newest or oldest copies,
    // auto select (with its message), deselect all.
    void selectNewest(std::shared_ptr<DuplicatesGroup> onlyGroup = nullptr);
    void selectOldest(std::shared_ptr<DuplicatesGroup> onlyGroup = nullptr);
    void autoSelect(std::shared_ptr<DuplicatesGroup> onlyGroup = nullptr);
    void deselectAll(std::shared_ptr<DuplicatesGroup> onlyGroup = nullptr);
    // The four commands as actions, for the toolbar and the menu.
    QList<QAction*> listCommands() const;
    // Ticks or unticks a folder of the similar pairs (the folder of this cell
    // of the pairs view) in every pair it is part of; the last copies are
    // confirmed first when every copy may go.
    void setFolderSelectedInAllPairs(const QModelIndex& cell, bool selected);

    // The similar-folder pair shown now, when the similar folders are shown.
    std::shared_ptr<DuplicatesHeap> currentPair() const;
    // Opens the merge window of the current pair (window-modal); nothing
    // happens without one.
    void openMerge();
    // The merge window, while it is open.
    MergeDialog* mergeDialog() const;

signals:
    // "Show Never Select List" was chosen in a message of auto-select.
    void neverSelectListRequested();
    // A group's context menu is about to open: commands on that group may be added.
    void groupContextMenuRequested(QMenu* menu, std::shared_ptr<kestrane::DuplicatesGroup> group);
    // A pair became current or stopped being current (whether a merge can open changed).
    void currentPairChanged();

private:
    void categoryChosen(int row);
    void currentCopyChanged();
    void pairChosen();
    void refreshSummary();
    void showGroupsContextMenu(const QPoint& position);
    void showPairsContextMenu(const QPoint& position);
    void sortByColumn(int column);
    // The commands' scope: the shown groups, or the one group of a context menu.
    ListSelectionCommands commandsFor(const std::shared_ptr<DuplicatesGroup>& onlyGroup) const;
    void refreshCommands();

    std::shared_ptr<QuestionAsker> m_asker;
    std::shared_ptr<DuplicatesContainer> m_container;
    std::optional<FileCategory> m_category;
    QAction* m_commands[4] = {};
    QToolBar* m_toolBar;
    QLineEdit* m_search;
    QListView* m_categoriesView;
    QStackedWidget* m_center;
    QTreeView* m_groupsView;
    QTableView* m_pairsView;
    QTreeView* m_pairViews[2];
    PreviewPane* m_preview;
    QLabel* m_summary;
    CategoriesModel* m_categories;
    GroupsModel* m_groups;
    SimilarFoldersModel* m_similar;
    PairFilesModel* m_pairFiles[2];
    std::string m_currentPath;
    QPointer<MergeDialog> m_merge;
    std::unique_ptr<platform::NotificationCenter::Observation> m_selectionObservation;
    std::unique_ptr<platform::NotificationCenter::Observation> m_dataObservation;
    std::unique_ptr<platform::NotificationCenter::Observation> m_openObservation;
    std::unique_ptr<platform::NotificationCenter::Observation> m_revealObservation;
    std::unique_ptr<platform::NotificationCenter::Observation> m_findObservation;
    std::unique_ptr<platform::NotificationCenter::Observation> m_sortObservation;
};

}  // namespace kestrane::gui
