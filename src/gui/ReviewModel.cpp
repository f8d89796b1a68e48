#include "gui/ReviewModel.h"

#include "app/AppEvents.h"
#include "app/DuplicateItemPresentation.h"
#include "app/RemoveItemPresentationContainer.h"
#include "app/SIFTFolderPresentation.h"
#include "app/SelectedItemsPresenter.h"
#include "duplicates/DuplicateItem.h"
#include "gui/CopyCheckBox.h"
#include "gui/GuiText.h"
#include "selection/ManualSelection.h"

#include <QFont>

#include <functional>

namespace kestrane::gui {

struct ReviewModel::Node {
    std::shared_ptr<ItemPresentation> presentation;  // null for the invisible root
    Node* parent = nullptr;
    int row = 0;
    bool gone = false;  // taken out by a removal; kept until the views are told
    std::vector<std::unique_ptr<Node>> children;
    std::uint64_t size = 0;    // a copy's size, or the sum of the copies below a folder
    std::uint64_t copies = 0;  // the copies below a folder

    bool isFolder() const { return presentation && presentation->isFolder(); }
    const SIFTFolderPresentation& folder() const { return static_cast<const SIFTFolderPresentation&>(*presentation); }
    const DuplicateItemPresentation& copy() const {
        return static_cast<const DuplicateItemPresentation&>(*presentation);
    }
};

namespace {

const Presentations kNothing;

void markGone(ReviewModel::Node& node);

}  // namespace

ReviewModel::ReviewModel(QObject* parent) : QAbstractItemModel(parent), m_root(std::make_unique<Node>()) {
    m_selectionObservation = platform::NotificationCenter::defaultCenter().addObserver(
        AppEvents::kDuplicateItemSelectionChanged, [this](const platform::Notification&) { repaintAll(); });
}

ReviewModel::~ReviewModel() = default;

// --- Building -------------------------------------------------------------------------

void ReviewModel::setItems(std::vector<std::shared_ptr<DuplicateItem>> items, std::int32_t presentationType,
                           std::int32_t sortType) {
    m_presentationType = presentationType;
    m_sortType = sortType;
    m_errors.clear();
    build(items);
}

void ReviewModel::setPresentationType(std::int32_t type) {
    if (type == m_presentationType && m_presenter) return;
    m_presentationType = type;
    std::vector<std::shared_ptr<DuplicateItem>> items;
    items.reserve(m_nodesByItem.size());
    // The copies in the order the review shows them, so that a rebuild keeps
    // the order of copies that compare equal.
    const std::function<void(const Node&)> collect = [&](const Node& node) {
        for (const auto& child : node.children) {
            if (child->isFolder()) collect(*child);
            else items.push_back(child->copy().item());
        }
    };
    collect(*m_root);
    build(items);
}

void ReviewModel::build(const std::vector<std::shared_ptr<DuplicateItem>>& items) {
    beginResetModel();
    m_presenter = SelectedItemsPresenter::create(m_presentationType, items);
    m_presentationType = m_presenter->type();
    m_presenter->sortUsingComparator(m_presenter->buildSortComparator(m_sortType));
    m_root = std::make_unique<Node>();
    m_nodesByItem.clear();
    mirror(*m_root);
    sumUp(*m_root);
    endResetModel();
}

namespace {

const Presentations& childrenOf(const SelectedItemsPresenter& presenter, const ReviewModel::Node& node);

}  // namespace

void ReviewModel::mirror(Node& node) {
    const Presentations& children = childrenOf(*m_presenter, node);
    node.children.reserve(children.size());
    for (const auto& presentation : children) {
        auto child = std::make_unique<Node>();
        child->presentation = presentation;
        child->parent = &node;
        child->row = static_cast<int>(node.children.size());
        if (child->isFolder()) {
            mirror(*child);
        } else {
            auto& copy = static_cast<DuplicateItemPresentation&>(*presentation);
            if (const auto& item = copy.item()) {
                m_nodesByItem[item.get()] = child.get();
                if (const auto error = m_errors.find(item.get()); error != m_errors.end())
                    copy.setErrorInfo(error->second);
            }
        }
        node.children.push_back(std::move(child));
    }
}

void ReviewModel::sumUp(Node& node) {
    if (node.presentation && !node.isFolder()) {
        const auto& item = node.copy().item();
        node.size = item ? item->getFileItemSize() : 0;
        node.copies = 1;
        return;
    }
    node.size = 0;
    node.copies = 0;
    for (const auto& child : node.children) {
        sumUp(*child);
        node.size += child->size;
        node.copies += child->copies;
    }
}

// --- Sorting and removing ---------------------------------------------------------------

void ReviewModel::setSortType(std::int32_t sortType) {
    m_sortType = sortType;
    if (!m_presenter) return;
    const auto comparator = m_presenter->buildSortComparator(sortType);
    if (!comparator) return;
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    std::vector<Node*> nodes;
    nodes.reserve(static_cast<std::size_t>(before.size()));
    for (const QModelIndex& index : before) nodes.push_back(nodeOf(index));
    m_presenter->sortUsingComparator(comparator);
    reorder(*m_root);
    QModelIndexList after;
    for (qsizetype i = 0; i < before.size(); ++i)
        after.push_back(nodes[static_cast<std::size_t>(i)] ? indexOfNode(*nodes[static_cast<std::size_t>(i)],
                                                                         before[i].column())
                                                           : QModelIndex());
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void ReviewModel::reorder(Node& node) {
    const Presentations& now = childrenOf(*m_presenter, node);
    std::unordered_map<const ItemPresentation*, std::unique_ptr<Node>> byPresentation;
    for (auto& child : node.children) byPresentation.emplace(child->presentation.get(), std::move(child));
    node.children.clear();
    for (const auto& presentation : now) {
        auto found = byPresentation.find(presentation.get());
        if (found == byPresentation.end()) continue;
        found->second->row = static_cast<int>(node.children.size());
        node.children.push_back(std::move(found->second));
    }
    for (auto& child : node.children)
        if (child->isFolder()) reorder(*child);
}

void ReviewModel::removeItems(const std::vector<std::shared_ptr<DuplicateItem>>& items) {
    if (!m_presenter || items.empty()) return;
    RemoveItemPresentationContainer removed;
    for (const auto& item : items)
        if (item && m_nodesByItem.contains(item.get())) removed.addRemovedItem(*item);
    if (removed.empty()) return;

    // The views are told as for a new layout: rows go at every level at
    // once, however scattered, and what is expanded or current stays.
    emit layoutAboutToBeChanged();
    const QModelIndexList before = persistentIndexList();
    std::vector<Node*> nodes;
    nodes.reserve(static_cast<std::size_t>(before.size()));
    for (const QModelIndex& index : before) nodes.push_back(nodeOf(index));
    m_presenter->removeSubItemsUsingContainer(removed);
    std::vector<std::unique_ptr<Node>> graveyard;  // alive until the persistent indexes are moved
    const std::function<void(Node&)> follow = [&](Node& node) {
        const Presentations& now = childrenOf(*m_presenter, node);
        std::unordered_map<const ItemPresentation*, bool> kept;
        kept.reserve(now.size());
        for (const auto& presentation : now) kept.emplace(presentation.get(), true);
        std::vector<std::unique_ptr<Node>> staying;
        staying.reserve(node.children.size());
        for (auto& child : node.children) {
            if (kept.contains(child->presentation.get())) {
                child->row = static_cast<int>(staying.size());
                staying.push_back(std::move(child));
            } else {
                markGone(*child);
                graveyard.push_back(std::move(child));
            }
        }
        node.children = std::move(staying);
        for (auto& child : node.children)
            if (child->isFolder()) follow(*child);
    };
    follow(*m_root);
    for (const auto& node : graveyard) {
        const std::function<void(const Node&)> forget = [&](const Node& gone) {
            if (!gone.isFolder() && gone.copy().item()) m_nodesByItem.erase(gone.copy().item().get());
            for (const auto& child : gone.children) forget(*child);
        };
        forget(*node);
    }
    sumUp(*m_root);
    QModelIndexList after;
    for (qsizetype i = 0; i < before.size(); ++i) {
        const Node* node = nodes[static_cast<std::size_t>(i)];
        after.push_back(node && !node->gone ? indexOfNode(*node, before[i].column()) : QModelIndex());
    }
    changePersistentIndexList(before, after);
    emit layoutChanged();
}

void ReviewModel::setErrorInfo(const DuplicateItem& item, const std::string& error) {
    m_errors[&item] = error;
    const auto found = m_nodesByItem.find(&item);
    if (found == m_nodesByItem.end()) return;
    auto& copy = static_cast<DuplicateItemPresentation&>(*found->second->presentation);
    copy.setErrorInfo(error);
    emit dataChanged(indexOfNode(*found->second, 0), indexOfNode(*found->second, kColumnCount - 1));
}

void ReviewModel::setCheckable(bool checkable) {
    if (checkable == m_checkable) return;
    m_checkable = checkable;
    repaintAll();
}

void ReviewModel::repaintAll() {
    if (m_root->children.empty()) return;
    // One range over the top level: views repaint what they show, deeper rows included.
    emit dataChanged(index(0, 0), index(rowCount() - 1, kColumnCount - 1),
                     {Qt::CheckStateRole, Qt::DisplayRole, Qt::ToolTipRole});
}

// --- Looking up ----------------------------------------------------------------------------

namespace {

const Presentations& childrenOf(const SelectedItemsPresenter& presenter, const ReviewModel::Node& node) {
    if (!node.presentation) return presenter.subItems();
    return node.isFolder() ? node.folder().subItems() : kNothing;
}

void markGone(ReviewModel::Node& node) {
    node.gone = true;
    for (auto& child : node.children) markGone(*child);
}

}  // namespace

ReviewModel::Node* ReviewModel::nodeOf(const QModelIndex& index) const {
    return index.isValid() ? static_cast<Node*>(index.internalPointer()) : m_root.get();
}

QModelIndex ReviewModel::indexOfNode(const Node& node, int column) const {
    if (!node.presentation) return {};
    return createIndex(node.row, column, const_cast<Node*>(&node));
}

std::shared_ptr<DuplicateItem> ReviewModel::itemAt(const QModelIndex& index) const {
    const Node* node = index.isValid() ? nodeOf(index) : nullptr;
    return node && !node->isFolder() ? node->copy().item() : nullptr;
}

QModelIndex ReviewModel::indexOfItem(const DuplicateItem& item) const {
    const auto found = m_nodesByItem.find(&item);
    return found == m_nodesByItem.end() ? QModelIndex() : indexOfNode(*found->second);
}

const ItemPresentation* ReviewModel::presentationAt(const QModelIndex& index) const {
    return index.isValid() ? nodeOf(index)->presentation.get() : nullptr;
}

QModelIndex ReviewModel::index(int row, int column, const QModelIndex& parent) const {
    if (row < 0 || column < 0 || column >= kColumnCount) return {};
    if (parent.isValid() && parent.column() != 0) return {};
    const Node* node = nodeOf(parent);
    if (static_cast<std::size_t>(row) >= node->children.size()) return {};
    return createIndex(row, column, node->children[static_cast<std::size_t>(row)].get());
}

QModelIndex ReviewModel::parent(const QModelIndex& child) const {
    if (!child.isValid()) return {};
    const Node* parent = nodeOf(child)->parent;
    return parent ? indexOfNode(*parent) : QModelIndex();
}

int ReviewModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid() && parent.column() != 0) return 0;
    return static_cast<int>(nodeOf(parent)->children.size());
}

