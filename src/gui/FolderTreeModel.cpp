#include "gui/FolderTreeModel.h"

#include "folders/FSFolder.h"
#include "gui/GuiText.h"
#include "scan/FolderSystemItem.h"
#include "selection/FolderSelection.h"

namespace kestrane::gui {

struct FolderTreeModel::Node {
    std::shared_ptr<FSFolder> folder;
    Node* parent = nullptr;
    int row = 0;
    bool listed = false;
    std::vector<std::unique_ptr<Node>> children;
};

// Told by the tree when a folder's counters were brought up to date.
class FolderTreeModel::Listener final : public FSFolderListener {
public:
    explicit Listener(FolderTreeModel* model) : m_model(model) {}
    void forgetModel() { m_model = nullptr; }
    void onFSFolderChanged(const std::shared_ptr<FSFolder>& folder) override {
        if (m_model) m_model->folderChanged(folder.get());
    }

private:
    FolderTreeModel* m_model;
};

FolderTreeModel::FolderTreeModel(QObject* parent)
    : QAbstractItemModel(parent), m_root(std::make_unique<Node>()), m_listener(std::make_shared<Listener>(this)) {}

FolderTreeModel::~FolderTreeModel() {
    m_listener->forgetModel();
}

void FolderTreeModel::setRoot(std::shared_ptr<FSFolder> root) {
    beginResetModel();
    m_nodes.clear();
    m_root = std::make_unique<Node>();
    m_root->folder = std::move(root);
    if (!m_root->folder) m_root->listed = true;
    endResetModel();
}

// --- The tree ---------------------------------------------------------------------------

const std::vector<std::unique_ptr<FolderTreeModel::Node>>& FolderTreeModel::childrenOf(Node& node) const {
    if (node.listed) return node.children;
    node.listed = true;
    const auto folders = node.folder->subFoldersInViewOrder();
    node.children.reserve(folders.size());
    for (const auto& folder : folders) {
        auto child = std::make_unique<Node>();
        child->folder = folder;
        child->parent = &node;
        child->row = static_cast<int>(node.children.size());
        // Only the folders a view has seen are listened to.
        folder->addListener(m_listener);
        m_nodes[folder.get()] = child.get();
        node.children.push_back(std::move(child));
    }
    return node.children;
}

FolderTreeModel::Node& FolderTreeModel::nodeOf(const QModelIndex& index) const {
    return index.isValid() ? *static_cast<Node*>(index.internalPointer()) : *m_root;
}

QModelIndex FolderTreeModel::indexOfNode(const Node& node, int column) const {
    if (&node == m_root.get()) return {};
    return createIndex(node.row, column, const_cast<Node*>(&node));
}

std::shared_ptr<FSFolder> FolderTreeModel::folderAt(const QModelIndex& index) const {
    return index.isValid() ? nodeOf(index).folder : nullptr;
}

QModelIndex FolderTreeModel::indexOfFolder(const FSFolder& folder) const {
    if (const auto found = m_nodes.find(&folder); found != m_nodes.end()) return indexOfNode(*found->second);
    // List the folders above it, from the top down.
    std::vector<const FSFolder*> path;
    for (auto above = folder.parentFolderItem(); above && above != m_root->folder; above = above->parentFolderItem())
        path.push_back(above.get());
    Node* node = m_root.get();
    if (!node->folder) return {};
    for (auto it = path.rbegin(); it != path.rend(); ++it) {
        childrenOf(*node);
        const auto found = m_nodes.find(*it);
        if (found == m_nodes.end()) return {};
        node = found->second;
    }
    childrenOf(*node);
    const auto found = m_nodes.find(&folder);
    return found == m_nodes.end() ? QModelIndex() : indexOfNode(*found->second);
}

void FolderTreeModel::folderChanged(const FSFolder* folder) {
    const auto found = m_nodes.find(folder);
    if (found == m_nodes.end()) return;
    emit dataChanged(indexOfNode(*found->second, 0), indexOfNode(*found->second, kColumnCount - 1));
}

void FolderTreeModel::repaintColumn(int column) {
    const int rows = rowCount();
    if (rows == 0) return;
    // One range over the top level: views repaint what they show, deeper rows included.
    emit dataChanged(index(0, column), index(rows - 1, column));
}

// --- The person's changes --------------------------------------------------------------------

void FolderTreeModel::setFavorite(const QModelIndex& index, bool favorite) {
    const auto folder = folderAt(index);
    if (!folder || folder->isFavorite() == favorite) return;
    FolderSelection::setIsFavoriteFolder(*folder, favorite);
    // The marks of the sub-folders and of the folders above change too.
    repaintColumn(keepColumn);
}

void FolderTreeModel::toggleFolder(const QModelIndex& index, bool confirmed) {
    const auto folder = folderAt(index);
    if (!folder || !folder->isCanChangeDuplicatesSelection()) return;
    const bool wasFavorite = folder->isFavorite();
    if (FolderSelection::toggleFolder(*folder, confirmed) == FolderSelection::ToggleOutcome::confirmationNeeded) {
        emit confirmationNeeded(index);
        return;
    }
    if (wasFavorite) repaintColumn(keepColumn);
}

// --- QAbstractItemModel ------------------------------------------------------------------------

QModelIndex FolderTreeModel::index(int row, int column, const QModelIndex& parent) const {
    if (row < 0 || column < 0 || column >= kColumnCount) return {};
    if (parent.isValid() && parent.column() != 0) return {};
    Node& node = nodeOf(parent);
    if (!node.folder) return {};
    const auto& children = childrenOf(node);
    if (static_cast<std::size_t>(row) >= children.size()) return {};
    return createIndex(row, column, children[static_cast<std::size_t>(row)].get());
}

QModelIndex FolderTreeModel::parent(const QModelIndex& child) const {
    if (!child.isValid()) return {};
    const Node* parent = nodeOf(child).parent;
    return parent ? indexOfNode(*parent) : QModelIndex();
}

int FolderTreeModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid() && parent.column() != 0) return 0;
    Node& node = nodeOf(parent);
    return node.folder ? static_cast<int>(childrenOf(node).size()) : 0;
}

