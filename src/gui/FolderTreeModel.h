#pragma once

#include <QAbstractItemModel>

#include <memory>
#include <unordered_map>
#include <vector>

namespace kestrane {
class FSFolder;
}  // namespace kestrane

namespace kestrane::gui {

// The folder tree of selecting by folder, over the core's FSFolder nodes:
// per folder its duplicates (copies whose group has copies outside it), how
// many of them are selected (and their size), how many are kept, its other
// files, a checkbox that selects or deselects the folder's duplicates, and
// the keep star. Sub-folders are listed when a view first asks for them, in
// the tree's own order; the counters follow the selection when the tree
// tells its listeners (after each selection batch).
class FolderTreeModel final : public QAbstractItemModel {
    Q_OBJECT

public:
    enum Column { nameColumn, keepColumn, duplicatesColumn, selectedColumn, keptColumn, otherFilesColumn,
                  kColumnCount };
    enum Role { favoriteRole = Qt::UserRole + 1, pathRole };
    struct Node;

    explicit FolderTreeModel(QObject* parent = nullptr);
    ~FolderTreeModel() override;

    // Shows the sub-folders of the tree's invisible root (null: nothing).
    void setRoot(std::shared_ptr<FSFolder> root);
    std::shared_ptr<FSFolder> folderAt(const QModelIndex& index) const;
    // The row of a folder, listing the folders above it as needed.
    QModelIndex indexOfFolder(const FSFolder& folder) const;

    // The star: keeps the folder's files (its copies elsewhere get selected),
    // or stops keeping them.
    void setFavorite(const QModelIndex& index, bool favorite);
    // The checkbox, confirmed when the folder is itself a duplicate folder.
    void toggleFolder(const QModelIndex& index, bool confirmed);

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    bool hasChildren(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

signals:
    // The folder is a duplicate folder: selecting it removes it with its
    // files, which the person confirms first (then toggleFolder confirmed).
    void confirmationNeeded(const QModelIndex& index);

private:
    class Listener;
    Node& nodeOf(const QModelIndex& index) const;
    const std::vector<std::unique_ptr<Node>>& childrenOf(Node& node) const;
    QModelIndex indexOfNode(const Node& node, int column = 0) const;
    void folderChanged(const FSFolder* folder);
    void repaintColumn(int column);

    std::unique_ptr<Node> m_root;
    mutable std::unordered_map<const FSFolder*, Node*> m_nodes;
    std::shared_ptr<Listener> m_listener;
};

}  // namespace kestrane::gui