int ReviewModel::columnCount(const QModelIndex&) const {
    return kColumnCount;
}

bool ReviewModel::hasChildren(const QModelIndex& parent) const {
    return rowCount(parent) > 0;
}

// --- What the rows show ------------------------------------------------------------------

QVariant ReviewModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    const Node& node = *nodeOf(index);
    if (node.isFolder()) {
        const SIFTFolderPresentation& folder = node.folder();
        switch (role) {
            case Qt::DisplayRole:
                switch (index.column()) {
                    case nameColumn:
                        return toQString(m_presentationType == SelectedItemsPresenter::kGroupedByFolders
                                             ? folder.path()
                                             : folder.name());
                    case folderColumn:
                        return node.copies == 1 ? QStringLiteral("1 copy")
                                                : QStringLiteral("%1 copies").arg(countText(node.copies));
                    case sizeColumn: return sizeText(node.size);
                    default: return {};
                }
            case Qt::DecorationRole:
                return index.column() == nameColumn ? themeIcon(QStringLiteral("folder")) : QVariant();
            case Qt::ToolTipRole:
            case pathRole: return toQString(folder.path());
            case isFolderRole: return true;
            default: return {};
        }
    }
    const DuplicateItemPresentation& copy = node.copy();
    const auto& item = copy.item();
    if (!item) return {};
    switch (role) {
        case Qt::DisplayRole:
            switch (index.column()) {
                case nameColumn: {
                    const std::string name = item->getName();
                    return name.empty() ? lastComponent(item->getFileItemPath()) : toQString(name);
                }
                case folderColumn: return toQString(item->getParentFolderItemPath());
                case sizeColumn: return sizeText(node.size);
                case dateColumn: return dateText(item->getLastModificationDate());
                default: return {};
            }
        case Qt::DecorationRole:
            if (index.column() != nameColumn) return {};
            if (!copy.errorInfo().empty()) return themeIcon(QStringLiteral("dialog-warning"));
            if (item->isDirectory()) return themeIcon(QStringLiteral("folder-copy"), themeIcon(QStringLiteral("folder")));
            return {};
        case Qt::CheckStateRole: return index.column() == nameColumn ? copyCheckState(*item) : QVariant();
        case Qt::ToolTipRole:
            return copy.errorInfo().empty() ? copyToolTip(*item) : toQString(copy.errorInfo());
        case pathRole: return toQString(item->getFileItemPath());
        case isFolderRole: return false;
        case errorRole: return toQString(copy.errorInfo());
        default: return {};
    }
}

Qt::ItemFlags ReviewModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (m_checkable && index.column() == nameColumn && !nodeOf(index)->isFolder()) flags |= Qt::ItemIsUserCheckable;
    return flags;
}

bool ReviewModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::CheckStateRole || !m_checkable) return false;
    const auto item = itemAt(index);
    return setCopyChecked(
        item, value, ManualSelection::Place::resultLists, [&] { emit confirmationNeeded(item); },
        [&](const QString& explanation) { emit lastCopyRefused(index, explanation); });
}

QVariant ReviewModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    switch (section) {
        case nameColumn: return QStringLiteral("Name");
        case folderColumn: return QStringLiteral("Folder");
        case sizeColumn: return QStringLiteral("Size");
        case dateColumn: return QStringLiteral("Modified");
        default: return {};
    }
}

}  // namespace kestrane::gui