int FolderTreeModel::columnCount(const QModelIndex&) const {
    return kColumnCount;
}

bool FolderTreeModel::hasChildren(const QModelIndex& parent) const {
    if (parent.isValid() && parent.column() != 0) return false;
    const Node& node = nodeOf(parent);
    return node.folder && !node.folder->isLeaf();
}

QVariant FolderTreeModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    const FSFolder& folder = *nodeOf(index).folder;
    const FSComplexFolderData& info = folder.info();
    const FolderSystemItem* item = folder.folderItem();
    switch (role) {
        case Qt::DisplayRole:
            switch (index.column()) {
                case nameColumn: return toQString(folder.displayName());
                // A star drawn by the font: the same in every icon theme.
                case keepColumn: return folder.isFavorite() ? QStringLiteral("\u2605") : QStringLiteral("\u2606");
                case duplicatesColumn: return countText(static_cast<std::uint64_t>(info.countOfDuplicates));
                case selectedColumn:
                    if (info.countOfSelectedDuplicates <= 0) return QStringLiteral("0");
                    return QStringLiteral("%1 (%2)").arg(
                        countText(static_cast<std::uint64_t>(info.countOfSelectedDuplicates)),
                        sizeText(static_cast<std::uint64_t>(info.sizeOfSelectedDuplicates)));
                case keptColumn:
                    return countText(static_cast<std::uint64_t>(
                        std::max<std::int64_t>(0, info.countOfDuplicates - info.countOfSelectedDuplicates)));
                case otherFilesColumn: return countText(static_cast<std::uint64_t>(info.countOfUniqueFiles));
                default: return {};
            }
        case Qt::CheckStateRole:
            if (index.column() != nameColumn || info.countOfDuplicates < 1) return {};
            switch (folder.duplicatesSelectionState()) {
                case 0: return Qt::Unchecked;
                case 1: return Qt::Checked;
                default: return Qt::PartiallyChecked;
            }
        case Qt::DecorationRole:
            if (index.column() == nameColumn)
                return folder.isDuplicateFolder() ? themeIcon(QStringLiteral("folder-copy"), themeIcon(QStringLiteral("folder")))
                                                  : themeIcon(QStringLiteral("folder"));
            return {};
        case Qt::ToolTipRole:
            if (index.column() == keepColumn)
                return QString::fromLatin1(folder.isFavorite() ? FolderSelection::kDeselectExternalHint
                                                               : FolderSelection::kKeepFilesHint);
            return item ? toQString(item->path()) : QVariant();
        case Qt::AccessibleTextRole:
            if (index.column() == keepColumn)
                return folder.isFavorite() ? QStringLiteral("Kept") : QStringLiteral("Not kept");
            return {};
        case Qt::TextAlignmentRole:
            if (index.column() == keepColumn) return int(Qt::AlignCenter);
            if (index.column() >= duplicatesColumn) return int(Qt::AlignRight | Qt::AlignVCenter);
            return {};
        case favoriteRole: return folder.isFavorite();
        case pathRole: return item ? toQString(item->path()) : QVariant();
        default: return {};
    }
}

bool FolderTreeModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid()) return false;
    if (role == Qt::CheckStateRole && index.column() == nameColumn) {
        toggleFolder(index, false);
        return true;  // the counters follow when the tree tells
    }
    if (role == favoriteRole) {
        setFavorite(index, value.toBool());
        return true;
    }
    return false;
}

Qt::ItemFlags FolderTreeModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (index.column() == nameColumn && folderAt(index)->isCanChangeDuplicatesSelection())
        flags |= Qt::ItemIsUserCheckable;
    return flags;
}

QVariant FolderTreeModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal) return {};
    if (role == Qt::ToolTipRole && section == keepColumn) return QString::fromLatin1(FolderSelection::kKeepFilesHint);
    if (role != Qt::DisplayRole) return {};
    switch (section) {
        case nameColumn: return QStringLiteral("Folder");
        case keepColumn: return QStringLiteral("Keep");
        case duplicatesColumn: return QStringLiteral("Duplicates");
        case selectedColumn: return QStringLiteral("Selected");
        case keptColumn: return QStringLiteral("Kept");
        case otherFilesColumn: return QStringLiteral("Other Files");
        default: return {};
    }
}

}  // namespace kestrane::gui
